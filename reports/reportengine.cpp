#include "reports/reportengine_p.h"

#include "common/formats.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace ReportEngineDetail {

// ---------------------------------------------------------------------------------------------
// Evaluation

QVariant TEval::FieldValue(const TExprNode &field)
{
    const TSectionRun *run = s.run.get();
    if (!run || !run->data || s.pos < 0 || s.pos >= run->Count())
        return QVariant();
    if (field.cacheData != run->data) {
        field.cacheColumn = run->data->FieldIndex(field.name);
        field.cacheData = run->data;
    }
    if (field.cacheColumn < 0)
        m_r->Fail(0,
                  QString(),
                  QStringLiteral("il campo \"%1\" non esiste nei dati del %2")
                      .arg(field.name, run->dataLabel));
    return run->data->ValueAt(run->rows[size_t(s.pos)], field.cacheColumn);
}

QVariant TEval::ParameterValue(const QString &name)
{
    return m_r->Parameter(name);
}

QVariant TEval::FormulaValue(const QString &name)
{
    const TExprPtr *f = m_r->Formula(s.run.get(), name);
    if (!f || !*f)
        return QVariant();
    if (++depth > kMaxFormulaDepth)
        m_r->Fail(0, QString(), QStringLiteral("la formula \"%1\" richiama se stessa").arg(name));
    const QVariant v = EvaluateExpression(**f, *this);
    --depth;
    return v;
}

QVariant TEval::SpecialValue(TSpecialValue which)
{
    switch (which) {
    case TSpecialValue::PageNumber:
        return QVariant(qlonglong(page));
    case TSpecialValue::TotalPages:
        return QVariant(qlonglong(totalPages > 0 ? totalPages : page));
    case TSpecialValue::PrintDate:
        return QVariant(m_r->PrintTime().date());
    case TSpecialValue::PrintTime:
        return QVariant(m_r->PrintTime().time());
    case TSpecialValue::RecordNumber:
        return QVariant(qlonglong(s.pos + 1));
    }
    return QVariant();
}

QVariant TEval::AggregateValue(const TExprNode &call)
{
    return m_r->Aggregate(*this, call);
}

QVariant TRenderer::Aggregate(TEval &ev, const TExprNode &call)
{
    const TSectionRun *run = ev.s.run.get();
    if (!run)
        return QVariant();
    const TAggKey key{&call, run, ev.s.aggBegin, ev.s.aggEnd};
    const auto cached = m_aggCache.find(key);
    if (cached != m_aggCache.end())
        return cached->second;
    QVariant result;
    if (call.name == u"count" && call.args.empty()) {
        result = QVariant(qlonglong(qMax(0, ev.s.aggEnd - ev.s.aggBegin)));
    } else {
        TEval row = ev;
        double sum = 0;
        qlonglong count = 0;
        QVariant best;
        bool integers = true;
        for (int pos = ev.s.aggBegin; pos < ev.s.aggEnd; ++pos) {
            row.s.pos = pos;
            const QVariant v = EvaluateExpression(*call.args[0], row);
            if (!v.isValid() || v.isNull())
                continue;
            ++count;
            if (call.name == u"sum" || call.name == u"avg") {
                bool ok = false;
                sum += ValueToNumber(v, &ok);
                integers = integers
                           && (v.typeId() == QMetaType::LongLong || v.typeId() == QMetaType::Int);
            } else if (call.name == u"min") {
                if (!best.isValid() || CompareValues(v, best) < 0)
                    best = v;
            } else if (call.name == u"max") {
                if (!best.isValid() || CompareValues(v, best) > 0)
                    best = v;
            }
        }
        if (call.name == u"sum")
            result = integers ? QVariant(qlonglong(sum)) : QVariant(sum);
        else if (call.name == u"avg")
            result = count ? QVariant(sum / double(count)) : QVariant();
        else if (call.name == u"count")
            result = QVariant(count);
        else
            result = best;
    }
    m_aggCache.emplace(key, result);
    return result;
}

