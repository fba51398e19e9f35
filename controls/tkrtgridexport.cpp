#include "controls/tkrtgridexport.h"

#include "controls/tkrteditrules.h"
#include "db/dataset.h"

#include <QFile>
#include <QStringEncoder>

bool TKRTGridExport::Write(const QString &path,
                           const TDataSet *ds,
                           const std::vector<TKRTGridColumn> &columns,
                           const QString &delimiter)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    if (!ds || !ds->Active() || ds->RecordCount() == 0)
        return f.error() == QFileDevice::NoError;

    std::vector<const TKRTGridColumn *> shown;
    for (const TKRTGridColumn &c : columns) {
        if (c.Visible && c.HasField())
            shown.push_back(&c);
    }
    QStringEncoder encode(QStringConverter::System);
    const QString eol = QStringLiteral("\r\n");
    QString line;
    for (size_t i = 0; i < shown.size(); ++i) {
        if (i > 0)
            line += delimiter;
        line += shown[i]->Title.trimmed();
    }
    line += eol;
    if (f.write(encode(line)) < 0)
        return false;

    const auto &defs = ds->FieldDefs();
    const int rows = ds->RecordCount();
    for (int r = 0; r < rows; ++r) {
        line.clear();
        for (size_t i = 0; i < shown.size(); ++i) {
            if (i > 0)
                line += delimiter;
            const int fi = shown[i]->FieldIndex;
            if (ds->IsNullAt(r, fi))
                continue;
            switch (defs[size_t(fi)].type) {
            case TFieldType::Text:
                line += QLatin1Char('"') + ds->ValueAt(r, fi).toString().trimmed()
                        + QLatin1Char('"');
                break;
            case TFieldType::Integer:
                line += QString::number(ds->ValueAt(r, fi).toLongLong());
                break;
            case TFieldType::Real:
                line += KRTShortestNumberText(ds->ValueAt(r, fi).toDouble());
                break;
            case TFieldType::Flag:
            case TFieldType::DateTime:
                line += ds->DisplayTextAt(r, fi).trimmed();
                break;
            case TFieldType::Blob:
                break;
            }
        }
        line += eol;
        if (f.write(encode(line)) < 0)
            return false;
    }
    return f.flush() && f.error() == QFileDevice::NoError;
}
