#include "catalogue/dettprodpanels.h"

#include "common/dialogs.h"
#include "common/sessioninfo.h"
#include "controls/tkrtlabeledit.h"
#include "db/commandtext.h"
#include "db/dataset.h"
#include "db/dbmodule.h"
#include "masterdata/customerfilters.h"
#include "masterdata/listdata.h"
#include "masterdata/registrypanel.h"

#include <QCheckBox>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace {

constexpr int kDescLength = 200;

QString User()
{
    return SqlText(SessionInfo().sUserName);
}

TKRTLabelEdit *DescInput(QWidget *parent, const char *name, const QString &caption)
{
    return MakeLabelEdit(parent,
                         QString::fromLatin1(name),
                         caption,
                         kDescLength,
                         ecKRTNormal,
                         420,
                         true);
}

// The input's text trimmed into the column; empty gives null when nullWhenEmpty.
void WriteText(TDataSet &row, const QString &column, const QString &text, bool nullWhenEmpty)
{
    const QString value = text.trimmed();
    if (value.isEmpty() && nullWhenEmpty)
        row.FieldByName(column).SetNull();
    else
        row.FieldByName(column).SetValue(value);
}

} // namespace

QString DatiNodoText(const QString &sIdNodo, int nuTipologia)
{
    return QStringLiteral("EXEC DatiNodo ") + SqlText(sIdNodo) + QStringLiteral(", ")
           + SqlInteger(nuTipologia);
}

QString SetOrdineNewNodoText(const TDettProdNodeContext &c)
{
    QStringList args{SqlText(c.sIdNodo), SqlText(c.sIdParent), SqlInteger(c.iNuTipologia), User()};
    if (c.xTipoOp == coGENInsertBetween)
        args << SqlText(c.sIdRefParent) << SqlInteger(c.iPosition) << SqlInteger(c.iSubPosition);
    return ExecText(QStringLiteral("SetOrdineNewNodo"), args);
}

QString UpdateChangesProdottoText(const QString &sIdProdotto)
{
    return ExecText(QStringLiteral("UpdateChangesProdotto"), {SqlText(sIdProdotto), User()});
}

QString NodePanelTitle(TGENCurrentOp op, TCurrentNodeTipologia kind)
{
    const bool modify = op == coGENModify;
    const bool between = op == coGENInsertBetween;
    switch (kind) {
    case cnScheda:
        return modify ? QStringLiteral("Modifica scheda")
                      : (between ? QStringLiteral("Inserisci scheda")
                                 : QStringLiteral("Nuova scheda"));
    case cnComponente:
        return modify ? QStringLiteral("Modifica paragrafo") : QStringLiteral("Nuovo paragrafo");
    case cnParte:
        return modify ? QStringLiteral("Modifica parte")
                      : (between ? QStringLiteral("Inserisci sottoparagrafo")
                                 : QStringLiteral("Aggiungi sottoparagrafo"));
    case cnParteTesto:
        return modify ? QStringLiteral("Modifica testo") : QStringLiteral("Nuovo testo");
    case cnParteImmagine:
        return modify ? QStringLiteral("Modifica immagine") : QStringLiteral("Nuova immagine");
    case cnParteLinkWeb:
        return modify ? QStringLiteral("Modifica link web") : QStringLiteral("Nuovo link web");
    case cnParteTabella:
        return modify ? QStringLiteral("Modifica intestazione tabella")
                      : QStringLiteral("Nuova intestazione tabella");
    case cnVoceScheda:
        return QStringLiteral("Gestione voci della scheda");
    case cnParteVoceTabella:
        return QStringLiteral("Gestione voci della tabella ");
    default:
        return QString();
    }
}

// --- Base -----------------------------------------------------------------------------------

TDettProdRecordPanel::TDettProdRecordPanel(TDettProdRowKind kind, QWidget *parent)
    : TDettProdNodePanel(parent)
    , m_kind(std::move(kind))
{
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(4, 4, 4, 4);
    column->setSpacing(8);
}

TDettProdRecordPanel::~TDettProdRecordPanel() = default;