const TExprPtr *TRenderer::Formula(const TSectionRun *run, const QString &name) const
{
    if (run && run->section) {
        for (const auto &f : run->section->formulas) {
            if (f.name.compare(name, Qt::CaseInsensitive) == 0)
                return &f.expr;
        }
    }
    const auto it = m_formulas.constFind(name.toLower());
    return it == m_formulas.constEnd() ? nullptr : &it.value();
}

void TRenderer::Fail(int line, const QString &where, const QString &text) const
{
    QString msg = QStringLiteral("Report \"%1\"").arg(FileLabel());
    if (line > 0)
        msg += QStringLiteral(", riga %1").arg(line);
    if (!where.isEmpty())
        msg += QStringLiteral(", ") + where;
    throw EReportError(msg + QStringLiteral(": ") + text);
}

// ---------------------------------------------------------------------------------------------
// Binding

void TRenderer::BindParameters()
{
    for (const auto &p : m_def.parameters) {
        QVariant v;
        if (p.defaultValue.isValid())
            v = ConvertParameter(p, p.defaultValue, FileLabel());
        m_params.insert(p.name.toLower(), v);
    }
    for (const auto &[name, value] : m_input.parameters) {
        const TParameterDef *p = m_def.FindParameter(name);
        if (!p)
            continue; // a parameter the report does not have is ignored
        m_params.insert(p->name.toLower(), ConvertParameter(*p, value, FileLabel()));
    }
}

void TRenderer::BindFormulas()
{
    for (const auto &f : m_def.formulas)
        m_formulas.insert(f.name.toLower(), f.expr);
    for (const auto &[name, text] : m_input.formulas) {
        const TFormulaDef *f = nullptr;
        for (const auto &g : m_def.formulas) {
            if (g.name.compare(name, Qt::CaseInsensitive) == 0)
                f = &g;
        }
        if (!f)
            continue;
        TExprPtr e;
        try {
            e = ParseExpression(text);
        } catch (const EExprError &err) {
            if (!f->isText)
                Fail(f->line,
                     QStringLiteral("formula \"%1\"").arg(f->name),
                     QStringLiteral("testo non valido \"%1\": %2").arg(text, err.text()));
            // A text formula given as bare text: taken as a literal.
            e = LiteralExpression(QVariant(text));
        }
        QStringList params;
        CollectParameters(*e, params);
        for (const QString &p : params) {
            if (!m_def.FindParameter(p))
                Fail(f->line,
                     QStringLiteral("formula \"%1\"").arg(f->name),
                     QStringLiteral("parametro \"%1\" non dichiarato").arg(p));
        }
        m_formulas.insert(f->name.toLower(), e);
    }
}

std::unique_ptr<TDataSet> TRenderer::MakeView(TDataSet *source,
                                              const TReportSection &section,
                                              const std::vector<TSortRequest> &extra,
                                              const QString &label)
{
    if (!source->Active())
        Fail(0, QString(), QStringLiteral("i dati del %1 non sono aperti").arg(label));
    std::unique_ptr<TDataSet> view = source->Clone();
    bool keepsOrder = false;
    for (const auto &g : section.groups)
        keepsOrder = keepsOrder || g.order == TReportSortOrder::Original;
    if (keepsOrder) {
        QHash<qint64, int> &pos = m_callerPos[view.get()];
        const int n = view->RecordCount();
        for (int i = 0; i < n; ++i)
            pos.insert(view->BookmarkAt(i).rowId, i);
    }
    QStringList keys;
    auto add = [&](const QString &field, TReportSortOrder order, int line, const QString &where) {
        if (order == TReportSortOrder::Original)
            return;
        const int col = view->FieldIndex(field);
        if (col < 0)
            Fail(line,
                 where,
                 QStringLiteral("il campo \"%1\" non esiste nei dati del %2").arg(field, label));
        const QString name = view->FieldDefs()[size_t(col)].name;
        for (const QString &k : keys) {
            if (k.section(u' ', 0, 0).compare(name, Qt::CaseInsensitive) == 0)
                return;
        }
        keys << name
                    + (order == TReportSortOrder::Descending ? QStringLiteral(" DESC")
                                                             : QStringLiteral(" ASC"));
    };
    for (const auto &g : section.groups)
        add(g.field, g.order, g.line, QStringLiteral("gruppo \"%1\"").arg(g.name));
    for (const auto &s : section.sort)
        add(s.field, s.order, section.line, QStringLiteral("ordinamento"));
    for (const auto &s : extra)
        add(s.field, s.order, 0, QStringLiteral("ordinamento richiesto"));
    if (!keys.isEmpty()) {
        // The order the caller gave the rows decides among equal keys.
        const QString callerSort = view->Sort().trimmed();
        QString expr = keys.join(QStringLiteral(", "));
        if (!callerSort.isEmpty())
            expr += QStringLiteral(", ") + callerSort;
        try {
            view->SetSort(expr);
        } catch (const EDataSetError &e) {
            Fail(0, QString(), QStringLiteral("ordinamento non valido: %1").arg(e.text()));
        }
    }
    return view;
}

