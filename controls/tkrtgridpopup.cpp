// Popup construction of the data grid: user entries from GridMenu, the standard entries, the
// duplicate-caption check and the visibility update when the popup opens.

#include "common/dialogs.h"
#include "controls/tkrtgrid.h"
#include "controls/tkrtgridmenu.h"
#include "controls/tkrtgridmodel.h"
#include "db/dataset.h"

#include <QAction>

namespace {

struct TStandardEntry
{
    const char *name;
    const char *caption;
    int tag;
    int parentTag; // -1: top level
};

// The standard part of the popup, in order.
const TStandardEntry kStandardEntries[] = {
    {"MNUAddRow", "Aggiungi Una Nuova Riga", 0, -1},
    {"MNUModRow", "Modifica La Riga Selezionata", 1, -1},
    {"MNUDelRow", "Elimina La Riga Selezionata", 2, -1},
    {"MNUSep4", "-", 3, -1},
    {"MNUFind", "Trova...", 4, -1},
    {"MNUZoom", "Zoom", 5, -1},
    {"MNUPrint", "Stampa", 6, -1},
    {"MNUExport", "Esporta...", 7, -1},
    {"MNUSep1", "-", 8, -1},
    {"MNUSort", "Ordinamento...", 20, -1},
    {"MNUSortAsc", "[ A ... Z ]", 9, 20},
    {"MNUSortDesc", "[ Z ... A ]", 10, 20},
    {"MNUSortMultiple", "Su Più Colonne", 21, 20},
    {"MNUSep2", "-", 11, -1},
    {"MNULayout", "Configurazione Colonne...", 19, -1},
    {"MNUHideCol", "Nascondi Colonna", 12, 19},
    {"MNUShowCols", "Visualizza Tutte Le Colonne", 13, 19},
    {"MNUSep3", "-", 14, 19},
    {"MNUSaveColumns", "Salva Aspetto", 15, 19},
    {"MNULoadColumns", "Carica Aspetto", 16, 19},
    {"MNULoadDefColumns", "Aspetto Predefinito", 17, 19},
    {"MNUDeleteColumns", "Elimina Aspetto", 18, 19},
};

TKRTGridMenu *FindDepthFirst(TKRTGridMenu *node, const std::function<bool(TKRTGridMenu *)> &match)
{
    for (TKRTGridMenu *child : node->Items()) {
        if (match(child))
            return child;
        if (TKRTGridMenu *found = FindDepthFirst(child, match))
            return found;
    }
    return nullptr;
}

} // namespace

TKRTPopupLook TKRTGrid::PopupLook() const
{
    TKRTPopupLook look;
    look.enhanced = EnhancedMenu;
    look.sideBarCaption = SideBarCaption;
    look.sideBarColor = SideBarColor;
    look.sideBarColorTo = SideBarColorTo;
    look.sideBarFont = SideBarFont;
    look.sideBarFontColor = SideBarFontColor;
    look.backColor = BackGroundColor;
    look.backColorTo = BackGroundColorTo;
    look.selBackColor = SelBackColor;
    look.selBackColorTo = SelBackColorTo;
    look.selForeColor = SelForeColor;
    return look;
}

bool TKRTGrid::SetPopUpMenu()
{
    if (m_popup) {
        m_popup->setObjectName(QString());
        m_popup->deleteLater();
        m_popup = nullptr;
    }
    if (!UserMenu.isEmpty()) {
        m_gridMenu->Clear();
        for (const QString &line : UserMenu)
            m_gridMenu->Append()->Caption = line;
    }
    if (!ShowStandardMenu && (!ShowUserMenu || m_gridMenu->Count() == 0))
        return true;

    m_popup = new TKRTPopupMenu(PopupLook(), true, this);
    m_popup->setObjectName(QStringLiteral("POPMOpzioni"));
    connect(m_popup, &QMenu::aboutToShow, this, &TKRTGrid::UpdatePopupVisibility);

    bool ok = true;
    if (ShowUserMenu && UserMenuPosition == umpKRTTop)
        ok = AddUserEntries();
    if (ok && ShowStandardMenu)
        ok = AddStandardEntries();
    if (ok && ShowUserMenu && UserMenuPosition == umpKRTBottom)
        ok = AddUserEntries();
    return ok;
}

bool TKRTGrid::CheckDuplicate(const QString &caption)
{
    if (caption == QLatin1String("-"))
        return true;
    for (const QAction *a : m_popup->actions()) {
        if (!a->isSeparator() && KRTSameCaption(a->text(), caption)) {
            ShowErrorBox(QStringLiteral("Menu Opzioni Duplicato:\r\n\r\n") + caption.toUpper());
            return false;
        }
    }
    return true;
}

