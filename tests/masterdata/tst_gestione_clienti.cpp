// The customer window driven as an operator does, against a fresh demo database: extraction
// and its command texts, the company selector rule, insert, change, deactivation and
// reactivation with their warnings, the saved filters, closing during an edit and bad input.

#include "tests/support/masterdataenv.h"
#include "tests/support/windowtest.h"

#include "common/clipboard.h"
#include "common/formats.h"
#include "controls/tkrtgridmodel.h"
#include "controls/tspecombobox.h"
#include "masterdata/companyselector.h"
#include "masterdata/customerfilters.h"
#include "masterdata/customerlist.h"
#include "masterdata/gestione_clienti.h"
#include "masterdata/radiogroup.h"
#include "masterdata/registrypanel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>

class tst_gestione_clienti : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TMasterDataEnvironment> env;
    QPointer<TGESTIONE_CLIENTI> w;

    TGESTIONE_CLIENTI *Open()
    {
        w = new TGESTIONE_CLIENTI;
        w->show();
        return w;
    }
    void Extract() { QTest::mouseClick(w->Filters->PB_EstraiElenco, Qt::LeftButton); }
    int Count(const QString &where)
    {
        return env->Super(QStringLiteral("SELECT count(*) FROM clienti WHERE ") + where).toInt();
    }
    QString Value(const QString &column, const QString &id)
    {
        return env->Super(
            QStringLiteral("SELECT %1 FROM clienti WHERE idcliente = '%2'").arg(column, id));
    }
    QString Commands(int from) const
    {
        return env->Recorder().Requests().size() > from ? env->Recorder().Requests().at(from).text
                                                        : QString();
    }
    // Draws one cell through the grid's hook and gives its colours.
    TKRTDrawCellArgs Draw(int row)
    {
        TKRTDrawCellArgs args;
        args.Row = row;
        args.DataCol = 0;
        args.Font = w->DG_Clienti->font();
        w->DG_Clienti->OnDrawColumnCell(w->DG_Clienti, args);
        return args;
    }

private slots:
    void initTestCase()
    {
        if (!TTestDatabase::Available())
            QSKIP("test cluster not available (VENTOREL_TEST_PGSOCKET)");
    }
    void init() { env = std::make_unique<TMasterDataEnvironment>(); }
    void cleanup()
    {
        env->Recorder().QueueYes();
        delete w;
        env.reset();
    }

    void companySelectorRule_data();
    void companySelectorRule();
    void extractionCommand_data();
    void extractionCommand();
    void enterInAFilterExtracts();
    void insertChangeDeactivateReactivate();
    void savedButNotVisible_data();
    void savedButNotVisible();
    void mandatoryNameAndCap_data();
    void mandatoryNameAndCap();
    void longNameIsCutAtTheColumn();
    void settingsRestoredAtNextOpening();
    void firstOpeningShowsResetFilters();
    void userMenu_data();
    void userMenu();
    void infoSupplementari();
    void closingWhileEditing();
    void firstShowingInTheMainWindow();
    void filtersKeepTheirWidthInASmallMainWindow();
    void connectionLostWhileEditing_data();
    void connectionLostWhileEditing();
    void changeOfAnotherOperatorIsShownNotOverwritten();
    void keysOfTheEditPanel_data();
    void keysOfTheEditPanel();
};

// --- Company selector -------------------------------------------------------------------------

void tst_gestione_clienti::companySelectorRule_data()
{
    QTest::addColumn<int>("who");
    QTest::addColumn<QString>("ownCompany");
    QTest::addColumn<bool>("selector");
    QTest::addColumn<QString>("companiesCommand");
    QTest::addColumn<QString>("extractedCompany");

    QTest::newRow("operator of a company: no selector")
        << int(TDemoOperator::Operator) << kSoc1 << false << QString() << kSoc1;
    QTest::newRow("funzionario without company")
        << int(TDemoOperator::Funzionario) << QString() << true
        << QStringLiteral("EXEC EstraiElencoSocieta ''") << QString("first");
    QTest::newRow("funzionario of the second company: his own first")
        << int(TDemoOperator::Funzionario) << kSoc2 << true
        << QStringLiteral("EXEC EstraiElencoSocieta '%1'").arg(kSoc2) << kSoc2;
    QTest::newRow("operator without company")
        << int(TDemoOperator::Operator) << QString() << true
        << QStringLiteral("EXEC EstraiElencoSocieta") << QString("first");
}

void tst_gestione_clienti::companySelectorRule()
{
    QFETCH(int, who);
    QFETCH(QString, ownCompany);
    QFETCH(bool, selector);
    QFETCH(QString, companiesCommand);
    QFETCH(QString, extractedCompany);
    env->LogOn(TDemoOperator(who));
    SessionInfo().sOperatorCompanyId = ownCompany;

    // The creation ends with the extraction that only gives the grid its columns.
    Open();
    QCOMPARE(env->LastCommand(), QStringLiteral("EXEC EstraiClienti  0"));
    TCompanySelector *companies = w->findChild<TCompanySelector *>(QStringLiteral("PAN_Societa"));
    QVERIFY(companies);
    QCOMPARE(companies->isVisible(), selector);
    QVERIFY(w->DG_Clienti->DataSet());
    QVERIFY(w->DG_Clienti->ColumnIndexByFieldName(QStringLiteral("txDenominazione")) >= 0);

    if (selector) {
        QCOMPARE(TCompanySelector::CommandText(), companiesCommand);
        QCOMPARE(companies->Count(), 2);
        if (extractedCompany == QLatin1String("first"))
            extractedCompany = companies->SelectedId();
    }
    Extract();
    QVERIFY2(env->LastCommand().startsWith(
                 QStringLiteral("EXEC EstraiClienti  1, '%1', ").arg(extractedCompany)),
             qPrintable(env->LastCommand()));
    const int expected = Count(
        QStringLiteral("idsocieta = '%1' AND dtcanc IS NULL AND flestero = 0").arg(extractedCompany));
    QVERIFY(expected > 0);
    QCOMPARE(w->DST_GRID_Clienti()->RecordCount(), expected);

    if (selector) {
        // After a first extraction, choosing another company extracts again at once.
        const int other = companies->Combo()->currentIndex() == 0 ? 1 : 0;
        companies->Combo()->setCurrentIndex(other);
        const QString otherId = companies->SelectedId();
        QVERIFY(env->LastCommand().startsWith(
            QStringLiteral("EXEC EstraiClienti  1, '%1', ").arg(otherId)));
        QCOMPARE(w->sIdSocieta, otherId);
        QCOMPARE(env->Setting(QStringLiteral("FrmGesCli_KeySocieta")), otherId);
    } else {
        QCOMPARE(env->Setting(QStringLiteral("FrmGesCli_KeySocieta")), QString(kIniAbsent));
    }
    QCOMPARE(env->Recorder().Count(TDialogKind::Error), 0);
}

