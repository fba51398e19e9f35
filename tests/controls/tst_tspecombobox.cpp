// The code-and-description lookup box driven from the keyboard.

#include "controls/tspecombobox.h"
#include "db/dataset.h"
#include "tests/support/dialogrecorder.h"

#include <QComboBox>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QVBoxLayout>

namespace {

const char *const kProvinces[][2] = {{"MI", "MILANO"},
                                     {"MO", "MODENA"},
                                     {"MB", "MONZA E BRIANZA"},
                                     {"RM", "ROMA"},
                                     {"TO", "TORINO"},
                                     {"BG", "BERGAMO"}};

struct TLookupForm
{
    TLookupForm()
    {
        window = std::make_unique<QWidget>();
        auto *layout = new QVBoxLayout(window.get());
        before = new QLineEdit(window.get());
        box = new TSPEComboBox(window.get());
        box->setObjectName(QStringLiteral("SCB_Provincia"));
        box->SetCaptionString(QStringLiteral("Prov."));
        after = new QLineEdit(window.get());
        layout->addWidget(before);
        layout->addWidget(box);
        layout->addWidget(after);
        box->OnSelect = [this](TSPEComboBox *b) {
            ++selects;
            lastSelected = b->Text();
        };
        box->Reset();
        TDataSet *q = box->qry();
        q->AddFieldDef(QStringLiteral("Codice"), TFieldType::Text, 2);
        q->AddFieldDef(QStringLiteral("Descrizione"), TFieldType::Text, 50);
        q->CreateDataSet();
        for (const auto &p : kProvinces) {
            q->Append();
            q->Fields(0).SetValue(QString::fromLatin1(p[0]));
            q->Fields(1).SetValue(QString::fromLatin1(p[1]) + QStringLiteral("  "));
            q->Post();
        }
        window->show();
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
    }
    QLineEdit *Code() const { return box->edt()->Edit(); }
    void TypeInCode(const QString &text)
    {
        Code()->setFocus(Qt::TabFocusReason);
        QTest::keyClicks(Code(), text);
    }

    std::unique_ptr<QWidget> window;
    QLineEdit *before = nullptr;
    TSPEComboBox *box = nullptr;
    QLineEdit *after = nullptr;
    int selects = 0;
    QString lastSelected;
};

} // namespace

class tst_TSPEComboBox : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void activeBuildsItems();
    void codeLookUp_data();
    void codeLookUp();
    void typingInCodeCompletes();
    void typingInDropDownCompletes();
    void pickingADescription();
    void filteredToOneRecordSelectsIt();
    void announcementRules();
    void colourRule();
    void cacheFileIsRead();

private:
    TDialogRecorder m_noModal;
};

void tst_TSPEComboBox::activeBuildsItems()
{
    TLookupForm f;
    QVERIFY(!f.box->isEnabled());
    QVERIFY(!f.box->IsActive());
    f.box->Active(true);
    QVERIFY(f.box->isEnabled());
    QCOMPARE(f.box->GetRecordCount(), 6);
    QCOMPARE(f.box->cbx()->count(), 7);
    QCOMPARE(f.box->cbx()->itemText(0), QString());
    QCOMPARE(f.box->cbx()->itemText(4), QStringLiteral("ROMA"));
    QCOMPARE(f.box->edt()->CaptionString(), QStringLiteral("Prov."));
    // The drop-down stands 5 pixels right of the code field, at the same height.
    QCOMPARE(f.box->cbx()->x(), f.box->edt()->x() + f.box->edt()->width() + 5);
    QCOMPARE(f.box->cbx()->y(), f.box->edt()->y() + f.box->edt()->Edit()->y());
    QCOMPARE(f.box->edt()->Edit()->height(), f.box->cbx()->height());
    f.box->Active(false);
    QVERIFY(!f.box->isEnabled());
    QCOMPARE(f.box->qry(), nullptr);
    QCOMPARE(f.box->GetRecordCount(), 0);
}

void tst_TSPEComboBox::codeLookUp_data()
{
    QTest::addColumn<bool>("codiceBlank");
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("shownCode");
    QTest::addColumn<QString>("description");
    QTest::addColumn<int>("beeps");

    QTest::newRow("bare") << false << "RM"
                          << "RM"
                          << "ROMA" << 0;
    QTest::newRow("blanks ignored") << false << " RM "
                                    << "RM"
                                    << "ROMA" << 0;
    QTest::newRow("blanks count") << true << " RM "
                                  << ""
                                  << "" << 1;
    QTest::newRow("unknown") << false << "XX"
                             << ""
                             << "" << 1;
    QTest::newRow("empty") << false << ""
                           << ""
                           << "" << 0;
}

