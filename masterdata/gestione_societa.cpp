#include "masterdata/gestione_societa.h"

#include "common/clipboard.h"
#include "common/dialogs.h"
#include "common/files.h"
#include "common/formats.h"
#include "common/imageroutines.h"
#include "common/picturebuttons.h"
#include "common/sessioninfo.h"
#include "common/texts.h"
#include "common/windowregistry.h"
#include "common/windowroutines.h"
#include "controls/tkrtgrid.h"
#include "controls/tkrtlabeledit.h"
#include "db/commandtext.h"
#include "db/dataset.h"
#include "db/dbmodule.h"
#include "masterdata/customerfilters.h"
#include "masterdata/filtersettings.h"
#include "masterdata/gestione_operatori.h"
#include "masterdata/provinces.h"
#include "masterdata/registrypanel.h"

#include <QCheckBox>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

const TWindowRegistration registration(QStringLiteral("GESTIONE_SOCIETA"), [](QWidget *parent) {
    return new TGESTIONE_SOCIETA(parent);
});

TListDefinition CompanyListDefinition()
{
    TListDefinition definition;
    definition.sClassName = QStringLiteral("TGESTIONE_SOCIETA");
    definition.sKeyField = QStringLiteral("idSocieta");
    definition.sExtractError = QStringLiteral("Errore estrazione elenco società (ERR.D05).");
    definition.sStatusPrefix = QStringLiteral(" N° Società: ");
    auto column = [&definition](const char *field, const char *label, int width, bool centred) {
        definition.columns.push_back(
            {QString::fromUtf8(field), QString::fromUtf8(label), width, centred, centred});
        definition.listFields << QString::fromUtf8(field);
    };
    column("txDenominazione", "Ragione Sociale", 50, false);
    column("txPartitaIVA", "Partita IVA", 13, true);
    column("txCodFiscale", "Codice Fiscale", 20, true);
    column("txLocalita", "Località", 50, false);
    column("txProvincia", "Provincia", 10, true);
    column("txTelefono", "Tel. Fisso", 20, true);
    column("txSmartPhone", "Smartphone", 20, true);
    column("dtIn", "Inserito il", 20, true);
    column("dtCanc", "Eliminato il", 20, true);
    definition.developerQueries = [](const QString &idSocieta) {
        const QString id = SqlText(idSocieta);
        return QList<QStringList>{{QStringLiteral("SELECT a.*"),
                                   QStringLiteral(" FROM Societa a"),
                                   QStringLiteral(" WHERE a.idSocieta = ") + id},
                                  {QStringLiteral("SELECT a.*"),
                                   QStringLiteral(" FROM Operatori a"),
                                   QStringLiteral(" WHERE a.idSocieta = ") + id}};
    };
    return definition;
}

} // namespace

TGESTIONE_SOCIETA::TGESTIONE_SOCIETA(QWidget *parent)
    : TListWindow(QStringLiteral("GESTIONE_SOCIETA"),
                  QStringLiteral("Gestione dati società"),
                  parent)
{
    BuildFilters();
    DG_Societa = AddGrid(QStringLiteral("DG_Societa"), CompanyListDefinition());

    PAN_Input = new TRegistryPanel(this);
    AddEditPanel(PAN_Input, PAN_Input->PB_Annulla_Input);
    BuildPrintPanel();
    AddEditPanel(PAN_Input_Bis, PB_Annulla_Input_Bis);

    connect(PAN_Input->PB_Ok_Input,
            &QPushButton::clicked,
            this,
            &TGESTIONE_SOCIETA::PB_Ok_InputClick);
    connect(PAN_Input->PB_Annulla_Input,
            &QPushButton::clicked,
            this,
            &TGESTIONE_SOCIETA::PB_Annulla_InputClick);

    std::unique_ptr<TDataSet> provinces = LoadProvinces();
    Filters->SetProvinces(provinces.get());
    PAN_Input->SetProvinces(provinces.get());

    ExtractEmpty(QStringLiteral("EstraiSocieta"));

    TFilterSettings &settings = CreateSettings(QStringLiteral("FrmGesSoc_"));
    Filters->Bind(settings);
    settings.AddFlag(CK_Find_OrdinaRecenti, QStringLiteral("OrdinaRecenti"), true);
    settings.AddFlag(CK_Find_IncludiCancellati, QStringLiteral("IncludiCancellati"), true);
    RestoreFilters(QStringLiteral("Denominazione"));
}