std::vector<int> TRenderer::OrderRows(TDataSet *view, const TReportSection &section)
{
    std::vector<int> rows(size_t(view ? view->RecordCount() : 0));
    for (int i = 0; i < int(rows.size()); ++i)
        rows[size_t(i)] = i;
    const auto posIt = m_callerPos.constFind(view);
    if (!view || posIt == m_callerPos.constEnd())
        return rows;
    // Groups in original order come in the order their values first appear in the caller's
    // rows; the other groups and the sort fields order the rows inside them (the view is
    // sorted by those already, so a stable sort keeps that order).
    const QHash<qint64, int> &callerPos = posIt.value();
    struct Level
    {
        int column;
        bool original;
        bool descending;
        QHash<QString, int> firstSeen;
    };
    std::vector<Level> levels;
    for (const auto &g : section.groups)
        levels.push_back({view->FieldIndex(g.field),
                          g.order == TReportSortOrder::Original,
                          g.order == TReportSortOrder::Descending,
                          {}});
    std::vector<int> byCaller(rows.size());
    for (int r = 0; r < int(rows.size()); ++r)
        byCaller[size_t(callerPos.value(view->BookmarkAt(r).rowId))] = r;
    for (int r : byCaller) {
        QString prefix;
        for (Level &l : levels) {
            prefix += ValueToText(view->ValueAt(r, l.column)).toUpper() + QChar(0x1F);
            if (l.original && !l.firstSeen.contains(prefix))
                l.firstSeen.insert(prefix, int(l.firstSeen.size()));
        }
    }
    std::vector<std::vector<QVariant>> keys(rows.size());
    for (int r = 0; r < int(rows.size()); ++r) {
        QString prefix;
        for (const Level &l : levels) {
            const QVariant v = view->ValueAt(r, l.column);
            prefix += ValueToText(v).toUpper() + QChar(0x1F);
            keys[size_t(r)].push_back(l.original ? QVariant(l.firstSeen.value(prefix)) : v);
        }
    }
    std::stable_sort(rows.begin(), rows.end(), [&](int a, int b) {
        for (size_t i = 0; i < levels.size(); ++i) {
            const int c = CompareValues(keys[size_t(a)][i], keys[size_t(b)][i]);
            if (c != 0)
                return levels[i].descending ? c > 0 : c < 0;
        }
        return false;
    });
    return rows;
}

