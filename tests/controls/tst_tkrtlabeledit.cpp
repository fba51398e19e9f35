// The labelled edit field driven as an operator does: typing, leaving, the "..." button.

#include "controls/krtcolor.h"
#include "controls/tkrtcalculator.h"
#include "controls/tkrtcalendar.h"
#include "controls/tkrtlabeledit.h"
#include "tests/support/dialogrecorder.h"

#include <QApplication>
#include <QCalendarWidget>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPlainTextEdit>
#include <QTest>
#include <QToolButton>
#include <QVBoxLayout>

#include <memory>

namespace {

// A window holding the field under test and a second edit to move the focus to.
struct TForm
{
    TForm()
    {
        window = std::make_unique<QWidget>();
        window->setObjectName(QStringLiteral("TESTFORM"));
        auto *layout = new QVBoxLayout(window.get());
        field = new TKRTLabelEdit(QStringLiteral("EF_Test"), QStringLiteral("Prova"), window.get());
        other = new QLineEdit(window.get());
        other->setObjectName(QStringLiteral("EF_Other"));
        layout->addWidget(field);
        layout->addWidget(other);
        window->show();
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
    }
    void Type(const QString &text)
    {
        field->SetFocus();
        field->Edit()->selectAll();
        QTest::keyClicks(field->Edit(), text);
    }
    void Leave() { other->setFocus(Qt::TabFocusReason); }
    QString Shown() const { return field->Edit()->QLineEdit::text(); }
    bool InErrorColour() const { return field->Edit()->CurrentColor() == field->ErrorColor(); }

    std::unique_ptr<QWidget> window;
    TKRTLabelEdit *field = nullptr;
    QLineEdit *other = nullptr;
};

} // namespace

class tst_TKRTLabelEdit : public QObject
{
    Q_OBJECT

    TDialogRecorder m_noModal; // no test ever waits on a message window

private Q_SLOTS:
    void numberIsFormattedWhenLeft_data();
    void numberIsFormattedWhenLeft();
    void numberOutsideBoundsFallsBackToMinimum();
    void numberKeyFilter_data();
    void numberKeyFilter();
    void dateIsNormalised_data();
    void dateIsNormalised();
    void timeIsNormalised_data();
    void timeIsNormalised();
    void textKeyFilterAndCase();
    void commandTextForms_data();
    void commandTextForms();
    void emptyRequiredFieldShowsMessageOnce();
    void typedConversionErrors();
    void templateChangeResetsBoundsAndValue();
    void pasteFollowsTemplate();
    void layoutFollowsCaptionPosition();
    void dateButtonOpensCalendar();
    void numberButtonOpensCalculator();
    void onChangeRaisedForTypingAndWrites();
    void captionStyleAndEvents();
    void wordWrapKeepsLines();
    void onlyKeyboardEntrySelectsText_data();
    void onlyKeyboardEntrySelectsText();
};

void tst_TKRTLabelEdit::numberIsFormattedWhenLeft_data()
{
    QTest::addColumn<int>("decimals");
    QTest::addColumn<bool>("formatted");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<bool>("empty");

    QTest::newRow("7,5 two decimals") << 2 << true << "7,5"
                                      << "7,50"
                                      << "7,50" << false;
    QTest::newRow("thousands") << 2 << true << "1234567"
                               << "1.234.567,00"
                               << "1234567,00" << false;
    QTest::newRow("point is the decimal separator") << 2 << true << "7.25"
                                                    << "7,25"
                                                    << "7,25" << false;
    QTest::newRow("no thousands") << 0 << false << "1234567"
                                  << "1234567"
                                  << "1234567" << false;
    QTest::newRow("negative") << 1 << true << "-1234,56"
                              << "-1.234,6"
                              << "-1234,6" << false;
    QTest::newRow("zero is empty") << 2 << true << "0"
                                   << "0,00"
                                   << "0,00" << true;
}

