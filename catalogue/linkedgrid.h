#pragma once

// The grid of a product's linked products (SG_Linked): one row per link at its position (1..n
// from the top), the position in the first column and the product's text in the second, under
// a header row "" / "Prodotto" that is shown only while there are links. Each row carries a
// TVRLLinkedProd; the grid owns them and frees them with its rows.
//
// A row is dragged to another position with the mouse (press on it, move, release over the
// target row); the grid does not move it itself but reports the move, and the owner reloads
// the links as the database has stored them.
//
// Look: "Trebuchet MS" 11; header white bold italic on 10579511; rows white and 15921906 by
// turns; an accessory in blue, white on blue when selected; another selected row white on
// black. The product text wraps inside a 4-pixel inset and its row grows to it.

#include "domain/vrllinkedprod.h"

#include <QString>
#include <QTableWidget>

#include <functional>
#include <memory>
#include <vector>

class TLinkedGrid : public QTableWidget
{
    Q_OBJECT

public:
    struct TLink
    {
        int iPosition = 0; // nuOrdineCollegamento
        QString sIdProdotto;
        bool bAccessorio = false;
        QString sTxProdotto;
    };

    explicit TLinkedGrid(QWidget *parent = nullptr);
    ~TLinkedGrid() override;

    // The links, each on the row of its position; none empties the grid and hides the header.
    // Links whose position is outside 1..count are left out.
    void SetLinks(const std::vector<TLink> &links);
    int LinkCount() const { return rowCount(); }
    // The record of the link at a position (1-based); nullptr when there is none.
    TVRLLinkedProd *Link(int position) const;
    QString ProductText(int position) const;
    // The position of the current row; 0 without links.
    int CurrentPosition() const;
    void SetCurrentPosition(int position);
    TVRLLinkedProd *CurrentLink() const { return Link(CurrentPosition()); }
    // The position of the link to that product; 0 when it is not linked.
    int PositionOf(const QString &sIdProdotto) const;

    // A row was dragged from one position to another (both 1-based, different).
    std::function<void(int from, int to)> OnRowMoved;

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void updateGeometries() override;

private:
    void FitColumns();
    void Refit();
    // The row under a viewport point; below the last row: the last row.
    int RowAt(const QPoint &pos) const;

    std::vector<std::unique_ptr<TVRLLinkedProd>> m_links; // one per row
    int m_pressedRow = -1;
    QPoint m_pressPos;
    bool m_dragging = false;
    bool m_fitting = false;
};