QCheckBox *TDettProdRecordPanel::AddCheck(const char *name, const QString &caption)
{
    // The box sits in a row of its own; a long caption is a word-wrapped label next to it
    // (the pane is narrow), which ticks the box when clicked.
    auto *row = new QWidget(this);
    auto *line = new QHBoxLayout(row);
    line->setContentsMargins(0, 0, 0, 0);
    line->setSpacing(4);
    auto *box = new QCheckBox(row);
    box->setObjectName(QLatin1String(name));
    line->addWidget(box, 0, Qt::AlignTop);
    if (caption.size() <= 50) {
        box->setText(caption);
        line->addStretch(1);
    } else {
        box->setAccessibleName(caption);
        auto *label = new QLabel(caption, row);
        label->setObjectName(QLatin1String(name) + QStringLiteral("_Caption"));
        label->setWordWrap(true);
        label->installEventFilter(this);
        label->setProperty("checkBox", QVariant::fromValue(static_cast<QObject *>(box)));
        line->addWidget(label, 1);
    }
    connect(box, &QCheckBox::clicked, this, [this] {
        if (QWidget *main = MainField())
            main->setFocus();
    });
    return box;
}

bool TDettProdRecordPanel::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseButtonRelease)
        if (auto *box = qobject_cast<QCheckBox *>(watched->property("checkBox").value<QObject *>()))
            if (box->isEnabled()) {
                box->click();
                return true;
            }
    return TDettProdNodePanel::eventFilter(watched, event);
}

void TDettProdRecordPanel::SetFlag(TDataSet &row, const QString &column, bool on)
{
    row.FieldByName(column).SetValue(on ? 1 : 0);
}

bool TDettProdRecordPanel::Flag(TDataSet &row, const QString &column)
{
    return row.FieldByName(column).AsBoolean();
}

bool TDettProdRecordPanel::OpenRecord(const TDettProdNodeContext &context)
{
    auto record = std::make_unique<TEditableRecord>(TSTD_DBMODULE::Instance(),
                                                    m_kind.table,
                                                    m_kind.key);
    record->Open(DatiNodoText(context.sIdNodo, context.iNuTipologia));
    OpenExtra(context.sIdNodo);
    m_record = std::move(record);
    return true;
}

bool TDettProdRecordPanel::Open(const TDettProdNodeContext &context)
{
    m_opened = context;
    try {
        OpenRecord(context);
    } catch (const std::exception &e) {
        m_record.reset();
        ReleaseExtra();
        ShowDbError(QStringLiteral("Errore lettura dati del nodo."), e);
        return false;
    }
    LimitLengths(m_record->Data());
    if (context.xTipoOp == coGENModify && !m_record->IsNew()) {
        m_record->Data().First();
        Fill(m_record->Data());
    } else if (context.xTipoOp == coGENModify) {
        m_record.reset();
        ReleaseExtra();
        ShowErrorBox(QStringLiteral("Il nodo non esiste più: ricaricare la struttura del "
                                    "prodotto."));
        return false;
    } else {
        Clear();
    }
    return true;
}

QString TDettProdRecordPanel::Title(const TDettProdNodeContext &context) const
{
    return NodePanelTitle(context.xTipoOp, context.xTipoNode);
}

bool TDettProdRecordPanel::Save(const TDettProdNodeContext &context)
{
    if (!Validate())
        return false;
    TSTD_DBMODULE *db = TSTD_DBMODULE::Instance();
    const bool insert = context.xTipoOp != coGENModify;
    QString failing = insert ? m_kind.insertError : m_kind.modifyError;
    try {
        if (!db)
            throw EDatabaseError(QStringLiteral("Modulo del database assente."));
        if (!m_record)
            OpenRecord(context);
        db->BeginTrans();
        if (insert)
            m_record->Append(context.sIdNodo);
        else
            m_record->Edit();
        Write(m_record->Data(), context, insert);
        m_record->Post(SessionInfo().sUserName, true);
        PostExtra(context.sIdNodo, insert);
        if (insert) {
            failing = QStringLiteral("Errore impostazione ordine nuovo inserimento (ERR.G23).");
            db->Query(SetOrdineNewNodoText(context));
        }
        failing = QStringLiteral("Errore aggiornamento modifica prodotto (ERR.G26).");
        db->Query(UpdateChangesProdottoText(context.sIdProdotto));
        db->CommitTrans();
        return true;
    } catch (const std::exception &e) {
        if (m_record) {
            try {
                m_record->Cancel();
            } catch (const std::exception &) {
                // Read again below.
            }
        }
        if (db && db->InTransaction())
            db->RollbackTrans();
        // The records believe what they posted is stored: they are read again as the tables
        // have them; the panel keeps the operator's input.
        try {
            OpenRecord(context);
        } catch (const std::exception &) {
            m_record.reset();
        }
        ShowDbError(failing, e);
        return false;
    }
}

