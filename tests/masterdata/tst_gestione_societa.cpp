// The company window against a fresh demo database: the list and its command texts, insert,
// change, deactivation and reactivation, the print data with the logo (and files that are not
// images), the saved filters, the operators window and the launcher's registrations.

#include "tests/support/masterdataenv.h"
#include "tests/support/windowtest.h"

#include "common/clipboard.h"
#include "common/windowregistry.h"
#include "common/windowroutines.h"
#include "controls/tspecombobox.h"
#include "masterdata/customerfilters.h"
#include "masterdata/gestione_clienti.h"
#include "masterdata/gestione_operatori.h"
#include "masterdata/gestione_societa.h"
#include "masterdata/radiogroup.h"
#include "masterdata/registrypanel.h"

#include <QBuffer>
#include <QCheckBox>
#include <QFile>
#include <QHBoxLayout>
#include <QImageReader>
#include <QLabel>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>

class tst_gestione_societa : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TMasterDataEnvironment> env;
    QPointer<TGESTIONE_SOCIETA> w;

    TGESTIONE_SOCIETA *Open()
    {
        w = new TGESTIONE_SOCIETA;
        w->show();
        return w;
    }
    void Extract() { QTest::mouseClick(w->PB_EstraiElenco, Qt::LeftButton); }
    QString Value(const QString &column, const QString &id)
    {
        return env->Super(
            QStringLiteral("SELECT %1 FROM societa WHERE idsocieta = '%2'").arg(column, id));
    }
    bool Locate(const QString &id)
    {
        return w->DST_GRID_Societa()->Locate(QStringLiteral("idSocieta"), id);
    }
    static void CloseOperatorWindows()
    {
        while (QWidget *o = FindOpenForm(QStringLiteral("GESTIONE_OPERATORI")))
            delete o;
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
        CloseOperatorWindows();
        env->Recorder().QueueYes();
        delete w;
        env.reset();
    }

    void launcherRegistrations();
    void extraction_data();
    void extraction();
    void insertChangeDeactivateReactivate();
    void printData();
    void logoChoices_data();
    void logoChoices();
    void printDataConnectionLost();
    void settingsRestored();
    void userMenuAndQueries();
    void operatorsWindowIsOne();
    void changeOfAnotherAdministratorIsShownNotOverwritten();
    void opensWideEnoughForItsGrid_data();
    void opensWideEnoughForItsGrid();
    void escapeInThePrintPanel();
};

void tst_gestione_societa::launcherRegistrations()
{
    QVERIFY(IsWindowRegistered(QStringLiteral("GESTIONE_CLIENTI")));
    QVERIFY(IsWindowRegistered(QStringLiteral("GESTIONE_SOCIETA")));
    std::unique_ptr<QWidget> customers(
        CreateRegisteredWindow(QStringLiteral("GESTIONE_CLIENTI"), nullptr));
    QVERIFY(qobject_cast<TGESTIONE_CLIENTI *>(customers.get()));
    QCOMPARE(customers->objectName(), QStringLiteral("GESTIONE_CLIENTI"));
    QCOMPARE(customers->windowTitle(), QStringLiteral("Gestione anagrafiche clienti"));
    std::unique_ptr<QWidget> companies(
        CreateRegisteredWindow(QStringLiteral("GESTIONE_SOCIETA"), nullptr));
    QVERIFY(qobject_cast<TGESTIONE_SOCIETA *>(companies.get()));
    QCOMPARE(companies->windowTitle(), QStringLiteral("Gestione dati società"));
}

void tst_gestione_societa::extraction_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("nationality");
    QTest::addColumn<bool>("inactive");
    QTest::addColumn<bool>("recent");
    QTest::addColumn<QString>("arguments");
    QTest::addColumn<QString>("firstName");

    QTest::newRow("reset filters") << "" << 0 << false << true << "null, null, null, 0, null, 0"
                                   << "Elettrosistemi Adriatica S.p.A.";
    QTest::newRow("by name, all nations")
        << "" << 2 << true << false << "null, null, null, 2, null, 1"
        << "Elettrosistemi Adriatica S.p.A.";
    QTest::newRow("name contains")
        << "quadri" << 2 << false << false << "'%quadri%', null, null, 2, null, 0"
        << "Tecnoquadri Lombarda S.r.l.";
    QTest::newRow("foreign") << "" << 1 << false << true << "null, null, null, 1, null, 0"
                             << "";
}

