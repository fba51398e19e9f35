#include "catalogue/dettprodtextpanel.h"

#include "common/clipboard.h"
#include "common/dialogs.h"
#include "common/formats.h"
#include "common/sessioninfo.h"
#include "common/texts.h"
#include "db/commandtext.h"
#include "db/dataset.h"
#include "db/dbmodule.h"
#include "db/pgadapter.h"
#include "masterdata/listdata.h"
#include "reports/richtext.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMimeData>
#include <QPushButton>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocumentFragment>
#include <QVBoxLayout>

namespace {

QPushButton *StyleButton(QWidget *parent, const char *name, const QString &caption)
{
    auto *b = new QPushButton(caption, parent);
    b->setObjectName(QLatin1String(name));
    b->setFocusPolicy(Qt::NoFocus); // the selection stays where it is
    return b;
}

QString SplitQuestion(bool bulleted)
{
    const QString br = LineBreaks(1);
    const QString br2 = LineBreaks(2);
    const QString common = QStringLiteral("In caso non fossero corrette, rispondere NO e procedere "
                                          "alla separazione desiderata.")
                           + br
                           + QStringLiteral("Aggiungere eventualmente delle righe vuote tra le "
                                            "voci per avere una visione migliore della "
                                            "separazione, è comodo perchè in fase di "
                                            "trasformazione saranno scartate e non genereranno "
                                            "delle voci.")
                           + br2 + QStringLiteral("Confermi la trasformazione richiesta ?");
    const QString formatting = QStringLiteral(
        "L'eventuale formattazione del testo (Grasseto, corsivo, ecc.), se presente, dovrà essere "
        "riapplicata alle singole nuove voci create dopo la trasformazione.");
    if (bulleted)
        return QStringLiteral("Nota bene:") + br2
               + QStringLiteral("1) Prima di continuare devi aver rimosso gli eventuali numeri o "
                                "simboli attualmente presenti per indicare l'elenco  (es:  1)  2.  "
                                "-  *  ecc.).")
               + br
               + QStringLiteral("Saranno poi implementati i simboli grafici del layout "
                                "selezionato in fase di preparazione finale nei preventivi.")
               + br2 + QStringLiteral("2) ") + formatting + br2
               + QStringLiteral("3) Adesso stiamo visualizzando le righe che diventerrano le voci "
                                "desiderate.")
               + br + common;
    return QStringLiteral("Nota bene:") + br2 + QStringLiteral("1) ") + formatting + br2
           + QStringLiteral("2) Adesso stiamo visualizzando le righe che saranno divise in più "
                            "testi.")
           + br + common;
}

} // namespace

QStringList SplitTextLines(const QString &plainText)
{
    QStringList lines;
    QString text = plainText;
    text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    text.replace(QChar::LineSeparator, QLatin1Char('\n'));
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    for (const QString &line : text.split(QLatin1Char('\n'))) {
        const QString trimmed = line.trimmed();
        if (!trimmed.isEmpty())
            lines << trimmed;
    }
    return lines;
}

// --- Editor ---------------------------------------------------------------------------------

TDettProdRichEdit::TDettProdRichEdit(QWidget *parent)
    : QTextEdit(parent)
{
    setObjectName(QStringLiteral("RE_ParteTxt"));
    setAcceptRichText(false);
    setTabChangesFocus(false);
}

void TDettProdRichEdit::keyPressEvent(QKeyEvent *event)
{
    // Formatted text from elsewhere never enters: the paste keys do nothing ("Incolla" brings
    // the clipboard's plain text).
    if (event->matches(QKeySequence::Paste)
        || (event->key() == Qt::Key_Insert && event->modifiers() == Qt::ShiftModifier)) {
        event->accept();
        return;
    }
    QTextEdit::keyPressEvent(event);
}

bool TDettProdRichEdit::canInsertFromMimeData(const QMimeData *source) const
{
    return source && source->hasText();
}

void TDettProdRichEdit::insertFromMimeData(const QMimeData *source)
{
    if (source && source->hasText())
        textCursor().insertText(source->text());
}

// --- Panel ----------------------------------------------------------------------------------

