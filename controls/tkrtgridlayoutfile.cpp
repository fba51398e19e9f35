#include "controls/tkrtgridlayoutfile.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

namespace {
constexpr const char *kFormat = "VentorelGridLayout";
constexpr int kVersion = 1;
} // namespace

bool TKRTGridLayoutFile::Write(const QString &path, const std::vector<TKRTGridColumn> &columns)
{
    QJsonArray list;
    for (const TKRTGridColumn &c : columns) {
        QJsonObject o;
        o.insert(QStringLiteral("field"), c.FieldName);
        o.insert(QStringLiteral("title"), c.Title);
        o.insert(QStringLiteral("width"), c.Width);
        o.insert(QStringLiteral("visible"), c.Visible);
        o.insert(QStringLiteral("alignment"), int(c.Alignment));
        o.insert(QStringLiteral("titleAlignment"), int(c.TitleAlignment));
        list.append(o);
    }
    QJsonObject root;
    root.insert(QStringLiteral("format"), QString::fromLatin1(kFormat));
    root.insert(QStringLiteral("version"), kVersion);
    root.insert(QStringLiteral("columns"), list);
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    f.write(QJsonDocument(root).toJson(QJsonDocument::Indented));
    return f.commit();
}

TKRTGridLayoutFile::TReadResult TKRTGridLayoutFile::Read(const QString &path,
                                                         std::vector<TKRTGridColumn> *columns)
{
    QFile f(path);
    if (!f.exists())
        return Missing;
    if (!f.open(QIODevice::ReadOnly))
        return Damaged;
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(f.readAll(), &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject())
        return Damaged;
    const QJsonObject root = doc.object();
    if (root.value(QStringLiteral("format")).toString() != QLatin1String(kFormat)
        || root.value(QStringLiteral("version")).toInt() < 1
        || !root.value(QStringLiteral("columns")).isArray())
        return Damaged;
    std::vector<TKRTGridColumn> out;
    for (const QJsonValue &v : root.value(QStringLiteral("columns")).toArray()) {
        if (!v.isObject())
            return Damaged;
        const QJsonObject o = v.toObject();
        TKRTGridColumn c;
        c.FieldName = o.value(QStringLiteral("field")).toString().trimmed();
        if (c.FieldName.isEmpty())
            return Damaged;
        c.Title = o.value(QStringLiteral("title")).toString();
        c.Width = qMax(0, o.value(QStringLiteral("width")).toInt(64));
        c.Visible = o.value(QStringLiteral("visible")).toBool(true);
        c.Alignment = Qt::Alignment(
            o.value(QStringLiteral("alignment")).toInt(int(Qt::AlignLeft | Qt::AlignVCenter)));
        c.TitleAlignment = Qt::Alignment(
            o.value(QStringLiteral("titleAlignment")).toInt(int(Qt::AlignLeft | Qt::AlignVCenter)));
        out.push_back(c);
    }
    *columns = std::move(out);
    return Loaded;
}
