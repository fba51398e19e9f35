#include "reports/reportdefinition.h"

#include <QFileInfo>

bool TReportObject::UsesPageValues() const
{
    if (kind == TObjectKind::Special)
        return special == TSpecialKind::PageNumber || special == TSpecialKind::TotalPages
               || special == TSpecialKind::PageNofM;
    if (!value)
        return false;
    return UsesSpecial(*value, TSpecialValue::PageNumber)
           || UsesSpecial(*value, TSpecialValue::TotalPages);
}

std::vector<TReportBand *> TReportSection::BandsOf(TBandKind kind) const
{
    std::vector<TReportBand *> out;
    for (const auto &b : bands) {
        if (b->kind == kind)
            out.push_back(b.get());
    }
    return out;
}

QSizeF TPageSetup::SizeMm() const
{
    const QSizeF s = size.size(QPageSize::Millimeter);
    if (orientation == QPageLayout::Landscape)
        return QSizeF(qMax(s.width(), s.height()), qMin(s.width(), s.height()));
    return s;
}

const TParameterDef *TReportDefinition::FindParameter(const QString &name) const
{
    for (const auto &p : parameters) {
        if (p.name.compare(name, Qt::CaseInsensitive) == 0)
            return &p;
    }
    return nullptr;
}

TFormulaDef *TReportDefinition::FindFormula(const QString &name)
{
    for (auto &f : formulas) {
        if (f.name.compare(name, Qt::CaseInsensitive) == 0)
            return &f;
    }
    return nullptr;
}

const TReportSection *TReportDefinition::FindSubreport(const QString &name) const
{
    const QString base = SubreportBaseName(name);
    for (const auto &s : subreports) {
        if (s->name.compare(base, Qt::CaseInsensitive) == 0)
            return s.get();
    }
    return nullptr;
}

QString SubreportBaseName(const QString &name)
{
    QString n = name.trimmed();
    n.replace(u'\\', u'/');
    const int slash = n.lastIndexOf(u'/');
    if (slash >= 0)
        n = n.mid(slash + 1);
    if (n.endsWith(QLatin1String(".rpt"), Qt::CaseInsensitive))
        n.chop(4);
    return n;
}