TGESTIONE_SOCIETA::~TGESTIONE_SOCIETA() = default;

void TGESTIONE_SOCIETA::BuildFilters()
{
    QFrame *panel = AddFilterPanel();
    auto *row = new QHBoxLayout(panel);
    row->setContentsMargins(6, 4, 6, 4);
    row->setSpacing(16);
    Filters = new TCustomerFilters(false, panel);
    row->addWidget(Filters, 1);

    auto *flags = new QVBoxLayout;
    CK_Find_OrdinaRecenti = new QCheckBox(QStringLiteral("Ordina più recenti"), panel);
    CK_Find_OrdinaRecenti->setObjectName(QStringLiteral("CK_Find_OrdinaRecenti"));
    CK_Find_IncludiCancellati = new QCheckBox(QStringLiteral("Includi non attivi"), panel);
    CK_Find_IncludiCancellati->setObjectName(QStringLiteral("CK_Find_IncludiCancellati"));
    flags->addWidget(CK_Find_OrdinaRecenti);
    flags->addWidget(CK_Find_IncludiCancellati);
    flags->addStretch(1);
    row->addLayout(flags);

    QVBoxLayout *buttons = MakeListButtons(panel, PB_EstraiElenco, PB_AzzeraFiltri);
    buttons->addStretch(1);
    row->addLayout(buttons);

    SetExtractButton(PB_EstraiElenco);
    SetFirstFocus(Filters->EF_Find_Denominazione);
    auto toExtract = [this] { PB_EstraiElenco->setFocus(Qt::OtherFocusReason); };
    connect(CK_Find_OrdinaRecenti, &QCheckBox::clicked, this, toExtract);
    connect(CK_Find_IncludiCancellati, &QCheckBox::clicked, this, toExtract);
    connect(PB_EstraiElenco, &QPushButton::clicked, this, &TGESTIONE_SOCIETA::PB_EstraiElencoClick);
    connect(PB_AzzeraFiltri, &QPushButton::clicked, this, &TGESTIONE_SOCIETA::PB_AzzeraFiltriClick);
}

