#include "quotes/quoteopeners.h"

#include "common/dialogs.h"
#include "common/windowregistry.h"
#include "common/windowroutines.h"

#include <QPointer>
#include <QPushButton>
#include <QWidget>

#include <memory>

namespace {

// A registered window that is not of the kind asked for is freed, not left open unstarted.
template<typename Starter>
Starter *StarterOf(QWidget *window)
{
    auto *starter = dynamic_cast<Starter *>(window);
    if (!starter && window) {
        ShowErrorBox(QStringLiteral("La finestra %1 non può essere aperta da qui.")
                         .arg(window->objectName()));
        window->deleteLater();
    }
    return starter;
}

} // namespace

bool IsQuoteWindowAvailable(const QString &name)
{
    return IsWindowRegistered(name);
}

QWidget *OpenQuoteLines(QWidget *from,
                        const QString &sIdPreventivoLista,
                        const QString &sNuPreventivoLista,
                        const QString &sDescOggettoLista)
{
    if (!IsQuoteWindowAvailable(kQuoteLinesWindow) && !IsFormOpen(kQuoteLinesWindow))
        return nullptr;
    bool usable = true;
    QWidget *w = OpenChildWindow(
        kQuoteLinesWindow,
        MdiAreaOf(from),
        [&usable](QWidget *parent) -> QWidget * {
            QWidget *created = CreateRegisteredWindow(kQuoteLinesWindow, parent);
            if (!StarterOf<TQuoteLinesStarter>(created)) {
                usable = false;
                return nullptr;
            }
            return created;
        },
        [&](QWidget *window) {
            dynamic_cast<TQuoteLinesStarter *>(window)->Start(sIdPreventivoLista,
                                                              sNuPreventivoLista,
                                                              sDescOggettoLista);
        });
    return usable ? w : nullptr;
}

QWidget *OpenQuoteLayout(QWidget *from,
                         const QString &sIdPreventivoLista,
                         const QString &sIdSocietaLista,
                         const QString &sDescOggettoLista,
                         const QString &sNuPreventivoLista)
{
    if (!IsQuoteWindowAvailable(kQuoteLayoutWindow) && !IsFormOpen(kQuoteLayoutWindow))
        return nullptr;
    bool created = false;
    QWidget *w = OpenChildWindow(
        kQuoteLayoutWindow,
        MdiAreaOf(from),
        [](QWidget *parent) -> QWidget * {
            QWidget *made = CreateRegisteredWindow(kQuoteLayoutWindow, parent);
            return StarterOf<TQuoteLayoutStarter>(made) ? made : nullptr;
        },
        {},
        &created);
    // Started whether it was made now or already open: it shows the quote asked for.
    if (auto *starter = dynamic_cast<TQuoteLayoutStarter *>(w)) {
        starter->Start(sIdPreventivoLista, sIdSocietaLista, sDescOggettoLista, sNuPreventivoLista);
        return w;
    }
    return nullptr;
}

QWidget *OpenQuoteFolder(QWidget *from, const QString &windowName, const TQuoteFolderStart &start)
{
    if (QWidget *open = FindOpenForm(windowName)) {
        BringWindowToFront(open);
        return open;
    }
    if (!IsQuoteWindowAvailable(windowName))
        return nullptr;
    QPointer<QWidget> w = CreateRegisteredWindow(windowName, from ? from->window() : nullptr);
    TQuoteFolderStarter *starter = StarterOf<TQuoteFolderStarter>(w);
    if (!starter)
        return nullptr;
    starter->SetExportSource(dynamic_cast<TQuoteExportSource *>(from));
    // Shown modally by Start; the window may have freed itself when it returns.
    starter->Start(start.bFromGestione,
                   start.sIdPreventivoLista,
                   start.bPrevBloccatoLista,
                   start.iNuRevisioneLista,
                   start.sURLPDF,
                   start.sNomePDF,
                   start.sNomeFolderPrev,
                   start.sDescOggettoLista,
                   start.sDescClienteLista,
                   start.sNuAnnoPrevLista,
                   start.sNuPreventivoLista,
                   start.sTxNuPreventivoLista);
    return w.data();
}

void RefreshQuoteList()
{
    QWidget *list = FindOpenForm(kQuoteListWindow);
    if (!list)
        return;
    if (auto *extract = list->findChild<QPushButton *>(QStringLiteral("PB_EstraiElenco")))
        extract->click();
}
