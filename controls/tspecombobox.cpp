#include "controls/tspecombobox.h"

#include "db/dataset.h"
#include "db/dbmodule.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QFocusEvent>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QKeyEvent>
#include <QLineEdit>
#include <QSaveFile>

namespace {

// The text a line edit would hold after a key, and the length typed by the operator (the rest
// being the completed tail). False when the key is not a character or backspace.
bool TypedText(const QLineEdit *le, QKeyEvent *e, QString *newText, int *typed)
{
    const bool backspace = e->key() == Qt::Key_Backspace;
    const QString t = e->text();
    if (!backspace
        && (t.size() != 1 || t.at(0).unicode() < 32
            || (e->modifiers() & (Qt::ControlModifier | Qt::AltModifier))))
        return false;
    QChar ch = backspace ? QChar() : t.at(0);
    if (ch.unicode() >= 'a' && ch.unicode() <= 'z')
        ch = ch.toUpper();
    const QString cur = le->text();
    const int selLen = int(le->selectedText().length());
    const int selStart = selLen > 0 ? le->selectionStart() : le->cursorPosition();
    if (backspace) {
        if (selLen > 0)
            *newText = cur.left(selStart) + cur.mid(selStart + selLen);
        else if (selStart > 0)
            *newText = cur.left(selStart - 1) + cur.mid(selStart);
        else
            *newText = cur;
        *typed = qMax(0, selStart - 1);
    } else {
        *newText = cur.left(selStart) + ch + cur.mid(selStart + selLen, 255);
        *typed = selStart + 1;
    }
    return true;
}

} // namespace

TSPEComboBox::TSPEComboBox(QWidget *parent)
    : QWidget(parent)
{
    m_panel = new QWidget(this);
    m_panel->setObjectName(QStringLiteral("FPanel"));
    m_panel->hide();

    m_edt = new TKRTLabelEdit(QStringLiteral("edt"), QStringLiteral("Cod"), this);
    m_edt->SetCaptionPosition(cpKRTLeft);
    m_edt->SetCharCase(ecKRTUpperCase);
    m_edt->Edit()->installEventFilter(this);
    m_edt->OnChange = [this](TKRTLabelEdit *) { CodeChanged(); };
    m_edt->OnCaptionClick = [this](TKRTLabelEdit *) {
        if (OnCaptionClick)
            OnCaptionClick(this);
    };
    m_normalColor = m_edt->Color();

    m_cbx = new QComboBox(this);
    m_cbx->setObjectName(QStringLiteral("cbx"));
    m_cbx->setEditable(true);
    m_cbx->setInsertPolicy(QComboBox::NoInsert);
    m_cbx->setCompleter(nullptr);
    m_cbx->installEventFilter(this);
    m_cbx->lineEdit()->installEventFilter(this);
    connect(m_cbx, &QComboBox::activated, this, &TSPEComboBox::Picked);

    Relayout();
    setEnabled(false);
}

TSPEComboBox::~TSPEComboBox() = default;

// --- Life cycle -----------------------------------------------------------------------------

void TSPEComboBox::Reset()
{
    m_qry = std::make_unique<TDataSet>();
    m_filter.clear();
    m_filtered = false;
}

void TSPEComboBox::Active(bool on)
{
    if (!on) {
        m_qry.reset();
        m_active = false;
        m_busy = true;
        m_cbx->clear();
        m_busy = false;
        ClearHalves();
        setEnabled(false);
        ApplyColorRule();
        return;
    }
    if (!m_qry)
        m_qry = std::make_unique<TDataSet>();
    bool loaded = false;
    if (!FileName.isEmpty() && QFileInfo::exists(FileName))
        loaded = LoadCache();
    if (!loaded && !m_qry->Active()) {
        const QString sql = m_sql.join(QLatin1Char('\n')).trimmed();
        TSTD_DBMODULE *db = Connection ? Connection : TSTD_DBMODULE::Instance();
        if (!sql.isEmpty() && db) {
            m_qry = db->Query(sql);
            if (!FileName.isEmpty())
                SaveCache();
        }
    }
    if (m_qry->Active()) {
        if (!m_filter.isEmpty())
            m_qry->SetFilter(m_filter);
        m_qry->SetFiltered(m_filtered);
    }
    m_active = true;
    BuildItems();
    setEnabled(true);
    LookUp(Text());
    ApplyColorRule();
}