void TGESTIONE_SOCIETA::BuildPrintPanel()
{
    PAN_Input_Bis = new QFrame(this);
    PAN_Input_Bis->setObjectName(QStringLiteral("PAN_Input_Bis"));
    PAN_Input_Bis->setFrameShape(QFrame::StyledPanel);
    PAN_Input_Bis->setAutoFillBackground(true);
    auto *outer = new QVBoxLayout(PAN_Input_Bis);
    outer->setContentsMargins(8, 8, 8, 8);
    outer->setSpacing(8);
    QLabel *title = MakePanelTitle(PAN_Input_Bis);
    title->setText(QStringLiteral("Dati per stampa preventivi"));
    outer->addWidget(title);

    auto *body = new QHBoxLayout;
    body->setSpacing(12);
    outer->addLayout(body, 1);

    // The logo with its four buttons.
    auto *logoColumn = new QVBoxLayout;
    auto *logoTitle = new QLabel(QStringLiteral("Logo per copertina preventivi"), PAN_Input_Bis);
    logoTitle->setObjectName(QStringLiteral("SF_Logo"));
    logoColumn->addWidget(logoTitle);
    IMG_Logo = new QLabel(PAN_Input_Bis);
    IMG_Logo->setObjectName(QStringLiteral("IMG_Logo"));
    IMG_Logo->setMinimumSize(320, 160);
    IMG_Logo->setAlignment(Qt::AlignCenter);
    IMG_Logo->setFrameShape(QFrame::StyledPanel);
    IMG_Logo->setStyleSheet(QStringLiteral("QLabel#IMG_Logo { background: white; }"));
    IMG_Logo->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    logoColumn->addWidget(IMG_Logo, 1);
    auto *logoButtons = new QHBoxLayout;
    auto button = [this,
                   logoButtons](const QString &name, const QString &caption, const QString &hint) {
        auto *b = new QPushButton(caption, PAN_Input_Bis);
        b->setObjectName(name);
        b->setToolTip(hint);
        b->setAutoDefault(false);
        logoButtons->addWidget(b);
        return b;
    };
    PB_CaricaImmagine = button(QStringLiteral("PB_CaricaImmagine"), QStringLiteral("Cerca"), {});
    PB_EliminaImmagine = button(QStringLiteral("PB_EliminaImmagine"), QStringLiteral("Rimuovi"), {});
    PB_IncollaImmagine = button(QStringLiteral("PB_IncollaImmagine"),
                                QStringLiteral("Incolla"),
                                QStringLiteral(" Incolla immagine dagli appunti "));
    PB_CopiaImmagine = button(QStringLiteral("PB_CopiaImmagine"),
                              QStringLiteral("Copia"),
                              QStringLiteral(" Copia immagine negli appunti "));
    logoButtons->addStretch(1);
    logoColumn->addLayout(logoButtons);
    body->addLayout(logoColumn, 1);

    // Footer and cloud folders.
    auto *texts = new QVBoxLayout;
    auto *footerTitle = new QLabel(QStringLiteral("Piede pagina preventivi"), PAN_Input_Bis);
    footerTitle->setObjectName(QStringLiteral("SF_Piede_Pagina"));
    texts->addWidget(footerTitle);
    EF_Piede_Pagina = new QPlainTextEdit(PAN_Input_Bis);
    EF_Piede_Pagina->setObjectName(QStringLiteral("EF_Piede_Pagina"));
    EF_Piede_Pagina->setMinimumSize(320, 100);
    texts->addWidget(EF_Piede_Pagina, 1);
    EF_RootDropbox = MakeLabelEdit(PAN_Input_Bis,
                                   QStringLiteral("EF_RootDropbox"),
                                   QStringLiteral("Root Cloud"),
                                   200,
                                   ecKRTUpperCase,
                                   320,
                                   true);
    EF_FolderDropbox = MakeLabelEdit(PAN_Input_Bis,
                                     QStringLiteral("EF_FolderDropbox"),
                                     QStringLiteral("Folder Cloud"),
                                     200,
                                     ecKRTUpperCase,
                                     320,
                                     true);
    texts->addWidget(EF_RootDropbox);
    texts->addWidget(EF_FolderDropbox);
    body->addLayout(texts, 1);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    PB_Ok_Input_Bis = new QPushButton(QStringLiteral("Ok"), PAN_Input_Bis);
    PB_Ok_Input_Bis->setObjectName(QStringLiteral("PB_Ok_Input_Bis"));
    PB_Ok_Input_Bis->setMinimumWidth(100);
    PB_Annulla_Input_Bis = new QPushButton(QStringLiteral("Annulla"), PAN_Input_Bis);
    PB_Annulla_Input_Bis->setObjectName(QStringLiteral("PB_Annulla_Input_Bis"));
    PB_Annulla_Input_Bis->setMinimumWidth(100);
    buttons->addWidget(PB_Ok_Input_Bis);
    buttons->addWidget(PB_Annulla_Input_Bis);
    outer->addLayout(buttons);

    connect(PB_CaricaImmagine,
            &QPushButton::clicked,
            this,
            &TGESTIONE_SOCIETA::PB_CaricaImmagineClick);
    connect(PB_EliminaImmagine,
            &QPushButton::clicked,
            this,
            &TGESTIONE_SOCIETA::PB_EliminaImmagineClick);
    connect(PB_IncollaImmagine,
            &QPushButton::clicked,
            this,
            &TGESTIONE_SOCIETA::PB_IncollaImmagineClick);
    connect(PB_CopiaImmagine,
            &QPushButton::clicked,
            this,
            &TGESTIONE_SOCIETA::PB_CopiaImmagineClick);
    connect(PB_Ok_Input_Bis, &QPushButton::clicked, this, &TGESTIONE_SOCIETA::PB_Ok_Input_BisClick);
    connect(PB_Annulla_Input_Bis,
            &QPushButton::clicked,
            this,
            &TGESTIONE_SOCIETA::PB_Annulla_Input_BisClick);
}

TDataSet *TGESTIONE_SOCIETA::DST_GRID_Societa() const
{
    return List()->DataSet();
}

QString TGESTIONE_SOCIETA::PictureFilter()
{
    return PictureFileFilter();
}

// --- Extraction -------------------------------------------------------------------------------

QString TGESTIONE_SOCIETA::ExtractionCommand()
{
    QStringList args = Filters->Arguments();
    args << SqlFlag(CK_Find_IncludiCancellati->isChecked());
    return QStringLiteral("EXEC EstraiSocieta  1, ") + args.join(QStringLiteral(", "));
}