// --- Extraction -------------------------------------------------------------------------------

void tst_gestione_clienti::extractionCommand_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("nameMode");
    QTest::addColumn<QString>("vat");
    QTest::addColumn<int>("nationality");
    QTest::addColumn<QString>("place"); // province code or nation
    QTest::addColumn<bool>("inactive");
    QTest::addColumn<bool>("months");
    QTest::addColumn<int>("slider");
    QTest::addColumn<QString>("arguments"); // after the company
    QTest::addColumn<QString>("where");     // the same customers, in SQL

    const QString base = QStringLiteral("idsocieta = '%1'").arg(kSoc1);
    QTest::newRow("reset filters") << ""
                                   << "" << 0 << "" << 0 << "" << false << false << 3
                                   << "null, null, null, null, 0, null, 0, 0, 3"
                                   << base + " AND flestero = 0 AND dtcanc IS NULL";
    QTest::newRow("name contains")
        << ""
        << "ros" << 0 << "" << 2 << "" << false << false << 3
        << "null, '%ros%', null, null, 2, null, 0, 0, 3"
        << base + " AND txdenominazione ILIKE '%ros%' AND dtcanc IS NULL";
    QTest::newRow("name starts with, not active too")
        << ""
        << "Meccanica" << 1 << "" << 2 << "" << true << false << 3
        << "null, 'Meccanica%', null, null, 2, null, 1, 0, 3"
        << base + " AND txdenominazione ILIKE 'Meccanica%'";
    QTest::newRow("apostrophe doubled") << ""
                                        << "dell'Ad" << 0 << "" << 2 << "" << false << false << 3
                                        << "null, '%dell''Ad%', null, null, 2, null, 0, 0, 3"
                                        << base
                                               + " AND txdenominazione ILIKE '%dell''Ad%' AND "
                                                 "dtcanc IS NULL";
    QTest::newRow("code typed in lower case") << "c0000"
                                              << "" << 0 << "" << 2 << "" << true << false << 3
                                              << "'C0000', null, null, null, 2, null, 1, 0, 3"
                                              << base + " AND txcodcliente LIKE 'C0000%'";
    QTest::newRow("province") << ""
                              << "" << 0 << "" << 0 << "MI" << false << false << 3
                              << "null, null, null, null, 0, 'MI', 0, 0, 3"
                              << base
                                     + " AND flestero = 0 AND txprovincia = 'MI' AND dtcanc IS "
                                       "NULL";
    QTest::newRow("foreign with nation") << ""
                                         << "" << 0 << "" << 1 << "Germania" << false << false << 3
                                         << "null, null, null, null, 1, 'Germania', 0, 0, 3"
                                         << base
                                                + " AND flestero = 1 AND txnazione ILIKE "
                                                  "'%Germania%' AND dtcanc IS NULL";
    QTest::newRow("partita IVA") << ""
                                 << "" << 0 << "0745" << 2 << "" << false << false << 3
                                 << "null, null, '0745', null, 2, null, 0, 0, 3"
                                 << base + " AND txpartitaiva LIKE '0745%' AND dtcanc IS NULL";
    QTest::newRow("quotes in the last 6 months")
        << ""
        << "" << 0 << "" << 2 << "" << false << true << 6
        << "null, null, null, null, 2, null, 0, 1, 6"
        << base
               + " AND dtcanc IS NULL AND idcliente IN (SELECT idcliente FROM preventivi p "
                 "WHERE p.dtcanc IS NULL AND p.idsocieta = '"
               + kSoc1 + "' AND p.dtpreventivo >= current_date - interval '6 months')";
}

void tst_gestione_clienti::extractionCommand()
{
    QFETCH(QString, code);
    QFETCH(QString, name);
    QFETCH(int, nameMode);
    QFETCH(QString, vat);
    QFETCH(int, nationality);
    QFETCH(QString, place);
    QFETCH(bool, inactive);
    QFETCH(bool, months);
    QFETCH(int, slider);
    QFETCH(QString, arguments);
    QFETCH(QString, where);

    Open();
    TCustomerFilters *f = w->Filters->Registry;
    TypeInto(f->EF_Find_CodCliente, code);
    TypeInto(f->EF_Find_Denominazione, name);
    QTest::mouseClick(f->RG_Find_Denominazione->Button(nameMode), Qt::LeftButton);
    TypeInto(f->EF_Find_PartitaIVA, vat);
    QTest::mouseClick(f->RG_Find_Nazionalita->Button(nationality), Qt::LeftButton);
    QCOMPARE(f->SCB_Find_Provincia->isVisible(), nationality == 0);
    QCOMPARE(f->EF_Find_Nazione->isVisible(), nationality == 1);
    if (nationality == 0 && !place.isEmpty())
        f->SCB_Find_Provincia->SetText(place);
    if (nationality == 1)
        TypeInto(f->EF_Find_Nazione, place);
    w->Filters->CK_Find_IncludiCancellati->setChecked(inactive);
    w->Filters->Months->CK_Find_PreventiviMesiN->setChecked(months);
    w->Filters->Months->TKB_Find_PreventiviMesiN->setValue(slider);

    Extract();
    QCOMPARE(env->LastCommand(),
             QStringLiteral("EXEC EstraiClienti  1, '%1', ").arg(kSoc1) + arguments);
    QCOMPARE(env->Recorder().Count(TDialogKind::Error), 0);
    const int expected = Count(where);
    QCOMPARE(w->DST_GRID_Clienti()->RecordCount(), expected);
    QLabel *status = w->findChild<QLabel *>(QStringLiteral("SF_Status"));
    QCOMPARE(status->text(), QStringLiteral(" N° Clienti: %1 ").arg(expected));
    QCOMPARE(w->findChild<QWidget *>(QStringLiteral("PAN_Status"))->isVisible(), expected > 0);
    QVERIFY(HasFocus(w->DG_Clienti));
}