void tst_TSPEComboBox::codeLookUp()
{
    QFETCH(bool, codiceBlank);
    QFETCH(QString, code);
    QFETCH(QString, shownCode);
    QFETCH(QString, description);
    QFETCH(int, beeps);
    TLookupForm f;
    f.box->SetCodiceBlank(codiceBlank);
    f.box->Active(true);
    f.box->SetText(code);
    QCOMPARE(f.box->Text(), shownCode);
    QCOMPARE(f.box->Description(), description);
    QCOMPARE(f.box->BeepCount(), beeps);
    QCOMPARE(f.box->IsSelect(), !shownCode.isEmpty());
    if (!shownCode.isEmpty()) {
        QCOMPARE(f.box->cbx()->currentIndex(), 4);
        QCOMPARE(f.box->qry()->RecNo(), 4);
    }
}

void tst_TSPEComboBox::typingInCodeCompletes()
{
    TLookupForm f;
    f.box->Active(true);
    // A lower-case first letter completes to the first code, upper case, tail selected.
    f.TypeInCode(QStringLiteral("m"));
    QCOMPARE(f.Code()->text(), QStringLiteral("MI"));
    QCOMPARE(f.Code()->selectionStart(), 1);
    QCOMPARE(f.Code()->selectedText(), QStringLiteral("I"));
    QCOMPARE(f.box->Description(), QStringLiteral("MILANO"));
    QCOMPARE(f.box->qry()->RecNo(), 1);
    // Typing goes on over the completed tail.
    QTest::keyClicks(f.Code(), QStringLiteral("b"));
    QCOMPARE(f.Code()->text(), QStringLiteral("MB"));
    QCOMPARE(f.box->Description(), QStringLiteral("MONZA E BRIANZA"));
    QCOMPARE(f.Code()->selectedText(), QString());
    // A prefix that matches nothing beeps and changes nothing.
    f.Code()->setSelection(1, 1);
    QTest::keyClicks(f.Code(), QStringLiteral("x"));
    QCOMPARE(f.box->BeepCount(), 1);
    QCOMPARE(f.Code()->text(), QStringLiteral("MB"));
    QCOMPARE(f.box->Description(), QStringLiteral("MONZA E BRIANZA"));
    // Backspace over the completed tail shortens what was typed: nothing left, both emptied.
    QTest::keyClick(f.Code(), Qt::Key_Backspace);
    QCOMPARE(f.Code()->text(), QString());
    QCOMPARE(f.box->Description(), QString());
    QCOMPARE(f.box->cbx()->currentIndex(), 0);
    f.TypeInCode(QStringLiteral("to"));
    QCOMPARE(f.box->Text(), QStringLiteral("TO"));
    QCOMPARE(f.box->Description(), QStringLiteral("TORINO"));
}

void tst_TSPEComboBox::typingInDropDownCompletes()
{
    TLookupForm f;
    f.box->Active(true);
    f.box->cbx()->setFocus(Qt::TabFocusReason);
    QTest::keyClicks(f.box->cbx(), QStringLiteral("mo"));
    QCOMPARE(f.box->cbx()->currentText(), QStringLiteral("MODENA"));
    QCOMPARE(f.box->cbx()->lineEdit()->selectedText(), QStringLiteral("DENA"));
    QCOMPARE(f.box->Text(), QStringLiteral("MO"));
    QTest::keyClicks(f.box->cbx(), QStringLiteral("n"));
    QCOMPARE(f.box->cbx()->currentText(), QStringLiteral("MONZA E BRIANZA"));
    QCOMPARE(f.box->Text(), QStringLiteral("MB"));
    QCOMPARE(f.box->qry()->RecNo(), 3);
    // Unknown text: a beep, or the key let through with AllowNewValue.
    QTest::keyClicks(f.box->cbx(), QStringLiteral("q"));
    QCOMPARE(f.box->BeepCount(), 1);
    QCOMPARE(f.box->cbx()->currentText(), QStringLiteral("MONZA E BRIANZA"));
    f.box->AllowNewValue = true;
    f.box->cbx()->lineEdit()->setText(QStringLiteral("NUOVA"));
    f.box->cbx()->lineEdit()->end(false);
    QTest::keyClicks(f.box->cbx(), QStringLiteral("X"));
    QCOMPARE(f.box->cbx()->currentText(), QStringLiteral("NUOVAX"));
    QCOMPARE(f.box->BeepCount(), 1);
}

void tst_TSPEComboBox::pickingADescription()
{
    TLookupForm f;
    f.box->Active(true);
    f.box->cbx()->setFocus(Qt::MouseFocusReason);
    f.box->cbx()->setCurrentIndex(6);
    Q_EMIT f.box->cbx()->activated(6);
    QCOMPARE(f.box->Text(), QStringLiteral("BG"));
    QCOMPARE(f.selects, 1);
    QCOMPARE(f.lastSelected, QStringLiteral("BG"));
    QCOMPARE(f.box->edt()->TagString(), QStringLiteral("BG"));
    // The same pick again is not announced twice; leaving after a pick announces nothing.
    Q_EMIT f.box->cbx()->activated(6);
    QCOMPARE(f.selects, 1);
    f.after->setFocus(Qt::TabFocusReason);
    QCOMPARE(f.selects, 1);
    // Picking the empty item empties the code.
    f.box->cbx()->setCurrentIndex(0);
    Q_EMIT f.box->cbx()->activated(0);
    QCOMPARE(f.box->Text(), QString());
    QCOMPARE(f.selects, 2);
}