void TDettProdRecordPanel::Release()
{
    m_record.reset();
    ReleaseExtra();
}

// --- Data sheet -----------------------------------------------------------------------------

TDettProdSchedaPanel::TDettProdSchedaPanel(QWidget *parent)
    : TDettProdRecordPanel({QStringLiteral("Prod_Schede"),
                            QStringLiteral("idSchedaProdotto"),
                            QStringLiteral("Errore creazione nuova scheda (ERR.G07)."),
                            QStringLiteral("Errore modifica scheda (ERR.G08).")},
                           parent)
{
    setObjectName(QStringLiteral("TSH_Scheda"));
    EF_DescSchedaNodo = DescInput(this, "EF_DescSchedaNodo", QStringLiteral("Descrizione scheda"));
    CK_SchedaNodoAttiva = AddCheck("CK_SchedaNodoAttiva", QStringLiteral("Scheda attiva"));
    CK_SchedaNodoUnita = AddCheck("CK_SchedaNodoUnita",
                                  QStringLiteral("Se possibile, mantenere tutti i contenuti della "
                                                 "scheda insieme nella stessa pagina in fase di "
                                                 "stampa del preventivo"));
    auto *l = static_cast<QVBoxLayout *>(layout());
    l->addWidget(EF_DescSchedaNodo);
    l->addWidget(CK_SchedaNodoAttiva->parentWidget());
    l->addWidget(CK_SchedaNodoUnita->parentWidget());
    l->addStretch(1);
}

QWidget *TDettProdSchedaPanel::MainField() const
{
    return EF_DescSchedaNodo->Edit();
}

void TDettProdSchedaPanel::Clear()
{
    EF_DescSchedaNodo->ClearField();
    CK_SchedaNodoAttiva->setChecked(true);
    CK_SchedaNodoUnita->setChecked(true);
}

void TDettProdSchedaPanel::Fill(TDataSet &row)
{
    FillInput(EF_DescSchedaNodo, row, QStringLiteral("txDescSchedaProdotto"));
    CK_SchedaNodoAttiva->setChecked(Flag(row, QStringLiteral("flSchedaProdottoAttiva")));
    CK_SchedaNodoUnita->setChecked(Flag(row, QStringLiteral("flSchedaProdottoUnita")));
}

bool TDettProdSchedaPanel::Validate()
{
    if (EF_DescSchedaNodo->Text().trimmed().isEmpty()) {
        ShowWarningBox(QStringLiteral("Descrizione scheda obbligatoria."));
        EF_DescSchedaNodo->SetFocus();
        return false;
    }
    return true;
}

void TDettProdSchedaPanel::Write(TDataSet &row, const TDettProdNodeContext &c, bool insert)
{
    if (insert) {
        row.FieldByName(QStringLiteral("idProdotto")).SetValue(c.sIdProdotto);
        row.FieldByName(QStringLiteral("nuOrdineNelProdotto"))
            .SetValue(c.xTipoOp == coGENInsertBetween ? c.iPosition : 0);
    }
    WriteText(row, QStringLiteral("txDescSchedaProdotto"), EF_DescSchedaNodo->Text(), false);
    SetFlag(row, QStringLiteral("flSchedaProdottoAttiva"), CK_SchedaNodoAttiva->isChecked());
    SetFlag(row, QStringLiteral("flSchedaProdottoUnita"), CK_SchedaNodoUnita->isChecked());
}

void TDettProdSchedaPanel::LimitLengths(const TDataSet &row)
{
    LimitInputLength(EF_DescSchedaNodo, row, QStringLiteral("txDescSchedaProdotto"), kDescLength);
}

// --- Paragraph ------------------------------------------------------------------------------