void tst_gestione_clienti::enterInAFilterExtracts()
{
    Open();
    TypeInto(w->Filters->Registry->EF_Find_Denominazione, QStringLiteral("Colombo"));
    QTest::keyClick(w->Filters->Registry->EF_Find_Denominazione->Edit(), Qt::Key_Return);
    QVERIFY2(env->LastCommand().contains(QStringLiteral(", '%Colombo%', ")),
             qPrintable(env->LastCommand()));
    QVERIFY(w->DST_GRID_Clienti()->RecordCount() > 0);
    // Enter in the grid does not extract again.
    const QString last = env->LastCommand();
    TypeInto(w->Filters->Registry->EF_Find_Denominazione, QStringLiteral("Rossi"));
    w->DG_Clienti->setFocus();
    QTest::keyClick(w->DG_Clienti, Qt::Key_Return);
    QCOMPARE(env->LastCommand(), last);
}

// --- Insert, change, deactivate, reactivate ----------------------------------------------------

void tst_gestione_clienti::insertChangeDeactivateReactivate()
{
    Open();
    Extract();
    const int before = Count("true");

    // New customer: the panel takes the list's place.
    QVERIFY(ChooseMenu(w->DG_Clienti, QStringLiteral("Nuovo cliente")));
    TRegistryPanel *p = w->PAN_Input;
    QVERIFY(p->isVisible());
    QVERIFY(!w->DG_Clienti->isVisible());
    QVERIFY(!w->findChild<QWidget *>(QStringLiteral("PAN_Filters"))->isVisible());
    QCOMPARE(w->xTipoOp, coGENInsert);
    QCOMPARE(p->PAN_Desc_TipoOperazione->text(), QStringLiteral("Nuovo Cliente"));
    const QString id = w->sLastId;
    QCOMPARE(id.length(), 38);

    const QString name = QStringLiteral("L'Officina di Nicolò Àlberti & C. s.n.c.");
    TypeInto(p->EF_Denominazione, name);
    TypeInto(p->EF_PartitaIVA, QStringLiteral("it01234567890"));
    TypeInto(p->EF_Cap, QStringLiteral("20121"));
    TypeInto(p->EF_Localita, QStringLiteral("Milano"));
    TypeInto(p->EF_EmailCommerciale, QStringLiteral("Info@Officina.IT"));
    p->SCB_Provincia->SetText(QStringLiteral("MI"));
    QTest::mouseClick(p->PB_Ok_Input, Qt::LeftButton);

    QCOMPARE(env->Recorder().Count(TDialogKind::Error), 0);
    QCOMPARE(env->Recorder().Count(TDialogKind::Warning), 0);
    QVERIFY(!p->isVisible());
    QVERIFY(w->DG_Clienti->isVisible());
    QCOMPARE(w->xTipoOp, coGENNone);
    QCOMPARE(Count("true"), before + 1);
    // Stored as typed, with the company, the operator, the code given in the same transaction.
    QCOMPARE(Value("txdenominazione", id), name);
    QCOMPARE(Value("txpartitaiva", id), QStringLiteral("IT01234567890"));
    QCOMPARE(Value("txemailcommerciale", id), QStringLiteral("info@officina.it"));
    QCOMPARE(Value("idsocieta", id), kSoc1);
    QCOMPARE(Value("txutentein", id), QStringLiteral("ADMIN"));
    QCOMPARE(Value("txnazione || '/' || txprovincia || '/' || flestero", id),
             QStringLiteral("Italia/MI/0"));
    QCOMPARE(Value("txcodfiscale IS NULL AND txnote IS NULL", id), QStringLiteral("t"));
    const QString code = Value("txcodcliente", id);
    QVERIFY(code.startsWith(QLatin1Char('C')));
    // The list was extracted again and stands on the new customer.
    QCOMPARE(CurrentValue(w->DG_Clienti, "idCliente"), id);
    QCOMPARE(CurrentValue(w->DG_Clienti, "txCodCliente"), code);

    // Change: foreign now, with its nation and no province.
    QVERIFY(ChooseMenu(w->DG_Clienti, QStringLiteral("Modifica")));
    QCOMPARE(w->xTipoOp, coGENModify);
    QCOMPARE(p->PAN_Desc_TipoOperazione->text(), QStringLiteral("Modifica Cliente: ") + code);
    QCOMPARE(p->EF_Denominazione->Text(), name);
    QCOMPARE(p->SCB_Provincia->Text(), QStringLiteral("MI"));
    QTest::mouseClick(p->RG_Nazionalita->Button(1), Qt::LeftButton);
    QVERIFY(p->EF_Nazione->isVisible());
    QVERIFY(!p->SCB_Provincia->isVisible());
    TypeInto(p->EF_Nazione, QStringLiteral("Svizzera"));
    TypeInto(p->EF_Cap, QStringLiteral("CH-6900"));
    QTest::mouseClick(p->PB_Ok_Input, Qt::LeftButton);
    QCOMPARE(env->Recorder().Count(TDialogKind::Error), 0);
    // Not an Italian customer any more: the default filter ("Italia") hides it.
    QCOMPARE(env->Recorder().LastText(TDialogKind::Warning),
             QStringLiteral("Il cliente modificato non è visibile con i filtri applicati.\r\n\r\n"
                            "Cambiare le impostazioni."));
    QCOMPARE(Value("flestero || '/' || txnazione || '/' || coalesce(txprovincia, '-')", id),
             QStringLiteral("1/Svizzera/-"));
    QCOMPARE(Value("txcap", id), QStringLiteral("CH-6900"));
    QCOMPARE(Value("txutentemod", id), QStringLiteral("ADMIN"));
    QCOMPARE(Value("dtmod IS NOT NULL", id), QStringLiteral("t"));

    // All nationalities: the customer is there again.
    QTest::mouseClick(w->Filters->Registry->RG_Find_Nazionalita->Button(2), Qt::LeftButton);
    Extract();
    QVERIFY(w->DST_GRID_Clienti()->Locate(QStringLiteral("idCliente"), id));
    env->Recorder().Clear();

    // Deactivating without "Includi non attivi": the customer disappears with a warning.
    QVERIFY(ChooseMenu(w->DG_Clienti, QStringLiteral("Disattiva")));
    QCOMPARE(env->LastCommand(),
             QStringLiteral("EXEC EstraiClienti  1, '%1', null, null, null, null, 2, null, 0, 0, 3")
                 .arg(kSoc1));
    QCOMPARE(env->Recorder().LastText(TDialogKind::Warning),
             QStringLiteral("Il cliente disattivato non è visibile con i filtri applicati.\r\n\r\n"
                            "Cambiare le impostazioni."));
    QCOMPARE(CountRows(w->DG_Clienti, "idCliente", id), 0);
    QCOMPARE(Value("dtcanc IS NOT NULL AND txutentecanc = 'ADMIN'", id), QStringLiteral("t"));

    // With "Includi non attivi" it is listed, drawn red and bold, and offered "Riattiva".
    w->Filters->CK_Find_IncludiCancellati->setChecked(true);
    Extract();
    QVERIFY(w->DST_GRID_Clienti()->Locate(QStringLiteral("idCliente"), id));
    const TKRTDrawCellArgs red = Draw(w->DST_GRID_Clienti()->RecNo() - 1);
    QCOMPARE(red.FontColor, QColor(Qt::red));
    QVERIFY(red.Font.bold());
    QStringList menu = MenuCaptions(w->DG_Clienti);
    QVERIFY(menu.contains(QStringLiteral("Riattiva")));
    QVERIFY(!menu.contains(QStringLiteral("Disattiva")));

    env->Recorder().Clear();
    QVERIFY(ChooseMenu(w->DG_Clienti, QStringLiteral("Riattiva")));
    QCOMPARE(env->Recorder().Requests().size(), 0); // no question, no warning
    QCOMPARE(CurrentValue(w->DG_Clienti, "idCliente"), id);
    QCOMPARE(Value("dtcanc IS NULL AND txutentecanc IS NULL", id), QStringLiteral("t"));
    const TKRTDrawCellArgs black = Draw(w->DST_GRID_Clienti()->RecNo() - 1);
    QCOMPARE(black.FontColor, QColor(Qt::black));
    QVERIFY(!black.Font.bold());
    // Backgrounds alternate: odd record numbers white, even ones grey.
    QCOMPARE(Draw(0).Background, QColor(Qt::white));
    QCOMPARE(Draw(1).Background, QColor(0xF0, 0xF0, 0xF0));
}