QString TGESTIONE_SOCIETA::ExtractionSort() const
{
    return CK_Find_OrdinaRecenti->isChecked() ? QStringLiteral("dtIn DESC")
                                              : QStringLiteral("txDenominazione");
}

void TGESTIONE_SOCIETA::ResetFilters()
{
    Filters->Reset();
    CK_Find_OrdinaRecenti->setChecked(true);
    CK_Find_IncludiCancellati->setChecked(false);
}

void TGESTIONE_SOCIETA::AfterFiltersRestored()
{
    Filters->ShowNationalityField();
}

void TGESTIONE_SOCIETA::PB_EstraiElencoClick()
{
    ExtractWithFilters();
    FocusField(DG_Societa);
}

void TGESTIONE_SOCIETA::PB_AzzeraFiltriClick()
{
    ResetFilters();
    Filters->EF_Find_Denominazione->SetFocus();
}

// --- User menu ------------------------------------------------------------------------------

void TGESTIONE_SOCIETA::BuildMenu(TListData &list)
{
    list.AddMenuItem(QStringLiteral("Nuova società"), [this] { NuovaSocieta(); });
    list.AddMenuSeparator();
    if (list.HasRows()) {
        list.AddMenuItem(QStringLiteral("Gestione operatori"), [this] { GestioneOperatori(); });
        list.AddMenuSeparator();
        list.AddMenuItem(QStringLiteral("Dati per stampa preventivi"), [this] { DatiPerStampa(); });
        list.AddMenuItem(QStringLiteral("Modifica"), [this] { ModificaSocieta(); });
        list.AddMenuSeparator();
        if (list.CurrentIsActive())
            list.AddMenuItem(QStringLiteral("Disattiva"), [this] { CambiaStatoSocieta(false); });
        else
            list.AddMenuItem(QStringLiteral("Riattiva"), [this] { CambiaStatoSocieta(true); });
        if (SessionInfo().bDeveloperMode) {
            list.AddMenuSeparator();
            list.AddCopyIdItem();
        }
    }
}

// --- Registry panel -------------------------------------------------------------------------

bool TGESTIONE_SOCIETA::OpenCompany(const QString &id, const QString &errorMessage)
{
    return TryOpenRecord(QStringLiteral("Societa"),
                         QStringLiteral("idSocieta"),
                         QStringLiteral("EXEC DatiSocieta ") + SqlText(id),
                         errorMessage);
}

void TGESTIONE_SOCIETA::NuovaSocieta()
{
    if (EditMode())
        return;
    xTipoOp = coGENInsert;
    sLastId = NewGuidText();
    if (!OpenCompany(sLastId, QStringLiteral("Errore creazione nuova società (ERR.D02).")))
        return;
    PAN_Input->LimitLengths(Record()->Data());
    PAN_Input->SetTitle(QStringLiteral("Nuova Società"));
    PAN_Input->Clear();
    EnterEditMode(PAN_Input, PAN_Input->FirstInput());
}

void TGESTIONE_SOCIETA::ModificaSocieta()
{
    if (EditMode() || !List()->HasRows())
        return;
    xTipoOp = coGENModify;
    sLastId = List()->CurrentId();
    if (!OpenCompany(sLastId, QStringLiteral("Errore modifica società (ERR.D04).")))
        return;
    PAN_Input->LimitLengths(Record()->Data());
    PAN_Input->SetTitle(QStringLiteral("Modifica Società"));
    PAN_Input->Clear();
    PAN_Input->Fill(Record()->Data());
    EnterEditMode(PAN_Input, PAN_Input->FirstInput());
}

