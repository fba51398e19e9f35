#include "common/dialogs.h"
#include "common/tstd_ok.h"
#include "common/tstd_progress.h"
#include "common/tstd_yesno.h"
#include "tests/support/dialogrecorder.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>

namespace {

const QString kLostMessage = QStringLiteral(
    "La connessione con il database si è interrotta.\r\n\r\nVentorel si chiuderà, rilanciarlo\r\n"
    "per continuare l'attività in corso.");

// Notes whether the wait window was visible when each request arrived.
class TWaitWatcher : public TDialogResponder
{
public:
    TWaitWatcher() { SetDialogResponder(this); }
    ~TWaitWatcher() override { SetDialogResponder(nullptr); }
    TDialogAnswer Respond(const TDialogRequest &request) override
    {
        TSTD_PROGRESS *wait = TSTD_PROGRESS::Instance();
        waitVisible.append(wait && wait->isVisible());
        kinds.append(request.kind);
        return {true, QString()};
    }
    QList<bool> waitVisible;
    QList<TDialogKind> kinds;
};

// Runs action on the first visible window of type T once it appears (the caller is blocked in
// its exec()); gives up after five seconds, closing what is modal so the test cannot hang.
template<typename T>
void WhenShown(std::function<void(T *)> action)
{
    auto elapsed = std::make_shared<QElapsedTimer>();
    elapsed->start();
    auto poll = std::make_shared<std::function<void()>>();
    *poll = [action, elapsed, poll]() {
        const QWidgetList windows = QApplication::topLevelWidgets();
        for (QWidget *w : windows) {
            if (auto *t = qobject_cast<T *>(w); t && t->isVisible()) {
                action(t);
                *poll = nullptr;
                return;
            }
        }
        if (elapsed->elapsed() > 5000) {
            if (QWidget *modal = QApplication::activeModalWidget())
                modal->close();
            *poll = nullptr;
            return;
        }
        QTimer::singleShot(20, qApp, *poll);
    };
    QTimer::singleShot(0, qApp, *poll);
}

} // namespace

class TestDialogs : public QObject
{
    Q_OBJECT
private slots:
    void cleanup();
    void messagesAreRecorded();
    void askYesNoAnswers();
    void fileDialogsAndDesktopThroughResponder();
    void progressShowAndHide();
    void messagesHideTheWaitWindowFirst();
    void checkLostConnection_data();
    void checkLostConnection();
    void errorBoxEndsProgramOnLostConnection();
    void terminateHandlerGetsCode();
    void realErrorWindow();
    void realYesNoWindow_data();
    void realYesNoWindow();
    void realInfoWindowNonModalFreesItself();
    void longTextGoesToMemo();
    void placement_data();
    void placement();
};

void TestDialogs::cleanup()
{
    SetTerminateHandler(nullptr);
}

void TestDialogs::messagesAreRecorded()
{
    TDialogRecorder rec;
    ShowErrorBox(QStringLiteral("Errore in lettura (ERR.C05)."));
    ShowWarningBox(QStringLiteral("Attenzione !"));
    ShowInfoBox(QStringLiteral("Fatto."), TInfoAlign::Left, true, false);
    QCOMPARE(rec.Requests().size(), 3);
    QCOMPARE(rec.LastText(TDialogKind::Error), QStringLiteral("Errore in lettura (ERR.C05)."));
    QCOMPARE(rec.LastText(TDialogKind::Warning), QStringLiteral("Attenzione !"));
    QCOMPARE(rec.LastText(TDialogKind::Info), QStringLiteral("Fatto."));
    QVERIFY(!rec.Terminated());
    // Nothing was put on screen.
    for (QWidget *w : QApplication::topLevelWidgets())
        QVERIFY(!qobject_cast<TSTD_OK *>(w) || !w->isVisible());
}

