#include "masterdata/listsearchdialog.h"

#include "common/formats.h"
#include "common/windowroutines.h"
#include "controls/tkrtgrid.h"

#include <QGuiApplication>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

TListSearchDialog::TListSearchDialog(const QString &name, const QString &caption, QWidget *parent)
    : QDialog(parent)
{
    setObjectName(name);
    setWindowTitle(caption);
    setModal(true);
    ApplyFormatSettings();
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->setSpacing(4);
    m_pane = new TListPane(this);
    layout->addWidget(m_pane);
}

TKRTGrid *TListSearchDialog::AddGrid(const QString &name,
                                     TListDefinition definition,
                                     const QString &selectCaption)
{
    TKRTGrid *grid = m_pane->AddGrid(name, std::move(definition));
    grid->SetRowSelect(true);
    grid->SideBarCaption = QStringLiteral("Funzioni Disponibili");
    m_select = new QPushButton(selectCaption);
    m_select->setObjectName(QStringLiteral("PB_Select"));
    m_pane->AddStatusButton(m_select);
    connect(m_select, &QPushButton::clicked, this, &TListSearchDialog::Select);
    List()->OnBuildMenu = [this](TListData &list) { BuildMenu(list); };
    return grid;
}

void TListSearchDialog::Select()
{
    if (!List()->HasRows())
        return;
    bSelected = true;
    Selected();
    accept();
}

void TListSearchDialog::done(int result)
{
    // Any way of closing but a selection is a cancel.
    QDialog::done(bSelected ? result : int(QDialog::Rejected));
}

void TListSearchDialog::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (m_firstShown)
        return;
    m_firstShown = true;
    const QScreen *s = screen() ? screen() : QGuiApplication::primaryScreen();
    const QRect area = s ? s->availableGeometry() : QRect(0, 0, 1024, 768);
    resize(RoundToInt(area.width() * 0.7), RoundToInt(area.height() * 0.8));
    setMinimumSize(size());
    setMaximumSize(area.size());
    CenterOnWorkArea(this);
    if (m_firstFocus)
        FocusField(m_firstFocus);
}
