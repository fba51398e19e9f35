#include "masterdata/gestione_operatori.h"

#include "common/dialogs.h"
#include "common/formats.h"
#include "common/texts.h"
#include "common/windowroutines.h"
#include "controls/krtcolor.h"
#include "controls/tkrtgrid.h"
#include "controls/tkrtlabeledit.h"
#include "db/commandtext.h"
#include "db/dataset.h"
#include "db/dbmodule.h"
#include "masterdata/customerfilters.h"
#include "masterdata/registrypanel.h"

#include <QCheckBox>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

TListDefinition OperatorListDefinition()
{
    TListDefinition definition;
    definition.sClassName = QStringLiteral("TGESTIONE_OPERATORI");
    definition.sKeyField = QStringLiteral("idOperatore");
    definition.sExtractError = QStringLiteral("Errore estrazione elenco operatori (ERR.Q05).");
    definition.sStatusPrefix = QStringLiteral(" N° Operatori: ");
    definition.columns
        = {{QStringLiteral("txOperatore"), QStringLiteral("Operatore"), 20, false, true},
           {QStringLiteral("txDescrizione"), QStringLiteral("Descrizione"), 50, false, false},
           {QStringLiteral("txSmartphone"), QStringLiteral("Smartphone"), 13, true, true},
           {QStringLiteral("txEmail"), QStringLiteral("Email"), 20, true, true},
           {QStringLiteral("dtCanc"), QStringLiteral("Eliminato il"), 20, true, true}};
    for (const TListColumn &c : definition.columns)
        definition.listFields << c.field;
    definition.legends = {{QStringLiteral(" (Funzionari)  "), clKRTBlue, true}};
    // Funzionari blue and bold, over the red of deactivated operators.
    definition.rowColours = [](const TDataSet &ds, int row, TKRTDrawCellArgs &args) {
        const int column = ds.FieldIndex(QStringLiteral("flFunzionario"));
        if (column >= 0 && ds.ValueAt(row, column).toInt() == 1) {
            args.FontColor = KRTColor(clKRTBlue);
            args.Font.setBold(true);
        }
    };
    return definition;
}

} // namespace

TGESTIONE_OPERATORI::TGESTIONE_OPERATORI(QWidget *parent)
    : TListWindow(QStringLiteral("GESTIONE_OPERATORI"), QStringLiteral("Operatori"), parent)
{
    DG_Operatori = AddGrid(QStringLiteral("DG_Operatori"), OperatorListDefinition());
    BuildPanel();
    AddEditPanel(PAN_Input, PB_Annulla_Input);
    SetFirstFocus(DG_Operatori);
}

TGESTIONE_OPERATORI::~TGESTIONE_OPERATORI() = default;

