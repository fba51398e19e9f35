#pragma once

// The in-memory side of moving a node of a product tree: which rows a moving node may be put
// before, after or under, and the collapsed nodes kept across the reload that completes a move.

#include <QSet>
#include <QString>

class TDataSet;
class TVRLDettProd;

// Sets flVisible, flCanInsertBeforeAfter and flCanAdd of every tree row (sorted by
// nuOrderA..nuOrderD) for a move of the node: the moving node's own row is shown only; other
// rows by their kind and the moving node's:
//   sibling kinds of the same level       before/after targets
//   the kind that holds the moving node   append target (only shown when it is the current
//                                         parent)
//   ancestors' kinds on the way to those  shown only (a table item's paragraphs and
//                                         sub-paragraphs only when they hold a table)
//   everything else                       hidden
void MarkMoveTargets(TDataSet &rows, const TVRLDettProd &moving);
// After a cancelled move: every row shown, before/after true, append false.
void ResetMoveTargets(TDataSet &rows);

// Ids of the rows with flNodoEspanso false.
QSet<QString> CollapsedRowIds(const TDataSet &rows);
// flNodoEspanso false on the rows with those ids.
void ApplyCollapsedRowIds(TDataSet &rows, const QSet<QString> &ids);