void tst_TKRTLabelEdit::numberIsFormattedWhenLeft()
{
    QFETCH(int, decimals);
    QFETCH(bool, formatted);
    QFETCH(QString, typed);
    QFETCH(QString, shown);
    QFETCH(QString, stored);
    QFETCH(bool, empty);

    TForm f;
    f.field->SetTemplate(tpKRTNumeric);
    f.field->SetDecimals(decimals);
    f.field->SetNumericFormatted(formatted);
    f.Type(typed);
    f.Leave();
    QCOMPARE(f.Shown(), shown);
    QCOMPARE(f.field->Text(), stored);
    QCOMPARE(f.field->IsEmpty(), empty);
    QVERIFY(!f.field->ErrorFlag());
    // Entering again shows the stored value, ready to be typed over.
    f.field->SetFocus();
    QCOMPARE(f.Shown(), stored);
}

void tst_TKRTLabelEdit::numberOutsideBoundsFallsBackToMinimum()
{
    TForm f;
    f.field->SetTemplate(tpKRTNumeric);
    f.field->SetDecimals(0);
    f.field->SetNumericFormatted(false);
    f.field->SetAllowNothing(false);
    f.field->SetMinValue(QStringLiteral("2010"));
    f.field->SetMaxValue(QStringLiteral("2030"));
    f.field->SetMinValue(QStringLiteral("abc")); // an invalid bound keeps the previous one
    QCOMPARE(f.field->MinValue(), QStringLiteral("2010"));

    f.Type(QStringLiteral("2035"));
    f.Leave();
    QCOMPARE(f.field->Text(), QStringLiteral("2010"));
    QVERIFY(!f.field->ErrorFlag());
    QVERIFY(!f.InErrorColour());

    f.field->SetText(QStringLiteral("abc"));
    QCOMPARE(f.field->Text(), QStringLiteral("2010"));
    QVERIFY(f.field->ErrorFlag());
    QVERIFY(f.InErrorColour());

    f.field->SetText(QStringLiteral("2020"));
    QCOMPARE(f.field->AsInteger(), 2020);
    QVERIFY(!f.InErrorColour());
}

void tst_TKRTLabelEdit::numberKeyFilter_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown");

    QTest::newRow("letters refused") << "12ab3"
                                     << "123";
    QTest::newRow("second comma refused") << "1,2,3"
                                          << "1,23";
    QTest::newRow("point becomes comma") << "4.5"
                                         << "4,5";
    QTest::newRow("second minus refused") << "-1-2"
                                          << "-12";
    QTest::newRow("space refused") << "1 2"
                                   << "12";
}

void tst_TKRTLabelEdit::numberKeyFilter()
{
    QFETCH(QString, typed);
    QFETCH(QString, shown);
    TForm f;
    f.field->SetTemplate(tpKRTNumeric);
    f.Type(typed);
    QCOMPARE(f.Shown(), shown);
}

void tst_TKRTLabelEdit::dateIsNormalised_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<bool>("error");

    QTest::newRow("29/02/2023 does not exist") << "29/02/2023"
                                               << "" << true;
    QTest::newRow("29.2.24") << "29.2.24"
                             << "29/02/2024" << false;
    QTest::newRow("010230") << "010230"
                            << "01/02/1930" << false;
    QTest::newRow("010229") << "010229"
                            << "01/02/2029" << false;
    QTest::newRow("1/2/2023") << "1/2/2023"
                              << "01/02/2023" << false;
    QTest::newRow("01022023") << "01022023"
                              << "01/02/2023" << false;
    QTest::newRow("31/04/2024") << "31/04/2024"
                                << "" << true;
    QTest::newRow("month 13") << "01/13/2024"
                              << "" << true;
    QTest::newRow("one slash") << "01/022024"
                               << "" << true;
    QTest::newRow("third slash refused while typing") << "01/02/20/24"
                                                      << "01/02/2024" << false;
}