void TGESTIONE_OPERATORI::BuildPanel()
{
    PAN_Input = new QFrame(this);
    PAN_Input->setObjectName(QStringLiteral("PAN_Input"));
    PAN_Input->setFrameShape(QFrame::StyledPanel);
    PAN_Input->setAutoFillBackground(true);
    auto *outer = new QVBoxLayout(PAN_Input);
    outer->setContentsMargins(8, 8, 8, 8);
    outer->setSpacing(8);
    PAN_Desc_TipoOperazione = MakePanelTitle(PAN_Input);
    outer->addWidget(PAN_Desc_TipoOperazione);

    EF_Operatore = MakeLabelEdit(PAN_Input,
                                 QStringLiteral("EF_Operatore"),
                                 QStringLiteral("Codice operatore"),
                                 50,
                                 ecKRTUpperCase,
                                 160,
                                 true);
    EF_Descrizione = MakeLabelEdit(PAN_Input,
                                   QStringLiteral("EF_Descrizione"),
                                   QStringLiteral("Descrizione "),
                                   100,
                                   ecKRTNormal,
                                   320,
                                   true);
    EF_Smartphone = MakeLabelEdit(PAN_Input,
                                  QStringLiteral("EF_Smartphone"),
                                  QStringLiteral("Smartphone"),
                                  100,
                                  ecKRTUpperCase,
                                  160,
                                  true);
    EF_Email = MakeLabelEdit(PAN_Input,
                             QStringLiteral("EF_Email"),
                             QStringLiteral("Email"),
                             100,
                             ecKRTLowerCase,
                             260,
                             true);
    EF_Note = MakeLabelEdit(PAN_Input,
                            QStringLiteral("EF_Note"),
                            QStringLiteral("Note"),
                            200,
                            ecKRTNormal,
                            440,
                            true);
    m_codeColour = EF_Operatore->Color();
    CK_Funzionario = new QCheckBox(QStringLiteral("Funzionario"), PAN_Input);
    CK_Funzionario->setObjectName(QStringLiteral("CK_Funzionario"));

    auto *grid = new QGridLayout;
    grid->setHorizontalSpacing(12);
    grid->setVerticalSpacing(6);
    grid->addWidget(EF_Operatore, 0, 0);
    grid->addWidget(CK_Funzionario, 0, 1, Qt::AlignLeft | Qt::AlignBottom);
    grid->addWidget(EF_Descrizione, 1, 0, 1, 2);
    grid->addWidget(EF_Smartphone, 2, 0);
    grid->addWidget(EF_Email, 2, 1);
    grid->addWidget(EF_Note, 3, 0, 1, 2);
    grid->setColumnStretch(0, 1);
    grid->setColumnStretch(1, 1);
    outer->addLayout(grid);
    outer->addStretch(1);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    PB_Ok_Input = new QPushButton(QStringLiteral("Ok"), PAN_Input);
    PB_Ok_Input->setObjectName(QStringLiteral("PB_Ok_Input"));
    PB_Ok_Input->setMinimumWidth(100);
    PB_Annulla_Input = new QPushButton(QStringLiteral("Annulla"), PAN_Input);
    PB_Annulla_Input->setObjectName(QStringLiteral("PB_Annulla_Input"));
    PB_Annulla_Input->setMinimumWidth(100);
    buttons->addWidget(PB_Ok_Input);
    buttons->addWidget(PB_Annulla_Input);
    outer->addLayout(buttons);

    connect(PB_Ok_Input, &QPushButton::clicked, this, &TGESTIONE_OPERATORI::PB_Ok_InputClick);
    connect(PB_Annulla_Input,
            &QPushButton::clicked,
            this,
            &TGESTIONE_OPERATORI::PB_Annulla_InputClick);
    // Ticking "Funzionario" moves the focus to the description.
    connect(CK_Funzionario, &QCheckBox::clicked, this, [this] { EF_Descrizione->SetFocus(); });
}

void TGESTIONE_OPERATORI::Start(const QString &idSocieta, const QString &descSocieta)
{
    sidSocieta = idSocieta;
    sDescSocieta = descSocieta;
    setWindowTitle(QStringLiteral("Operatori della società \"%1\"").arg(descSocieta));
    Extract();
}

TDataSet *TGESTIONE_OPERATORI::DST_GRID_Operatori() const
{
    return List()->DataSet();
}

QString TGESTIONE_OPERATORI::ExtractionCommand()
{
    QString command = QStringLiteral("EXEC EstraiOperatori  1");
    if (!sidSocieta.isEmpty())
        command += QStringLiteral(", ") + SqlText(sidSocieta);
    return command;
}

QString TGESTIONE_OPERATORI::ExtractionSort() const
{
    return QStringLiteral("txDescrizione");
}

void TGESTIONE_OPERATORI::Extract()
{
    ExtractWithFilters();
}

// --- User menu ------------------------------------------------------------------------------