bool TKRTGrid::AddUserEntries()
{
    if (m_gridMenu->Count() == 0)
        return true;
    if (UserMenuPosition == umpKRTBottom && ShowStandardMenu) {
        QAction *sep = m_popup->addSeparator();
        sep->setObjectName(QStringLiteral("MNUSepUser"));
    }
    m_iProgressivoMenu = 0;
    if (!AddUserChildren(m_popup, m_gridMenu))
        return false;
    if (UserMenuPosition == umpKRTTop && ShowStandardMenu) {
        QAction *sep = m_popup->addSeparator();
        sep->setObjectName(QStringLiteral("MNUSepUser"));
    }
    return true;
}

bool TKRTGrid::AddUserChildren(TKRTPopupMenu *target, TKRTGridMenu *node)
{
    for (TKRTGridMenu *entry : node->Items()) {
        if (!CheckDuplicate(entry->Caption))
            return false;
        const int counter = m_iProgressivoMenu;
        QAction *action = nullptr;
        TKRTPopupMenu *sub = nullptr;
        if (entry->IsLine()) {
            action = new QAction(target);
            action->setSeparator(true);
        } else if (entry->Count() > 0) {
            sub = new TKRTPopupMenu(PopupLook(), false, target);
            sub->setTitle(entry->Caption);
            action = sub->menuAction();
        } else {
            action = new QAction(entry->Caption, target);
            const int tag = 10000 + counter;
            connect(action, &QAction::triggered, this, [this, tag] { UserEntryChosen(tag); });
        }
        action->setObjectName(QStringLiteral("MNUUser%1").arg(counter, 2, 10, QLatin1Char('0')));
        action->setProperty(TKRTPopupMenu::kTag, 10000 + counter);
        action->setProperty(TKRTPopupMenu::kUserItem, true);
        action->setProperty(TKRTPopupMenu::kFontColor, entry->FontColor);
        action->setProperty(TKRTPopupMenu::kBitmapRight, entry->BitmapAlignment != 0);
        action->setFont(entry->MenuFont);
        if (!entry->Bitmap.isNull())
            action->setIcon(QIcon(entry->Bitmap));
        action->setToolTip(entry->Hint);
        action->setStatusTip(entry->Hint);
        action->setEnabled(entry->Enabled);
        action->setVisible(entry->Visible);
        target->addAction(action);
        entry->Tag = counter;
        ++m_iProgressivoMenu;
        if (sub && !AddUserChildren(sub, entry))
            return false;
    }
    return true;
}

bool TKRTGrid::AddStandardEntries()
{
    TKRTPopupMenu *sortMenu = nullptr;
    TKRTPopupMenu *layoutMenu = nullptr;
    for (const TStandardEntry &e : kStandardEntries) {
        const QString caption = QString::fromUtf8(e.caption);
        if (!CheckDuplicate(caption))
            return false;
        TKRTPopupMenu *target = m_popup;
        if (e.parentTag == 20)
            target = sortMenu;
        else if (e.parentTag == 19)
            target = layoutMenu;
        QAction *action = nullptr;
        if (e.tag == 20 || e.tag == 19) {
            auto *sub = new TKRTPopupMenu(PopupLook(), false, m_popup);
            sub->setTitle(caption);
            action = sub->menuAction();
            (e.tag == 20 ? sortMenu : layoutMenu) = sub;
        } else if (caption == QLatin1String("-")) {
            action = new QAction(target);
            action->setSeparator(true);
        } else {
            action = new QAction(caption, target);
            const int tag = e.tag;
            connect(action, &QAction::triggered, this, [this, tag] { StandardCommand(tag); });
        }
        action->setObjectName(QString::fromLatin1(e.name));
        action->setProperty(TKRTPopupMenu::kTag, e.tag);
        target->addAction(action);
    }
    return true;
}

QAction *TKRTGrid::StandardAction(int tag) const
{
    if (!m_popup)
        return nullptr;
    for (const TStandardEntry &e : kStandardEntries) {
        if (e.tag == tag)
            return m_popup->findChild<QAction *>(QString::fromLatin1(e.name));
    }
    return nullptr;
}