void tst_TKRTLabelEdit::dateIsNormalised()
{
    QFETCH(QString, typed);
    QFETCH(QString, stored);
    QFETCH(bool, error);
    TForm f;
    f.field->SetTemplate(tpKRTDate);
    f.field->SetAllowNothing(false);
    QCOMPARE(f.field->Text(), QDate::currentDate().toString(QStringLiteral("dd/MM/yyyy")));
    f.Type(typed);
    f.Leave();
    QCOMPARE(f.field->Text(), stored);
    QCOMPARE(f.Shown(), stored);
    QCOMPARE(f.field->ErrorFlag(), error);
    QCOMPARE(f.InErrorColour(), error);
    QCOMPARE(f.field->AsDate().isValid(), !error);
}

void tst_TKRTLabelEdit::timeIsNormalised_data()
{
    QTest::addColumn<int>("templ");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<bool>("error");

    QTest::newRow("7") << int(tpKRTTime) << "7"
                       << "07:00:00" << false;
    QTest::newRow("0930") << int(tpKRTTime) << "0930"
                          << "09:30:00" << false;
    QTest::newRow("093015") << int(tpKRTTime) << "093015"
                            << "09:30:15" << false;
    QTest::newRow("9:5:3") << int(tpKRTTime) << "9:5:3"
                           << "09:05:03" << false;
    QTest::newRow("9:30 one colon") << int(tpKRTTime) << "9:30"
                                    << "09:30:00" << false;
    QTest::newRow("24:00:00") << int(tpKRTTime) << "24:00:00"
                              << "" << true;
    QTest::newRow("12:60:00") << int(tpKRTTime) << "12:60:00"
                              << "" << true;
    QTest::newRow("short 9") << int(tpKRTShortTime) << "9"
                             << "09:00" << false;
    QTest::newRow("short 1745") << int(tpKRTShortTime) << "1745"
                                << "17:45" << false;
    QTest::newRow("short 23:60") << int(tpKRTShortTime) << "23:60"
                                 << "" << true;
}

void tst_TKRTLabelEdit::timeIsNormalised()
{
    QFETCH(int, templ);
    QFETCH(QString, typed);
    QFETCH(QString, stored);
    QFETCH(bool, error);
    TForm f;
    f.field->SetTemplate(TKRTTemplate(templ));
    f.field->SetAllowNothing(false);
    f.Type(typed);
    f.Leave();
    QCOMPARE(f.field->Text(), stored);
    QCOMPARE(f.field->ErrorFlag(), error);
}

void tst_TKRTLabelEdit::textKeyFilterAndCase()
{
    TForm f;
    f.field->SetCharCase(ecKRTUpperCase);
    f.field->SetCharactersTable(QStringLiteral(" ;|"));
    f.field->SetInputBehaviours(ibAllowAll | ibExcludeCharsTab);
    f.Type(QStringLiteral("ab;c|d"));
    QCOMPARE(f.Shown(), QStringLiteral("ABCD"));

    // Letters and digits only: punctuation and blanks are refused.
    f.field->SetCharactersTable(QString());
    f.field->SetInputBehaviours(ibAllowAlpha | ibAllowNumeric);
    f.Type(QStringLiteral("x1 -y2"));
    QCOMPARE(f.Shown(), QStringLiteral("X1Y2"));

    // A table of allowed extra characters.
    f.field->SetCharCase(ecKRTLowerCase);
    f.field->SetCharactersTable(QStringLiteral("@."));
    f.field->SetInputBehaviours(ibAllowAlpha | ibAllowNumeric | ibAllowCharsTab);
    f.Type(QStringLiteral("Info@Ditta.IT!"));
    QCOMPARE(f.Shown(), QStringLiteral("info@ditta.it"));

    // A text is stored trimmed unless blanks are allowed.
    f.field->SetInputBehaviours(ibAllowAll);
    f.field->SetText(QStringLiteral("  testo  "));
    QCOMPARE(f.field->Text(), QStringLiteral("testo"));
    f.field->SetInputBehaviours(ibAllowAll | ibAllowSpace);
    f.field->SetText(QStringLiteral("  testo  "));
    QCOMPARE(f.field->Text(), QStringLiteral("  testo  "));
}