void TGESTIONE_OPERATORI::BuildMenu(TListData &list)
{
    list.AddMenuItem(QStringLiteral("Nuovo operatore"), [this] { NuovoOperatore(); });
    if (list.HasRows()) {
        list.AddMenuItem(QStringLiteral("Modifica"), [this] { ModificaOperatore(); });
        list.AddMenuItem(QStringLiteral("Reset password"), [this] { ResetPassword(); });
        if (list.CurrentIsActive())
            list.AddMenuItem(QStringLiteral("Disattiva"), [this] { CambiaStatoOperatore(false); });
        else
            list.AddMenuItem(QStringLiteral("Riattiva"), [this] { CambiaStatoOperatore(true); });
    }
}

// --- Records --------------------------------------------------------------------------------

bool TGESTIONE_OPERATORI::OpenOperator(const QString &id, const QString &errorMessage)
{
    if (!TryOpenRecord(QStringLiteral("Operatori"),
                       QStringLiteral("idOperatore"),
                       QStringLiteral("EXEC DatiOperatore ") + SqlText(id),
                       errorMessage))
        return false;
    TDataSet &record = Record()->Data();
    LimitInputLength(EF_Operatore, record, QStringLiteral("txOperatore"), 50);
    LimitInputLength(EF_Descrizione, record, QStringLiteral("txDescrizione"), 100);
    LimitInputLength(EF_Smartphone, record, QStringLiteral("txSmartphone"), 100);
    LimitInputLength(EF_Email, record, QStringLiteral("txEmail"), 100);
    LimitInputLength(EF_Note, record, QStringLiteral("txNote"), 200);
    return true;
}

void TGESTIONE_OPERATORI::NuovoOperatore()
{
    if (EditMode())
        return;
    xTipoOp = coGENInsert;
    sLastId = NewGuidText();
    if (!OpenOperator(sLastId, QStringLiteral("Errore creazione nuovo operatore (ERR.Q02).")))
        return;
    PAN_Desc_TipoOperazione->setText(QStringLiteral("Nuovo Operatore"));
    for (TKRTLabelEdit *e : {EF_Operatore, EF_Descrizione, EF_Smartphone, EF_Email, EF_Note})
        e->ClearField();
    CK_Funzionario->setChecked(false);
    EF_Operatore->SetReadOnly(false);
    EF_Operatore->SetColor(m_codeColour);
    EnterEditMode(PAN_Input, EF_Operatore);
}

void TGESTIONE_OPERATORI::ModificaOperatore()
{
    if (EditMode() || !List()->HasRows())
        return;
    xTipoOp = coGENModify;
    sLastId = List()->CurrentId();
    if (!OpenOperator(sLastId, QStringLiteral("Errore modifica operatore (ERR.Q04).")))
        return;
    PAN_Desc_TipoOperazione->setText(QStringLiteral("Modifica Operatore"));
    FillInputPanel();
    EF_Operatore->SetReadOnly(true);
    EF_Operatore->SetColor(palette().color(QPalette::Window));
    EnterEditMode(PAN_Input, EF_Descrizione);
}

void TGESTIONE_OPERATORI::FillInputPanel()
{
    TDataSet &record = Record()->Data();
    FillInput(EF_Operatore, record, QStringLiteral("txOperatore"));
    FillInput(EF_Descrizione, record, QStringLiteral("txDescrizione"));
    FillInput(EF_Smartphone, record, QStringLiteral("txSmartphone"));
    FillInput(EF_Email, record, QStringLiteral("txEmail"));
    FillInput(EF_Note, record, QStringLiteral("txNote"));
    CK_Funzionario->setChecked(record.FieldByName(QStringLiteral("flFunzionario")).AsBoolean());
}

void TGESTIONE_OPERATORI::RecordReadAgain()
{
    if (xTipoOp == coGENModify && Record())
        FillInputPanel();
}

