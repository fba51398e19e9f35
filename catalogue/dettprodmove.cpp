#include "catalogue/dettprodmove.h"

#include "db/dataset.h"
#include "domain/vrldettprod.h"

#include <QHash>

namespace {

enum TTarget { tHidden, tShown, tBeforeAfter, tAppend, tTableHolder };

// Groups of kinds that behave alike in the table of targets.
int KindColumn(int nuTipologia)
{
    switch (nuTipologia) {
    case 10:
        return 0;
    case 20:
        return 1;
    case 30:
        return 2;
    case 40:
        return 3;
    case 50:
    case 60:
    case 70:
        return 4;
    case 80:
        return 5;
    case 90:
        return 6;
    default:
        return -1;
    }
}

// Rows (the row's kind) by columns (the moving node's kind): 10, 20, 30, 40, 50/60/70, 80, 90.
constexpr TTarget kTargets[7][7] = {
    /* 10 */ {tBeforeAfter, tAppend, tBeforeAfter, tHidden, tHidden, tHidden, tHidden},
    /* 20 */ {tHidden, tBeforeAfter, tHidden, tHidden, tHidden, tHidden, tHidden},
    /* 30 */ {tBeforeAfter, tHidden, tBeforeAfter, tAppend, tShown, tShown, tTableHolder},
    /* 40 */ {tHidden, tHidden, tHidden, tBeforeAfter, tAppend, tAppend, tTableHolder},
    /* 50 */ {tHidden, tHidden, tHidden, tHidden, tBeforeAfter, tBeforeAfter, tHidden},
    /* 80 */ {tHidden, tHidden, tShown, tShown, tBeforeAfter, tBeforeAfter, tAppend},
    /* 90 */ {tHidden, tHidden, tHidden, tHidden, tHidden, tHidden, tBeforeAfter},
};

} // namespace

void MarkMoveTargets(TDataSet &rows, const TVRLDettProd &moving)
{
    if (!rows.Active())
        return;
    const int colId = rows.FieldIndex(QStringLiteral("idNodo"));
    const int colParent = rows.FieldIndex(QStringLiteral("idParent"));
    const int colKind = rows.FieldIndex(QStringLiteral("nuTipologia"));
    const int count = rows.RecordCount();
    // Sub-paragraphs that hold a table, and paragraphs with such a sub-paragraph (taken from a
    // copy of the rows before any flag changes).
    QSet<QString> partsWithTable;
    QHash<QString, QString> paragraphOfPart;
    for (int r = 0; r < count; ++r) {
        const int kind = rows.ValueAt(r, colKind).toInt();
        if (kind == 80)
            partsWithTable.insert(rows.ValueAt(r, colParent).toString());
        else if (kind == 40)
            paragraphOfPart.insert(rows.ValueAt(r, colId).toString(),
                                   rows.ValueAt(r, colParent).toString());
    }
    QSet<QString> paragraphsWithTable;
    for (const QString &part : partsWithTable) {
        if (const auto p = paragraphOfPart.constFind(part); p != paragraphOfPart.constEnd())
            paragraphsWithTable.insert(p.value());
    }

    const int movingColumn = KindColumn(moving.iNuTipologia);
    QSet<QString> shown;
    const TBookmark keep = rows.GetBookmark();
    rows.DisableControls();
    for (int r = 0; r < count; ++r) {
        const QString id = rows.ValueAt(r, colId).toString();
        const QString parent = rows.ValueAt(r, colParent).toString();
        const int kind = rows.ValueAt(r, colKind).toInt();
        bool visible = false;
        bool beforeAfter = false;
        bool add = false;
        if (id == moving.sIdNodo) {
            visible = true;
        } else {
            const int rowColumn = KindColumn(kind);
            const TTarget target = rowColumn < 0 || movingColumn < 0
                                       ? tHidden
                                       : kTargets[rowColumn][movingColumn];
            switch (target) {
            case tHidden:
                break;
            case tShown:
                visible = true;
                break;
            case tBeforeAfter:
                visible = beforeAfter = true;
                break;
            case tAppend:
                visible = true;
                add = id != moving.sIdParent;
                break;
            case tTableHolder:
                // A table item travels only between tables: the paragraphs and sub-paragraphs
                // on the way to one are shown, the others hidden.
                visible = kind == 30 ? paragraphsWithTable.contains(id)
                                     : shown.contains(parent) && partsWithTable.contains(id);
                break;
            }
        }
        if (visible)
            shown.insert(id);
        rows.SetRecNo(r + 1);
        rows.Edit();
        rows.FieldByName(QStringLiteral("flVisible")).SetValue(visible ? 1 : 0);
        rows.FieldByName(QStringLiteral("flCanInsertBeforeAfter")).SetValue(beforeAfter ? 1 : 0);
        rows.FieldByName(QStringLiteral("flCanAdd")).SetValue(add ? 1 : 0);
        rows.Post();
    }
    rows.GotoBookmark(keep);
    rows.EnableControls();
}

void ResetMoveTargets(TDataSet &rows)
{
    if (!rows.Active())
        return;
    const TBookmark keep = rows.GetBookmark();
    rows.DisableControls();
    for (int r = 0; r < rows.RecordCount(); ++r) {
        rows.SetRecNo(r + 1);
        rows.Edit();
        rows.FieldByName(QStringLiteral("flVisible")).SetValue(1);
        rows.FieldByName(QStringLiteral("flCanInsertBeforeAfter")).SetValue(1);
        rows.FieldByName(QStringLiteral("flCanAdd")).SetValue(0);
        rows.Post();
    }
    rows.GotoBookmark(keep);
    rows.EnableControls();
}

QSet<QString> CollapsedRowIds(const TDataSet &rows)
{
    QSet<QString> ids;
    if (!rows.Active())
        return ids;
    const int colId = rows.FieldIndex(QStringLiteral("idNodo"));
    const int colOpen = rows.FieldIndex(QStringLiteral("flNodoEspanso"));
    if (colId < 0 || colOpen < 0)
        return ids;
    for (int r = 0; r < rows.RecordCount(); ++r) {
        if (!rows.IsNullAt(r, colOpen) && rows.ValueAt(r, colOpen).toInt() == 0)
            ids.insert(rows.ValueAt(r, colId).toString());
    }
    return ids;
}

void ApplyCollapsedRowIds(TDataSet &rows, const QSet<QString> &ids)
{
    if (!rows.Active() || ids.isEmpty())
        return;
    const int colId = rows.FieldIndex(QStringLiteral("idNodo"));
    if (colId < 0 || rows.FieldIndex(QStringLiteral("flNodoEspanso")) < 0)
        return;
    const TBookmark keep = rows.GetBookmark();
    rows.DisableControls();
    for (int r = 0; r < rows.RecordCount(); ++r) {
        if (!ids.contains(rows.ValueAt(r, colId).toString()))
            continue;
        rows.SetRecNo(r + 1);
        rows.Edit();
        rows.FieldByName(QStringLiteral("flNodoEspanso")).SetValue(0);
        rows.Post();
    }
    rows.GotoBookmark(keep);
    rows.EnableControls();
}