void tst_TKRTLabelEdit::commandTextForms_data()
{
    QTest::addColumn<int>("templ");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("sqlEx");
    QTest::addColumn<QString>("contains");
    QTest::addColumn<QString>("startsWith");

    QTest::newRow("date") << int(tpKRTDate) << "05/03/2024"
                          << "'05/03/2024'"
                          << "'20240305'"
                          << "'%05/03/2024%'"
                          << "'05/03/2024%'";
    QTest::newRow("empty date is null") << int(tpKRTDate) << ""
                                        << "''"
                                        << "null"
                                        << "null"
                                        << "null";
    QTest::newRow("apostrophe") << int(tpKRTString) << "dell'ordine"
                                << "'dell''ordine'"
                                << "'dell''ordine'"
                                << "'%dell''ordine%'"
                                << "'dell''ordine%'";
    QTest::newRow("number with decimals reads as one argument") << int(tpKRTNumeric) << "1234,5"
                                                                << "'1234,50'"
                                                                << "1234.5"
                                                                << "'%1234,50%'"
                                                                << "'1234,50%'";
    QTest::newRow("time") << int(tpKRTTime) << "0930"
                          << "'09:30:00'"
                          << "'09:30:00'"
                          << "'%09:30:00%'"
                          << "'09:30:00%'";
}

void tst_TKRTLabelEdit::commandTextForms()
{
    QFETCH(int, templ);
    QFETCH(QString, text);
    QFETCH(QString, sql);
    QFETCH(QString, sqlEx);
    QFETCH(QString, contains);
    QFETCH(QString, startsWith);
    TKRTLabelEdit field;
    field.SetTemplate(TKRTTemplate(templ));
    field.SetText(text);
    QCOMPARE(field.AsSqlString(), sql);
    QCOMPARE(field.AsSqlStringEx(), sqlEx);
    QCOMPARE(field.AsSqlContains(), contains);
    QCOMPARE(field.AsSqlStartsWith(), startsWith);
}

void tst_TKRTLabelEdit::emptyRequiredFieldShowsMessageOnce()
{
    TDialogRecorder recorder;
    TForm f;
    f.field->SetAllowNothing(false);
    f.field->SetErrorMess(QStringLiteral("Descrizione obbligatoria."));
    f.Type(QString());
    f.Leave();
    QVERIFY(f.field->ErrorFlag());
    QVERIFY(f.InErrorColour());
    QCOMPARE(f.field->ErrorColor(), KRTColor(clKRTMoneyGreen));
    QCOMPARE(recorder.Count(TDialogKind::Error), 1);
    QCOMPARE(recorder.LastText(TDialogKind::Error), QStringLiteral("Descrizione obbligatoria."));

    // Leaving again a field already in the error colour does not repeat the message.
    f.field->SetFocus();
    f.Leave();
    QCOMPARE(recorder.Count(TDialogKind::Error), 1);

    // With IfErrFocused the operator is brought back to the field.
    f.field->SetIfErrFocused(true);
    f.field->SetText(QStringLiteral("x"));
    f.Type(QString());
    QTest::keyClick(f.field->Edit(), Qt::Key_Backspace);
    f.Leave();
    QTRY_VERIFY(f.field->Edit()->hasFocus());
    QCOMPARE(recorder.Count(TDialogKind::Error), 2);
    f.field->SetIfErrFocused(false);

    // A value clears the error colour.
    f.Type(QStringLiteral("Cavo"));
    f.Leave();
    QVERIFY(!f.field->ErrorFlag());
    QVERIFY(!f.InErrorColour());
}

