#include "common/texts.h"

#include <QDebug>
#include <QUuid>

#ifndef VENTOREL_VERSION_MAJOR
#define VENTOREL_VERSION_MAJOR 0
#endif
#ifndef VENTOREL_VERSION_MINOR
#define VENTOREL_VERSION_MINOR 0
#endif

QString TextBefore(const QString &text, const QString &mark)
{
    if (mark.isEmpty())
        return text;
    const qsizetype pos = text.indexOf(mark);
    return pos < 0 ? text : text.left(pos);
}

int CountOccurrences(const QString &text, const QString &part)
{
    if (part.isEmpty())
        return 0;
    int n = 0;
    qsizetype pos = text.indexOf(part);
    while (pos >= 0) {
        ++n;
        pos = text.indexOf(part, pos + part.size());
    }
    return n;
}

QString CollapseSpaces(const QString &text)
{
    QString out;
    out.reserve(text.size());
    bool previousBlank = false;
    for (const QChar c : text) {
        const bool blank = c == u' ';
        if (!(blank && previousBlank))
            out += c;
        previousBlank = blank;
    }
    return out;
}

QString RepeatText(const QString &text, int n)
{
    return n > 0 ? text.repeated(n) : QString();
}

QString LeftText(const QString &text, int count)
{
    return count > 0 ? text.left(count) : QString();
}

QString MidText(const QString &text, int start, int count)
{
    if (start < 0 || start >= text.size() || count == 0)
        return QString();
    return count < 0 ? text.mid(start) : text.mid(start, count);
}

QString RightText(const QString &text, int count)
{
    return count > 0 ? text.right(count) : QString();
}

bool IsIntegerText(const QString &text)
{
    qsizetype i = 0;
    if (i < text.size() && (text.at(i) == u'+' || text.at(i) == u'-'))
        ++i;
    if (i == text.size())
        return false;
    for (qsizetype j = i; j < text.size(); ++j) {
        if (text.at(j) < u'0' || text.at(j) > u'9')
            return false;
    }
    bool ok = false;
    text.toLongLong(&ok);
    return ok;
}

bool IsNumberText(const QString &text)
{
    for (const QChar c : text) {
        if (!((c >= u'0' && c <= u'9') || c == u'+' || c == u'-' || c == u'.'))
            return false;
    }
    return true;
}

bool IsDigitsText(const QString &text)
{
    for (const QChar c : text) {
        if (c < u'0' || c > u'9')
            return false;
    }
    return true;
}

bool TextInList(const QString &text, const QStringList &list)
{
    return list.contains(text, Qt::CaseInsensitive);
}

QString NewGuidText()
{
    return QUuid::createUuid().toString(QUuid::WithBraces).toUpper();
}

QString ProgramVersionText()
{
    return QString::asprintf("%d.%d", VENTOREL_VERSION_MAJOR, VENTOREL_VERSION_MINOR);
}

void DebugTrace(const QString &text)
{
    qDebug().noquote() << text;
}