// --- Value ------------------------------------------------------------------------------------

QString TSPEComboBox::Text() const
{
    return m_edt->Text();
}

void TSPEComboBox::SetText(const QString &code)
{
    SetCode(code);
    if (m_qry && m_qry->Active())
        LookUp(code);
    ApplyColorRule();
}

QString TSPEComboBox::Description() const
{
    return m_cbx->currentText();
}

void TSPEComboBox::ClearField()
{
    ClearHalves();
    ApplyColorRule();
}

void TSPEComboBox::ReLoad()
{
    ClearField();
    BuildItems();
}

bool TSPEComboBox::IsSelect() const
{
    return !CodeKey(Text()).isEmpty();
}

int TSPEComboBox::GetRecordCount() const
{
    return (m_qry && m_qry->Active()) ? m_qry->RecordCount() : 0;
}

void TSPEComboBox::SyncDataSet()
{
    if (!m_qry || !m_qry->Active())
        return;
    const QString code = Text();
    for (int r = 0; r < m_qry->RecordCount(); ++r) {
        if (RecordCode(r) == code) {
            m_qry->SetRecNo(r + 1);
            return;
        }
    }
}

void TSPEComboBox::DoSelect()
{
    if (OnSelect)
        OnSelect(this);
    FSelectFromCB = false;
    sCbxText = m_cbx->currentText();
    m_edt->SetTagString(Text());
}

void TSPEComboBox::AutoResizeComboWidth()
{
    const QFontMetrics fm(m_cbx->font());
    int widest = 0;
    for (int i = 0; i < m_cbx->count(); ++i)
        widest = qMax(widest, fm.horizontalAdvance(m_cbx->itemText(i)));
    SetComboWidth(widest + 30);
}

// --- Properties -------------------------------------------------------------------------------

void TSPEComboBox::SetAllowNothing(bool on)
{
    m_allowNothing = on;
    ApplyColorRule();
}

void TSPEComboBox::SetCodiceBlank(bool on)
{
    m_codiceBlank = on;
    TKRTInputBehaviours b = m_edt->InputBehaviours();
    if (on)
        b |= ibAllowSpace;
    else
        b &= ~ibAllowSpace;
    m_edt->SetInputBehaviours(b);
}

void TSPEComboBox::SetTransparent(bool on)
{
    m_transparent = on;
    m_panel->setVisible(on);
    m_panel->lower();
    m_edt->SetCaptionTransparent(on);
    Relayout();
}

void TSPEComboBox::SetComboWidth(int w)
{
    m_comboWidth = w;
    if (w > 0)
        m_cbx->view()->setMinimumWidth(w);
}

void TSPEComboBox::SetEditWidth(int w)
{
    m_editWidth = qMax(0, w);
    Relayout();
}

void TSPEComboBox::SetDescWidth(int w)
{
    m_descWidth = qMax(0, w);
    Relayout();
}

void TSPEComboBox::SetCaptionString(const QString &c)
{
    m_edt->SetCaptionString(c);
    Relayout();
}

void TSPEComboBox::SetCaptionWidth(int w)
{
    m_edt->SetCaptionWidth(w);
    Relayout();
}

void TSPEComboBox::SetCaptionPosition(TKRTCaptionPosition p)
{
    m_edt->SetCaptionPosition(p);
    Relayout();
}

void TSPEComboBox::SetCaptionFont(const QFont &f)
{
    m_edt->SetCaptionFont(f);
    Relayout();
}

void TSPEComboBox::SetFilter(const QString &filter)
{
    m_filter = filter;
    if (m_qry && m_qry->Active())
        m_qry->SetFilter(filter);
}

void TSPEComboBox::SetFiltered(bool on)
{
    m_filtered = on;
    if (!m_qry || !m_qry->Active())
        return;
    m_qry->SetFiltered(on);
    BuildItems();
    if (m_qry->RecordCount() == 1 && !m_allowNothing) {
        SetCode(RecordCode(0));
        LookUp(Text());
    } else {
        ClearHalves();
    }
    ApplyColorRule();
}

// --- Internals ----------------------------------------------------------------------------