void TestDialogs::askYesNoAnswers()
{
    TDialogRecorder rec;
    rec.QueueYes();
    rec.QueueNo();
    QVERIFY(AskYesNo(QStringLiteral("Confermi ?")));
    QVERIFY(!AskYesNo(QStringLiteral("Sicuro ?")));
    QVERIFY(!AskYesNo(QStringLiteral("Nessuna risposta in coda")));
    const auto questions = rec.RequestsOf(TDialogKind::Question);
    QCOMPARE(questions.size(), 3);
    QCOMPARE(questions.at(0).text, QStringLiteral("Confermi ?"));
    QCOMPARE(questions.at(1).text, QStringLiteral("Sicuro ?"));
}

void TestDialogs::fileDialogsAndDesktopThroughResponder()
{
    TDialogRecorder rec;
    rec.QueueAnswer(true, QStringLiteral("/tmp/logo.png"));
    rec.QueueAnswer(false, QStringLiteral("/tmp/ignored.pdf"));
    rec.QueueAnswer(true, QStringLiteral("/tmp/out.pdf"));
    rec.QueueAnswer(true, QStringLiteral("/tmp/preventivi"));
    QCOMPARE(AskOpenFileName(QStringLiteral("Scegli immagine"),
                             QStringLiteral("/tmp"),
                             QStringLiteral("Immagini (*.jpg *.png)")),
             QStringLiteral("/tmp/logo.png"));
    QCOMPARE(AskSaveFileName(QStringLiteral("Salva PDF"),
                             QStringLiteral("/tmp"),
                             QStringLiteral("PDF (*.pdf)"),
                             QStringLiteral("0012_2024.pdf")),
             QString());
    QCOMPARE(AskSaveFileName(QStringLiteral("Salva PDF"),
                             QStringLiteral("/tmp"),
                             QStringLiteral("PDF (*.pdf)"),
                             QStringLiteral("0013_2024.pdf")),
             QStringLiteral("/tmp/out.pdf"));
    QCOMPARE(AskFolder(QStringLiteral("Cartella"), QStringLiteral("/tmp")),
             QStringLiteral("/tmp/preventivi"));

    const TDialogRequest open = rec.RequestsOf(TDialogKind::OpenFile).value(0);
    QCOMPARE(open.text, QStringLiteral("Scegli immagine"));
    QCOMPARE(open.directory, QStringLiteral("/tmp"));
    QCOMPARE(open.filter, QStringLiteral("Immagini (*.jpg *.png)"));
    QCOMPARE(rec.RequestsOf(TDialogKind::SaveFile).value(1).value, QStringLiteral("0013_2024.pdf"));
    QCOMPARE(rec.Count(TDialogKind::ChooseFolder), 1);

    rec.QueueYes();
    QVERIFY(OpenWithSystem(QStringLiteral("https://www.example.com")));
    QVERIFY(!ShowInFileBrowser(QStringLiteral("/tmp/out.pdf")));
    QCOMPARE(rec.LastText(TDialogKind::OpenWithSystem), QStringLiteral("https://www.example.com"));
    QCOMPARE(rec.LastText(TDialogKind::ShowInFileBrowser), QStringLiteral("/tmp/out.pdf"));
}

