// Ventorel: entry of the program.

#include "app/mainform.h"
#include "common/processroutines.h"
#include "reports/gridprint.h"

#include <QApplication>
#include <QStyleFactory>

int main(int argc, char *argv[])
{
    // The embedded browser of the web link editor shares its drawing contexts with the
    // windows; it must be said before the application exists.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Ventorel "));
    if (QStyle *style = QStyleFactory::create(QStringLiteral("Fusion")))
        QApplication::setStyle(style);

    // A second instance ends at once, silently, before any window exists.
    if (IsAlreadyRunning(QStringLiteral("VentorelWin.exe"), true))
        return 0;

    // Grids print through the report engine, which lives in a layer above them.
    InstallGridPrint();

    TMAINFORM mainForm;
    if (!mainForm.Start(QCoreApplication::arguments()))
        return 0;
    return app.exec();
}