TDettProdComponentePanel::TDettProdComponentePanel(QWidget *parent)
    : TDettProdRecordPanel({QStringLiteral("Prod_Componenti"),
                            QStringLiteral("idCompProdotto"),
                            QStringLiteral("Errore creazione nuovo paragrafo (ERR.G11)."),
                            QStringLiteral("Errore modifica paragrafo (ERR.G12).")},
                           parent)
{
    setObjectName(QStringLiteral("TSH_Componente"));
    EF_DescComponenteNodo = DescInput(this,
                                      "EF_DescComponenteNodo",
                                      QStringLiteral("Descrizione paragrafo"));
    CK_ComponenteNodoAttivo = AddCheck("CK_ComponenteNodoAttivo",
                                       QStringLiteral("Paragrafo attivo"));
    CK_ComponenteNodoRiepilogo = AddCheck("CK_ComponenteNodoRiepilogo",
                                          QStringLiteral("Utilizza nel riepilogo prodotto"));
    CK_ComponenteNodoNewPageBefore
        = AddCheck("CK_ComponenteNodoNewPageBefore",
                   QStringLiteral(
                       "Effettua un salto pagina prima in fase di stampa del preventivo "));
    // A paragraph of the summary starts on a page of its own.
    connect(CK_ComponenteNodoRiepilogo, &QCheckBox::clicked, this, [this](bool on) {
        if (on)
            CK_ComponenteNodoNewPageBefore->setChecked(true);
    });
    auto *l = static_cast<QVBoxLayout *>(layout());
    l->addWidget(EF_DescComponenteNodo);
    l->addWidget(CK_ComponenteNodoAttivo->parentWidget());
    l->addWidget(CK_ComponenteNodoRiepilogo->parentWidget());
    l->addWidget(CK_ComponenteNodoNewPageBefore->parentWidget());
    l->addStretch(1);
}

QWidget *TDettProdComponentePanel::MainField() const
{
    return EF_DescComponenteNodo->Edit();
}

void TDettProdComponentePanel::Clear()
{
    EF_DescComponenteNodo->ClearField();
    CK_ComponenteNodoAttivo->setChecked(true);
    CK_ComponenteNodoRiepilogo->setChecked(false);
    CK_ComponenteNodoNewPageBefore->setChecked(false);
}

void TDettProdComponentePanel::Fill(TDataSet &row)
{
    FillInput(EF_DescComponenteNodo, row, QStringLiteral("txDescCompProdotto"));
    CK_ComponenteNodoAttivo->setChecked(Flag(row, QStringLiteral("flCompProdottoAttivo")));
    CK_ComponenteNodoRiepilogo->setChecked(Flag(row, QStringLiteral("flCompProdottoRiepilogo")));
    CK_ComponenteNodoNewPageBefore->setChecked(Flag(row, QStringLiteral("flNewPageBefore")));
}

bool TDettProdComponentePanel::Validate()
{
    if (CK_ComponenteNodoRiepilogo->isChecked()
        && EF_DescComponenteNodo->Text().trimmed().isEmpty()) {
        ShowWarningBox(QStringLiteral("Descrizione paragrafo obbligatoria se impostato "
                                      "\"Utilizza nel riepilogo prodotto\"."));
        EF_DescComponenteNodo->SetFocus();
        return false;
    }
    return true;
}

void TDettProdComponentePanel::Write(TDataSet &row, const TDettProdNodeContext &c, bool insert)
{
    if (insert) {
        row.FieldByName(QStringLiteral("idProdotto")).SetValue(c.sIdProdotto);
        row.FieldByName(QStringLiteral("nuOrdineNelProdotto"))
            .SetValue(c.xTipoOp == coGENInsertBetween ? c.iPosition : 0);
    }
    WriteText(row, QStringLiteral("txDescCompProdotto"), EF_DescComponenteNodo->Text(), true);
    SetFlag(row, QStringLiteral("flCompProdottoRiepilogo"), CK_ComponenteNodoRiepilogo->isChecked());
    SetFlag(row, QStringLiteral("flNewPageBefore"), CK_ComponenteNodoNewPageBefore->isChecked());
    SetFlag(row, QStringLiteral("flCompProdottoAttivo"), CK_ComponenteNodoAttivo->isChecked());
}

void TDettProdComponentePanel::LimitLengths(const TDataSet &row)
{
    LimitInputLength(EF_DescComponenteNodo, row, QStringLiteral("txDescCompProdotto"), kDescLength);
}

// --- Sub-paragraph --------------------------------------------------------------------------