void tst_TSPEComboBox::filteredToOneRecordSelectsIt()
{
    TLookupForm f;
    f.box->Active(true);
    f.box->SetFilter(QStringLiteral("Codice = 'RM'"));
    f.box->SetFiltered(true);
    QCOMPARE(f.box->GetRecordCount(), 1);
    QCOMPARE(f.box->cbx()->count(), 2);
    QCOMPARE(f.box->Text(), QStringLiteral("RM"));
    QCOMPARE(f.box->Description(), QStringLiteral("ROMA"));
    f.box->SetFiltered(false);
    QCOMPARE(f.box->Text(), QString());
    QCOMPARE(f.box->cbx()->count(), 7);
    f.box->SetAllowNothing(true);
    f.box->SetFiltered(true);
    QCOMPARE(f.box->Text(), QString());
    f.box->SetFilter(QStringLiteral("Codice LIKE 'M%'"));
    f.box->SetFiltered(true);
    QCOMPARE(f.box->cbx()->count(), 4);
    QCOMPARE(f.box->Text(), QString());
}

void tst_TSPEComboBox::announcementRules()
{
    TLookupForm f;
    f.box->Active(true);
    f.box->SetText(QStringLiteral("RM"));
    // Entering and leaving an unchanged code announces nothing.
    f.Code()->setFocus(Qt::TabFocusReason);
    f.after->setFocus(Qt::TabFocusReason);
    QCOMPARE(f.selects, 0);
    // Another code: the drop-down is out of the tab order, so leaving announces at once.
    f.Code()->setFocus(Qt::TabFocusReason);
    f.Code()->selectAll();
    QTest::keyClicks(f.Code(), QStringLiteral("t"));
    QCOMPARE(f.box->Text(), QStringLiteral("TO"));
    QVERIFY(!(f.box->cbx()->focusPolicy() & Qt::TabFocus));
    QTest::keyClick(f.Code(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), f.after);
    QCOMPARE(f.selects, 1);
    QCOMPARE(f.lastSelected, QStringLiteral("TO"));
    // An emptied code puts the drop-down in the tab order: announced once, when it is left.
    f.Code()->setFocus(Qt::TabFocusReason);
    f.Code()->selectAll();
    QTest::keyClick(f.Code(), Qt::Key_Backspace);
    QCOMPARE(f.box->Text(), QString());
    QVERIFY(f.box->cbx()->focusPolicy() & Qt::TabFocus);
    QTest::keyClick(f.Code(), Qt::Key_Tab);
    QVERIFY(f.box->cbx()->hasFocus());
    QCOMPARE(f.selects, 1);
    QTest::keyClick(f.box->cbx(), Qt::Key_Tab);
    QCOMPARE(f.selects, 2);
    QCOMPARE(f.lastSelected, QString());
}

void tst_TSPEComboBox::colourRule()
{
    TLookupForm f;
    f.box->Active(true);
    const QColor error = f.box->edt()->ErrorColor();
    QCOMPARE(f.box->cbx()->palette().color(QPalette::Base), error);
    QCOMPARE(f.box->edt()->Edit()->palette().color(QPalette::Base), error);
    f.box->SetText(QStringLiteral("MI"));
    QVERIFY(f.box->cbx()->palette().color(QPalette::Base) != error);
    QVERIFY(f.box->edt()->Edit()->palette().color(QPalette::Base) != error);
    f.box->ClearField();
    QCOMPARE(f.box->cbx()->palette().color(QPalette::Base), error);
    f.box->SetAllowNothing(true);
    QVERIFY(f.box->cbx()->palette().color(QPalette::Base) != error);
}

void tst_TSPEComboBox::cacheFileIsRead()
{
    QTemporaryDir dir;
    QJsonArray fields{QJsonObject{{"name", "Codice"}, {"type", 0}, {"size", 2}},
                      QJsonObject{{"name", "Descrizione"}, {"type", 0}, {"size", 50}}};
    QJsonArray rows{QJsonArray{"AO", "AOSTA"}, QJsonArray{"AQ", "L'AQUILA"}};
    QFile file(dir.filePath(QStringLiteral("province.json")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(QJsonDocument(QJsonObject{{"fields", fields}, {"rows", rows}}).toJson());
    file.close();
    TLookupForm f;
    f.box->Reset();
    f.box->FileName = file.fileName();
    f.box->Active(true);
    QCOMPARE(f.box->GetRecordCount(), 2);
    f.box->SetText(QStringLiteral("AQ"));
    QCOMPARE(f.box->Description(), QStringLiteral("L'AQUILA"));
}

QTEST_MAIN(tst_TSPEComboBox)
#include "tst_tspecombobox.moc"
