#pragma once

// The record zoom of chosen fields (ZoomGridEx): the visible fields named in the grid's
// SortedColumns, each as a read-only labelled field with its caption above.

#include <QDialog>

#include <vector>

class QScrollArea;
class TKRTGrid;
class TKRTLabelEdit;

class TKRTZOOMGRIDEXFORM : public QDialog
{
    Q_OBJECT

public:
    // Frees itself when closed.
    TKRTZOOMGRIDEXFORM(TKRTGrid *grid, const QString &title, int width, int maxWidth, int height);

    const std::vector<TKRTLabelEdit *> &Fields() const { return m_fields; }

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void PlaceFields();

    QScrollArea *m_area = nullptr;         // Owned (child).
    QWidget *m_content = nullptr;          // Owned (child of the area).
    std::vector<TKRTLabelEdit *> m_fields; // Owned (children of the content).
    int m_captionHeight = 0;
    int m_stackEnd = 0;
};