void TestDialogs::progressShowAndHide()
{
    QWidget main;
    main.setObjectName(QStringLiteral("MAINFORM"));
    main.show();
    QWidget other;
    other.show();
    auto *wait = new TSTD_PROGRESS(&main); // owned by the main window, as in the program
    QCOMPARE(TSTD_PROGRESS::Instance(), wait);
    QCOMPARE(wait->objectName(), QStringLiteral("STD_PROGRESS"));

    wait->Show(QStringLiteral("Estrazione in corso ..."), &main, 250);
    QVERIFY(wait->isVisible());
    QVERIFY(wait->isEnabled()); // disabling its parent does not grey the wait window
    QVERIFY(!main.isEnabled());
    QCOMPARE(wait->Message(), QStringLiteral("Estrazione in corso ..."));
    QCOMPARE(wait->Timer()->interval(), 250);
    QVERIFY(!wait->Timer()->isActive());
    QVERIFY(QApplication::overrideCursor());
    QVERIFY(!wait->findChild<QWidget *>(QStringLiteral("PBAR_Progress"))->isVisible());

    // A second Show for another window gives the first one back.
    wait->Show(QStringLiteral("Ancora ..."), &other, 100);
    QVERIFY(main.isEnabled());
    QVERIFY(!other.isEnabled());

    wait->Hide();
    QVERIFY(!wait->isVisible());
    QVERIFY(other.isEnabled());
    QCOMPARE(wait->DisabledWindow(), nullptr);
    QCOMPARE(wait->Timer()->interval(), 100);
    QCOMPARE(QApplication::overrideCursor(), nullptr);

    wait->ShowWait();
    QCOMPARE(wait->Message(), QStringLiteral("Attendere ..."));
    QVERIFY(wait->isVisible());
    wait->Hide();
    QCOMPARE(QApplication::overrideCursor(), nullptr);
}

void TestDialogs::messagesHideTheWaitWindowFirst()
{
    {
        // No wait window at all: the routines still work.
        TDialogRecorder rec;
        QCOMPARE(TSTD_PROGRESS::Instance(), nullptr);
        ShowErrorBox(QStringLiteral("x"));
        QCOMPARE(rec.Count(TDialogKind::Error), 1);
    }
    QWidget main;
    main.show();
    auto *wait = new TSTD_PROGRESS(&main);
    TWaitWatcher watcher;
    const QList<std::function<void()>> routines{
        [] { ShowErrorBox(QStringLiteral("Errore")); },
        [] { ShowWarningBox(QStringLiteral("Avviso")); },
        [] { ShowInfoBox(QStringLiteral("Info")); },
        [] { AskYesNo(QStringLiteral("Domanda ?")); },
        [] { AskOpenFileName(QStringLiteral("Apri"), QString(), QString()); },
    };
    for (const auto &routine : routines) {
        wait->Show(QStringLiteral("Elaborazione ..."), &main, 100);
        QVERIFY(wait->isVisible());
        routine();
        QVERIFY(!wait->isVisible());
        QVERIFY(main.isEnabled());
    }
    QCOMPARE(watcher.waitVisible, QList<bool>(routines.size(), false));
}

void TestDialogs::checkLostConnection_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("ends");
    const QString a = QStringLiteral("[DBNETLIB]");
    const QString b = QStringLiteral("ConnectionWrite (send()).");
    const QString c = QStringLiteral("Errore di rete generico. Consultare la documentazione.");
    QTest::newRow("all three") << QStringLiteral("[Microsoft][ODBC] %1%2 %3").arg(a, b, c) << true;
    QTest::newRow("without DBNETLIB") << b + c << false;
    QTest::newRow("without ConnectionWrite") << a + c << false;
    QTest::newRow("without network error") << a + b << false;
    QTest::newRow("other case") << QStringLiteral("[dbnetlib]") + b + c << false;
    QTest::newRow("our mark") << QString(QLatin1String(kLostConnectionMark))
                                     + QStringLiteral(" server closed the connection")
                              << true;
    QTest::newRow("ordinary error") << QStringLiteral("duplicate key value") << false;
}

void TestDialogs::checkLostConnection()
{
    QFETCH(QString, text);
    QFETCH(bool, ends);
    TDialogRecorder rec;
    CheckLostConnection(text);
    QCOMPARE(rec.Terminated(), ends);
    QCOMPARE(rec.Count(TDialogKind::Error), ends ? 1 : 0);
    if (ends) {
        QCOMPARE(rec.LastText(TDialogKind::Error), kLostMessage);
        QCOMPARE(rec.Requests().last().kind, TDialogKind::Terminate);
    }
}