void TKRTGrid::UpdatePopupVisibility()
{
    if (!m_popup)
        return;
    if (ShowStandardMenu) {
        auto show = [this](int tag, bool on) {
            if (QAction *a = StandardAction(tag))
                a->setVisible(on);
        };
        const bool hasColumn = m_popupColumn >= 0 && m_popupColumn < ColumnCount();
        if (hasColumn) {
            const TKRTGridColumn &c = Column(m_popupColumn);
            QString text = c.Title;
            if (text.length() > 20)
                text = text.left(17) + QStringLiteral("...");
            text = text.trimmed();
            if (!text.isEmpty())
                text = QLatin1Char('"') + text + QLatin1Char('"');
            const bool dataColumn = DataActive() && c.HasField();
            show(11, Sortable && dataColumn);
            show(20, Sortable && dataColumn);
            show(9, Sortable && dataColumn);
            show(10, Sortable && dataColumn);
            if (QAction *a = StandardAction(9))
                a->setText(QStringLiteral("[A..Z]   ") + text);
            if (QAction *a = StandardAction(10))
                a->setText(QStringLiteral("[Z..A]   ") + text);
            show(14, AllowConfigColumns);
            show(13, AllowConfigColumns);
            show(12, AllowConfigColumns && dataColumn);
            if (QAction *a = StandardAction(12))
                a->setText(QStringLiteral("Nascondi ") + text);
        } else {
            // The multi-column sort needs no column: offered whenever the grid is sortable.
            show(20, Sortable && DataActive());
            for (int tag : {11, 9, 10, 14, 12, 13})
                show(tag, false);
        }
        show(5, AllowZoom);
        show(7, AllowExport);
        show(19, !m_userFileName.isEmpty() || AllowConfigColumns);
        for (int tag : {15, 16, 17, 18})
            show(tag, !m_userFileName.isEmpty());
        show(3, bool(OnRowAddClick) || bool(OnRowModClick) || bool(OnRowDelClick));
        show(0, bool(OnRowAddClick));
        show(1, bool(OnRowModClick));
        show(2, bool(OnRowDelClick));
        show(6, bool(OnPrintClick) || (!ReportName.isEmpty() && HasPrintHandler()));
    }
    m_popup->MeasureSideBar();
}

void TKRTGrid::StandardCommand(int tag)
{
    switch (tag) {
    case 0:
        if (OnRowAddClick)
            OnRowAddClick(this);
        break;
    case 1:
        if (OnRowModClick)
            OnRowModClick(this);
        break;
    case 2:
        if (OnRowDelClick)
            OnRowDelClick(this);
        break;
    case 4:
        ShowFindDialog();
        break;
    case 5:
        if (OnZoomClick)
            OnZoomClick(this);
        else
            ZoomGrid();
        break;
    case 6:
        if (OnPrintClick)
            OnPrintClick(this);
        else
            Print();
        break;
    case 7:
        ExportWithDialog();
        break;
    case 9:
    case 10:
        if (m_popupColumn >= 0 && m_popupColumn < ColumnCount()
            && Column(m_popupColumn).HasField()) {
            const QString field = Column(m_popupColumn).FieldName;
            SortOneColumn(field, tag == 10);
            m_activeFieldSort = field;
            viewport()->update();
        }
        break;
    case 21:
        ShowSortDialog();
        break;
    case 12:
        HideColumn(m_popupColumn);
        break;
    case 13:
        ShowAllColumns();
        break;
    case 15:
        SaveUserLayout();
        break;
    case 16:
        LoadUserLayout();
        break;
    case 17:
        LoadDefaultLayout();
        break;
    case 18:
        DeleteUserLayout();
        LoadDefaultLayout();
        break;
    default:
        break;
    }
}

void TKRTGrid::UserEntryChosen(int tag)
{
    m_chosenIndex = tag - 10000;
    if (OnUserMenuSelect)
        OnUserMenuSelect(this);
}

TKRTGridMenu *TKRTGrid::GridMenuSelected() const
{
    if (m_chosenIndex < 0)
        return nullptr;
    const int wanted = m_chosenIndex;
    return FindDepthFirst(m_gridMenu, [wanted](TKRTGridMenu *m) { return m->Tag == wanted; });
}

TKRTGridMenu *TKRTGrid::FindMenu(const QString &caption) const
{
    return FindDepthFirst(m_gridMenu, [&caption](TKRTGridMenu *m) {
        return KRTSameCaption(m->Caption, caption);
    });
}

TKRTGridMenu *TKRTGrid::FindMenuByTagString(const QString &tagString) const
{
    return FindDepthFirst(m_gridMenu, [&tagString](TKRTGridMenu *m) {
        return m->TagString.compare(tagString, Qt::CaseInsensitive) == 0;
    });
}

void TKRTGrid::RemoveIfHasNoChildren(const QString &caption)
{
    TKRTGridMenu *entry = FindMenu(caption);
    if (entry && entry->Count() == 0 && entry->Parent())
        entry->Parent()->Remove(entry);
}
