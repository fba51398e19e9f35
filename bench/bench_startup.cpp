// Start-up to the logon window: what the program does between the main window's creation and
// the logon window on screen, with the splash closed at once. The splash's five seconds are
// the only wait of the start-up; everything else is this.

#include "app/mainform.h"
#include "app/pgm_splash.h"
#include "common/files.h"
#include "common/inifile.h"
#include "common/sessioninfo.h"

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>

#include <benchmark/benchmark.h>

namespace {

void BM_StartupToLogonWindow(benchmark::State &state)
{
    QTemporaryDir home;
    qputenv("VENTOREL_HOME", home.path().toUtf8());
    IniWriteText(QStringLiteral("SETTINGS"),
                 QStringLiteral("DbLocalSocket"),
                 QStringLiteral("/nonexistent"),
                 ExeFolderPath(QStringLiteral("VentorelWin.INI")));

    for (auto _ : state) {
        SessionInfo() = TSessionInfo();
        QElapsedTimer clock;
        qint64 toLogon = -1;
        auto *poll = new QTimer(qApp);
        poll->setInterval(0);
        QObject::connect(poll, &QTimer::timeout, poll, [&] {
            QWidget *modal = QApplication::activeModalWidget();
            if (modal && modal->objectName() == QLatin1String("DO_LOGON") && modal->isVisible()) {
                toLogon = clock.nsecsElapsed();
                poll->stop();
                poll->deleteLater();
                static_cast<QDialog *>(modal)->reject();
            }
        });
        clock.start();
        TMAINFORM form;
        TPGM_SPLASH splash;
        QTimer::singleShot(0, &splash, &QWidget::close); // the operator clicks at once
        poll->start();
        form.Start(&splash, {QStringLiteral("ventorel")});
        if (toLogon < 0) {
            state.SkipWithError("the logon window did not appear");
            break;
        }
        state.SetIterationTime(double(toLogon) / 1e9);
    }
    qunsetenv("VENTOREL_HOME");
}
BENCHMARK(BM_StartupToLogonWindow)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    int qtArgc = 1;
    QApplication app(qtArgc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
