#include "controls/tkrtgridfindform.h"

#include "common/dialogs.h"
#include "common/formats.h"
#include "controls/tkrtgrid.h"
#include "controls/tkrtlabeledit.h"
#include "db/dataset.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>

namespace {

bool Eligible(TFieldType t)
{
    return t == TFieldType::Text || t == TFieldType::Integer || t == TFieldType::Real
           || t == TFieldType::DateTime;
}

} // namespace

TKRTGRIDFINDFORM::TKRTGRIDFINDFORM(TKRTGrid *grid, int mouseColumn)
    : QDialog(grid)
    , m_grid(grid)
{
    setObjectName(QStringLiteral("TKRTGRIDFINDFORM"));
    setWindowTitle(QStringLiteral("Trova"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowModality(Qt::ApplicationModal);

    auto *grid_ = new QGridLayout(this);
    m_texts = new QComboBox(this);
    m_texts->setObjectName(QStringLiteral("CBTexts"));
    m_texts->addItems(grid->FindHistory());
    m_text = new TKRTLabelEdit(QStringLiteral("EFText"), QStringLiteral("Trova :"), this);
    m_text->SetCaptionWidth(70);
    m_text->SetEditWidth(220);
    m_text->SetButtonVisible(true);
    // The history list lies hidden behind the text field's edit and drops down from the
    // field's button (see PlaceHistory).
    grid_->addWidget(m_text, 0, 0, 1, 2);
    m_texts->lower();

    auto *fieldsLabel = new QLabel(QStringLiteral("Cerca in:"), this);
    m_fields = new QComboBox(this);
    m_fields->setObjectName(QStringLiteral("CBFields"));
    fieldsLabel->setBuddy(m_fields);
    grid_->addWidget(fieldsLabel, 1, 0);
    grid_->addWidget(m_fields, 1, 1);
    m_fieldIndexes = new QListWidget(this);
    m_fieldIndexes->setObjectName(QStringLiteral("LBFields"));
    m_fieldIndexes->hide();

    auto *typeLabel = new QLabel(QStringLiteral("Confronta:"), this);
    m_findType = new QComboBox(this);
    m_findType->setObjectName(QStringLiteral("CBFindType"));
    typeLabel->setBuddy(m_findType);
    grid_->addWidget(typeLabel, 2, 0);
    grid_->addWidget(m_findType, 2, 1);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    m_find = new QPushButton(QStringLiteral("Trova successivo"), this);
    m_find->setObjectName(QStringLiteral("PBFind"));
    m_find->setDefault(true);
    m_cancel = new QPushButton(QStringLiteral("Annulla"), this);
    m_cancel->setObjectName(QStringLiteral("PBCancel"));
    buttons->addWidget(m_find);
    buttons->addWidget(m_cancel);
    grid_->addLayout(buttons, 3, 0, 1, 2);

    int select = 0;
    for (int i = 0; i < grid->ColumnCount(); ++i) {
        const TKRTGridColumn &c = grid->Column(i);
        if (!c.Visible || !c.HasField())
            continue;
        if (!Eligible(grid->DataSet()->FieldDefs()[size_t(c.FieldIndex)].type))
            continue;
        if (i == mouseColumn)
            select = m_fields->count();
        m_fields->addItem(c.Title);
        m_fieldIndexes->addItem(QString::number(i));
    }

    connect(m_fields, &QComboBox::currentIndexChanged, this, &TKRTGRIDFINDFORM::FieldChosen);
    connect(m_texts, &QComboBox::activated, this, [this](int index) {
        m_text->SetText(m_texts->itemText(index));
        m_text->SetFocus();
    });
    m_text->OnButtonClick = [this](TKRTLabelEdit *) {
        if (m_texts->count() > 0)
            m_texts->showPopup();
    };
    connect(m_find, &QPushButton::clicked, this, &TKRTGRIDFINDFORM::FindNext);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::close);

    m_fields->setCurrentIndex(select);
    FieldChosen(select);
    m_text->SetFocus();
}

TKRTGRIDFINDFORM::~TKRTGRIDFINDFORM() = default;

void TKRTGRIDFINDFORM::PlaceHistory()
{
    QWidget *edit = m_text->Edit();
    m_texts->setGeometry(QRect(edit->mapTo(this, QPoint(0, 0)), edit->size()));
    m_texts->lower();
}

void TKRTGRIDFINDFORM::resizeEvent(QResizeEvent *event)
{
    QDialog::resizeEvent(event);
    PlaceHistory();
}

void TKRTGRIDFINDFORM::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    PlaceHistory();
}