void TGESTIONE_SOCIETA::PB_Ok_InputClick()
{
    if (xTipoOp != coGENInsert && xTipoOp != coGENModify)
        return;
    if (PAN_Input->NameEmpty()) {
        ShowWarningBox(QStringLiteral("La ragione sociale della società è obbligatoria."));
        PAN_Input->EF_Denominazione->SetFocus();
        return;
    }
    if (!PAN_Input->CapValid()) {
        ShowWarningBox(QStringLiteral("Il CAP di una società italiana è composto da 5 cifre."));
        PAN_Input->EF_Cap->SetFocus();
        return;
    }
    const bool insert = xTipoOp == coGENInsert;
    PAN_Input->PB_Ok_Input->setEnabled(false);
    // A new company gets its id and the date of insertion; a change writes no audit field.
    const bool saved = PostRecord(insert
                                      ? QStringLiteral("Errore creazione nuova società (ERR.D02).")
                                      : QStringLiteral("Errore modifica società (ERR.D04)."),
                                  false,
                                  [this, insert](TDataSet &record) {
                                      if (insert)
                                          record.FieldByName(QStringLiteral("dtIn"))
                                              .SetValue(QDateTime::currentDateTime());
                                      PAN_Input->Write(record);
                                  });
    PAN_Input->PB_Ok_Input->setEnabled(true);
    if (!saved)
        return;
    ExtractAfterSave(
        insert ? QStringLiteral("La società inserita non è visibile con i filtri applicati.")
               : QStringLiteral("La società modificata non è visibile con i filtri applicati."));
}

void TGESTIONE_SOCIETA::PB_Annulla_InputClick()
{
    LeaveEditMode();
}

void TGESTIONE_SOCIETA::CambiaStatoSocieta(bool reactivate)
{
    if (EditMode() || !List()->HasRows())
        return;
    sLastId = List()->CurrentId();
    try {
        RunProcedure(QStringLiteral("EXEC ChangeStatoSocieta ") + SqlText(sLastId)
                     + QStringLiteral(", ") + SqlFlag(reactivate));
    } catch (const std::exception &e) {
        ShowDbError(QStringLiteral("Errore cambio stato societa (ERR.D01)."), e);
        ExtractWithFilters();
        return;
    }
    ExtractAndWarn(
        reactivate
            ? QStringLiteral("La società riattivata non è visibile con i filtri applicati.")
            : QStringLiteral("La società disattivata non è visibile con i filtri applicati."));
}

void TGESTIONE_SOCIETA::CopiaIdInClipboard()
{
    List()->CopyCurrentId();
}

// --- Operators ------------------------------------------------------------------------------

void TGESTIONE_SOCIETA::GestioneOperatori()
{
    if (!List()->HasRows())
        return;
    // One operators window: an open one, of whatever company, only comes to the front.
    const QString id = List()->CurrentId();
    const QString name = List()->CurrentText(QStringLiteral("txDenominazione"));
    OpenChildWindow(
        QStringLiteral("GESTIONE_OPERATORI"),
        MdiAreaOf(this),
        [](QWidget *) { return new TGESTIONE_OPERATORI(nullptr); },
        [id, name](QWidget *window) {
            static_cast<TGESTIONE_OPERATORI *>(window)->Start(id, name);
        });
}

// --- Print panel ----------------------------------------------------------------------------

void TGESTIONE_SOCIETA::DatiPerStampa()
{
    if (EditMode() || !List()->HasRows())
        return;
    xTipoOp = coGENModify;
    sLastId = List()->CurrentId();
    if (!OpenCompany(sLastId, QStringLiteral("Errore modifica società (ERR.D04).")))
        return;
    FillPrintPanel();
    EnterEditMode(PAN_Input_Bis, EF_Piede_Pagina);
}

void TGESTIONE_SOCIETA::FillPrintPanel()
{
    TDataSet &record = Record()->Data();
    LimitInputLength(EF_RootDropbox, record, QStringLiteral("txRootFolder"), 200);
    LimitInputLength(EF_FolderDropbox, record, QStringLiteral("txSocietaFolder"), 200);
    FillInput(EF_RootDropbox, record, QStringLiteral("txRootFolder"));
    FillInput(EF_FolderDropbox, record, QStringLiteral("txSocietaFolder"));
    EF_Piede_Pagina->setPlainText(record.FieldByName(QStringLiteral("txPiedeReport")).AsString());
    m_storedLogo = record.FieldByName(QStringLiteral("imgLogo")).AsBytes();
    SetLogo(m_storedLogo.isEmpty() ? QImage() : ImageLoadFromBytes(m_storedLogo), false);
}

void TGESTIONE_SOCIETA::RecordReadAgain()
{
    if (xTipoOp != coGENModify || !Record())
        return;
    if (ActivePanel() == PAN_Input_Bis) {
        FillPrintPanel();
    } else {
        PAN_Input->Clear();
        PAN_Input->Fill(Record()->Data());
    }
}