void tst_gestione_clienti::savedButNotVisible_data()
{
    QTest::addColumn<bool>("insert");
    QTest::addColumn<QString>("warning");
    QTest::newRow("insert") << true << "Il cliente inserito non è visibile con i filtri applicati.";
    QTest::newRow("change") << false
                            << "Il cliente modificato non è visibile con i filtri applicati.";
}

void tst_gestione_clienti::savedButNotVisible()
{
    QFETCH(bool, insert);
    QFETCH(QString, warning);
    Open();
    TypeInto(w->Filters->Registry->EF_Find_Denominazione, QStringLiteral("Meccanica"));
    Extract();
    QVERIFY(w->DST_GRID_Clienti()->RecordCount() > 0);
    const int before = Count("true");

    QVERIFY(ChooseMenu(w->DG_Clienti,
                       insert ? QStringLiteral("Nuovo cliente") : QStringLiteral("Modifica")));
    const QString id = w->sLastId;
    TypeInto(w->PAN_Input->EF_Denominazione, QStringLiteral("Zeta Impianti S.r.l."));
    QTest::mouseClick(w->PAN_Input->PB_Ok_Input, Qt::LeftButton);

    QCOMPARE(env->Recorder().LastText(TDialogKind::Warning),
             warning + QStringLiteral("\r\n\r\nCambiare le impostazioni."));
    QVERIFY(!w->PAN_Input->isVisible());
    QCOMPARE(Count("true"), before + (insert ? 1 : 0));
    QCOMPARE(Value("txdenominazione", id), QStringLiteral("Zeta Impianti S.r.l."));
    QCOMPARE(CountRows(w->DG_Clienti, "idCliente", id), 0);
}

// --- Bad input ---------------------------------------------------------------------------------

void tst_gestione_clienti::mandatoryNameAndCap_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("foreign");
    QTest::addColumn<QString>("cap");
    QTest::addColumn<QString>("warning"); // empty: saved

    QTest::newRow("no name") << "" << false << "20100"
                             << "La ragione sociale del cliente è obbligatoria.";
    QTest::newRow("blank name") << "   " << false << ""
                                << "La ragione sociale del cliente è obbligatoria.";
    QTest::newRow("letters in an Italian CAP")
        << "Rossi" << false << "20A00"
        << "Il CAP di un cliente italiano è composto da 5 cifre.";
    QTest::newRow("short Italian CAP") << "Rossi" << false << "2010"
                                       << "Il CAP di un cliente italiano è composto da 5 cifre.";
    QTest::newRow("letters in a foreign CAP") << "Rossi" << true << "SW1A 1AA"
                                              << "";
    QTest::newRow("Italian CAP") << "Rossi" << false << "20100"
                                 << "";
}