QString TSPEComboBox::CodeKey(const QString &code) const
{
    return m_codiceBlank ? code : code.trimmed();
}

QString TSPEComboBox::RecordCode(int recNo0) const
{
    const int col = m_qry->FieldIndex(QStringLiteral("Codice"));
    return col < 0 ? QString() : m_qry->ValueAt(recNo0, col).toString();
}

QString TSPEComboBox::RecordDescription(int recNo0) const
{
    const int col = m_qry->FieldIndex(QStringLiteral("Descrizione"));
    return col < 0 ? QString() : m_qry->ValueAt(recNo0, col).toString().trimmed();
}

void TSPEComboBox::SetCode(const QString &code)
{
    const bool was = m_busy;
    m_busy = true;
    m_edt->SetText(code);
    m_busy = was;
}

void TSPEComboBox::ClearHalves()
{
    SetCode(QString());
    const bool was = m_busy;
    m_busy = true;
    if (m_cbx->count() > 0)
        m_cbx->setCurrentIndex(0);
    m_cbx->setEditText(QString());
    m_busy = was;
}

void TSPEComboBox::BuildItems()
{
    const bool was = m_busy;
    m_busy = true;
    m_cbx->clear();
    m_cbx->addItem(QString());
    if (m_qry && m_qry->Active()) {
        const int rows = m_qry->RecordCount();
        QStringList items;
        items.reserve(rows);
        for (int r = 0; r < rows; ++r)
            items << RecordDescription(r);
        m_cbx->addItems(items);
    }
    m_cbx->setCurrentIndex(0);
    m_busy = was;
}

void TSPEComboBox::LookUp(const QString &code)
{
    const QString key = CodeKey(code);
    if (key.isEmpty()) {
        ClearHalves();
        return;
    }
    if (m_qry && m_qry->Active()) {
        for (int r = 0; r < m_qry->RecordCount(); ++r) {
            if (CodeKey(RecordCode(r)) == key) {
                SetCode(RecordCode(r));
                const bool was = m_busy;
                m_busy = true;
                m_cbx->setCurrentIndex(r + 1);
                m_cbx->setEditText(RecordDescription(r));
                m_busy = was;
                m_qry->SetRecNo(r + 1);
                return;
            }
        }
    }
    Beep();
    ClearHalves();
}

void TSPEComboBox::Beep()
{
    ++m_beeps;
    QApplication::beep();
}

void TSPEComboBox::ApplyColorRule()
{
    const QColor target = (m_allowNothing || IsSelect()) ? m_normalColor : m_edt->ErrorColor();
    if (m_cbx->palette().color(QPalette::Base) == target)
        return;
    QPalette p = m_cbx->palette();
    p.setColor(QPalette::Base, target);
    m_cbx->setPalette(p);
    m_cbx->lineEdit()->setPalette(p);
    m_edt->SetColor(target);
}

void TSPEComboBox::CodeChanged()
{
    if (!m_busy && m_qry && m_qry->Active())
        LookUp(Text());
    // The drop-down is reached with Tab only when there is no code to follow.
    const bool inTab = m_editWidth <= 0 || Text().isEmpty();
    m_cbx->setFocusPolicy(inTab ? Qt::StrongFocus : Qt::ClickFocus);
    m_cbx->lineEdit()->deselect();
    ApplyColorRule();
}

void TSPEComboBox::Picked(int index)
{
    if (m_busy)
        return;
    if (!m_cbx->currentText().trimmed().isEmpty()) {
        if (index >= 1 && m_qry && m_qry->Active() && index <= m_qry->RecordCount()) {
            m_qry->SetRecNo(index);
            SetCode(RecordCode(index - 1));
        } else {
            SetCode(QString());
        }
    } else {
        SetCode(QString());
    }
    if (m_cbx->currentText() != sCbxText) {
        FSelectFromCB = true;
        DoSelect();
    }
    ApplyColorRule();
}