void TGESTIONE_SOCIETA::SetLogo(const QImage &image, bool changed)
{
    m_logo = image;
    m_logoChanged = changed;
    ShowLogo();
}

void TGESTIONE_SOCIETA::ShowLogo()
{
    ShowPictureInBox(IMG_Logo, m_logo);
}

void TGESTIONE_SOCIETA::resizeEvent(QResizeEvent *event)
{
    TListWindow::resizeEvent(event);
    if (PAN_Input_Bis && PAN_Input_Bis->isVisible())
        ShowLogo();
}

void TGESTIONE_SOCIETA::PB_CaricaImmagineClick()
{
    const QString folder = TFilterSettings::Read(QStringLiteral("FrmGesSoc_PathImmagine"),
                                                 ProgramFolder());
    const QString path = AskOpenFileName(QStringLiteral("Logo per copertina preventivi"),
                                         folder,
                                         PictureFilter());
    if (path.isEmpty())
        return;
    const QFileInfo file(path);
    if (!file.exists() || !file.isFile()) {
        ShowErrorBox(QStringLiteral(
            "L'immagine con il nome impostato non esiste nel percorso selezionato...."));
        return;
    }
    TFilterSettings::Write(QStringLiteral("FrmGesSoc_PathImmagine"), file.absolutePath());
    const QImage image = ImageLoadFromFile(path);
    if (image.isNull()) {
        // The logo in the box stays as it was.
        ShowErrorBox(
            QStringLiteral("Il file \"%1\" non contiene un'immagine leggibile.").arg(file.fileName())
            + LineBreaks(2) + QStringLiteral("Scegliere un'immagine PNG, JPEG o BMP."));
        return;
    }
    SetLogo(image, true);
}

void TGESTIONE_SOCIETA::PB_EliminaImmagineClick()
{
    SetLogo(QImage(), true);
}

void TGESTIONE_SOCIETA::PB_IncollaImmagineClick()
{
    const QImage image = PasteImageFromClipboard();
    if (image.isNull()) {
        ShowWarningBox(QStringLiteral("Gli appunti non contengono un'immagine."));
        return;
    }
    SetLogo(image, true);
}

void TGESTIONE_SOCIETA::PB_CopiaImmagineClick()
{
    if (!m_logo.isNull())
        CopyImageToClipboard(m_logo);
}

void TGESTIONE_SOCIETA::PB_Ok_Input_BisClick()
{
    if (ActivePanel() != PAN_Input_Bis)
        return;
    // An unchanged logo keeps its stored bytes rather than being compressed once more.
    QByteArray logo = m_storedLogo;
    if (m_logoChanged)
        logo = m_logo.isNull() ? QByteArray() : ImageSaveJpegBytes(m_logo);
    if (m_logoChanged && !m_logo.isNull() && logo.isEmpty()) {
        ShowErrorBox(QStringLiteral("Impossibile convertire il logo in formato JPEG."));
        return;
    }
    PB_Ok_Input_Bis->setEnabled(false);
    const bool saved = PostRecord(QStringLiteral("Errore modifica società (ERR.D04)."),
                                  false,
                                  [this, logo](TDataSet &record) {
                                      WriteInput(record,
                                                 QStringLiteral("txRootFolder"),
                                                 EF_RootDropbox->Text());
                                      WriteInput(record,
                                                 QStringLiteral("txSocietaFolder"),
                                                 EF_FolderDropbox->Text());
                                      TField footer = record.FieldByName(
                                          QStringLiteral("txPiedeReport"));
                                      const QString text = EF_Piede_Pagina->toPlainText();
                                      if (text.trimmed().isEmpty())
                                          footer.SetNull();
                                      else
                                          footer.SetValue(text);
                                      TField image = record.FieldByName(QStringLiteral("imgLogo"));
                                      if (logo.isEmpty())
                                          image.SetNull();
                                      else
                                          image.SetValue(logo);
                                  });
    PB_Ok_Input_Bis->setEnabled(true);
    if (saved)
        PB_Annulla_Input_BisClick();
}

void TGESTIONE_SOCIETA::PB_Annulla_Input_BisClick()
{
    m_logo = QImage();
    m_storedLogo.clear();
    m_logoChanged = false;
    IMG_Logo->clear();
    LeaveEditMode();
}