TDettProdTextPanel::TDettProdTextPanel(QWidget *parent)
    : TDettProdRecordPanel({QStringLiteral("Prod_Comp_Parte_Txt"),
                            QStringLiteral("idTxtParte"),
                            QStringLiteral("Errore creazione nuovo testo (ERR.G15)."),
                            QStringLiteral("Errore modifica testo (ERR.G16).")},
                           parent)
{
    setObjectName(QStringLiteral("TSH_Parte_Txt"));
    auto *l = static_cast<QVBoxLayout *>(layout());
    auto *styles = new QHBoxLayout;
    styles->setSpacing(4);
    PB_ParteTxt_Bold = StyleButton(this, "PB_ParteTxt_Bold", QStringLiteral(" Grassetto "));
    PB_ParteTxt_Italic = StyleButton(this, "PB_ParteTxt_Italic", QStringLiteral(" Corsivo "));
    PB_ParteTxt_Underline = StyleButton(this,
                                        "PB_ParteTxt_Underline",
                                        QStringLiteral(" Sottolineato "));
    PB_ParteTxt_StrikeOut = StyleButton(this, "PB_ParteTxt_StrikeOut", QStringLiteral(" Barrato "));
    PB_ParteTxt_Normale = StyleButton(this,
                                      "PB_ParteTxt_Normale",
                                      QStringLiteral(" Nessuna formattazione "));
    QFont f = PB_ParteTxt_Bold->font();
    f.setBold(true);
    PB_ParteTxt_Bold->setFont(f);
    f = PB_ParteTxt_Italic->font();
    f.setItalic(true);
    PB_ParteTxt_Italic->setFont(f);
    f = PB_ParteTxt_Underline->font();
    f.setUnderline(true);
    PB_ParteTxt_Underline->setFont(f);
    f = PB_ParteTxt_StrikeOut->font();
    f.setStrikeOut(true);
    PB_ParteTxt_StrikeOut->setFont(f);
    for (QPushButton *b :
         {PB_ParteTxt_Bold, PB_ParteTxt_Italic, PB_ParteTxt_Underline, PB_ParteTxt_StrikeOut})
        styles->addWidget(b);
    styles->addStretch(1);
    l->addLayout(styles);

    auto *clip = new QHBoxLayout;
    clip->setSpacing(4);
    PB_ParteTxt_Paste = StyleButton(this, "PB_ParteTxt_Paste", QStringLiteral("Incolla"));
    PB_ParteTxt_Copy = StyleButton(this, "PB_ParteTxt_Copy", QStringLiteral("Copia"));
    PB_ParteTxt_Cut = StyleButton(this, "PB_ParteTxt_Cut", QStringLiteral("Taglia"));
    PB_ParteTxt_Paste->setToolTip(QStringLiteral("Incolla come testo semplice"));
    clip->addWidget(PB_ParteTxt_Normale);
    clip->addSpacing(12);
    clip->addWidget(PB_ParteTxt_Paste);
    clip->addWidget(PB_ParteTxt_Copy);
    clip->addWidget(PB_ParteTxt_Cut);
    clip->addStretch(1);
    l->addLayout(clip);

    RE_ParteTxt = new TDettProdRichEdit(this);
    QFont font(QStringLiteral("Arial"));
    font.setPointSize(13);
    RE_ParteTxt->setFont(font);
    RE_ParteTxt->setMinimumHeight(220);
    l->addWidget(RE_ParteTxt, 1);

    CK_TestoNodoAttivo = AddCheck("CK_TestoNodoAttivo", QStringLiteral("Testo attivo"));
    CK_TestoNodoInElenco = AddCheck("CK_TestoNodoInElenco",
                                    QStringLiteral("Testo in elenco puntato"));
    l->addWidget(CK_TestoNodoAttivo->parentWidget());
    l->addWidget(CK_TestoNodoInElenco->parentWidget());
    PB_ParteTxt_Trasf_Elenco = new QPushButton(QStringLiteral("Trasforma in elenco puntato"), this);
    PB_ParteTxt_Trasf_Elenco->setObjectName(QStringLiteral("PB_ParteTxt_Trasf_Elenco"));
    PB_ParteTxt_Trasf_Elenco_NoPuntato
        = new QPushButton(QStringLiteral("Trasforma in più testi (uno per \"a capo\")"), this);
    PB_ParteTxt_Trasf_Elenco_NoPuntato->setObjectName(
        QStringLiteral("PB_ParteTxt_Trasf_Elenco_NoPuntato"));
    auto *split = new QHBoxLayout;
    split->addWidget(PB_ParteTxt_Trasf_Elenco);
    split->addWidget(PB_ParteTxt_Trasf_Elenco_NoPuntato);
    split->addStretch(1);
    l->addLayout(split);

    connect(PB_ParteTxt_Bold, &QPushButton::clicked, this, &TDettProdTextPanel::Bold);
    connect(PB_ParteTxt_Italic, &QPushButton::clicked, this, &TDettProdTextPanel::Italic);
    connect(PB_ParteTxt_Underline, &QPushButton::clicked, this, &TDettProdTextPanel::Underline);
    connect(PB_ParteTxt_StrikeOut, &QPushButton::clicked, this, &TDettProdTextPanel::StrikeOut);
    connect(PB_ParteTxt_Normale, &QPushButton::clicked, this, &TDettProdTextPanel::NoFormatting);
    connect(PB_ParteTxt_Paste, &QPushButton::clicked, this, &TDettProdTextPanel::PastePlain);
    connect(PB_ParteTxt_Copy, &QPushButton::clicked, this, &TDettProdTextPanel::CopyPlain);
    connect(PB_ParteTxt_Cut, &QPushButton::clicked, this, &TDettProdTextPanel::CutPlain);
    connect(PB_ParteTxt_Trasf_Elenco, &QPushButton::clicked, this, [this] { Split(true); });
    connect(PB_ParteTxt_Trasf_Elenco_NoPuntato, &QPushButton::clicked, this, [this] {
        Split(false);
    });
}