void TRenderer::CheckFields(const TReportSection &section, TDataSet *data, const QString &label)
{
    if (!data)
        return;
    // Formulas are followed; each is checked once per section.
    QStringList seenFormulas;
    std::function<void(const TExprPtr &, int, const QString &)> check = [&](const TExprPtr &e,
                                                                            int line,
                                                                            const QString &where) {
        if (!e)
            return;
        QStringList fields;
        CollectFields(*e, fields);
        for (const QString &f : fields) {
            if (data->FieldIndex(f) < 0)
                Fail(line,
                     where,
                     QStringLiteral("il campo \"%1\" non esiste nei dati del %2").arg(f, label));
        }
        QStringList formulas;
        CollectFormulas(*e, formulas);
        for (const QString &name : formulas) {
            if (seenFormulas.contains(name, Qt::CaseInsensitive))
                continue;
            seenFormulas << name;
            int fline = 0;
            for (const auto &lf : section.formulas) {
                if (lf.name.compare(name, Qt::CaseInsensitive) == 0)
                    fline = lf.line;
            }
            for (const auto &gf : m_def.formulas) {
                if (fline == 0 && gf.name.compare(name, Qt::CaseInsensitive) == 0)
                    fline = gf.line;
            }
            TSectionRun probe;
            probe.section = &section;
            if (const TExprPtr *fe = Formula(&probe, name))
                check(*fe, fline, QStringLiteral("formula \"%1\"").arg(name));
        }
    };
    for (const auto &b : section.bands) {
        check(b->suppress, b->line, QString());
        check(b->newPageBefore, b->line, QString());
        check(b->newPageAfter, b->line, QString());
        for (const auto &o : b->objects) {
            const QString where = QStringLiteral("oggetto \"%1\"").arg(o->name);
            check(o->value, o->line, where);
            check(o->suppress, o->line, where);
            for (const TTableColumn &c : o->columns)
                check(c.value, c.line, QStringLiteral("%1, colonna \"%2\"").arg(where, c.name));
            for (const auto &l : o->links) {
                if (data->FieldIndex(l.mainField) < 0)
                    Fail(o->line,
                         where,
                         QStringLiteral(
                             "il campo di collegamento \"%1\" non esiste nei dati del %2")
                             .arg(l.mainField, label));
            }
        }
    }
    for (const auto &g : section.groups) {
        if (data->FieldIndex(g.field) < 0)
            Fail(g.line,
                 QStringLiteral("gruppo \"%1\"").arg(g.name),
                 QStringLiteral("il campo \"%1\" non esiste nei dati del %2").arg(g.field, label));
    }
}

void TRenderer::CheckLinks()
{
    // Link fields of subreport objects must exist in the subreport's data.
    auto walk = [&](const TReportSection &section) {
        for (const auto &b : section.bands) {
            for (const auto &o : b->objects) {
                if (o->kind != TObjectKind::Subreport)
                    continue;
                const TReportSection *sub = m_def.FindSubreport(o->subreportName);
                TDataSet *data = sub ? m_subViews.value(sub) : nullptr;
                if (!data)
                    continue;
                for (const auto &l : o->links) {
                    if (data->FieldIndex(l.subField) < 0)
                        Fail(o->line,
                             QStringLiteral("oggetto \"%1\"").arg(o->name),
                             QStringLiteral("il campo di collegamento \"%1\" non esiste nei dati "
                                            "del sottoreport \"%2\"")
                                 .arg(l.subField, sub->name));
                }
            }
        }
    };
    walk(m_def.main);
    for (const auto &s : m_def.subreports)
        walk(*s);
}