void tst_gestione_clienti::mandatoryNameAndCap()
{
    QFETCH(QString, name);
    QFETCH(bool, foreign);
    QFETCH(QString, cap);
    QFETCH(QString, warning);
    Open();
    const int before = Count("true");
    QVERIFY(ChooseMenu(w->DG_Clienti, QStringLiteral("Nuovo cliente")));
    const QString id = w->sLastId;
    TRegistryPanel *p = w->PAN_Input;
    TypeInto(p->EF_Denominazione, name);
    QTest::mouseClick(p->RG_Nazionalita->Button(foreign ? 1 : 0), Qt::LeftButton);
    TypeInto(p->EF_Cap, cap);
    const QString commandBefore = env->LastCommand();
    QTest::mouseClick(p->PB_Ok_Input, Qt::LeftButton);

    if (warning.isEmpty()) {
        // Saved (a foreign customer is then hidden by the "Italia" filter: only that warning).
        for (const TDialogRequest &r : env->Recorder().RequestsOf(TDialogKind::Warning))
            QVERIFY2(r.text.startsWith(QStringLiteral("Il cliente inserito non è visibile")),
                     qPrintable(r.text));
        QCOMPARE(Value("txcap", id), cap);
        QVERIFY(!p->isVisible());
        return;
    }
    // Nothing is sent, the panel stays with what was typed.
    QCOMPARE(env->Recorder().LastText(TDialogKind::Warning), warning);
    QCOMPARE(env->LastCommand(), commandBefore);
    QCOMPARE(Count("true"), before);
    QVERIFY(p->isVisible());
    QCOMPARE(w->xTipoOp, coGENInsert);
    QCOMPARE(p->EF_Cap->Text(), cap);
}

void tst_gestione_clienti::longNameIsCutAtTheColumn()
{
    Open();
    QVERIFY(ChooseMenu(w->DG_Clienti, QStringLiteral("Nuovo cliente")));
    const QString id = w->sLastId;
    const QString longName = QString(QStringLiteral("Società Àèìòù d'Italia ")).repeated(13);
    QCOMPARE(longName.length(), 299);
    TypeInto(w->PAN_Input->EF_Denominazione, longName + QLatin1Char('X'));
    // The field takes what the name column holds, no more.
    QCOMPARE(w->PAN_Input->EF_Denominazione->Text(), longName.left(200));
    // A CAP longer than its column is stopped in the field, not by the server.
    TypeInto(w->PAN_Input->EF_Cap, QStringLiteral("123456789012345"));
    QCOMPARE(w->PAN_Input->EF_Cap->Text(), QStringLiteral("1234567890"));
    QTest::mouseClick(w->PAN_Input->RG_Nazionalita->Button(1), Qt::LeftButton);
    QTest::mouseClick(w->PAN_Input->PB_Ok_Input, Qt::LeftButton);
    QCOMPARE(env->Recorder().Count(TDialogKind::Error), 0);
    QCOMPARE(Value("txdenominazione", id), longName.left(200).trimmed());
}

// --- Settings ----------------------------------------------------------------------------------

void tst_gestione_clienti::settingsRestoredAtNextOpening()
{
    env->LogOn(TDemoOperator::Funzionario);
    Open();
    TCompanySelector *companies = w->CompanySelector();
    companies->Combo()->setCurrentIndex(1);
    const QString company = companies->SelectedId();
    TCustomerFilters *f = w->Filters->Registry;
    TypeInto(f->EF_Find_CodCliente, QStringLiteral("c00"));
    TypeInto(f->EF_Find_Denominazione, QStringLiteral("Sistemi d'Acqua"));
    QTest::mouseClick(f->RG_Find_Denominazione->Button(1), Qt::LeftButton);
    TypeInto(f->EF_Find_CodFiscale, QStringLiteral("rss"));
    QTest::mouseClick(f->RG_Find_Nazionalita->Button(1), Qt::LeftButton);
    TypeInto(f->EF_Find_Nazione, QStringLiteral("Francia"));
    w->Filters->CK_Find_OrdinaRecenti->setChecked(false);
    w->Filters->CK_Find_IncludiCancellati->setChecked(true);
    w->Filters->Months->CK_Find_PreventiviMesiN->setChecked(true);
    w->Filters->Months->TKB_Find_PreventiviMesiN->setValue(1);
    QCOMPARE(w->Filters->Months->CK_Find_PreventiviMesiN->text(),
             QStringLiteral("Con preventivi nell'ultimo mese"));
    Extract();
    const QString command = env->LastCommand();
    QCOMPARE(command,
             QStringLiteral("EXEC EstraiClienti  1, '%1', 'C00', 'Sistemi d''Acqua%', null, "
                            "'RSS', 1, 'Francia', 1, 1, 1")
                 .arg(company));
    QCOMPARE(env->Setting("FrmGesCli_KeySocieta"), company);
    QCOMPARE(env->Setting("FrmGesCli_Denominazione"), QStringLiteral("Sistemi d'Acqua"));
    QCOMPARE(env->Setting("FrmGesCli_FindDenominazione"), QStringLiteral("1"));
    QCOMPARE(env->Setting("FrmGesCli_Nazionalita"), QStringLiteral("1"));
    QCOMPARE(env->Setting("FrmGesCli_OrdinaRecenti"), QStringLiteral("NO"));
    QCOMPARE(env->Setting("FrmGesCli_PrevMesiN"), QStringLiteral("SI"));
    QCOMPARE(env->Setting("FrmGesCli_MesiN"), QStringLiteral("1"));
    w->close();
    QTRY_VERIFY(!w);

    // The next opening shows the same filters: the same extraction.
    Open();
    QCOMPARE(w->CompanySelector()->SelectedId(), company);
    f = w->Filters->Registry;
    QCOMPARE(f->EF_Find_Denominazione->Text(), QStringLiteral("Sistemi d'Acqua"));
    QCOMPARE(f->RG_Find_Denominazione->ItemIndex(), 1);
    QVERIFY(f->EF_Find_Nazione->isVisible());
    QVERIFY(!f->SCB_Find_Provincia->isVisible());
    QCOMPARE(w->Filters->Months->CK_Find_PreventiviMesiN->text(),
             QStringLiteral("Con preventivi nell'ultimo mese"));
    Extract();
    QCOMPARE(env->LastCommand(), command);

    // Stored texts that are not numbers: first entries and slider 1; a company that is gone
    // leaves the first one.
    w->close();
    QTRY_VERIFY(!w);
    env->SetSetting("FrmGesCli_KeySocieta", "{00000000-0000-0000-0000-000000000000}");
    env->SetSetting("FrmGesCli_FindDenominazione", "x");
    env->SetSetting("FrmGesCli_Nazionalita", "");
    env->SetSetting("FrmGesCli_MesiN", "molti");
    env->SetSetting("FrmGesCli_Provincia", "MI");
    Open();
    QCOMPARE(w->CompanySelector()->Combo()->currentIndex(), 0);
    QCOMPARE(w->Filters->Registry->RG_Find_Denominazione->ItemIndex(), 0);
    QCOMPARE(w->Filters->Registry->RG_Find_Nazionalita->ItemIndex(), 0);
    QCOMPARE(w->Filters->Registry->SCB_Find_Provincia->Text(), QStringLiteral("MI"));
    QCOMPARE(w->Filters->Months->TKB_Find_PreventiviMesiN->value(), 1);
}