TDettProdPartePanel::TDettProdPartePanel(QWidget *parent)
    : TDettProdRecordPanel({QStringLiteral("Prod_Comp_Parti"),
                            QStringLiteral("idParteComp"),
                            QStringLiteral("Errore creazione nuovo sottoparagrafo (ERR.G13)."),
                            QStringLiteral("Errore modifica sottoparagrafo (ERR.G14).")},
                           parent)
{
    setObjectName(QStringLiteral("TSH_Parte"));
    EF_DescParteNodo = DescInput(this,
                                 "EF_DescParteNodo",
                                 QStringLiteral("Descrizione sottoparagrafo"));
    EF_NuQtaParteNodo = new TKRTLabelEdit(QStringLiteral("EF_NuQtaParteNodo"),
                                          QStringLiteral("Quantità"),
                                          this);
    EF_NuQtaParteNodo->SetCaptionPosition(cpKRTAbove);
    EF_NuQtaParteNodo->SetTemplate(tpKRTNumeric);
    EF_NuQtaParteNodo->SetDecimals(0);
    EF_NuQtaParteNodo->SetAllowNothing(true);
    EF_NuQtaParteNodo->SetMinValue(QStringLiteral("0"));
    EF_NuQtaParteNodo->SetMaxValue(QStringLiteral("999999"));
    EF_NuQtaParteNodo->SetEditWidth(120);
    EF_NuQtaParteNodo->SetEditAlignment(Qt::AlignRight);
    CK_ParteNodoAttiva = AddCheck("CK_ParteNodoAttiva", QStringLiteral("Sottoparagrafo attivo"));
    CK_ParteNodoImportante = AddCheck("CK_ParteNodoImportante",
                                      QStringLiteral(
                                          "Evidenziare (utilizzare per note importanti)"));
    CK_ParteNodoUnita = AddCheck("CK_ParteNodoUnita",
                                 QStringLiteral("Se possibile, mantenere tutti i contenuti del "
                                                "sottoparagrafo insieme nella stessa pagina in "
                                                "fase di stampa del preventivo"));
    auto *l = static_cast<QVBoxLayout *>(layout());
    l->addWidget(EF_DescParteNodo);
    l->addWidget(EF_NuQtaParteNodo);
    l->addWidget(CK_ParteNodoAttiva->parentWidget());
    l->addWidget(CK_ParteNodoImportante->parentWidget());
    l->addWidget(CK_ParteNodoUnita->parentWidget());
    l->addStretch(1);
}

QWidget *TDettProdPartePanel::MainField() const
{
    return EF_DescParteNodo->Edit();
}

void TDettProdPartePanel::Clear()
{
    EF_DescParteNodo->ClearField();
    EF_NuQtaParteNodo->ClearField();
    CK_ParteNodoAttiva->setChecked(true);
    CK_ParteNodoImportante->setChecked(false);
    CK_ParteNodoUnita->setChecked(true);
}

void TDettProdPartePanel::Fill(TDataSet &row)
{
    FillInput(EF_DescParteNodo, row, QStringLiteral("txDescParteComp"));
    const TField qta = row.FieldByName(QStringLiteral("nuQuantitaParte"));
    if (qta.IsNull() || qta.AsInteger() == 0)
        EF_NuQtaParteNodo->ClearField();
    else
        EF_NuQtaParteNodo->SetAsInteger(qta.AsInteger());
    CK_ParteNodoAttiva->setChecked(Flag(row, QStringLiteral("flParteCompAttiva")));
    CK_ParteNodoImportante->setChecked(Flag(row, QStringLiteral("flParteCompImportante")));
    CK_ParteNodoUnita->setChecked(Flag(row, QStringLiteral("flParteCompUnita")));
}

bool TDettProdPartePanel::Validate()
{
    const QString text = EF_NuQtaParteNodo->Text().trimmed();
    if (text.isEmpty())
        return true;
    try {
        const qint64 value = EF_NuQtaParteNodo->AsInteger();
        if (value >= 0)
            return true;
    } catch (const std::exception &) {
        // Told below.
    }
    ShowWarningBox(QStringLiteral("La quantità deve essere un numero intero non negativo."));
    EF_NuQtaParteNodo->SetFocus();
    return false;
}

void TDettProdPartePanel::Write(TDataSet &row, const TDettProdNodeContext &c, bool insert)
{
    if (insert) {
        row.FieldByName(QStringLiteral("idCompProdotto")).SetValue(c.sIdParent);
        row.FieldByName(QStringLiteral("nuOrdineParteComp"))
            .SetValue(c.xTipoOp == coGENInsertBetween ? c.iPosition : 0);
    }
    WriteText(row, QStringLiteral("txDescParteComp"), EF_DescParteNodo->Text(), true);
    qint64 qta = 0;
    if (!EF_NuQtaParteNodo->Text().trimmed().isEmpty())
        qta = EF_NuQtaParteNodo->AsInteger();
    if (qta <= 0)
        row.FieldByName(QStringLiteral("nuQuantitaParte")).SetNull();
    else
        row.FieldByName(QStringLiteral("nuQuantitaParte")).SetValue(qta);
    SetFlag(row, QStringLiteral("flParteCompImportante"), CK_ParteNodoImportante->isChecked());
    SetFlag(row, QStringLiteral("flParteCompAttiva"), CK_ParteNodoAttiva->isChecked());
    SetFlag(row, QStringLiteral("flParteCompUnita"), CK_ParteNodoUnita->isChecked());
}