std::shared_ptr<TSectionRun> TRenderer::MakeRun(const TReportSection &section,
                                                TDataSet *data,
                                                std::vector<int> rows,
                                                const QString &label)
{
    auto run = std::make_shared<TSectionRun>();
    run->section = &section;
    run->data = data;
    run->rows = std::move(rows);
    run->dataLabel = label;
    const int groups = int(section.groups.size());
    for (int i = 0; i < groups; ++i) {
        const TReportGroup &g = section.groups[size_t(i)];
        run->groupColumns.push_back(data ? data->FieldIndex(g.field) : -1);
        TGroupCondition cond = g.condition;
        if (!section.isSubreport && size_t(i) < m_mainConditions.size())
            cond = m_mainConditions[size_t(i)];
        run->conditions.push_back(cond);
    }
    const int n = run->Count();
    run->breakLevel.assign(size_t(n), groups);
    if (n > 0)
        run->breakLevel[0] = 0;
    if (!data || groups == 0)
        return run;

    auto periodKey = [](const QVariant &v, TGroupCondition c) -> qint64 {
        if (!v.isValid() || v.isNull())
            return std::numeric_limits<qint64>::min();
        QDateTime dt = v.typeId() == QMetaType::QDate ? QDateTime(v.toDate(), QTime(0, 0))
                                                      : v.toDateTime();
        if (!dt.isValid())
            return std::numeric_limits<qint64>::min();
        const QDate d = dt.date();
        const qint64 jd = d.toJulianDay();
        switch (c) {
        case TGroupCondition::Daily:
            return jd;
        case TGroupCondition::Weekly:
            return (jd + 1) / 7;
        case TGroupCondition::Biweekly:
            return (jd + 1) / 14;
        case TGroupCondition::Semimonthly:
            return qint64(d.year()) * 24 + (d.month() - 1) * 2 + (d.day() > 15 ? 1 : 0);
        case TGroupCondition::Monthly:
            return qint64(d.year()) * 12 + d.month();
        case TGroupCondition::Quarterly:
            return qint64(d.year()) * 4 + (d.month() - 1) / 3;
        case TGroupCondition::SemiAnnually:
            return qint64(d.year()) * 2 + (d.month() - 1) / 6;
        case TGroupCondition::Annually:
            return d.year();
        case TGroupCondition::BySecond:
            return dt.toMSecsSinceEpoch() / 1000;
        case TGroupCondition::ByMinute:
            return dt.toMSecsSinceEpoch() / 60000;
        case TGroupCondition::ByHour:
            return dt.toMSecsSinceEpoch() / 3600000;
        case TGroupCondition::ByAMPM:
            return jd * 2 + (dt.time().hour() >= 12 ? 1 : 0);
        default:
            return 0;
        }
    };
    auto breaks = [&](const QVariant &prev, const QVariant &cur, TGroupCondition c) {
        switch (c) {
        case TGroupCondition::AnyValue:
            return CompareValues(prev, cur) != 0;
        case TGroupCondition::ToYes:
            return !ValueIsTrue(prev) && ValueIsTrue(cur);
        case TGroupCondition::ToNo:
            return ValueIsTrue(prev) && !ValueIsTrue(cur);
        case TGroupCondition::EveryYes:
            return ValueIsTrue(prev);
        case TGroupCondition::EveryNo:
            return !ValueIsTrue(prev);
        case TGroupCondition::NextIsYes:
            return ValueIsTrue(cur);
        case TGroupCondition::NextIsNo:
            return !ValueIsTrue(cur);
        default:
            return periodKey(prev, c) != periodKey(cur, c);
        }
    };
    std::vector<QVariant> prev(static_cast<size_t>(groups));
    for (int pos = 0; pos < n; ++pos) {
        const int row = run->rows[size_t(pos)];
        int level = groups;
        for (int g = 0; g < groups; ++g) {
            const QVariant v = data->ValueAt(row, run->groupColumns[size_t(g)]);
            if (pos > 0 && level == groups && breaks(prev[size_t(g)], v, run->conditions[size_t(g)]))
                level = g;
            prev[size_t(g)] = v;
        }
        if (pos > 0)
            run->breakLevel[size_t(pos)] = level;
    }
    return run;
}

const std::vector<int> &TRenderer::LinkedRows(const TReportSection &sub,
                                              TDataSet *data,
                                              const TReportObject &obj,
                                              TEval &parent)
{
    auto keyOf = [](const QVariant &v) {
        if (!v.isValid() || v.isNull())
            return QString();
        if (ValueIsNumber(v))
            return QString::number(v.toDouble(), 'g', 15);
        return ValueToText(v).trimmed().toUpper();
    };
    std::string indexKey = QString::number(quintptr(&sub)).toStdString();
    QStringList subFields;
    for (const auto &l : obj.links)
        subFields << l.subField.toLower();
    indexKey += '|' + subFields.join(u',').toStdString();
    auto it = m_linkIndex.find(indexKey);
    if (it == m_linkIndex.end()) {
        QHash<QString, std::vector<int>> index;
        std::vector<int> cols;
        for (const auto &l : obj.links)
            cols.push_back(data->FieldIndex(l.subField));
        for (int row : m_subOrder.value(&sub)) {
            QStringList parts;
            for (int c : cols)
                parts << keyOf(data->ValueAt(row, c));
            index[parts.join(QChar(0x1F))].push_back(row);
        }
        it = m_linkIndex.emplace(indexKey, std::move(index)).first;
    }
    QStringList parts;
    for (const auto &l : obj.links) {
        TExprNode field;
        field.kind = TExprKind::Field;
        field.name = l.mainField;
        parts << keyOf(parent.FieldValue(field));
    }
    const auto found = it->second.constFind(parts.join(QChar(0x1F)));
    if (found == it->second.constEnd())
        return m_noRows;
    return found.value();
}

