#include "catalogue/dettprodnodepane.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>

TDettProdNodePane::TDettProdNodePane(QWidget *parent)
    : QFrame(parent)
{
    setObjectName(QStringLiteral("PAN_DatiNodo"));
    setFrameShape(QFrame::StyledPanel);
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(6, 6, 6, 6);
    column->setSpacing(6);

    PAN_Operazione_Nodo = new QFrame(this);
    PAN_Operazione_Nodo->setObjectName(QStringLiteral("PAN_Operazione_Nodo"));
    auto *top = new QHBoxLayout(PAN_Operazione_Nodo);
    top->setContentsMargins(0, 0, 0, 0);
    PAN_Desc_TipoOperazione = new QLabel(PAN_Operazione_Nodo);
    PAN_Desc_TipoOperazione->setObjectName(QStringLiteral("PAN_Desc_TipoOperazione"));
    QFont title(QStringLiteral("Trebuchet MS"));
    title.setPointSize(13);
    title.setBold(true);
    PAN_Desc_TipoOperazione->setFont(title);
    PAN_Desc_TipoOperazione->setStyleSheet(QStringLiteral("color: #376EA1;"));
    PB_Ok_Input = new QPushButton(QStringLiteral("Ok"), PAN_Operazione_Nodo);
    PB_Ok_Input->setObjectName(QStringLiteral("PB_Ok_Input"));
    PB_Annulla_Input = new QPushButton(QStringLiteral("Annulla"), PAN_Operazione_Nodo);
    PB_Annulla_Input->setObjectName(QStringLiteral("PB_Annulla_Input"));
    top->addWidget(PAN_Desc_TipoOperazione, 1);
    top->addWidget(PB_Ok_Input);
    top->addWidget(PB_Annulla_Input);
    column->addWidget(PAN_Operazione_Nodo);

    TAB_GestioneNodo = new QStackedWidget(this);
    TAB_GestioneNodo->setObjectName(QStringLiteral("TAB_GestioneNodo"));
    m_empty = new QWidget(TAB_GestioneNodo);
    TAB_GestioneNodo->addWidget(m_empty);
    column->addWidget(TAB_GestioneNodo, 1);

    connect(PB_Ok_Input, &QPushButton::clicked, this, &TDettProdNodePane::OkRequested);
    connect(PB_Annulla_Input, &QPushButton::clicked, this, &TDettProdNodePane::CancelRequested);
}

TDettProdNodePane::~TDettProdNodePane() = default;

void TDettProdNodePane::AddPanel(TCurrentNodeTipologia kind, TDettProdNodePanel *panel)
{
    if (!panel)
        return;
    if (TDettProdNodePanel *old = m_panels.value(int(kind), nullptr); old && old != panel) {
        TAB_GestioneNodo->removeWidget(old);
        old->deleteLater();
    }
    TAB_GestioneNodo->addWidget(panel);
    m_panels.insert(int(kind), panel);
    connect(panel, &TDettProdNodePanel::SavedByPanel, this, &TDettProdNodePane::PanelSaved);
}

TDettProdNodePanel *TDettProdNodePane::PanelFor(TCurrentNodeTipologia kind) const
{
    return m_panels.value(int(kind), nullptr);
}

void TDettProdNodePane::ShowPanel(TDettProdNodePanel *panel, const QString &title)
{
    m_current = panel;
    PAN_Desc_TipoOperazione->setText(panel ? title : QString());
    TAB_GestioneNodo->setCurrentWidget(panel ? static_cast<QWidget *>(panel) : m_empty);
}
