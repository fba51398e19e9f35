// The library preview reached by the grid's print command: the form, its printing and its
// e-mail, against an SMTP server of our own.

#include "reporttesthelpers.h"
#include "smtpreceiver.h"

#include "controls/tkrtlabeledit.h"
#include "reports/krtcrystalreport.h"
#include "reports/krtviewerreport.h"
#include "reports/krtviewreport.h"
#include "tests/support/dialogrecorder.h"

#include <QCheckBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>

using namespace rpt_test;

class TestKRTViewerReport : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void missingReportFile();
    void withoutViewerModeTheEngineRunsDirectly();
    void formPrintsAndSendsByEmail();
    void emailButtonOnlyWithASenderAndWhenAllowed_data();
    void emailButtonOnlyWithASenderAndWhenAllowed();

private:
    // Runs Show with the form driven by `drive` once it is open.
    bool ShowDriven(TKRTViewerReport &viewer,
                    const std::function<void(TKRTViewerReportForm *)> &drive);
    void Fill(TKRTViewerReport &viewer);

    QTemporaryDir m_dir;
    std::unique_ptr<TDataSet> m_rows;
};

namespace {

template<typename T>
T *Child(QWidget *w, const char *name)
{
    T *c = w->findChild<T *>(QLatin1String(name));
    if (!c)
        qFatal("missing %s", name);
    return c;
}

void Click(QWidget *w, const char *name)
{
    QTest::mouseClick(Child<QPushButton>(w, name), Qt::LeftButton);
}

} // namespace

void TestKRTViewerReport::init()
{
    QVERIFY(m_dir.isValid());
    WriteText(m_dir.filePath(QStringLiteral("Griglia.RPT")),
              QStringLiteral(
                  "report \"Griglia\"\nband detail\n  height: 130\n  keep-together: yes\n"
                  "  field N\n    rect: 0 0 80 8\n    value: \"Cliente \" & {n}\n"));
    m_rows = MakeData({QStringLiteral("n:int")}, {{1}, {2}, {3}, {4}});
}

void TestKRTViewerReport::Fill(TKRTViewerReport &viewer)
{
    viewer.Engine->ReportName = m_dir.filePath(QStringLiteral("Griglia"));
    viewer.Engine->Recordset = m_rows.get();
}

bool TestKRTViewerReport::ShowDriven(TKRTViewerReport &viewer,
                                     const std::function<void(TKRTViewerReportForm *)> &drive)
{
    bool driven = false;
    QTimer::singleShot(0, this, [&] {
        TKRTViewerReportForm *form = viewer.Form();
        if (form) {
            drive(form);
            driven = true;
            form->accept();
        }
    });
    const bool shown = viewer.Show();
    return shown && driven;
}

void TestKRTViewerReport::missingReportFile()
{
    TDialogRecorder dialogs;
    TKRTViewerReport viewer;
    viewer.Engine->ReportName = m_dir.filePath(QStringLiteral("Manca"));
    QVERIFY(!viewer.Show());
    QCOMPARE(dialogs.LastText(TDialogKind::Error),
             QStringLiteral("Percorso Report Errato: \r") + m_dir.filePath(QStringLiteral("Manca")));
    QCOMPARE(viewer.Form(), nullptr);
}

void TestKRTViewerReport::withoutViewerModeTheEngineRunsDirectly()
{
    TKRTViewerReport viewer;
    Fill(viewer);
    viewer.Engine->Mode = mvKRTExport;
    viewer.Engine->ExportOptions.FileName = m_dir.filePath(QStringLiteral("griglia.pdf"));
    QVERIFY(viewer.Show());
    QCOMPARE(PdfPageCount(viewer.Engine->ExportOptions.FileName), 2);
}

