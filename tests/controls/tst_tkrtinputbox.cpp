// The input box: through the dialog responder, and its real window driven offscreen.

#include "controls/tkrtinputbox.h"
#include "controls/tkrtlabeledit.h"
#include "tests/support/dialogrecorder.h"

#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

class tst_TKRTInputBox : public QObject
{
    Q_OBJECT

    TDialogRecorder m_noModal; // no test ever waits on a message window

private Q_SLOTS:
    void answerComesBackTyped();
    void wrongLengthIsAskedAgain();
    void cancelKeepsThePreviousValue();
    void windowRefusesWrongLength();
    void windowGeometryByTemplate_data();
    void windowGeometryByTemplate();
};

void tst_TKRTInputBox::answerComesBackTyped()
{
    TDialogRecorder recorder;
    TKRTInputBox box;
    box.Description = QStringLiteral("Descrizione immagine");
    box.MaxLength = 100;
    box.SetText(QStringLiteral("Layout A"));
    recorder.QueueAnswer(true, QStringLiteral("Layout B"));
    QVERIFY(box.Show());
    QVERIFY(!box.Cancel());
    QCOMPARE(box.Text(), QStringLiteral("Layout B"));
    const TDialogRequest r = recorder.RequestsOf(TDialogKind::InputText).first();
    QCOMPARE(r.text, QStringLiteral("Descrizione immagine"));
    QCOMPARE(r.value, QStringLiteral("Layout A"));

    // Typed values follow the template; setting the template clears the value.
    box.SetTemplate(tpKRTIBNumeric);
    QVERIFY(box.IsEmpty());
    recorder.QueueAnswer(true, QStringLiteral("12,5"));
    QVERIFY(box.Show());
    QCOMPARE(box.AsFloat(), 12.5);
    box.SetTemplate(tpKRTIBDate);
    recorder.QueueAnswer(true, QStringLiteral("050324"));
    QVERIFY(box.Show());
    QCOMPARE(box.AsDate(), QDate(2024, 3, 5));
    box.SetTemplate(tpKRTIBShortTime);
    box.SetAsTime(QTime(8, 15));
    QCOMPARE(box.Text(), QStringLiteral("08:15"));
}

void tst_TKRTInputBox::wrongLengthIsAskedAgain()
{
    TDialogRecorder recorder;
    TKRTInputBox box;
    box.Length = 5;
    recorder.QueueAnswer(true, QStringLiteral("ABCD"));
    recorder.QueueAnswer(true, QStringLiteral("ABCDE"));
    QVERIFY(box.Show());
    QCOMPARE(box.Text(), QStringLiteral("ABCDE"));
    QCOMPARE(recorder.Count(TDialogKind::InputText), 2);
    QCOMPARE(recorder.LastText(TDialogKind::Error),
             QStringLiteral("La lunghezza del testo deve essere uguale a 5"));
}

void tst_TKRTInputBox::cancelKeepsThePreviousValue()
{
    TDialogRecorder recorder;
    TKRTInputBox box;
    box.SetText(QStringLiteral("prima"));
    box.PasswordChar = QLatin1Char('*');
    recorder.QueueAnswer(false, QStringLiteral("dopo"));
    QVERIFY(!box.Show());
    QVERIFY(box.Cancel());
    QCOMPARE(box.Text(), QStringLiteral("prima"));
    box.Clear();
    QVERIFY(box.IsEmpty());
    QVERIFY(box.PasswordChar.isNull());
}

void tst_TKRTInputBox::windowRefusesWrongLength()
{
    TDialogRecorder recorder; // takes the error message of the window
    TKRTINPUTBOXFORM form;
    TKRTInputBoxSetup s;
    s.description = QStringLiteral("Codice");
    s.length = 5;
    s.charCase = ecKRTUpperCase;
    form.Setup(s);
    form.show();
    form.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&form));
    TKRTLabelEdit *input = form.findChild<TKRTLabelEdit *>(QStringLiteral("EFInput"));
    QVERIFY(input);
    QCOMPARE(input->CaptionString(), QStringLiteral("Codice"));
    QCOMPARE(form.findChild<QPushButton *>(QStringLiteral("PBOk"))->text(), QStringLiteral("&OK"));
    QCOMPARE(form.findChild<QPushButton *>(QStringLiteral("PBAnnulla"))->text(),
             QStringLiteral("&Annulla"));
    input->SetFocus();
    QTest::keyClicks(input->Edit(), QStringLiteral("abcd"));
    QTest::mouseClick(form.findChild<QPushButton *>(QStringLiteral("PBOk")), Qt::LeftButton);
    QCOMPARE(recorder.LastText(TDialogKind::Error),
             QStringLiteral("La lunghezza del testo deve essere uguale a 5"));
    QVERIFY(form.isVisible());
    QCOMPARE(form.result(), int(QDialog::Rejected));
    QVERIFY(input->Edit()->hasFocus());
    // The maximum length is the required one: a sixth character is not taken.
    input->Edit()->end(false);
    QTest::keyClicks(input->Edit(), QStringLiteral("ef"));
    QCOMPARE(input->Text(), QStringLiteral("ABCDE"));
    QTest::mouseClick(form.findChild<QPushButton *>(QStringLiteral("PBOk")), Qt::LeftButton);
    QCOMPARE(form.result(), int(QDialog::Accepted));
    QCOMPARE(recorder.Count(TDialogKind::Error), 1);
}

void tst_TKRTInputBox::windowGeometryByTemplate_data()
{
    QTest::addColumn<int>("templ");
    QTest::addColumn<int>("top");
    QTest::addColumn<int>("height");
    QTest::addColumn<int>("editWidth");
    QTest::addColumn<bool>("button");
    QTest::addColumn<bool>("memo");

    QTest::newRow("string") << int(tpKRTIBString) << 20 << 42 << 250 << false << false;
    QTest::newRow("memo") << int(tpKRTIBMemo) << 4 << 73 << 250 << false << true;
    QTest::newRow("numeric") << int(tpKRTIBNumeric) << 20 << 42 << 90 << false << false;
    QTest::newRow("date") << int(tpKRTIBDate) << 20 << 42 << 70 << true << false;
    QTest::newRow("time") << int(tpKRTIBTime) << 20 << 42 << 70 << false << false;
    QTest::newRow("short time") << int(tpKRTIBShortTime) << 20 << 42 << 50 << false << false;
}

void tst_TKRTInputBox::windowGeometryByTemplate()
{
    QFETCH(int, templ);
    QFETCH(int, top);
    QFETCH(int, height);
    QFETCH(int, editWidth);
    QFETCH(bool, button);
    QFETCH(bool, memo);
    TKRTINPUTBOXFORM form;
    TKRTInputBoxSetup s;
    s.templ = TKRTIBTemplate(templ);
    s.description = QStringLiteral("Q");
    form.Setup(s);
    TKRTLabelEdit *input = form.EFInput();
    QCOMPARE(input->y(), top);
    QCOMPARE(input->height(), height);
    QCOMPARE(input->EditWidth(), editWidth);
    QCOMPARE(input->ButtonVisible(), button);
    QCOMPARE(input->Memo() != nullptr, memo);
    // Centred in the room left of the OK button.
    const int okLeft = form.findChild<QPushButton *>(QStringLiteral("PBOk"))->x();
    QVERIFY(qAbs(input->x() - (okLeft - input->x() - input->width())) <= 1);
}

QTEST_MAIN(tst_TKRTInputBox)
#include "tst_tkrtinputbox.moc"