void TKRTGRIDFINDFORM::FieldChosen(int index)
{
    m_findType->clear();
    if (index < 0 || index >= m_fieldIndexes->count())
        return;
    const int col = m_fieldIndexes->item(index)->text().toInt();
    const TKRTGridColumn &c = m_grid->Column(col);
    const TFieldType type = m_grid->DataSet()->FieldDefs()[size_t(c.FieldIndex)].type;
    if (type == TFieldType::Text) {
        m_findType->addItems(
            {QStringLiteral("Inizia con"), QStringLiteral("Contiene"), QStringLiteral("Uguale")});
        m_text->SetTemplate(tpKRTString);
        m_text->SetButtonUserEvent(true);
    } else {
        m_findType->addItems(
            {QStringLiteral("Uguale"), QStringLiteral("Minore"), QStringLiteral("Maggiore")});
        m_text->SetTemplate(type == TFieldType::DateTime ? tpKRTDate : tpKRTNumeric);
        m_text->SetButtonUserEvent(false);
    }
    m_findType->setCurrentIndex(0);
    m_text->SetAllowNothing(true);
    m_text->SetText(QString());
}

QString TKRTGRIDFINDFORM::CurrentFieldName() const
{
    const int index = m_fields->currentIndex();
    if (index < 0 || index >= m_fieldIndexes->count())
        return QString();
    return m_grid->Column(m_fieldIndexes->item(index)->text().toInt()).FieldName;
}

QString TKRTGRIDFINDFORM::BuildFilter(const QString &fieldName,
                                      int fieldType,
                                      const QString &comparison,
                                      const QString &text)
{
    const auto type = TFieldType(fieldType);
    if (type == TFieldType::Text) {
        // Apostrophes are doubled so that a name like D'Angelo can be searched.
        const QString t = SqlQuote(text, false);
        if (comparison == QLatin1String("Inizia con"))
            return fieldName + QStringLiteral(" LIKE '") + t + QStringLiteral("%'");
        if (comparison == QLatin1String("Contiene"))
            return fieldName + QStringLiteral(" LIKE '%") + t + QStringLiteral("%'");
        return fieldName + QStringLiteral(" LIKE '") + t + QLatin1Char('\'');
    }
    QString op = QStringLiteral(" = ");
    if (comparison == QLatin1String("Minore"))
        op = QStringLiteral(" < ");
    else if (comparison == QLatin1String("Maggiore"))
        op = QStringLiteral(" > ");
    if (type == TFieldType::DateTime)
        return fieldName + op + QLatin1Char('#') + text + QLatin1Char('#');
    // Numbers are typed with the decimal comma; the filter reads them with a point.
    return fieldName + op + SqlFloat(TKRTEdit::ConvertEditTextAsFloat(text));
}

void TKRTGRIDFINDFORM::FindNext()
{
    TDataSet *ds = m_grid->DataSet();
    // Dates and numbers are searched in their normalised form ("050124" is 05/01/2024).
    m_text->Edit()->ValidateDisplayed();
    const QString text = m_text->Text();
    if (text.isEmpty() || !ds || !ds->Active())
        return;
    const int field = m_fields->currentIndex();
    const QString comparison = m_findType->currentText();
    if (m_copy && text == m_lastText && field == m_lastField && comparison == m_lastComparison) {
        m_copy->Next();
    } else {
        m_copy.reset();
        if (m_texts->findText(text) < 0)
            m_texts->addItem(text);
        m_lastText = text;
        m_lastField = field;
        m_lastComparison = comparison;
        const QString fieldName = CurrentFieldName();
        const int fi = ds->FieldIndex(fieldName);
        if (fi < 0)
            return;
        QString filter = BuildFilter(fieldName,
                                     int(ds->FieldDefs()[size_t(fi)].type),
                                     comparison,
                                     text);
        if (ds->Filtered() && !ds->Filter().trimmed().isEmpty())
            filter = QLatin1Char('(') + ds->Filter() + QStringLiteral(") AND (") + filter
                     + QLatin1Char(')');
        try {
            m_copy = ds->Clone();
            m_copy->SetFilter(filter);
            m_copy->SetFiltered(true);
            m_copy->First();
        } catch (const EDataSetError &e) {
            m_copy.reset();
            ShowErrorBox(e.text());
            m_text->SetFocus();
            return;
        }
    }
    if (m_copy->RecordCount() > 0) {
        if (m_copy->Eof())
            m_copy->First();
        ds->GotoBookmark(m_copy->GetBookmark());
    } else {
        ShowInfoBox(QStringLiteral("Nessun Elemento Trovato."));
    }
    m_text->SetFocus();
}

void TKRTGRIDFINDFORM::closeEvent(QCloseEvent *event)
{
    QStringList history;
    for (int i = 0; i < m_texts->count(); ++i)
        history << m_texts->itemText(i);
    m_grid->SetFindHistory(history);
    QDialog::closeEvent(event);
}