void TGESTIONE_OPERATORI::PB_Ok_InputClick()
{
    if (xTipoOp != coGENInsert && xTipoOp != coGENModify)
        return;
    const QString code = EF_Operatore->Text().trimmed();
    if (code.isEmpty()) {
        ShowWarningBox(QStringLiteral("Il codice operatore è obbligatorio."));
        EF_Operatore->SetFocus();
        return;
    }
    if (EF_Descrizione->Text().trimmed().isEmpty()) {
        ShowWarningBox(QStringLiteral("La descrizione dell'operatore è obbligatoria."));
        EF_Descrizione->SetFocus();
        return;
    }
    const bool insert = xTipoOp == coGENInsert;
    if (insert) {
        bool free = false;
        try {
            TSTD_DBMODULE *db = TSTD_DBMODULE::Instance();
            if (!db)
                throw EDatabaseError(QStringLiteral("Modulo del database assente."));
            std::unique_ptr<TDataSet> answer = db->Query(QStringLiteral("EXEC IsNewOperatoreOk ")
                                                         + SqlText(code));
            free = answer->RecordCount() > 0
                   && answer->FieldByName(QStringLiteral("flOkInsert")).AsBoolean();
        } catch (const std::exception &e) {
            ShowDbError(QStringLiteral("Errore verifica esistenza operatore (ERR.Q03)."), e);
            return;
        }
        if (!free) {
            ShowWarningBox(QStringLiteral("Operatore già esistente, impossibile inserire"));
            EF_Operatore->SetFocus();
            return;
        }
    }
    PB_Ok_Input->setEnabled(false);
    const bool saved = PostRecord(
        insert ? QStringLiteral("Errore creazione nuovo operatore (ERR.Q02).")
               : QStringLiteral("Errore modifica operatore (ERR.Q04)."),
        false,
        [this, insert, code](TDataSet &record) {
            if (insert) {
                record.FieldByName(QStringLiteral("idSocieta")).SetValue(sidSocieta);
                record.FieldByName(QStringLiteral("txOperatore")).SetValue(code);
                // The first logon then asks for a new password.
                record.FieldByName(QStringLiteral("txPassword")).SetValue(PasswordToBase64(code));
            }
            WriteInput(record, QStringLiteral("txDescrizione"), EF_Descrizione->Text());
            record.FieldByName(QStringLiteral("flFunzionario"))
                .SetValue(CK_Funzionario->isChecked() ? 1 : 0);
            WriteInput(record, QStringLiteral("txSmartphone"), EF_Smartphone->Text());
            WriteInput(record, QStringLiteral("txEmail"), EF_Email->Text());
            WriteInput(record, QStringLiteral("txNote"), EF_Note->Text());
        });
    PB_Ok_Input->setEnabled(true);
    if (!saved)
        return;
    Extract();
    LeaveEditMode();
}

void TGESTIONE_OPERATORI::PB_Annulla_InputClick()
{
    LeaveEditMode();
}

void TGESTIONE_OPERATORI::ResetPassword()
{
    if (EditMode() || !List()->HasRows())
        return;
    const QString code = List()->CurrentText(QStringLiteral("txOperatore"));
    try {
        RunProcedure(QStringLiteral("EXEC ResetPasswordOperatore ") + SqlText(code)
                     + QStringLiteral(", ") + SqlText(PasswordToBase64(code)));
    } catch (const std::exception &e) {
        ShowDbError(QStringLiteral("Errore reset password operatore (ERR.Q06)."), e);
        return;
    }
    ShowInfoBox(QStringLiteral("Reset password effettuato"), TInfoAlign::Center, false, true);
}

void TGESTIONE_OPERATORI::CambiaStatoOperatore(bool reactivate)
{
    if (EditMode() || !List()->HasRows())
        return;
    sLastId = List()->CurrentId();
    try {
        RunProcedure(QStringLiteral("EXEC ChangeStatoOperatore ") + SqlText(sLastId)
                     + QStringLiteral(", ") + SqlFlag(reactivate));
    } catch (const std::exception &e) {
        ShowDbError(QStringLiteral("Errore cambio stato operatore (ERR.Q01)."), e);
    }
    Extract();
}
