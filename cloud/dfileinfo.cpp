#include "cloud/dfileinfo.h"

#include <QJsonDocument>
#include <QJsonValue>
#include <QRegularExpression>
#include <QTimeZone>

namespace {

qint64 JsonInt64(const QJsonValue &v)
{
    if (v.isDouble())
        return v.toInteger();
    if (v.isString())
        return v.toString().toLongLong();
    return 0;
}

} // namespace

QDateTime ParseCloudDateTime(const QString &text)
{
    // The separators must be used throughout or not at all ("2023-0501" is no date).
    static const QRegularExpression
        re(QStringLiteral(
               "^\\s*(\\d{4})(-?)(\\d{2})\\2(\\d{2})(?:[T ](\\d{2})(:?)(\\d{2})\\6(\\d{2})"
               "(?:[.,]\\d+)?(Z|[+-]\\d{2}:?\\d{2})?)?\\s*$"),
           QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = re.match(text);
    if (!m.hasMatch())
        return QDateTime();
    const QDate date(m.captured(1).toInt(), m.captured(3).toInt(), m.captured(4).toInt());
    if (!date.isValid())
        return QDateTime();
    QTime time(0, 0, 0);
    if (!m.captured(5).isEmpty()) {
        time = QTime(m.captured(5).toInt(), m.captured(7).toInt(), m.captured(8).toInt());
        if (!time.isValid())
            return QDateTime();
    }
    QDateTime dt(date, time, Qt::UTC);
    const QString zone = m.captured(9);
    if (!zone.isEmpty() && zone.compare(QLatin1String("Z"), Qt::CaseInsensitive) != 0) {
        QString digits = zone.mid(1);
        digits.remove(u':');
        const int offset = (digits.left(2).toInt() * 60 + digits.mid(2, 2).toInt()) * 60;
        dt = dt.addSecs(zone.startsWith(u'-') ? offset : -offset);
    }
    return dt;
}

void TDFileInfo::Clear()
{
    *this = TDFileInfo();
}

bool TDFileInfo::ParseJSON(const QString &jsonString)
{
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(jsonString.toUtf8(), &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject())
        return false;
    ParseJson(doc.object());
    return true;
}

void TDFileInfo::ParseJson(const QJsonObject &metadata)
{
    TDFileList *list = List;
    const int index = Index;
    Clear();
    List = list;
    Index = index;
    const QString tag = metadata.value(QLatin1String(".tag")).toString();
    IsDir = tag == QLatin1String("folder");
    IsDeleted = tag == QLatin1String("deleted");
    Name = metadata.value(QLatin1String("name")).toString();
    Path = metadata.value(QLatin1String("path_lower")).toString();
    PathDisplay = metadata.value(QLatin1String("path_display")).toString();
    if (PathDisplay.isEmpty())
        PathDisplay = Path;
    Id = metadata.value(QLatin1String("id")).toString();
    Revision = metadata.value(QLatin1String("rev")).toString();
    Size = JsonInt64(metadata.value(QLatin1String("size")));
    ServerModified = ParseCloudDateTime(metadata.value(QLatin1String("server_modified")).toString());
    ClientModified = ParseCloudDateTime(metadata.value(QLatin1String("client_modified")).toString());
}