void TRenderer::ResolveLateTexts()
{
    const int total = m_doc->PageCount();
    for (int i = 0; i < total; ++i) {
        for (TPrimitive &p : m_doc->pages[size_t(i)].items) {
            if (!p.late)
                continue;
            TEval ev(this, p.late->ctx, i + 1);
            ev.totalPages = total;
            p.text = ObjectText(*p.late->object, ev);
            p.late.reset();
        }
    }
}
std::unique_ptr<TReportDocument> TRenderer::Run()
{
    m_printTime = m_input.printTime.isValid() ? m_input.printTime : QDateTime::currentDateTime();
    m_fileImages = m_input.fileImages;
    BindParameters();
    BindFormulas();

    // Group conditions asked at run time.
    for (const auto &g : m_def.main.groups)
        m_mainConditions.push_back(g.condition);
    std::vector<TSortRequest> extra;
    for (const auto &r : m_input.orderBy) {
        extra.push_back(r);
        if (r.changeCondition) {
            for (size_t i = 0; i < m_def.main.groups.size(); ++i) {
                if (m_def.main.groups[i].field.compare(r.field, Qt::CaseInsensitive) == 0)
                    m_mainConditions[i] = r.condition;
            }
        }
    }

    const QString mainLabel = QStringLiteral("report principale");
    if (m_input.main) {
        m_views.push_back(MakeView(m_input.main, m_def.main, extra, mainLabel));
        m_mainView = m_views.back().get();
    }
    for (const auto &s : m_def.subreports) {
        TDataSet *source = nullptr;
        for (const auto &[name, ds] : m_input.subreports) {
            if (ds && SubreportBaseName(name).compare(s->name, Qt::CaseInsensitive) == 0)
                source = ds;
        }
        // A subreport that walks the rows bound to another name (the children of a tree node
        // under the node's band) reads that data unless the caller bound its own.
        for (const auto &[name, ds] : m_input.subreports) {
            if (!source && ds && !s->dataName.isEmpty()
                && SubreportBaseName(name).compare(s->dataName, Qt::CaseInsensitive) == 0)
                source = ds;
        }
        if (!source)
            continue;
        const QString label = QStringLiteral("sottoreport \"%1\"").arg(s->name);
        m_views.push_back(MakeView(source, *s, {}, label));
        m_subViews.insert(s.get(), m_views.back().get());
        m_subOrder.insert(s.get(), OrderRows(m_views.back().get(), *s));
    }
    CheckFields(m_def.main, m_mainView, mainLabel);
    for (const auto &s : m_def.subreports) {
        CheckFields(*s,
                    m_subViews.value(s.get()),
                    QStringLiteral("sottoreport \"%1\"").arg(s->name));
    }
    CheckLinks();

    // Page geometry.
    m_doc = std::make_unique<TReportDocument>();
    m_doc->title = m_def.title.isEmpty() ? QFileInfo(m_def.fileName).completeBaseName()
                                         : m_def.title;
    m_doc->pageSize = m_def.page.size;
    m_doc->orientation = m_def.page.orientation;
    const QSizeF size = m_def.page.SizeMm();
    m_pageW = MmToDots(size.width());
    m_pageH = MmToDots(size.height());
    m_doc->sizeDots = QSizeF(m_pageW, m_pageH);
    m_left = MmToDots(m_def.page.marginLeft);
    m_top = MmToDots(m_def.page.marginTop);
    m_bodyWidth = m_pageW - m_left - MmToDots(m_def.page.marginRight);
    m_footerReserve = MmToDots(m_def.page.marginBottom);
    for (const TReportBand *b : m_def.main.BandsOf(TBandKind::PageFooter))
        m_footerReserve += MmToDots(b->height);
    for (const TReportBand *b : m_def.main.BandsOf(TBandKind::PageHeader)) {
        const bool always = b->suppress && b->suppress->kind == TExprKind::Literal
                            && ValueIsTrue(b->suppress->literal);
        if (!always)
            m_headerEstimate += MmToDots(b->height);
    }
    if (m_footerReserve + m_top + m_headerEstimate > m_pageH - MmToDots(10))
        Fail(0,
             QString(),
             QStringLiteral("intestazione e piè di pagina non lasciano spazio al corpo della "
                            "pagina"));

    std::vector<int> rows = OrderRows(m_mainView, m_def.main);
    auto mainRun = MakeRun(m_def.main, m_mainView, std::move(rows), mainLabel);
    m_mainRun = mainRun;

    m_doc->pages.emplace_back();
    m_y = m_top;
    m_bodyTop = m_top;
    m_pageHeaderPending = true;
    m_collectors.emplace_back();

    TSnapshot none;
    none.run = m_mainRun;
    RunSection(m_mainRun, m_left, m_bodyWidth, none, 0);
    FlushAcross();
    while (m_collectors.size() > 1)
        PopCollector(false);
    FlushChain(m_collectors.back());
    FinishPage();
    ResolveLateTexts();
    return std::move(m_doc);
}

} // namespace ReportEngineDetail