void TestKRTViewerReport::formPrintsAndSendsByEmail()
{
    TDialogRecorder dialogs;
    SmtpReceiver server;
    const QString pdf = m_dir.filePath(QStringLiteral("stampa.pdf"));
    PdfPrinters printers(pdf);
    TKRTViewerReport viewer;
    Fill(viewer);
    RPTEmailOptions &mail = viewer.Engine->EmailOptions;
    mail.FromEmail = QStringLiteral("ufficio@example.com");
    mail.AccountMailServer = server.Address();
    mail.SubjectEmail = QStringLiteral("Elenco clienti");
    mail.AttachmentEmail = QStringLiteral("Clienti");

    const bool driven = ShowDriven(viewer, [&](TKRTViewerReportForm *form) {
        QCOMPARE(form->windowTitle(), QStringLiteral("Anteprima di stampa"));
        QCOMPARE(Child<QLabel>(form, "SF_NuPages")->text(), QStringLiteral("1 / 2"));
        Click(form, "PB_GoNext");
        QCOMPARE(Child<QLabel>(form, "SF_NuPages")->text(), QStringLiteral("2 / 2"));

        // Printing: a bad interval is refused, then every page is printed.
        Click(form, "PB_Stampa");
        Child<QRadioButton>(form, "RB_PrintInterval")->setChecked(true);
        Child<TKRTLabelEdit>(form, "EF_PrintFrom")->SetText(QStringLiteral("2"));
        Child<TKRTLabelEdit>(form, "EF_PrintTo")->SetText(QStringLiteral("1"));
        Click(form, "PB_StartPrint");
        QCOMPARE(dialogs.LastText(TDialogKind::Error), QStringLiteral("Intervallo Errato"));
        QVERIFY(printers.asked.isEmpty());
        Child<QRadioButton>(form, "RB_PrintAll")->setChecked(true);
        Click(form, "PB_StartPrint");
        QCOMPARE(PdfPageCount(pdf), 2);
        QVERIFY(form->bPrinted);

        // E-mail: the form comes filled from the options; missing data are listed.
        QVERIFY(Child<QPushButton>(form, "PB_Email")->isVisible());
        Click(form, "PB_Email");
        QCOMPARE(Child<TKRTLabelEdit>(form, "EF_FromEmail")->Text(),
                 QStringLiteral("ufficio@example.com"));
        Child<QCheckBox>(form, "CK_AccountObblig")->setChecked(true);
        Click(form, "PB_SendEmail");
        QCOMPARE(dialogs.LastText(TDialogKind::Error),
                 QStringLiteral("I Seguenti Dati Sono Obbligatori:\r\n\r\n- Nome Account\r\n"
                                "- Password Account\r\n- Indirizzo Email A:"));
        QCOMPARE(server.Mails().size(), 0);
        Child<QCheckBox>(form, "CK_AccountObblig")->setChecked(false);
        Child<TKRTLabelEdit>(form, "EF_ToEmail")->SetText(QStringLiteral("cliente@example.com"));
        Child<QPlainTextEdit>(form, "MM_MessageEmail")->setPlainText(QStringLiteral("In allegato."));
        Child<QRadioButton>(form, "RB_EmailInterval")->setChecked(true);
        Child<TKRTLabelEdit>(form, "EF_EmailFrom")->SetText(QStringLiteral("2"));
        Child<TKRTLabelEdit>(form, "EF_EmailTo")->SetText(QStringLiteral("2"));
        Click(form, "PB_SendEmail");
        QCOMPARE(dialogs.LastText(TDialogKind::Info), QStringLiteral("Email inviata."));
        QVERIFY(form->bEmailed);
    });
    QVERIFY(driven);
    QVERIFY(viewer.bPrinted);
    QVERIFY(viewer.bEmailed);
    // What the operator typed comes back to the caller.
    QCOMPARE(viewer.Engine->EmailOptions.ToEmail, QStringLiteral("cliente@example.com"));
    QCOMPARE(viewer.Engine->EmailOptions.PageFrom, 2);

    const QList<ReceivedMail> mails = server.Mails();
    QCOMPARE(mails.size(), 1);
    QCOMPARE(mails[0].recipients, QStringList{QStringLiteral("cliente@example.com")});
    QHash<QByteArray, QByteArray> headers;
    const QList<MimePart> parts = MimeParts(mails[0].data, &headers);
    QCOMPARE(DecodeWord(headers.value("subject")), QStringLiteral("Elenco clienti"));
    QCOMPARE(QString::fromUtf8(parts[0].body), QStringLiteral("In allegato."));
    QVERIFY(parts[1].headers.value("content-disposition").contains("filename=\"Clienti.pdf\""));
    const QString received = m_dir.filePath(QStringLiteral("ricevuto.pdf"));
    QFile f(received);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(parts[1].body);
    f.close();
    QCOMPARE(PdfPages(received), QStringList({QStringLiteral("Cliente 3 Cliente 4")}));
}

void TestKRTViewerReport::emailButtonOnlyWithASenderAndWhenAllowed_data()
{
    QTest::addColumn<QString>("from");
    QTest::addColumn<bool>("allowed");
    QTest::addColumn<bool>("visible");
    QTest::newRow("sender and allowed") << "a@example.com" << true << true;
    QTest::newRow("no sender") << "" << true << false;
    QTest::newRow("not allowed") << "a@example.com" << false << false;
}

void TestKRTViewerReport::emailButtonOnlyWithASenderAndWhenAllowed()
{
    QFETCH(QString, from);
    QFETCH(bool, allowed);
    QFETCH(bool, visible);
    TKRTViewerReport viewer;
    Fill(viewer);
    viewer.Engine->EmailOptions.FromEmail = from;
    viewer.Engine->CanSendEmail = allowed;
    bool seen = false;
    QVERIFY(ShowDriven(viewer, [&](TKRTViewerReportForm *form) {
        seen = Child<QPushButton>(form, "PB_Email")->isVisible();
    }));
    QCOMPARE(seen, visible);
}

QTEST_MAIN(TestKRTViewerReport)
#include "tst_krtviewerreport.moc"
