#pragma once

// Shared helpers of the database tests: commands in the program's own form, run through the
// command layer on a test database, and the checks of the node-tree order rules.

#include "db/commandtext.h"
#include "db/dbmodule.h"
#include "tests/support/testdatabase.h"

#include <QHash>
#include <QMap>
#include <QSet>
#include <QStringList>
#include <QtTest>

#include <memory>
#include <vector>

namespace dbtest {

inline const QString kSoc1 = QStringLiteral("{6A1F0C3E-2B7D-4E59-9C41-0D8E5A7B1001}");
inline const QString kSoc2 = QStringLiteral("{6A1F0C3E-2B7D-4E59-9C41-0D8E5A7B1002}");
inline const QString kUser = QStringLiteral("'MROSSI'");

inline QString T(const QString &s)
{
    return SqlText(s);
}

// "EXEC name a, b, ..." as the windows compose it.
inline QString Exec(const QString &name, const QStringList &args = {})
{
    return ExecText(name, args);
}

inline std::unique_ptr<TDataSet> Q(TSTD_DBMODULE &db, const QString &text)
{
    return db.Query(text);
}

inline std::vector<std::unique_ptr<TDataSet>> QM(TSTD_DBMODULE &db, const QString &text)
{
    return db.QueryMulti(text);
}

// The provider text of the error a command raises; empty when it succeeds.
inline QString ErrorOf(TSTD_DBMODULE &db, const QString &text)
{
    try {
        db.Query(text);
    } catch (const EDatabaseError &e) {
        return e.ProviderText();
    }
    return QString();
}

// Values of one column, in row order.
inline QStringList Column(TDataSet &ds, const QString &field)
{
    QStringList out;
    for (ds.First(); !ds.Eof(); ds.Next())
        out << ds.FieldByName(field).AsString();
    return out;
}

// The first row's value of a field.
inline QString First(TDataSet &ds, const QString &field)
{
    ds.First();
    return ds.Eof() ? QString() : ds.FieldByName(field).AsString();
}

// A new program-made identifier (upper-case brace form).
inline QString NewId()
{
    return QUuid::createUuid().toString(QUuid::WithBraces).toUpper();
}

// Checks the node-tree rows of a product or quote line as the program loads them: sorted by
// nuOrderA..D every row follows its parent; every sequence of siblings is numbered 1..n
// without gaps in its own position column; data sheets and paragraphs share nuOrderA.
// Returns an empty text when every rule holds, else the first broken rule.
inline QString TreeProblem(TDataSet &rows, const QString &ownerId)
{
    struct Row
    {
        QString id, parent;
        int kind;
        int a, b, c, d;
    };
    std::vector<Row> all;
    for (rows.First(); !rows.Eof(); rows.Next())
        all.push_back({rows.FieldByName("idNodo").AsString(),
                       rows.FieldByName("idParent").AsString(),
                       int(rows.FieldByName("nuTipologia").AsInteger()),
                       int(rows.FieldByName("nuOrderA").AsInteger()),
                       int(rows.FieldByName("nuOrderB").AsInteger()),
                       int(rows.FieldByName("nuOrderC").AsInteger()),
                       int(rows.FieldByName("nuOrderD").AsInteger())});
    std::stable_sort(all.begin(), all.end(), [](const Row &x, const Row &y) {
        return std::tie(x.a, x.b, x.c, x.d) < std::tie(y.a, y.b, y.c, y.d);
    });
    QSet<QString> seen{ownerId};
    QMap<QString, QList<int>> positions; // parent -> positions of its children
    QHash<QString, int> kindOf;
    QSet<QString> ids;
    for (const Row &r : all) {
        if (ids.contains(r.id))
            return QStringLiteral("node %1 appears twice").arg(r.id);
        ids.insert(r.id);
        if (!seen.contains(r.parent))
            return QStringLiteral("node %1 (kind %2) comes before its parent %3")
                .arg(r.id)
                .arg(r.kind)
                .arg(r.parent);
        seen.insert(r.id);
        kindOf.insert(r.id, r.kind);
        int pos = 0;
        switch (r.kind) {
        case 10:
        case 30:
            if (r.parent != ownerId)
                return QStringLiteral("top-level node %1 hangs from %2").arg(r.id, r.parent);
            pos = r.a;
            break;
        case 20:
            pos = r.d > 0 ? r.d : r.b;
            break;
        case 40:
            pos = r.b;
            break;
        case 50:
        case 60:
        case 70:
        case 80:
            pos = r.c;
            break;
        case 90:
            pos = r.d;
            break;
        default:
            return QStringLiteral("node %1 has kind %2").arg(r.id).arg(r.kind);
        }
        positions[r.parent].append(pos);
    }
    for (auto it = positions.begin(); it != positions.end(); ++it) {
        QList<int> p = it.value();
        std::sort(p.begin(), p.end());
        for (int i = 0; i < p.size(); ++i) {
            if (p.at(i) != i + 1) {
                QStringList shown;
                for (int v : it.value())
                    shown << QString::number(v);
                return QStringLiteral("children of %1 are numbered %2")
                    .arg(it.key(), shown.join(','));
            }
        }
    }
    return QString();
}

} // namespace dbtest
