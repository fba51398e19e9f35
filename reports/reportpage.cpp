#include "reports/reportpage.h"

#include "reports/reportlayout.h"

#include <QTextDocument>

#include <algorithm>

QPageLayout TReportDocument::PageLayout() const
{
    return QPageLayout(pageSize, orientation, QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter);
}

QStringList TReportDocument::PageTexts(int page) const
{
    QStringList out;
    if (page < 0 || page >= PageCount())
        return out;
    std::vector<const TPrimitive *> texts;
    for (const TPrimitive &p : pages[size_t(page)].items) {
        if (p.kind == TPrimitiveKind::Text || p.kind == TPrimitiveKind::RichText)
            texts.push_back(&p);
    }
    std::stable_sort(texts.begin(), texts.end(), [](const TPrimitive *a, const TPrimitive *b) {
        if (qAbs(a->rect.top() - b->rect.top()) > 0.5)
            return a->rect.top() < b->rect.top();
        return a->rect.left() < b->rect.left();
    });
    for (const TPrimitive *p : texts) {
        const QString t = PrintedText(*p);
        if (!t.isEmpty())
            out << t;
    }
    return out;
}

QString PrintedText(const TPrimitive &p)
{
    if (p.kind == TPrimitiveKind::RichText) {
        if (!p.document)
            return QString();
        return DocumentTextInRange(*p.document, p.docTop, p.rect.height());
    }
    if (p.kind == TPrimitiveKind::Text)
        return PrintedLines(p).join(u'\n');
    return QString();
}