void tst_gestione_societa::extraction()
{
    QFETCH(QString, name);
    QFETCH(int, nationality);
    QFETCH(bool, inactive);
    QFETCH(bool, recent);
    QFETCH(QString, arguments);
    QFETCH(QString, firstName);
    Open();
    QCOMPARE(env->LastCommand(), QStringLiteral("EXEC EstraiSocieta  0"));
    TypeInto(w->Filters->EF_Find_Denominazione, name);
    QTest::mouseClick(w->Filters->RG_Find_Nazionalita->Button(nationality), Qt::LeftButton);
    w->CK_Find_IncludiCancellati->setChecked(inactive);
    w->CK_Find_OrdinaRecenti->setChecked(recent);
    Extract();
    QCOMPARE(env->LastCommand(), QStringLiteral("EXEC EstraiSocieta  1, ") + arguments);
    QCOMPARE(env->Recorder().Count(TDialogKind::Error), 0);
    TDataSet *ds = w->DST_GRID_Societa();
    QCOMPARE(ds->RecordCount(), firstName.isEmpty() ? 0 : (name.isEmpty() ? 2 : 1));
    if (!firstName.isEmpty())
        QCOMPARE(CurrentValue(w->DG_Societa, "txDenominazione"), firstName);
    QCOMPARE(w->findChild<QLabel *>(QStringLiteral("SF_Status"))->text(),
             QStringLiteral(" N° Società: %1 ").arg(ds->RecordCount()));

    // The nine columns, in order, with their titles.
    QStringList titles;
    for (const TKRTGridColumn &c : w->DG_Societa->Columns()) {
        if (c.Visible)
            titles << c.Title;
    }
    QCOMPARE(titles,
             (QStringList{"Ragione Sociale",
                          "Partita IVA",
                          "Codice Fiscale",
                          "Località",
                          "Provincia",
                          "Tel. Fisso",
                          "Smartphone",
                          "Inserito il",
                          "Eliminato il"}));
    const int vat = w->DG_Societa->ColumnIndexByFieldName(QStringLiteral("txPartitaIVA"));
    QCOMPARE(w->DG_Societa->Column(vat).TitleAlignment, Qt::Alignment(Qt::AlignCenter));
    const int place = w->DG_Societa->ColumnIndexByFieldName(QStringLiteral("txLocalita"));
    QVERIFY(!(w->DG_Societa->Column(place).TitleAlignment & Qt::AlignHCenter));
}