void TestDialogs::errorBoxEndsProgramOnLostConnection()
{
    TDialogRecorder rec;
    const QString provider = QString(QLatin1String(kLostConnectionMark))
                             + QStringLiteral(" server closed the connection unexpectedly");
    ShowErrorBox(
        QStringLiteral("Errore in estrazione clienti (ERR.C01).\r\n\r\n(%1)").arg(provider));
    QCOMPARE(rec.Requests().size(), 3);
    QCOMPARE(rec.Requests().at(0).kind, TDialogKind::Error);
    QVERIFY(rec.Requests().at(0).text.startsWith(QStringLiteral("Errore in estrazione clienti")));
    QCOMPARE(rec.Requests().at(1).text, kLostMessage);
    QCOMPARE(rec.Requests().at(2).kind, TDialogKind::Terminate);
}

void TestDialogs::terminateHandlerGetsCode()
{
    TDialogRecorder rec;
    int code = -1;
    SetTerminateHandler([&code](int c) { code = c; });
    CheckLostConnection(QStringLiteral("[DBNETLIB] ConnectionWrite Errore di rete generico"));
    QCOMPARE(code, 1);
    QVERIFY(rec.Terminated());
}

void TestDialogs::realErrorWindow()
{
    QVERIFY(!DialogResponder());
    QString label, button, title;
    bool errorIcon = false, otherIcons = true, memoHidden = false;
    WhenShown<TSTD_OK>([&](TSTD_OK *w) {
        label = w->findChild<QLabel *>(QStringLiteral("lbl_Testo"))->text();
        auto *ok = w->findChild<QPushButton *>(QStringLiteral("pb_Conferma"));
        button = ok->text();
        title = w->windowTitle();
        errorIcon = w->findChild<QLabel *>(QStringLiteral("ImgError"))->isVisible();
        otherIcons = w->findChild<QLabel *>(QStringLiteral("imgAvviso"))->isVisible()
                     || w->findChild<QLabel *>(QStringLiteral("ImgWarning"))->isVisible();
        memoHidden = !w->findChild<QPlainTextEdit *>(QStringLiteral("SF_Info"))->isVisible();
        QVERIFY(ok->isDefault());
        QVERIFY(w->windowFlags() & Qt::WindowStaysOnTopHint);
        QTest::mouseClick(ok, Qt::LeftButton);
    });
    ShowErrorBox(QStringLiteral("Impossibile salvare <cliente> (ERR.C05).\r\n\r\n(provider)"));
    QCOMPARE(button, QStringLiteral("Ok"));
    QCOMPARE(label, QStringLiteral("Impossibile salvare <cliente> (ERR.C05).\n\n(provider)"));
    QCOMPARE(title, QStringLiteral("Errore"));
    QVERIFY(errorIcon);
    QVERIFY(!otherIcons);
    QVERIFY(memoHidden);
}

void TestDialogs::realYesNoWindow_data()
{
    QTest::addColumn<QString>("press");
    QTest::addColumn<bool>("expected");
    QTest::newRow("Si") << "pb_Conferma" << true;
    QTest::newRow("No") << "pb_Annulla" << false;
    QTest::newRow("Escape") << "" << false;
}

void TestDialogs::realYesNoWindow()
{
    QFETCH(QString, press);
    QFETCH(bool, expected);
    QString yes, no, label;
    WhenShown<TSTD_YESNO>([&](TSTD_YESNO *w) {
        yes = w->findChild<QPushButton *>(QStringLiteral("pb_Conferma"))->text();
        no = w->findChild<QPushButton *>(QStringLiteral("pb_Annulla"))->text();
        label = w->findChild<QLabel *>(QStringLiteral("lbl_Testo"))->text();
        if (press.isEmpty())
            QTest::keyClick(w, Qt::Key_Escape);
        else
            QTest::mouseClick(w->findChild<QPushButton *>(press), Qt::LeftButton);
    });
    const bool answer = AskYesNo(QStringLiteral("Vuoi ricollegarti con altro utente ?"));
    QCOMPARE(answer, expected);
    QCOMPARE(yes, QStringLiteral("Si"));
    QCOMPARE(no, QStringLiteral("No"));
    QCOMPARE(label, QStringLiteral("Vuoi ricollegarti con altro utente ?"));
}