bool TSPEComboBox::CodeKeyPress(QKeyEvent *e)
{
    QLineEdit *le = m_edt->Edit();
    if (le->isReadOnly())
        return false;
    QString newText;
    int typed = 0;
    if (!TypedText(le, e, &newText, &typed))
        return false;
    if (newText.isEmpty()) {
        const bool was = m_busy;
        m_busy = true;
        m_cbx->setCurrentIndex(0);
        m_busy = was;
        return false;
    }
    if (typed == 0) {
        ClearHalves();
        ApplyColorRule();
        return true;
    }
    if (m_qry && m_qry->Active()) {
        for (int r = 0; r < m_qry->RecordCount(); ++r) {
            const QString code = RecordCode(r);
            if (!code.startsWith(newText))
                continue;
            SetCode(code);
            const bool was = m_busy;
            m_busy = true;
            m_cbx->setCurrentIndex(r + 1);
            m_cbx->setEditText(RecordDescription(r));
            m_busy = was;
            m_qry->SetRecNo(r + 1);
            le->setSelection(typed, int(code.length()) - typed);
            ApplyColorRule();
            return true;
        }
    }
    Beep();
    return true;
}

bool TSPEComboBox::ComboKeyPress(QKeyEvent *e)
{
    QLineEdit *le = m_cbx->lineEdit();
    QString newText;
    int typed = 0;
    if (!TypedText(le, e, &newText, &typed))
        return false;
    if (typed == 0 || newText.isEmpty()) {
        ClearHalves();
        ApplyColorRule();
        return true;
    }
    for (int i = 0; i < m_cbx->count(); ++i) {
        const QString item = m_cbx->itemText(i);
        if (item.isEmpty() || !item.startsWith(newText))
            continue;
        const bool was = m_busy;
        m_busy = true;
        m_cbx->setCurrentIndex(i);
        le->setText(item);
        m_busy = was;
        if (m_qry && m_qry->Active() && i <= m_qry->RecordCount()) {
            m_qry->SetRecNo(i);
            SetCode(RecordCode(i - 1));
        }
        if (ShowListEditing && !m_cbx->view()->isVisible())
            m_cbx->showPopup();
        le->setSelection(typed, int(item.length()) - typed);
        ApplyColorRule();
        return true;
    }
    if (AllowNewValue) {
        if (ShowListEditing && m_cbx->view()->isVisible())
            m_cbx->hidePopup();
        ApplyColorRule();
        return false;
    }
    Beep();
    ApplyColorRule();
    return true;
}

void TSPEComboBox::CodeEntered()
{
    m_edt->SetTagString(Text());
}

void TSPEComboBox::CodeLeft()
{
    if (Text().isEmpty()) {
        const bool was = m_busy;
        m_busy = true;
        if (m_cbx->count() > 0)
            m_cbx->setCurrentIndex(0);
        m_busy = was;
    }
    const bool comboInTab = m_cbx->focusPolicy() & Qt::TabFocus;
    if (comboInTab) {
        bFromEdt = Text() != m_edt->TagString();
        m_edt->SetTagString(Text());
    } else if (Text() != m_edt->TagString()) {
        DoSelect();
    }
}

void TSPEComboBox::ComboEntered()
{
    if (!bFromEdt)
        sCbxText = m_cbx->currentText();
}

void TSPEComboBox::ComboLeft()
{
    if (FSelectFromCB)
        return;
    if (m_cbx->currentText().isEmpty() && !Text().isEmpty()) {
        SetCode(QString());
        DoSelect();
    } else if (bFromEdt) {
        DoSelect();
        bFromEdt = false;
    } else if (m_cbx->currentText() != sCbxText) {
        DoSelect();
    }
}

void TSPEComboBox::ControlLeft()
{
    if (bFromEdt && Text().isEmpty()) {
        DoSelect();
        bFromEdt = false;
    }
    ApplyColorRule();
}