void tst_TKRTLabelEdit::typedConversionErrors()
{
    TKRTLabelEdit field;
    field.SetTemplate(tpKRTNumeric);
    field.SetText(QString());
    QVERIFY(field.IsEmpty());
    QVERIFY_THROWS_EXCEPTION(EKRTConvertError, field.AsFloat());
    field.SetText(QStringLiteral("12,5"));
    QCOMPARE(field.AsFloat(), 12.5);
    QVERIFY_THROWS_EXCEPTION(EKRTConvertError, field.AsInteger());
    field.SetAsFloat(1234.5);
    QCOMPARE(field.Text(), QStringLiteral("1234,50"));
    QCOMPARE(TKRTLabelEdit::ConvertEditTextAsFloat(QStringLiteral("1.234,5")), 1234.5);
    QCOMPARE(TKRTLabelEdit::ConvertEditTextAsFloat(QStringLiteral("x")), 0.0);

    field.SetTemplate(tpKRTDate);
    field.SetAsDate(QDate(2024, 3, 5));
    QCOMPARE(field.Text(), QStringLiteral("05/03/2024"));
    field.SetTemplate(tpKRTTime);
    field.SetAsTime(QTime(7, 5, 0));
    QCOMPARE(field.Text(), QStringLiteral("07:05:00"));
    QCOMPARE(field.AsTime(), QTime(7, 5, 0));
}

void tst_TKRTLabelEdit::templateChangeResetsBoundsAndValue()
{
    TKRTLabelEdit field;
    field.SetTemplate(tpKRTNumeric);
    QCOMPARE(field.Text(), QStringLiteral("0,00"));
    field.SetMinValue(QStringLiteral("5"));
    field.SetTemplate(tpKRTDate);
    QVERIFY(field.MinValue().isEmpty());
    QCOMPARE(field.Text(), QDate::currentDate().toString(QStringLiteral("dd/MM/yyyy")));
    QCOMPARE(field.MaxLength(), 0);
    QCOMPARE(field.Edit()->maxLength(), 10);

    // Dates outside the bounds empty the field without the error colour.
    field.SetMinValue(QStringLiteral("01/01/2024"));
    field.SetMaxValue(QStringLiteral("31.12.24"));
    QCOMPARE(field.MaxValue(), QStringLiteral("31/12/2024"));
    field.SetText(QStringLiteral("15/06/2025"));
    QCOMPARE(field.Text(), QString());
    QVERIFY(!field.ErrorFlag());

    // ClearField: empty with AllowNothing, else the template's starting value.
    field.SetTemplate(tpKRTNumeric);
    field.SetText(QStringLiteral("7"));
    field.ClearField();
    QCOMPARE(field.Text(), QString());
    field.SetAllowNothing(false);
    field.ClearField();
    QCOMPARE(field.Text(), QStringLiteral("0,00"));
}

void tst_TKRTLabelEdit::pasteFollowsTemplate()
{
    TForm f;
    f.field->SetTemplate(tpKRTNumeric);
    f.field->SetFocus();
    f.field->Edit()->selectAll();
    QApplication::clipboard()->setText(QStringLiteral("abc"));
    QTest::keySequence(f.field->Edit(), QKeySequence::Paste);
    QCOMPARE(f.Shown(), QStringLiteral("0,00"));
    QApplication::clipboard()->setText(QStringLiteral("1.234,5"));
    QTest::keySequence(f.field->Edit(), QKeySequence::Paste);
    f.Leave();
    QCOMPARE(f.field->Text(), QStringLiteral("1234,50"));

    f.field->SetTemplate(tpKRTString);
    f.field->SetCharactersTable(QStringLiteral(";"));
    f.field->SetInputBehaviours(ibAllowAll | ibExcludeCharsTab);
    f.field->SetText(QString());
    f.field->SetFocus();
    QApplication::clipboard()->setText(QStringLiteral("a;b;c"));
    QTest::keySequence(f.field->Edit(), QKeySequence::Paste);
    QCOMPARE(f.Shown(), QStringLiteral("abc"));
    QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("a;b;c"));
}