void tst_gestione_clienti::firstOpeningShowsResetFilters()
{
    env->SetSetting("FrmGesCli_Denominazione", "resto di una vecchia versione");
    Open();
    // Without the first key nothing is read: the reset filters.
    TCustomerFilters *f = w->Filters->Registry;
    QCOMPARE(f->EF_Find_Denominazione->Text(), QString());
    QCOMPARE(f->RG_Find_Nazionalita->ItemIndex(), 0);
    QVERIFY(w->Filters->CK_Find_OrdinaRecenti->isChecked());
    QVERIFY(!w->Filters->CK_Find_IncludiCancellati->isChecked());
    QVERIFY(!w->Filters->Months->CK_Find_PreventiviMesiN->isChecked());
    QCOMPARE(w->Filters->Months->TKB_Find_PreventiviMesiN->value(), 3);
    QCOMPARE(w->Filters->Months->CK_Find_PreventiviMesiN->text(),
             QStringLiteral("Con preventivi negli ultimi 3 mesi"));
    QVERIFY(HasFocus(f->EF_Find_Denominazione->Edit()));

    // "Azzera filtri" brings them back without extracting.
    TypeInto(f->EF_Find_Denominazione, QStringLiteral("abc"));
    w->Filters->CK_Find_IncludiCancellati->setChecked(true);
    QTest::mouseClick(f->RG_Find_Nazionalita->Button(2), Qt::LeftButton);
    const QString last = env->LastCommand();
    QTest::mouseClick(w->Filters->PB_AzzeraFiltri, Qt::LeftButton);
    QCOMPARE(env->LastCommand(), last);
    QCOMPARE(f->EF_Find_Denominazione->Text(), QString());
    QCOMPARE(f->RG_Find_Nazionalita->ItemIndex(), 0);
    QVERIFY(f->SCB_Find_Provincia->isVisible());
    QVERIFY(!w->Filters->CK_Find_IncludiCancellati->isChecked());
}

// --- Menu, info, clipboard ---------------------------------------------------------------------

void tst_gestione_clienti::userMenu_data()
{
    QTest::addColumn<bool>("developer");
    QTest::addColumn<bool>("rows");
    QTest::addColumn<QStringList>("captions");
    QTest::newRow("empty list") << false << false << QStringList{"Nuovo cliente"};
    QTest::newRow("with rows") << false << true
                               << QStringList{"Nuovo cliente",
                                              "Modifica",
                                              "Disattiva",
                                              "-",
                                              "Info supplementari"};
    QTest::newRow("developer mode") << true << true
                                    << QStringList{"Nuovo cliente",
                                                   "Modifica",
                                                   "Disattiva",
                                                   "-",
                                                   "Info supplementari",
                                                   "-",
                                                   "Copia Id in clipboard"};
}

void tst_gestione_clienti::userMenu()
{
    QFETCH(bool, developer);
    QFETCH(bool, rows);
    QFETCH(QStringList, captions);
    SessionInfo().bDeveloperMode = developer;
    Open();
    if (rows)
        Extract();
    QCOMPARE(MenuCaptions(w->DG_Clienti), captions);
    TKRTPopupMenu *popup = w->DG_Clienti->PopupMenu();
    QCOMPARE(popup->Look().backColor, QColor(0xC0, 0xC0, 0xC0));
    QCOMPARE(popup->Look().backColorTo, QColor(0xF5, 0xF5, 0xF5));
    QCOMPARE(popup->Look().sideBarCaption, QStringLiteral(" "));
    QCOMPARE(w->DG_Clienti->SideBarCaption, QStringLiteral("NO_TRIANGOLO"));
    if (!developer)
        return;
    QAction *copy = nullptr;
    for (QAction *a : PopupActions(popup)) {
        if (a->text() == QLatin1String("Copia Id in clipboard"))
            copy = a;
    }
    QCOMPARE(copy->property(TKRTPopupMenu::kFontColor).value<QColor>(), QColor(Qt::red));
    QVERIFY(ChooseMenu(w->DG_Clienti, QStringLiteral("Copia Id in clipboard")));
    const QString id = SqlText(CurrentValue(w->DG_Clienti, "idCliente"));
    QCOMPARE(ClipboardText(),
             QStringLiteral("SELECT a.*\r\n FROM Clienti a\r\n WHERE a.idCliente = %1\r\n\r\n"
                            "SELECT a.*\r\n FROM Preventivi a\r\n WHERE a.idCliente = %1\r\n\r\n"
                            "SELECT a.*\r\n FROM Ordini a\r\n INNER JOIN Preventivi b ON "
                            "(b.idPreventivo = a.idPreventivo)\r\n WHERE b.idCliente = %1\r\n")
                 .arg(id));
    QCOMPARE(env->Recorder().LastText(TDialogKind::Info), QStringLiteral("Ok ! Query Copiata."));
}

void tst_gestione_clienti::infoSupplementari()
{
    Open();
    Extract();
    const QString code = CurrentValue(w->DG_Clienti, "txCodCliente");
    QVERIFY(ChooseMenu(w->DG_Clienti, QStringLiteral("Info supplementari")));
    QDialog *zoom = nullptr;
    for (QWidget *top : QApplication::topLevelWidgets()) {
        if (top->objectName() == QLatin1String("TKRTZOOMGRIDEXFORM") && top->isVisible())
            zoom = qobject_cast<QDialog *>(top);
    }
    QVERIFY(zoom);
    QCOMPARE(zoom->windowTitle(), QStringLiteral("Informazioni aggiuntive cliente selezionato"));
    QStringList captions;
    for (TKRTLabelEdit *field : zoom->findChildren<TKRTLabelEdit *>())
        captions << field->CaptionString();
    // The audit columns, in the grid's column order.
    QCOMPARE(captions,
             (QStringList{"Codice",
                          "Ragione Sociale",
                          "Ultimo preventivo",
                          "Modificato il",
                          "Da",
                          "Inserito il",
                          "Da",
                          "Eliminato il",
                          "Da"}));
    QCOMPARE(zoom->findChildren<TKRTLabelEdit *>().first()->Text(), code);
    zoom->close();
    // The list shows its own columns again.
    QVERIFY(!w->DST_GRID_Clienti()->FieldByName(QStringLiteral("txUtenteIn")).Visible());
    QVERIFY(w->DST_GRID_Clienti()->FieldByName(QStringLiteral("txTelefono")).Visible());
}