bool TSPEComboBox::eventFilter(QObject *watched, QEvent *event)
{
    const bool onCode = watched == m_edt->Edit();
    const bool onCombo = watched == m_cbx || watched == m_cbx->lineEdit();
    if (!onCode && !onCombo)
        return QWidget::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::KeyPress: {
        auto *ke = static_cast<QKeyEvent *>(event);
        if (onCode ? CodeKeyPress(ke) : ComboKeyPress(ke))
            return true;
        break;
    }
    case QEvent::FocusIn: {
        const auto reason = static_cast<QFocusEvent *>(event)->reason();
        if (reason == Qt::PopupFocusReason || reason == Qt::ActiveWindowFocusReason)
            break;
        if (onCode)
            CodeEntered();
        else if (watched == m_cbx)
            ComboEntered();
        break;
    }
    case QEvent::FocusOut: {
        const auto reason = static_cast<QFocusEvent *>(event)->reason();
        if (reason == Qt::PopupFocusReason || reason == Qt::ActiveWindowFocusReason)
            break;
        if (onCode)
            CodeLeft();
        else if (watched == m_cbx)
            ComboLeft();
        else
            break;
        QWidget *now = QApplication::focusWidget();
        if (!now || !isAncestorOf(now))
            ControlLeft();
        break;
    }
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

// --- Layout -----------------------------------------------------------------------------------

void TSPEComboBox::Relayout()
{
    const int h = m_cbx->sizeHint().height();
    m_edt->SetEditHeight(h);
    m_edt->SetEditWidth(m_editWidth);
    m_edt->Edit()->setEnabled(m_editWidth > 0);
    m_edt->move(0, 0);
    const int editLeft = m_edt->Edit()->x();
    const int x = m_editWidth > 0 ? m_edt->x() + m_edt->width() + 5 : m_edt->x() + editLeft;
    const int y = m_edt->y() + m_edt->Edit()->y();
    m_cbx->setGeometry(x, y, m_descWidth, h);
    const QSize total(x + m_descWidth, qMax(m_edt->height(), y + h));
    setMinimumSize(total);
    resize(total.expandedTo(size()));
    m_panel->setGeometry(rect());
}

void TSPEComboBox::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    m_panel->setGeometry(rect());
}

// --- Cache file -------------------------------------------------------------------------------

bool TSPEComboBox::LoadCache()
{
    QFile f(FileName);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    const QJsonDocument doc = QJsonDocument::fromJson(f.readAll());
    if (!doc.isObject())
        return false;
    const QJsonObject root = doc.object();
    auto ds = std::make_unique<TDataSet>();
    for (const QJsonValue &v : root.value(QStringLiteral("fields")).toArray()) {
        const QJsonObject o = v.toObject();
        ds->AddFieldDef(o.value(QStringLiteral("name")).toString(),
                        TFieldType(o.value(QStringLiteral("type")).toInt()),
                        o.value(QStringLiteral("size")).toInt());
    }
    if (ds->FieldIndex(QStringLiteral("Codice")) < 0
        || ds->FieldIndex(QStringLiteral("Descrizione")) < 0)
        return false;
    ds->CreateDataSet();
    const int n = ds->FieldCount();
    for (const QJsonValue &row : root.value(QStringLiteral("rows")).toArray()) {
        const QJsonArray values = row.toArray();
        ds->Append();
        for (int i = 0; i < n && i < values.size(); ++i) {
            if (!values.at(i).isNull())
                ds->Fields(i).SetValue(values.at(i).toVariant());
        }
        ds->Post();
    }
    ds->First();
    m_qry = std::move(ds);
    return true;
}

void TSPEComboBox::SaveCache() const
{
    if (!m_qry || !m_qry->Active())
        return;
    QJsonArray fields;
    for (const TFieldDef &d : m_qry->FieldDefs()) {
        QJsonObject o;
        o.insert(QStringLiteral("name"), d.name);
        o.insert(QStringLiteral("type"), int(d.type));
        o.insert(QStringLiteral("size"), d.size);
        fields.append(o);
    }
    QJsonArray rows;
    for (int r = 0; r < m_qry->RecordCount(); ++r) {
        QJsonArray values;
        for (int c = 0; c < m_qry->FieldCount(); ++c) {
            if (m_qry->IsNullAt(r, c) || m_qry->FieldDefs()[size_t(c)].type == TFieldType::Blob)
                values.append(QJsonValue());
            else
                values.append(QJsonValue::fromVariant(m_qry->ValueAt(r, c)));
        }
        rows.append(values);
    }
    QJsonObject root;
    root.insert(QStringLiteral("fields"), fields);
    root.insert(QStringLiteral("rows"), rows);
    QSaveFile f(FileName);
    if (f.open(QIODevice::WriteOnly)) {
        f.write(QJsonDocument(root).toJson(QJsonDocument::Compact));
        f.commit();
    }
}