void tst_TKRTLabelEdit::layoutFollowsCaptionPosition()
{
    TKRTLabelEdit field;
    field.SetCaptionWidth(60);
    field.SetEditWidth(100);
    field.SetEditHeight(21);
    QCOMPARE(field.Edit()->geometry(), QRect(62, 0, 100, 21));
    QCOMPARE(field.size(), QSize(162, 21));
    field.SetButtonVisible(true);
    QCOMPARE(field.size(), QSize(177, 21));
    QCOMPARE(field.Button()->geometry(), QRect(162, 0, 15, 21));

    field.SetCaptionPosition(cpKRTAbove);
    field.SetCaptionHeight(18);
    QCOMPARE(field.Edit()->geometry(), QRect(0, 18, 100, 21));
    QCOMPARE(field.size(), QSize(115, 39));
    // A resize gives the edit the room left by the caption and the button.
    field.show();
    field.resize(215, 50);
    QCOMPARE(field.Edit()->geometry(), QRect(0, 18, 200, 32));
}

void tst_TKRTLabelEdit::dateButtonOpensCalendar()
{
    TForm f;
    f.field->SetTemplate(tpKRTDate);
    f.field->SetButtonVisible(true);
    f.field->SetText(QStringLiteral("15/03/2024"));
    QTest::mouseClick(f.field->Button(), Qt::LeftButton);
    auto *calendar = f.field->findChild<TKRTCalendar *>();
    QVERIFY(calendar);
    QVERIFY(calendar->isVisible());
    QCOMPARE(calendar->ShownMonth(), QDate(2024, 3, 1));
    QCOMPARE(calendar->findChild<QLabel *>(QStringLiteral("SF_Month"))->text(),
             QStringLiteral("Marzo 2024"));
    // Directly under the edit, at its left edge.
    QCOMPARE(calendar->frameGeometry().topLeft(),
             f.field->Edit()->mapToGlobal(QPoint(0, f.field->Edit()->height())));
    Q_EMIT calendar->Calendar()->clicked(QDate(2024, 3, 20));
    QCOMPARE(f.field->Text(), QStringLiteral("20/03/2024"));
    QTRY_VERIFY(!f.field->findChild<TKRTCalendar *>());

    // The owner may refuse the day.
    f.field->OnDateSelect = [](TKRTLabelEdit *, bool &accept, const QDate &d) {
        accept = d.dayOfWeek() < 6;
    };
    QTest::mouseClick(f.field->Button(), Qt::LeftButton);
    calendar = f.field->findChild<TKRTCalendar *>();
    QVERIFY(calendar);
    Q_EMIT calendar->Calendar()->clicked(QDate(2024, 3, 23)); // a Saturday
    QCOMPARE(f.field->Text(), QStringLiteral("20/03/2024"));

    // Read-only fields open nothing; an empty invalid field starts on today.
    QTRY_VERIFY(!f.field->findChild<TKRTCalendar *>());
    f.field->SetReadOnly(true);
    QVERIFY(!f.field->ShowCalendarForm());
    f.field->SetReadOnly(false);
    f.field->SetText(QString());
    calendar = f.field->ShowCalendarForm();
    QCOMPARE(calendar->ShownMonth(),
             QDate(QDate::currentDate().year(), QDate::currentDate().month(), 1));
    calendar->close();
}