QWidget *TDettProdTextPanel::MainField() const
{
    return RE_ParteTxt;
}

bool TDettProdTextPanel::Open(const TDettProdNodeContext &context)
{
    m_context = context;
    m_storedPosition = 0;
    return TDettProdRecordPanel::Open(context);
}

void TDettProdTextPanel::Clear()
{
    RE_ParteTxt->clear();
    RichTextLoad(QString(), RE_ParteTxt);
    CK_TestoNodoAttivo->setChecked(true);
    CK_TestoNodoInElenco->setChecked(false);
}

void TDettProdTextPanel::Fill(TDataSet &row)
{
    QString text = row.FieldByName(QStringLiteral("txDescTxtParteRtf")).AsString();
    if (text.trimmed().isEmpty())
        text = row.FieldByName(QStringLiteral("txDescTxtParte")).AsString();
    RichTextLoad(text, RE_ParteTxt);
    CK_TestoNodoAttivo->setChecked(Flag(row, QStringLiteral("flTxtParteAttiva")));
    CK_TestoNodoInElenco->setChecked(Flag(row, QStringLiteral("flTestoInElenco")));
    m_storedPosition = int(row.FieldByName(QStringLiteral("nuOrdineParte")).AsInteger());
}

void TDettProdTextPanel::Write(TDataSet &row, const TDettProdNodeContext &c, bool insert)
{
    if (insert) {
        row.FieldByName(QStringLiteral("idParteComp")).SetValue(c.sIdParent);
        row.FieldByName(QStringLiteral("nuOrdineParte")).SetValue(0);
    }
    row.FieldByName(QStringLiteral("txDescTxtParteRtf")).SetValue(RichEditText(RE_ParteTxt));
    row.FieldByName(QStringLiteral("txDescTxtParte")).SetValue(RE_ParteTxt->toPlainText());
    SetFlag(row, QStringLiteral("flTestoInElenco"), CK_TestoNodoInElenco->isChecked());
    SetFlag(row, QStringLiteral("flTxtParteAttiva"), CK_TestoNodoAttivo->isChecked());
}

// --- Styles and clipboard -------------------------------------------------------------------

void TDettProdTextPanel::MergeFormat(const QTextCharFormat &format)
{
    QTextCursor cursor = RE_ParteTxt->textCursor();
    if (cursor.hasSelection())
        cursor.mergeCharFormat(format);
    RE_ParteTxt->mergeCurrentCharFormat(format);
    RE_ParteTxt->setFocus();
}

void TDettProdTextPanel::Bold()
{
    QTextCharFormat f;
    f.setFontWeight(QFont::Bold);
    MergeFormat(f);
}

void TDettProdTextPanel::Italic()
{
    QTextCharFormat f;
    f.setFontItalic(true);
    MergeFormat(f);
}

void TDettProdTextPanel::Underline()
{
    QTextCharFormat f;
    f.setFontUnderline(true);
    MergeFormat(f);
}

void TDettProdTextPanel::StrikeOut()
{
    QTextCharFormat f;
    f.setFontStrikeOut(true);
    MergeFormat(f);
}

