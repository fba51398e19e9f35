#pragma once

// The live preview pane of the structure editor and of the quote line details: the report of
// the tree in a viewer, its page bar and zoom list, and the lookup that turns the selected
// node into the page that prints it. The preview's rich-text export carries, for every node
// printed, a mark of three digits (the page), one character and the node id; the pane keeps
// the export's plain text and finds a node's page in it.

#include <QFrame>
#include <QHash>
#include <QString>
#include <QStringList>

#include <functional>

class QComboBox;
class QLabel;
class QPushButton;
class TDettProdTree;
class TKRTCrystalReport;
class TKRTViewReport;
class TVRLDettProd;

// The page that prints a node: the integer in the three characters that stand four places
// before the first occurrence of the id in the text; 0 when the id is absent or the characters
// are not a page number.
int PreviewPageOfNode(const QString &pageText, const QString &sIdNodo);

// The zoom items of the structure editor: "Larghezza pagina", "Pagina intera", then
// percentages from 25 % to 200 %.
QStringList DettProdZoomItems();

class TDettProdPreviewPane : public QFrame
{
    Q_OBJECT

public:
    explicit TDettProdPreviewPane(QWidget *parent = nullptr);
    ~TDettProdPreviewPane() override;

    // The viewer of the last build; nullptr while no preview is shown. Owned (child).
    TKRTViewReport *VR_Preview = nullptr;
    QFrame *PAN_Status_Report = nullptr; // Owned (child): the page bar.
    QPushButton *PB_GoFirst = nullptr;   // Owned (child).
    QPushButton *PB_GoPrev = nullptr;    // Owned (child).
    QPushButton *PB_GoNext = nullptr;    // Owned (child).
    QPushButton *PB_GoLast = nullptr;    // Owned (child).
    QLabel *SF_NuPages = nullptr;        // Owned (child): "current / total".
    QComboBox *CB_Zoom = nullptr;        // Owned (child).

    int iRptPageTo = 0;                // pages of the preview
    QString sTextReportForPageNumbers; // plain text of the export

    // Replaces the zoom list (the first two items are page width and whole page).
    void SetZoomItems(const QStringList &items);

    // Builds a new preview: destroys the previous viewer, creates one filling the pane, lets
    // bind fill its engine (report, data, parameters), shows the report exported as rich text
    // into exportFile, counts the pages, reads the export's plain text and deletes the file,
    // shows the page bar and turns to the page of selectId (when it is printed). False when
    // the report file is missing (the engine has told the operator). Other faults raise the
    // engine's or the file's exception; the pane is then left without a viewer.
    bool Build(const std::function<void(TKRTCrystalReport &engine)> &bind,
               const QString &exportFile,
               const QString &selectId);
    // Removes the viewer and hides the page bar.
    void DestroyViewer();
    bool HasPreview() const { return VR_Preview != nullptr; }

    // The page shown (SF_NuPages' tag); 0 without a preview.
    int CurrentPage() const { return m_currentPage; }
    // Turns the viewer to the page (clamped) and updates the label.
    void TurnToPage(int page);
    // The page that prints the node with this id, 0 when it is not in the export.
    int PageOfNode(const QString &sIdNodo) const;
    // Zoom item by position: 0 page width, 1 whole page, other: the item's percentage.
    void SetZoomIndex(int index);

    // Every node of the tree whose id is in the export gets its page; the others keep theirs.
    void AssignPreviewPages(TDettProdTree *tree) const;
    // The tree selection moved: the node's page, when known and not the one shown.
    void FollowNode(const TVRLDettProd *node);

    // Page bar commands.
    void GoFirst();
    void GoPrev();
    void GoNext();
    void GoLast();

private:
    void UpdateLabel();
    void ZoomChanged(int index);

    void IndexPageMarks();

    QWidget *m_viewerHost = nullptr; // Owned (child): where the viewer is created.
    int m_currentPage = 0;
    // Page of every braced id of the export (its first occurrence), so that the pages of a
    // tree of hundreds of nodes are found in one pass over the text.
    QHash<QString, int> m_pageOfId;
};