void tst_TKRTLabelEdit::numberButtonOpensCalculator()
{
    TForm f;
    f.field->SetTemplate(tpKRTNumeric);
    f.field->SetButtonVisible(true);
    f.field->SetText(QStringLiteral("10"));
    QTest::mouseClick(f.field->Button(), Qt::LeftButton);
    auto *calc = f.field->findChild<TKRTCalculator *>();
    QVERIFY(calc);
    QCOMPARE(calc->findChild<QLabel *>(QStringLiteral("SF_Numeric"))->text(), QStringLiteral("10 "));
    // Typing replaces the starting value; Enter hands the result to the field.
    QTest::keyClicks(calc, QStringLiteral("12+3,5*2"));
    QCOMPARE(calc->findChild<QLabel *>(QStringLiteral("SF_Operation"))->text(), QStringLiteral("*"));
    QTest::keyClick(calc, Qt::Key_Return);
    QCOMPARE(f.field->AsFloat(), 31.0);
    QCOMPARE(f.field->Text(), QStringLiteral("31,00"));

    // With a user event the button calls the owner instead.
    int calls = 0;
    f.field->SetButtonUserEvent(true);
    f.field->OnButtonClick = [&calls](TKRTLabelEdit *) { ++calls; };
    QTRY_VERIFY(!f.field->findChild<TKRTCalculator *>());
    QTest::mouseClick(f.field->Button(), Qt::LeftButton);
    QCOMPARE(calls, 1);
    QVERIFY(!f.field->findChild<TKRTCalculator *>());
}

void tst_TKRTLabelEdit::onChangeRaisedForTypingAndWrites()
{
    TForm f;
    int changes = 0;
    f.field->OnChange = [&changes](TKRTLabelEdit *) { ++changes; };
    f.Type(QStringLiteral("ab"));
    QCOMPARE(changes, 2);
    QVERIFY(f.field->Modified());
    f.field->SetText(QStringLiteral("xyz"));
    QCOMPARE(changes, 3);
    // Entering and leaving the field re-displays without raising a change.
    f.field->SetFocus();
    f.Leave();
    QCOMPARE(changes, 3);
}

void tst_TKRTLabelEdit::captionStyleAndEvents()
{
    TForm f;
    int clicks = 0;
    f.field->OnCaptionClick = [&clicks](TKRTLabelEdit *) { ++clicks; };
    f.field->SetCaptionStyle(csKRTAddLink);
    QVERIFY(f.field->CaptionFont().bold());
    QVERIFY(f.field->CaptionFont().underline());
    QCOMPARE(f.field->CaptionCursor(), Qt::PointingHandCursor);
    QTest::mouseClick(f.field->CaptionLabel(), Qt::LeftButton);
    QCOMPARE(clicks, 1);
    f.field->SetCaptionStyle(csKRTRemoveLink);
    QVERIFY(!f.field->CaptionFont().bold());
    QCOMPARE(f.field->CaptionCursor(), Qt::ArrowCursor);

    // The owner's key hook may change or swallow a key before the filter.
    f.field->OnKeyPress = [](TKRTLabelEdit *, QChar &key) {
        if (key == QLatin1Char('#'))
            key = QChar();
        else if (key == QLatin1Char('*'))
            key = QLatin1Char('x');
    };
    f.Type(QStringLiteral("a#b*c"));
    QCOMPARE(f.Shown(), QStringLiteral("abxc"));

    f.field->SetAllEnabled(false);
    QVERIFY(!f.field->Edit()->isEnabled());
    QVERIFY(!f.field->CaptionLabel()->isEnabled());
    f.field->SetAllEnabled(true);
    QVERIFY(f.field->Edit()->isEnabled());
}

void tst_TKRTLabelEdit::wordWrapKeepsLines()
{
    TForm f;
    f.field->SetWordWrap(true);
    QVERIFY(f.field->Memo());
    QVERIFY(!f.field->Edit()->isVisible());
    f.field->SetText(QStringLiteral("riga uno\nriga due"));
    QCOMPARE(f.field->Memo()->toPlainText(), QStringLiteral("riga uno\nriga due"));
    int changes = 0;
    f.field->OnChange = [&changes](TKRTLabelEdit *) { ++changes; };
    f.field->SetFocus();
    f.field->Memo()->moveCursor(QTextCursor::End);
    QTest::keyClicks(f.field->Memo(), QStringLiteral("!"));
    QCOMPARE(f.field->Text(), QStringLiteral("riga uno\nriga due!"));
    QVERIFY(changes > 0);
    f.field->SetWordWrap(false);
    QVERIFY(!f.field->Memo());
    QCOMPARE(f.field->Text(), QStringLiteral("riga uno\nriga due!"));
}