void TDettProdPartePanel::LimitLengths(const TDataSet &row)
{
    LimitInputLength(EF_DescParteNodo, row, QStringLiteral("txDescParteComp"), kDescLength);
}

// --- Table header ---------------------------------------------------------------------------

TDettProdTabellaPanel::TDettProdTabellaPanel(QWidget *parent)
    : TDettProdRecordPanel({QStringLiteral("Prod_Comp_Parte_Tab"),
                            QStringLiteral("idTabParte"),
                            QStringLiteral(
                                "Errore creazione nuova intestazione tabella (ERR.G19)."),
                            QStringLiteral("Errore modifica intestazione tabella (ERR.G20).")},
                           parent)
{
    setObjectName(QStringLiteral("TSH_Parte_Tab"));
    EF_DescTabellaNodo = DescInput(this,
                                   "EF_DescTabellaNodo",
                                   QStringLiteral("Descrizione tabella"));
    EF_DescTitoloVoceNodo = DescInput(this,
                                      "EF_DescTitoloVoceNodo",
                                      QStringLiteral("Titolo colonna \"VOCE\""));
    EF_DescTitoloValoreNodo = DescInput(this,
                                        "EF_DescTitoloValoreNodo",
                                        QStringLiteral("Titolo colonna \"VALORE\""));
    CK_TabellaNodoAttiva = AddCheck("CK_TabellaNodoAttiva", QStringLiteral("Tabella attiva"));
    auto *l = static_cast<QVBoxLayout *>(layout());
    l->addWidget(EF_DescTabellaNodo);
    l->addWidget(EF_DescTitoloVoceNodo);
    l->addWidget(EF_DescTitoloValoreNodo);
    l->addWidget(CK_TabellaNodoAttiva->parentWidget());
    l->addStretch(1);
}

QWidget *TDettProdTabellaPanel::MainField() const
{
    return EF_DescTabellaNodo->Edit();
}

void TDettProdTabellaPanel::Clear()
{
    EF_DescTabellaNodo->ClearField();
    EF_DescTitoloVoceNodo->ClearField();
    EF_DescTitoloValoreNodo->ClearField();
    CK_TabellaNodoAttiva->setChecked(true);
}

void TDettProdTabellaPanel::Fill(TDataSet &row)
{
    FillInput(EF_DescTabellaNodo, row, QStringLiteral("txDescTabParte"));
    FillInput(EF_DescTitoloVoceNodo, row, QStringLiteral("txDescColVoce"));
    FillInput(EF_DescTitoloValoreNodo, row, QStringLiteral("txDescColValore"));
    CK_TabellaNodoAttiva->setChecked(Flag(row, QStringLiteral("flTabParteAttiva")));
}

void TDettProdTabellaPanel::Write(TDataSet &row, const TDettProdNodeContext &c, bool insert)
{
    if (insert) {
        row.FieldByName(QStringLiteral("idParteComp")).SetValue(c.sIdParent);
        row.FieldByName(QStringLiteral("nuOrdineParte")).SetValue(0);
    }
    WriteText(row, QStringLiteral("txDescTabParte"), EF_DescTabellaNodo->Text(), true);
    WriteText(row, QStringLiteral("txDescColVoce"), EF_DescTitoloVoceNodo->Text(), true);
    WriteText(row, QStringLiteral("txDescColValore"), EF_DescTitoloValoreNodo->Text(), true);
    SetFlag(row, QStringLiteral("flTabParteAttiva"), CK_TabellaNodoAttiva->isChecked());
}

void TDettProdTabellaPanel::LimitLengths(const TDataSet &row)
{
    LimitInputLength(EF_DescTabellaNodo, row, QStringLiteral("txDescTabParte"), kDescLength);
    LimitInputLength(EF_DescTitoloVoceNodo, row, QStringLiteral("txDescColVoce"), kDescLength);
    LimitInputLength(EF_DescTitoloValoreNodo, row, QStringLiteral("txDescColValore"), kDescLength);
}