void tst_gestione_societa::insertChangeDeactivateReactivate()
{
    Open();
    Extract();
    QVERIFY(ChooseMenu(w->DG_Societa, QStringLiteral("Nuova società")));
    TRegistryPanel *p = w->PAN_Input;
    QCOMPARE(p->PAN_Desc_TipoOperazione->text(), QStringLiteral("Nuova Società"));
    const QString id = w->sLastId;
    QTest::mouseClick(p->PB_Ok_Input, Qt::LeftButton);
    QCOMPARE(env->Recorder().LastText(TDialogKind::Warning),
             QStringLiteral("La ragione sociale della società è obbligatoria."));
    QVERIFY(p->isVisible());

    TypeInto(p->EF_Denominazione, QStringLiteral("Impianti dell'Àdige S.r.l."));
    TypeInto(p->EF_Cap, QStringLiteral("37100"));
    p->SCB_Provincia->SetText(QStringLiteral("VR"));
    env->Recorder().Clear();
    QTest::mouseClick(p->PB_Ok_Input, Qt::LeftButton);
    QCOMPARE(env->Recorder().Requests().size(), 0);
    QVERIFY(!p->isVisible());
    QCOMPARE(Value("txdenominazione", id), QStringLiteral("Impianti dell'Àdige S.r.l."));
    // Only the date of insertion: no user, no change stamps.
    QCOMPARE(Value("dtin IS NOT NULL AND txutentein IS NULL AND dtmod IS NULL", id),
             QStringLiteral("t"));
    QCOMPARE(Value("txprovincia || txnazione", id), QStringLiteral("VRItalia"));
    QCOMPARE(CurrentValue(w->DG_Societa, "idSocieta"), id);

    QVERIFY(ChooseMenu(w->DG_Societa, QStringLiteral("Modifica")));
    QCOMPARE(p->PAN_Desc_TipoOperazione->text(), QStringLiteral("Modifica Società"));
    QCOMPARE(p->EF_Cap->Text(), QStringLiteral("37100"));
    TypeInto(p->EF_Telefono, QStringLiteral("045 1234567"));
    QTest::mouseClick(p->PB_Ok_Input, Qt::LeftButton);
    QCOMPARE(Value("txtelefono", id), QStringLiteral("045 1234567"));
    QCOMPARE(Value("dtmod IS NULL AND txutentemod IS NULL", id), QStringLiteral("t"));

    QVERIFY(ChooseMenu(w->DG_Societa, QStringLiteral("Disattiva")));
    QCOMPARE(env->Recorder().LastText(TDialogKind::Warning),
             QStringLiteral("La società disattivata non è visibile con i filtri applicati.\r\n\r\n"
                            "Cambiare le impostazioni."));
    QCOMPARE(Value("dtcanc IS NOT NULL", id), QStringLiteral("t"));
    QVERIFY(!Locate(id));

    w->CK_Find_IncludiCancellati->setChecked(true);
    Extract();
    QVERIFY(Locate(id));
    env->Recorder().Clear();
    QVERIFY(ChooseMenu(w->DG_Societa, QStringLiteral("Riattiva")));
    QCOMPARE(env->Recorder().Requests().size(), 0);
    QCOMPARE(Value("dtcanc IS NULL", id), QStringLiteral("t"));
    QCOMPARE(CurrentValue(w->DG_Societa, "idSocieta"), id);
}