std::unique_ptr<TReportDocument> RenderReport(const TReportDefinition &definition,
                                              const TReportInput &input)
{
    ReportEngineDetail::TRenderer r(definition, input);
    return r.Run();
}

QVariant ConvertParameter(const TParameterDef &def, const QVariant &value, const QString &file)
{
    auto fail = [&](const QString &what) -> QVariant {
        throw EReportError(QStringLiteral("Report \"%1\": il valore \"%2\" del parametro \"%3\" "
                                          "non è %4")
                               .arg(file, ValueToText(value), def.name, what));
    };
    if (!value.isValid() || value.isNull())
        return QVariant();
    switch (def.type) {
    case TParamType::Text:
        return QVariant(ValueToText(value));
    case TParamType::Number: {
        if (ValueIsNumber(value))
            return QVariant(value.toDouble());
        if (value.typeId() == QMetaType::Bool)
            return QVariant(value.toBool() ? 1.0 : 0.0);
        const QString s = value.toString().trimmed();
        if (s.isEmpty())
            return QVariant();
        bool ok = false;
        const double x = ValueToNumber(QVariant(s), &ok);
        if (!ok)
            return fail(QStringLiteral("un numero"));
        return QVariant(x);
    }
    case TParamType::Boolean: {
        if (value.typeId() == QMetaType::Bool)
            return value;
        if (ValueIsNumber(value))
            return QVariant(value.toDouble() != 0);
        const QString s = value.toString().trimmed().toUpper();
        if (s == u"SI" || s == u"SÌ" || s == u"S" || s == u"1" || s == u"TRUE" || s == u"YES"
            || s == u"T" || s == u"Y")
            return QVariant(true);
        if (s == u"NO" || s == u"N" || s == u"0" || s == u"FALSE" || s == u"F" || s.isEmpty())
            return QVariant(false);
        return fail(QStringLiteral("un valore sì/no"));
    }
    case TParamType::Date: {
        if (value.typeId() == QMetaType::QDate)
            return value;
        if (value.typeId() == QMetaType::QDateTime)
            return QVariant(value.toDateTime().date());
        const QString s = value.toString().trimmed();
        if (s.isEmpty())
            return QVariant();
        QDate d = ParseDateText(s);
        if (!d.isValid())
            d = QDate::fromString(s, Qt::ISODate);
        if (!d.isValid())
            return fail(QStringLiteral("una data (gg/mm/aaaa)"));
        return QVariant(d);
    }
    }
    return value;
}