// --- Closing -----------------------------------------------------------------------------------

void tst_gestione_clienti::closingWhileEditing()
{
    Open();
    QVERIFY(ChooseMenu(w->DG_Clienti, QStringLiteral("Nuovo cliente")));
    TypeInto(w->PAN_Input->EF_Denominazione, QStringLiteral("Da non perdere"));
    env->Recorder().QueueNo();
    w->close();
    QCOMPARE(env->Recorder().LastText(TDialogKind::Question),
             QStringLiteral("Confermi l'annullamento dell'operazione in corso ?"));
    QVERIFY(w && w->isVisible());
    QCOMPARE(w->PAN_Input->EF_Denominazione->Text(), QStringLiteral("Da non perdere"));

    env->Recorder().QueueYes();
    w->close();
    QTRY_VERIFY(!w);
    QCOMPARE(Count("txdenominazione = 'Da non perdere'"), 0);
}

void tst_gestione_clienti::firstShowingInTheMainWindow()
{
    // A main window as the program's: the MDI area in the central part, the launcher on the
    // right, the debug pane open.
    QMainWindow main;
    auto *central = new QWidget;
    auto *row = new QHBoxLayout(central);
    row->setContentsMargins(0, 0, 0, 0);
    auto *area = new QMdiArea;
    row->addWidget(area, 1);
    auto *launcher = new QWidget;
    launcher->setObjectName(QStringLiteral("PAN_Funzioni"));
    launcher->setFixedWidth(130);
    row->addWidget(launcher);
    main.setCentralWidget(central);
    main.resize(2000, 1300);
    main.show();
    SessionInfo().iDebugPaneHeight = 100;
    const QSize client = central->size();

    w = new TGESTIONE_CLIENTI;
    QMdiSubWindow *sub = area->addSubWindow(w);
    sub->show();
    const QSize expected(qRound((client.width() - 130) * 0.7),
                         qRound((client.height() - 100) * 0.7));
    QCOMPARE(sub->size(), expected);
    QCOMPARE(sub->minimumSize(), sub->size());
    QVERIFY(HasFocus(w->Filters->Registry->EF_Find_Denominazione->Edit()));

    // The edit panel: the client area less 15 %, centred, and again after a resize.
    QVERIFY(ChooseMenu(w->DG_Clienti, QStringLiteral("Nuovo cliente")));
    auto check = [this] {
        const QRect r = w->PAN_Input->geometry();
        QCOMPARE(r.width(), qMax(w->PAN_Input->minimumWidth(), qRound(w->width() * 0.85)));
        QCOMPARE(r.height(), qMax(w->PAN_Input->minimumHeight(), qRound(w->height() * 0.85)));
        QVERIFY(qAbs(r.center().x() - w->rect().center().x()) <= 1);
    };
    check();
    sub->resize(sub->size() + QSize(300, 200));
    check();
    QVERIFY(!w->findChild<QWidget *>(QStringLiteral("PAN_Societa"))->isVisible());

    // Closed through its sub-window during the edit: the question, then gone.
    env->Recorder().QueueYes();
    sub->close();
    QTRY_VERIFY(!w);
    QCOMPARE(env->Recorder().Count(TDialogKind::Question), 1);
}

void tst_gestione_clienti::filtersKeepTheirWidthInASmallMainWindow()
{
    // The smallest main window: 70 % of its client area is narrower than the filters need.
    QMainWindow main;
    auto *area = new QMdiArea;
    main.setCentralWidget(area);
    main.resize(1000, 700);
    main.show();
    SessionInfo().iDebugPaneHeight = 0;

    w = new TGESTIONE_CLIENTI;
    QMdiSubWindow *sub = area->addSubWindow(w);
    sub->show();
    TKRTLabelEdit *name = w->Filters->Registry->EF_Find_Denominazione;
    QTRY_VERIFY(name->Edit()->isVisible());
    QVERIFY(w->width() >= w->minimumSizeHint().width());
    QCOMPARE(name->Edit()->width(), name->EditWidth());
    sub->close();
    QTRY_VERIFY(!w);
}

void tst_gestione_clienti::connectionLostWhileEditing_data()
{
    QTest::addColumn<bool>("insert");
    QTest::addColumn<QString>("message");
    QTest::newRow("new customer") << true << "Errore creazione nuovo cliente (ERR.C02).";
    QTest::newRow("change") << false << "Errore modifica cliente (ERR.C04).";
}