void TestDialogs::realInfoWindowNonModalFreesItself()
{
    ShowInfoBox(QStringLiteral("Copia terminata."), TInfoAlign::Left, true, false);
    QPointer<TSTD_OK> window;
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (auto *ok = qobject_cast<TSTD_OK *>(w); ok && ok->isVisible())
            window = ok;
    }
    QVERIFY(window);
    QVERIFY(!window->isModal());
    auto *memo = window->findChild<QPlainTextEdit *>(QStringLiteral("SF_Info"));
    QVERIFY(memo->isVisible());
    QVERIFY(memo->isReadOnly());
    QCOMPARE(memo->toPlainText(), QStringLiteral("Copia terminata."));
    QVERIFY(!window->findChild<QLabel *>(QStringLiteral("lbl_Testo"))->isVisible());
    QVERIFY(window->findChild<QLabel *>(QStringLiteral("imgAvviso"))->isVisible());
    QTest::mouseClick(window->findChild<QPushButton *>(QStringLiteral("pb_Conferma")),
                      Qt::LeftButton);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!window);
}

void TestDialogs::longTextGoesToMemo()
{
    TSTD_OK w;
    QString text;
    for (int i = 0; i < 40; ++i)
        text += QStringLiteral("Riga %1 del messaggio\r\n").arg(i);
    w.Setup(TSTD_OK::TIcon::Warning, text);
    w.show();
    QVERIFY(w.findChild<QPlainTextEdit *>(QStringLiteral("SF_Info"))->isVisible());
    QVERIFY(!w.findChild<QLabel *>(QStringLiteral("lbl_Testo"))->isVisible());
    QVERIFY(w.findChild<QLabel *>(QStringLiteral("ImgWarning"))->isVisible());
    QVERIFY(w.height() < w.screen()->availableGeometry().height());
}

void TestDialogs::placement_data()
{
    QTest::addColumn<int>("position");
    QTest::addColumn<double>("heightFactor");
    QTest::addColumn<double>("widthFactor");
    QTest::newRow("right edge at middle") << 0 << 1.0 << 1.0;
    QTest::newRow("left edge at middle") << 1 << 1.0 << 1.0;
    QTest::newRow("centred") << 2 << 1.0 << 1.0;
    QTest::newRow("taller and wider") << 2 << 2.0 << 1.5;
    QTest::newRow("factors below 1 ignored") << 2 << 0.5 << 0.5;
}

void TestDialogs::placement()
{
    QFETCH(int, position);
    QFETCH(double, heightFactor);
    QFETCH(double, widthFactor);
    TSTD_OK base;
    base.Setup(TSTD_OK::TIcon::Info, QStringLiteral("Testo"));
    base.Place(2, 1, 1);
    const QSize baseSize = base.size();

    TSTD_OK w;
    w.Setup(TSTD_OK::TIcon::Info, QStringLiteral("Testo"));
    w.Place(position, heightFactor, widthFactor);
    const QRect area = w.screen()->availableGeometry();
    const int middle = area.left() + area.width() / 2;
    const QRect g = w.frameGeometry();
    if (position == 0)
        QCOMPARE(g.left() + g.width(), middle);
    else if (position == 1)
        QCOMPARE(g.left(), middle);
    else
        QVERIFY(qAbs(g.center().x() - area.center().x()) <= 1);
    QVERIFY(qAbs(g.center().y() - area.center().y()) <= 1);
    QCOMPARE(w.height(), qRound(baseSize.height() * qMax(1.0, heightFactor)));
    QCOMPARE(w.width(), qRound(baseSize.width() * qMax(1.0, widthFactor)));
    if (heightFactor > 1)
        QCOMPARE(w.findChild<QLabel *>(QStringLiteral("lbl_Testo"))->alignment(),
                 Qt::AlignTop | Qt::AlignLeft);
}

QTEST_MAIN(TestDialogs)
#include "tst_dialogs.moc"
