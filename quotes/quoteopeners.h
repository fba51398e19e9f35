#pragma once

// The windows that work on one quote, as the quote list (and later the order list) opens them.
//
// Each of these windows lives in its own file and registers itself by name, as every window
// does (common/windowregistry.h):
//
//     const TWindowRegistration registration(kQuoteLinesWindow, [](QWidget *parent) {
//         return new TDETTAGLI_PREVENTIVO(parent);
//     });
//
// and derives, besides its Qt class, from the starter below that carries its Start:
//
//     class TDETTAGLI_PREVENTIVO : public QWidget, public TQuoteLinesStarter { ...
//         void Start(const QString &sIdPreventivoLista, ...) override;
//
// The opener creates the window through the registry, finds its starter with dynamic_cast and
// calls Start with the quote's values. Nothing here names the window classes, so the quote
// list builds without them: an entry of the quote list's menu that opens one of these windows
// is offered only while its name is registered (IsQuoteWindowAvailable), and appears by itself
// once the window's file is linked in.
//
// When such a window closes after changing what the quote list shows, it calls
// RefreshQuoteList(): the open quote list presses its "Estrai elenco" (the list re-extracts
// with its filters and saves them, keeping its current quote).

#include <QString>

class QWidget;
class TKRTViewReport;

// Registered names: the class names without the leading "T".
inline const QString kQuoteListWindow = QStringLiteral("GESTIONE_PREVENTIVI");
inline const QString kQuoteLinesWindow = QStringLiteral("DETTAGLI_PREVENTIVO");
inline const QString kQuoteLayoutWindow = QStringLiteral("LAYOUT_PREVENTIVO");
inline const QString kQuoteCloudFolderWindow = QStringLiteral("FOLDER_PREVENTIVO_DBX");

// The quote lines editor (an MDI child, one at most): opened with the quote's id, its number as
// shown (txNuPreventivo) and its subject. When it is open already it is only brought to the
// front: Start is not called again.
class TQuoteLinesStarter
{
public:
    virtual ~TQuoteLinesStarter() = default;
    virtual void Start(const QString &sIdPreventivoLista,
                       const QString &sNuPreventivoLista,
                       const QString &sDescOggettoLista)
        = 0;
};

// The quote layout (an MDI child, one at most): created when absent and started in both cases,
// so an open layout window switches to the quote asked for.
class TQuoteLayoutStarter
{
public:
    virtual ~TQuoteLayoutStarter() = default;
    virtual void Start(const QString &sIdPreventivoLista,
                       const QString &sIdSocietaLista,
                       const QString &sDescOggettoLista,
                       const QString &sNuPreventivoLista)
        = 0;
};

// What the quote layout offers the cloud folder window for an export: the preview whose pages
// become the exported PDF, and the reload of the quote once the export blocked it. The window
// that opens the folder window for an export implements it; OpenQuoteFolder hands it over.
class TQuoteExportSource
{
public:
    virtual ~TQuoteExportSource() = default;
    // The preview shown (nullptr when there is none); not owned by the caller.
    virtual TKRTViewReport *ExportPreview() = 0;
    // The exported quote is now blocked: show it again as it is.
    virtual void ReloadExportedQuote() = 0;
};

// The quote folder windows (modal; on disk TFOLDER_PREVENTIVO, in the cloud
// TFOLDER_PREVENTIVO_DBX): Start stores the values and shows the window modally; the window
// frees itself when closed. bFromGestione: opened from a list to manage the folder, no export.
class TQuoteFolderStarter
{
public:
    virtual ~TQuoteFolderStarter() = default;
    virtual void Start(bool bFromGestione,
                       const QString &sIdPreventivoLista,
                       bool bPrevBloccatoLista,
                       int iNuRevisioneLista,
                       const QString &sURLPDF,
                       const QString &sNomePDF,
                       const QString &sNomeFolderPrev,
                       const QString &sDescOggettoLista,
                       const QString &sDescClienteLista,
                       const QString &sNuAnnoPrevLista,
                       const QString &sNuPreventivoLista,
                       const QString &sTxNuPreventivoLista)
        = 0;
    // Called before Start with the opening window when it is an export source (else nullptr);
    // the source outlives the modal window. Windows that export nothing ignore it.
    virtual void SetExportSource(TQuoteExportSource *source) { (void) source; }
};

// The window with that name is there to be opened.
bool IsQuoteWindowAvailable(const QString &name);

// The openers; from is the window asking (its MDI area receives the new window, a modal window
// is owned by its top-level window). Each returns the window opened or brought to the front,
// nullptr when none could be (not registered, or the registered window lacks its starter).
QWidget *OpenQuoteLines(QWidget *from,
                        const QString &sIdPreventivoLista,
                        const QString &sNuPreventivoLista,
                        const QString &sDescOggettoLista);
QWidget *OpenQuoteLayout(QWidget *from,
                         const QString &sIdPreventivoLista,
                         const QString &sIdSocietaLista,
                         const QString &sDescOggettoLista,
                         const QString &sNuPreventivoLista);
// The arguments of TQuoteFolderStarter::Start, in order.
struct TQuoteFolderStart
{
    bool bFromGestione = true;
    QString sIdPreventivoLista;
    bool bPrevBloccatoLista = false;
    int iNuRevisioneLista = 1;
    QString sURLPDF;
    QString sNomePDF;
    QString sNomeFolderPrev;
    QString sDescOggettoLista;
    QString sDescClienteLista;
    QString sNuAnnoPrevLista;
    QString sNuPreventivoLista;
    QString sTxNuPreventivoLista;
};
QWidget *OpenQuoteFolder(QWidget *from, const QString &windowName, const TQuoteFolderStart &start);

// Presses "Estrai elenco" of the open quote list, if any.
void RefreshQuoteList();