void tst_gestione_clienti::connectionLostWhileEditing()
{
    QFETCH(bool, insert);
    QFETCH(QString, message);
    Open();
    Extract();
    const int before = Count("true");
    QVERIFY(ChooseMenu(w->DG_Clienti,
                       insert ? QStringLiteral("Nuovo cliente") : QStringLiteral("Modifica")));
    const QString id = w->sLastId;
    const QString stored = insert ? QString() : Value("txdenominazione", id);
    TypeInto(w->PAN_Input->EF_Denominazione, QStringLiteral("Nome d'emergenza"));

    env->Super(QStringLiteral("SELECT pg_terminate_backend(pid) FROM pg_stat_activity "
                              "WHERE datname = '%1' AND usename = 'ventorel_test'")
                   .arg(env->Db().Name()));
    QTest::mouseClick(w->PAN_Input->PB_Ok_Input, Qt::LeftButton);

    // The operation's message with the provider text, then the lost-connection message.
    const QList<TDialogRequest> errors = env->Recorder().RequestsOf(TDialogKind::Error);
    QVERIFY(errors.size() >= 1);
    QVERIFY2(errors.first().text.startsWith(message + QStringLiteral("\r\n\r\n(")),
             qPrintable(errors.first().text));
    QCOMPARE(errors.last().text,
             QStringLiteral("La connessione con il database si è interrotta.\r\n\r\n"
                            "Ventorel si chiuderà, rilanciarlo\r\nper continuare l'attività in "
                            "corso."));
    QVERIFY(env->Recorder().Terminated());
    // The input is kept and nothing was written.
    QVERIFY(w->PAN_Input->isVisible());
    QCOMPARE(w->PAN_Input->EF_Denominazione->Text(), QStringLiteral("Nome d'emergenza"));
    QCOMPARE(Count("true"), before);
    if (!insert)
        QCOMPARE(Value("txdenominazione", id), stored);

    // Once the server answers again the same panel saves, exactly once.
    env->Recorder().Clear();
    QTest::mouseClick(w->PAN_Input->PB_Ok_Input, Qt::LeftButton);
    QCOMPARE(env->Recorder().Count(TDialogKind::Error), 0);
    QCOMPARE(Count("true"), before + (insert ? 1 : 0));
    QCOMPARE(Value("txdenominazione", id), QStringLiteral("Nome d'emergenza"));
}

// Two operators change the same customer: the second save is refused with the database's
// message in the error box, the panel shows what the first one stored, and the next "Ok"
// saves over it, with nothing of the first change lost.
void tst_gestione_clienti::changeOfAnotherOperatorIsShownNotOverwritten()
{
    Open();
    Extract();
    QVERIFY(w->DST_GRID_Clienti()->RecordCount() > 0);
    const QString id = CurrentValue(w->DG_Clienti, "idCliente");
    QVERIFY(ChooseMenu(w->DG_Clienti, QStringLiteral("Modifica")));
    TRegistryPanel *p = w->PAN_Input;

    // Meanwhile, at another workstation.
    TSTD_DBMODULE other;
    other.SetConnectionString(TSTD_DBMODULE::ComposeConnectionString(env->Db().Params()));
    env->Db().LogOn(QStringLiteral("GBIANCHI"), &other);
    TEditableRecord theirs(&other, QStringLiteral("Clienti"), QStringLiteral("idCliente"));
    theirs.Open(QStringLiteral("EXEC DatiCliente ") + SqlText(id));
    theirs.Edit();
    theirs.Data().FieldByName(QStringLiteral("txLocalita")).SetValue(QStringLiteral("Lodi"));
    theirs.Post(QStringLiteral("GBIANCHI"));

    TypeInto(p->EF_Cap, QStringLiteral("20100"));
    QTest::mouseClick(p->PB_Ok_Input, Qt::LeftButton);
    QCOMPARE(env->Recorder().LastText(TDialogKind::Error),
             QStringLiteral("Errore modifica cliente (ERR.C04).") + LineBreaks(2)
                 + QStringLiteral("(Il record è stato modificato da un altro operatore: i dati "
                                  "sono stati riletti.)"));
    QCOMPARE(Value("txlocalita", id), QStringLiteral("Lodi"));
    QCOMPARE(Value("txutentemod", id), QStringLiteral("GBIANCHI"));
    QVERIFY(p->isVisible()); // still editing, with the stored values
    QCOMPARE(p->EF_Localita->Text(), QStringLiteral("Lodi"));

    TypeInto(p->EF_Cap, QStringLiteral("20100"));
    QTest::mouseClick(p->PB_Ok_Input, Qt::LeftButton);
    QCOMPARE(env->Recorder().Count(TDialogKind::Error), 1);
    QCOMPARE(Value("txcap || '/' || txlocalita || '/' || txutentemod", id),
             QStringLiteral("20100/Lodi/ADMIN"));
}

void tst_gestione_clienti::keysOfTheEditPanel_data()
{
    QTest::addColumn<bool>("insert");
    QTest::newRow("new customer") << true;
    QTest::newRow("change") << false;
}

void tst_gestione_clienti::keysOfTheEditPanel()
{
    QFETCH(bool, insert);
    Open();
    Extract();
    const int before = Count("true");
    QVERIFY(ChooseMenu(w->DG_Clienti,
                       insert ? QStringLiteral("Nuovo cliente") : QStringLiteral("Modifica")));
    const QString id = w->sLastId;
    const QString stored = insert ? QString() : Value("txdenominazione", id);
    TRegistryPanel *p = w->PAN_Input;

    // Enter in one-line fields (a text, a code, the province box) keeps the panel as it is.
    TypeInto(p->EF_Denominazione, QStringLiteral("Nome mai salvato"));
    QTest::keyClick(p->EF_Denominazione->Edit(), Qt::Key_Return);
    TypeInto(p->EF_Cap, QStringLiteral("20100"));
    QTest::keyClick(p->EF_Cap->Edit(), Qt::Key_Enter);
    QVERIFY(p->isVisible());
    QCOMPARE(w->xTipoOp, insert ? coGENInsert : coGENModify);
    QCOMPARE(p->EF_Denominazione->Text(), QStringLiteral("Nome mai salvato"));
    QCOMPARE(Count("true"), before);

    // Escape does what "Annulla" does: nothing written, no question, the list back.
    p->EF_Localita->Edit()->setFocus();
    QTest::keyClick(p->EF_Localita->Edit(), Qt::Key_Escape);
    QVERIFY(!p->isVisible());
    QCOMPARE(w->xTipoOp, coGENNone);
    QVERIFY(w->DG_Clienti->isVisible());
    QVERIFY(w->findChild<QWidget *>(QStringLiteral("PAN_Filters"))->isVisible());
    QVERIFY(HasFocus(w->DG_Clienti));
    QCOMPARE(env->Recorder().Requests().size(), 0);
    QCOMPARE(Count("true"), before);
    if (!insert)
        QCOMPARE(Value("txdenominazione", id), stored);
    // Closing now asks nothing: no operation is under way.
    w->close();
    QTRY_VERIFY(!w);
    QCOMPARE(env->Recorder().Count(TDialogKind::Question), 0);
}

QTEST_MAIN(tst_gestione_clienti)
#include "tst_gestione_clienti.moc"