void tst_gestione_societa::printData()
{
    Open();
    TypeInto(w->Filters->EF_Find_Denominazione, QStringLiteral("Tecnoquadri"));
    Extract();
    QVERIFY(ChooseMenu(w->DG_Societa, QStringLiteral("Dati per stampa preventivi")));
    QVERIFY(w->PAN_Input_Bis->isVisible());
    QVERIFY(!w->DG_Societa->isVisible());
    QCOMPARE(w->xTipoOp, coGENModify);
    QCOMPARE(w->EF_RootDropbox->Text(), QStringLiteral("VENTOREL"));
    QCOMPARE(w->EF_FolderDropbox->Text(), QStringLiteral("TECNOQUADRI"));
    QVERIFY(w->EF_Piede_Pagina->toPlainText().startsWith(QStringLiteral("Tecnoquadri Lombarda")));
    QCOMPARE(w->Logo().size(), QSize(335, 110));
    QVERIFY(HasFocus(w->EF_Piede_Pagina));

    // Unchanged logo: its stored bytes stay as they are (no second compression).
    const QString storedLogo = Value("md5(imglogo)", kSoc1);
    TypeInto(w->EF_FolderDropbox, QStringLiteral("tecno quadri"));
    w->EF_Piede_Pagina->setPlainText(QStringLiteral("  \n  "));
    const QString lastExtraction = QStringLiteral("EXEC EstraiSocieta  1, '%Tecnoquadri%', null, "
                                                  "null, 0, null, 0");
    QTest::mouseClick(w->PB_Ok_Input_Bis, Qt::LeftButton);
    QCOMPARE(env->Recorder().Count(TDialogKind::Error), 0);
    QVERIFY(!w->PAN_Input_Bis->isVisible());
    QVERIFY(w->DG_Societa->isVisible());
    QCOMPARE(Value("txsocietafolder", kSoc1), QStringLiteral("TECNO QUADRI"));
    QCOMPARE(Value("txpiedereport IS NULL", kSoc1), QStringLiteral("t"));
    QCOMPARE(Value("md5(imglogo)", kSoc1), storedLogo);
    QVERIFY(env->LastCommand() != lastExtraction); // the list is not extracted again

    // A new logo is stored as JPEG; removing it stores null.
    const QString png = env->Home() + QStringLiteral("/logo nuovo.png");
    QImage image(200, 80, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter(&image).fillRect(20, 20, 160, 40, Qt::darkBlue);
    QVERIFY(image.save(png));
    QVERIFY(ChooseMenu(w->DG_Societa, QStringLiteral("Dati per stampa preventivi")));
    w->EF_Piede_Pagina->setPlainText(QStringLiteral("Piede d'esempio"));
    env->Recorder().QueueAnswer(true, png);
    QTest::mouseClick(w->PB_CaricaImmagine, Qt::LeftButton);
    const TDialogRequest ask = env->Recorder().RequestsOf(TDialogKind::OpenFile).last();
    QCOMPARE(ask.directory, ProgramFolder());
    QCOMPARE(ask.filter, TGESTIONE_SOCIETA::PictureFilter());
    QCOMPARE(w->Logo().size(), QSize(200, 80));
    QCOMPARE(env->Setting("FrmGesSoc_PathImmagine"), env->Home());
    QTest::mouseClick(w->PB_Ok_Input_Bis, Qt::LeftButton);
    QCOMPARE(Value("encode(substring(imglogo from 1 for 3), 'hex')", kSoc1),
             QStringLiteral("ffd8ff"));
    QCOMPARE(Value("txpiedereport", kSoc1), QStringLiteral("Piede d'esempio"));
    QImage stored;
    stored.loadFromData(QByteArray::fromHex(Value("encode(imglogo, 'hex')", kSoc1).toLatin1()));
    QCOMPARE(stored.size(), QSize(200, 80));
    // Transparent parts become white, not black.
    QCOMPARE(QColor(stored.pixel(2, 2)).lightness() > 240, true);

    QVERIFY(ChooseMenu(w->DG_Societa, QStringLiteral("Dati per stampa preventivi")));
    QCOMPARE(w->Logo().size(), QSize(200, 80));
    // The next picture dialog opens in the folder of the last logo.
    env->Recorder().QueueAnswer(false);
    QTest::mouseClick(w->PB_CaricaImmagine, Qt::LeftButton);
    QCOMPARE(env->Recorder().RequestsOf(TDialogKind::OpenFile).last().directory, env->Home());
    QTest::mouseClick(w->PB_EliminaImmagine, Qt::LeftButton);
    QVERIFY(w->Logo().isNull());
    QTest::mouseClick(w->PB_Ok_Input_Bis, Qt::LeftButton);
    QCOMPARE(Value("imglogo IS NULL", kSoc1), QStringLiteral("t"));
}

void tst_gestione_societa::logoChoices_data()
{
    QTest::addColumn<QString>("file"); // created in the program folder unless "missing"
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("error"); // empty: no error

    QTest::newRow("text file named .png")
        << "non immagine.png" << QByteArray("questo non è un logo\n")
        << "Il file \"non immagine.png\" non contiene un'immagine leggibile.\r\n\r\nScegliere "
           "un'immagine PNG, JPEG o BMP.";
    QTest::newRow("truncated JPEG") << "rotto.jpg" << QByteArray("\xFF\xD8\xFF\xE0\x00\x10JFIF", 10)
                                    << "Il file \"rotto.jpg\" non contiene un'immagine "
                                       "leggibile.\r\n\r\nScegliere un'immagine PNG, JPEG o BMP.";
    QTest::newRow("missing file") << "missing" << QByteArray()
                                  << "L'immagine con il nome impostato non esiste nel percorso "
                                     "selezionato....";
}

void tst_gestione_societa::logoChoices()
{
    QFETCH(QString, file);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, error);
    QString path = env->Home() + QLatin1Char('/') + file;
    if (file == QLatin1String("missing")) {
        path = env->Home() + QStringLiteral("/non esiste.png");
    } else {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    Open();
    Extract();
    QVERIFY(Locate(kSoc1));
    QVERIFY(ChooseMenu(w->DG_Societa, QStringLiteral("Dati per stampa preventivi")));
    const QSize before = w->Logo().size();
    QVERIFY(!before.isEmpty());
    env->Recorder().QueueAnswer(true, path);
    QTest::mouseClick(w->PB_CaricaImmagine, Qt::LeftButton);
    QCOMPARE(env->Recorder().LastText(TDialogKind::Error), error);
    // The logo in the box is the one there was; the panel stays open.
    QCOMPARE(w->Logo().size(), before);
    QVERIFY(w->PAN_Input_Bis->isVisible());

    // Pasting without an image on the clipboard says so; copying puts the logo there.
    PutClipboardText(QStringLiteral("solo testo"));
    QTest::mouseClick(w->PB_IncollaImmagine, Qt::LeftButton);
    QCOMPARE(env->Recorder().LastText(TDialogKind::Warning),
             QStringLiteral("Gli appunti non contengono un'immagine."));
    QTest::mouseClick(w->PB_CopiaImmagine, Qt::LeftButton);
    QCOMPARE(PasteImageFromClipboard().size(), before);
    QTest::mouseClick(w->PB_Annulla_Input_Bis, Qt::LeftButton);
    QCOMPARE(w->xTipoOp, coGENNone);
    QCOMPARE(Value("length(imglogo) > 0", kSoc1), QStringLiteral("t"));
}

void tst_gestione_societa::printDataConnectionLost()
{
    Open();
    Extract();
    QVERIFY(Locate(kSoc2));
    QVERIFY(ChooseMenu(w->DG_Societa, QStringLiteral("Dati per stampa preventivi")));
    const QString footer = Value("txpiedereport", kSoc2);
    w->EF_Piede_Pagina->setPlainText(QStringLiteral("Nuovo piede"));
    env->Super(QStringLiteral("SELECT pg_terminate_backend(pid) FROM pg_stat_activity "
                              "WHERE datname = '%1' AND usename = 'ventorel_test'")
                   .arg(env->Db().Name()));
    QTest::mouseClick(w->PB_Ok_Input_Bis, Qt::LeftButton);
    QVERIFY(env->Recorder()
                .RequestsOf(TDialogKind::Error)
                .first()
                .text.startsWith(QStringLiteral("Errore modifica società (ERR.D04).\r\n\r\n(")));
    QVERIFY(env->Recorder().Terminated());
    QVERIFY(w->PAN_Input_Bis->isVisible());
    QCOMPARE(w->EF_Piede_Pagina->toPlainText(), QStringLiteral("Nuovo piede"));
    QCOMPARE(Value("txpiedereport", kSoc2), footer);
}

void tst_gestione_societa::settingsRestored()
{
    Open();
    // First opening: the reset filters.
    QVERIFY(w->CK_Find_OrdinaRecenti->isChecked());
    QVERIFY(!w->CK_Find_IncludiCancellati->isChecked());
    TypeInto(w->Filters->EF_Find_Denominazione, QStringLiteral("Elettro"));
    QTest::mouseClick(w->Filters->RG_Find_Denominazione->Button(1), Qt::LeftButton);
    TypeInto(w->Filters->EF_Find_PartitaIVA, QStringLiteral("0187"));
    QTest::mouseClick(w->Filters->RG_Find_Nazionalita->Button(0), Qt::LeftButton);
    w->Filters->SCB_Find_Provincia->SetText(QStringLiteral("AN"));
    w->CK_Find_OrdinaRecenti->setChecked(false);
    w->CK_Find_IncludiCancellati->setChecked(true);
    Extract();
    const QString command = env->LastCommand();
    QCOMPARE(command, QStringLiteral("EXEC EstraiSocieta  1, 'Elettro%', '0187', null, 0, 'AN', 1"));
    QCOMPARE(w->DST_GRID_Societa()->RecordCount(), 1);
    QCOMPARE(env->Setting("FrmGesSoc_Provincia"), QStringLiteral("AN"));
    QCOMPARE(env->Setting("FrmGesSoc_OrdinaRecenti"), QStringLiteral("NO"));
    w->close();
    QTRY_VERIFY(!w);

    Open();
    QCOMPARE(w->Filters->EF_Find_PartitaIVA->Text(), QStringLiteral("0187"));
    QVERIFY(!w->CK_Find_OrdinaRecenti->isChecked());
    Extract();
    QCOMPARE(env->LastCommand(), command);
}

void tst_gestione_societa::userMenuAndQueries()
{
    SessionInfo().bDeveloperMode = true;
    Open();
    QCOMPARE(MenuCaptions(w->DG_Societa), (QStringList{"Nuova società", "-"}));
    Extract();
    QVERIFY(Locate(kSoc2));
    QCOMPARE(MenuCaptions(w->DG_Societa),
             (QStringList{"Nuova società",
                          "-",
                          "Gestione operatori",
                          "-",
                          "Dati per stampa preventivi",
                          "Modifica",
                          "-",
                          "Disattiva",
                          "-",
                          "Copia Id in clipboard"}));
    QVERIFY(ChooseMenu(w->DG_Societa, QStringLiteral("Copia Id in clipboard")));
    QCOMPARE(ClipboardText(),
             QStringLiteral("SELECT a.*\r\n FROM Societa a\r\n WHERE a.idSocieta = '%1'\r\n\r\n"
                            "SELECT a.*\r\n FROM Operatori a\r\n WHERE a.idSocieta = '%1'\r\n")
                 .arg(kSoc2));
}

void tst_gestione_societa::operatorsWindowIsOne()
{
    Open();
    Extract();
    QVERIFY(Locate(kSoc1));
    QVERIFY(ChooseMenu(w->DG_Societa, QStringLiteral("Gestione operatori")));
    auto *operators = qobject_cast<TGESTIONE_OPERATORI *>(
        FindOpenForm(QStringLiteral("GESTIONE_OPERATORI")));
    QVERIFY(operators);
    QCOMPARE(operators->windowTitle(),
             QStringLiteral("Operatori della società \"Tecnoquadri Lombarda S.r.l.\""));
    QCOMPARE(operators->sidSocieta, kSoc1);
    QCOMPARE(env->LastCommand(), QStringLiteral("EXEC EstraiOperatori  1, '%1'").arg(kSoc1));

    // Another company while it is open: the open window only comes to the front.
    QVERIFY(Locate(kSoc2));
    QVERIFY(ChooseMenu(w->DG_Societa, QStringLiteral("Gestione operatori")));
    int windows = 0;
    for (QWidget *top : QApplication::topLevelWidgets())
        windows += top->objectName() == QLatin1String("GESTIONE_OPERATORI") ? 1 : 0;
    QCOMPARE(windows, 1);
    QCOMPARE(operators->sidSocieta, kSoc1);
}

// Two administrators change the print data of the same company: the second save is refused
// and the panel shows the stored data; the next "Ok" saves over them.
void tst_gestione_societa::changeOfAnotherAdministratorIsShownNotOverwritten()
{
    Open();
    TypeInto(w->Filters->EF_Find_Denominazione, QStringLiteral("Tecnoquadri"));
    Extract();
    QVERIFY(ChooseMenu(w->DG_Societa, QStringLiteral("Dati per stampa preventivi")));

    TSTD_DBMODULE other;
    other.SetConnectionString(TSTD_DBMODULE::ComposeConnectionString(env->Db().Params()));
    env->Db().LogOn(QStringLiteral("MIRTOS"), &other);
    TEditableRecord theirs(&other, QStringLiteral("Societa"), QStringLiteral("idSocieta"));
    theirs.Open(QStringLiteral("EXEC DatiSocieta ") + SqlText(kSoc1));
    theirs.Edit();
    theirs.Data().FieldByName(QStringLiteral("txSocietaFolder")).SetValue(QStringLiteral("ALTRA"));
    theirs.Post(QStringLiteral("MIRTOS"), false);

    TypeInto(w->EF_RootDropbox, QStringLiteral("radice"));
    QTest::mouseClick(w->PB_Ok_Input_Bis, Qt::LeftButton);
    QVERIFY(env->Recorder()
                .LastText(TDialogKind::Error)
                .endsWith(QStringLiteral("(Il record è stato modificato da un altro operatore: i "
                                         "dati sono stati riletti.)")));
    QCOMPARE(Value("txsocietafolder || '/' || txrootfolder", kSoc1),
             QStringLiteral("ALTRA/VENTOREL"));
    QVERIFY(w->PAN_Input_Bis->isVisible());
    QCOMPARE(w->EF_FolderDropbox->Text(), QStringLiteral("ALTRA"));
    QCOMPARE(w->EF_RootDropbox->Text(), QStringLiteral("VENTOREL"));

    TypeInto(w->EF_RootDropbox, QStringLiteral("radice"));
    QTest::mouseClick(w->PB_Ok_Input_Bis, Qt::LeftButton);
    QCOMPARE(env->Recorder().Count(TDialogKind::Error), 1);
    QCOMPARE(Value("txsocietafolder || '/' || txrootfolder", kSoc1), QStringLiteral("ALTRA/RADICE"));
}

void tst_gestione_societa::opensWideEnoughForItsGrid_data()
{
    QTest::addColumn<double>("room"); // the free area of the main window, to the grid's width
    QTest::addColumn<bool>("scrolls");
    QTest::newRow("room for the grid: it is all visible") << 1.2 << false;
    QTest::newRow("no room: the grid scrolls") << 0.8 << true;
}

void tst_gestione_societa::opensWideEnoughForItsGrid()
{
    QFETCH(double, room);
    QFETCH(bool, scrolls);
    // The width of the grid's columns, as the window shows them at opening.
    int columns = 0;
    {
        TGESTIONE_SOCIETA probe;
        for (const TKRTGridColumn &c : probe.DG_Societa->Columns())
            columns += c.Visible ? c.Width : 0;
    }
    // A main window whose free area is `room` times the grid (70 % of it is narrower).
    const int launcher = 130;
    const int free = qRound(columns * room);
    QMainWindow main;
    auto *central = new QWidget;
    auto *row = new QHBoxLayout(central);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    auto *area = new QMdiArea;
    row->addWidget(area, 1);
    auto *pan = new QWidget;
    pan->setObjectName(QStringLiteral("PAN_Funzioni"));
    pan->setFixedWidth(launcher);
    row->addWidget(pan);
    main.setCentralWidget(central);
    main.resize(free + launcher, 900);
    main.show();
    QTRY_COMPARE(central->width(), free + launcher);
    SessionInfo().iDebugPaneHeight = 0;

    w = new TGESTIONE_SOCIETA;
    QMdiSubWindow *sub = area->addSubWindow(w);
    sub->show();
    QVERIFY(columns > qRound(free * 0.7)); // 70 % alone would cut the grid
    // Never wider than the free area, unless its filters need more.
    QVERIFY(sub->width() <= qMax(free, sub->minimumSizeHint().width()));
    QTRY_VERIFY(w->DG_Societa->isVisible());
    QCOMPARE(w->DG_Societa->horizontalScrollBar()->maximum() > 0, scrolls);
    // "Inserito il" is in view, or reached by the scroll bar.
    const int inserted = w->DG_Societa->ColumnIndexByFieldName(QStringLiteral("dtIn"));
    QVERIFY(scrolls
            || w->DG_Societa->columnViewportPosition(inserted) + w->DG_Societa->columnWidth(inserted)
                   <= w->DG_Societa->viewport()->width());
    sub->close();
    QTRY_VERIFY(!w);
}

void tst_gestione_societa::escapeInThePrintPanel()
{
    Open();
    Extract();
    QVERIFY(Locate(kSoc1));
    const QString footer = Value("txpiedereport", kSoc1);
    QVERIFY(ChooseMenu(w->DG_Societa, QStringLiteral("Dati per stampa preventivi")));
    TypeInto(w->EF_FolderDropbox, QStringLiteral("altra cartella"));
    // Enter in a one-line field leaves the panel as it is.
    QTest::keyClick(w->EF_FolderDropbox->Edit(), Qt::Key_Return);
    QVERIFY(w->PAN_Input_Bis->isVisible());
    QCOMPARE(w->EF_FolderDropbox->Text(), QStringLiteral("ALTRA CARTELLA"));
    // Escape is the panel's own "Annulla": the logo let go, nothing written, the list back.
    w->EF_Piede_Pagina->setFocus();
    QTest::keyClick(w->EF_Piede_Pagina, Qt::Key_Escape);
    QVERIFY(!w->PAN_Input_Bis->isVisible());
    QVERIFY(w->Logo().isNull());
    QCOMPARE(w->xTipoOp, coGENNone);
    QVERIFY(w->DG_Societa->isVisible());
    QCOMPARE(Value("txsocietafolder", kSoc1), QStringLiteral("TECNOQUADRI"));
    QCOMPARE(Value("txpiedereport", kSoc1), footer);
    QCOMPARE(env->Recorder().Requests().size(), 0);
}

QTEST_MAIN(tst_gestione_societa)
#include "tst_gestione_societa.moc"