void TDettProdTextPanel::NoFormatting()
{
    QTextCharFormat f;
    f.setFontWeight(QFont::Normal);
    f.setFontItalic(false);
    f.setFontUnderline(false);
    f.setFontStrikeOut(false);
    MergeFormat(f);
}

void TDettProdTextPanel::PastePlain()
{
    RE_ParteTxt->textCursor().insertText(ClipboardText());
    RE_ParteTxt->setFocus();
}

void TDettProdTextPanel::CopyPlain()
{
    const QString selected = RE_ParteTxt->textCursor().selection().toPlainText();
    if (!selected.isEmpty())
        PutClipboardText(selected);
    RE_ParteTxt->setFocus();
}

void TDettProdTextPanel::CutPlain()
{
    QTextCursor cursor = RE_ParteTxt->textCursor();
    const QString selected = cursor.selection().toPlainText();
    if (!selected.isEmpty()) {
        PutClipboardText(selected);
        cursor.removeSelectedText();
    }
    RE_ParteTxt->setFocus();
}

// --- Split ----------------------------------------------------------------------------------

void TDettProdTextPanel::Split(bool bulleted)
{
    // One line per paragraph as typed, so the operator sees the future texts.
    RE_ParteTxt->setLineWrapMode(QTextEdit::NoWrap);
    if (!AskYesNo(SplitQuestion(bulleted), 2, 2.5, 1.5)) {
        RE_ParteTxt->setLineWrapMode(QTextEdit::WidgetWidth);
        RE_ParteTxt->setFocus();
        return;
    }
    QString firstId;
    const bool done = RunSplit(bulleted, &firstId);
    RE_ParteTxt->setLineWrapMode(QTextEdit::WidgetWidth);
    if (done)
        emit SavedByPanel(firstId);
}

bool TDettProdTextPanel::RunSplit(bool bulleted, QString *firstId)
{
    const QStringList lines = SplitTextLines(RE_ParteTxt->toPlainText());
    if (lines.isEmpty()) {
        ShowWarningBox(QStringLiteral("Il testo non contiene righe da trasformare."));
        return false;
    }
    TSTD_DBMODULE *db = TSTD_DBMODULE::Instance();
    const QString prepareError = bulleted
                                     ? QStringLiteral("Errore trasformazione testo in elenco "
                                                      "puntato (ERR.G24).")
                                     : QStringLiteral("Errore trasformazione testo in più testi "
                                                      "(ERR.G29).");
    QString failing = prepareError;
    try {
        if (!db)
            throw EDatabaseError(QStringLiteral("Modulo del database assente."));
        db->BeginTrans();
        // The session's table of the texts, empty, then one row per line.
        db->Query(QString::fromLatin1(kTempTabTestoBatch));
        QString first;
        for (int i = 0; i < lines.size(); ++i) {
            const QString id = NewGuidText();
            if (i == 0)
                first = id;
            db->ExecuteParams(QStringLiteral("INSERT INTO TempTabTesto (idTesto, nuRiga, txTesto, "
                                             "txTestoRtf) VALUES ($1, $2, $3, $4)"),
                              {id, i, lines.at(i), lines.at(i)});
        }
        const bool modify = m_context.xTipoOp == coGENModify;
        const int position = modify ? m_storedPosition : 0;
        const QString current = modify ? m_context.sIdNodo : m_context.oCurrent.sIdNodo;
        const QString parte = modify ? m_context.oCurrent.sIdParent : m_context.sIdParent;
        failing = QStringLiteral("Errore trasformazione testo in elenco puntato (ERR.G25).");
        db->Query(ExecText(QStringLiteral("SplitElencoPuntato"),
                           {SqlText(m_context.sIdProdotto),
                            SqlText(current),
                            SqlText(parte),
                            SqlInteger(position),
                            SqlInteger(lines.size()),
                            SqlFlag(bulleted),
                            SqlFlag(m_context.bImages),
                            SqlText(SessionInfo().sUserName)}));
        failing = QStringLiteral("Errore aggiornamento modifica prodotto (ERR.G26).");
        db->Query(UpdateChangesProdottoText(m_context.sIdProdotto));
        db->CommitTrans();
        *firstId = first;
        return true;
    } catch (const std::exception &e) {
        if (db && db->InTransaction())
            db->RollbackTrans();
        ShowDbError(failing, e);
        return false;
    }
}