void tst_TKRTLabelEdit::onlyKeyboardEntrySelectsText_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<bool>("selected");
    QTest::newRow("click in the field") << "field" << false;
    QTest::newRow("click on a label") << "label" << false;
    QTest::newRow("click on the field's caption") << "caption" << false;
    QTest::newRow("click on an empty spot") << "empty" << false;
    QTest::newRow("Tab into the field") << "tab" << true;
    QTest::newRow("Backtab into the field") << "backtab" << true;
}

// An edit panel in a window of the main window's MDI area, as the management windows have: a
// click that lands on no control passes the focus through the sub-window and back to the
// field. The field's text is selected only when the operator entered it by keyboard; a click
// never selects text the operator did not point at, so the next key does not replace it.
void tst_TKRTLabelEdit::onlyKeyboardEntrySelectsText()
{
    QFETCH(QString, action);
    QFETCH(bool, selected);

    QMdiArea area;
    area.resize(700, 400);
    auto *panel = new QWidget;
    auto *layout = new QVBoxLayout(panel);
    auto *title = new QLabel(QStringLiteral("Dati anagrafici"), panel);
    auto *before = new TKRTLabelEdit(QStringLiteral("EF_Codice"), QStringLiteral("Codice"), panel);
    auto *field = new TKRTLabelEdit(QStringLiteral("EF_Denominazione"),
                                    QStringLiteral("Denominazione"),
                                    panel);
    field->SetCaptionWidth(110);
    auto *after = new TKRTLabelEdit(QStringLiteral("EF_Localita"),
                                    QStringLiteral("Località"),
                                    panel);
    layout->addWidget(title);
    layout->addWidget(before);
    layout->addWidget(field);
    layout->addWidget(after);
    layout->addStretch(1);
    before->SetText(QStringLiteral("C0042"));
    field->SetText(QStringLiteral("Rossi Impianti"));
    after->SetText(QStringLiteral("Milano"));
    QMdiSubWindow *sub = area.addSubWindow(panel);
    sub->resize(500, 300);
    area.show();
    area.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&area));
    QLineEdit *edit = field->Edit();

    // The operator is in the field with the caret at its end (no selection).
    QTest::mouseClick(edit, Qt::LeftButton, {}, QPoint(edit->width() - 4, edit->height() / 2));
    QTRY_VERIFY(edit->hasFocus());
    edit->end(false);
    QTest::qWait(20);

    if (action == QLatin1String("field")) {
        after->SetFocus();
        QTest::mouseClick(edit, Qt::LeftButton, {}, QPoint(edit->width() - 4, edit->height() / 2));
    } else if (action == QLatin1String("label")) {
        QTest::mouseClick(title, Qt::LeftButton, {}, QPoint(4, title->height() / 2));
    } else if (action == QLatin1String("caption")) {
        QTest::mouseClick(field->CaptionLabel(), Qt::LeftButton);
    } else if (action == QLatin1String("empty")) {
        QTest::mouseClick(panel,
                          Qt::LeftButton,
                          {},
                          QPoint(panel->width() / 2, panel->height() - 10));
    } else if (action == QLatin1String("tab")) {
        before->SetFocus();
        QTest::keyClick(before->Edit(), Qt::Key_Tab);
    } else {
        after->SetFocus();
        QTest::keyClick(after->Edit(), Qt::Key_Backtab);
    }
    QTest::qWait(50); // the deferred selection of a field just entered
    QVERIFY(edit->hasFocus());
    QCOMPARE(edit->selectedText(), selected ? QStringLiteral("Rossi Impianti") : QString());

    // The next key replaces only what was selected.
    QTest::keyClicks(edit, QStringLiteral("1"));
    QCOMPARE(field->Text(), selected ? QStringLiteral("1") : QStringLiteral("Rossi Impianti1"));
}

QTEST_MAIN(tst_TKRTLabelEdit)
#include "tst_tkrtlabeledit.moc"
