#include "cloud/quotefoldernames.h"

#include "common/inifile.h"

namespace {

QString Padded(const QString &number, int digits)
{
    const QString n = number.trimmed();
    if (n.size() >= digits)
        return n;
    return QString(digits - n.size(), u'0') + n;
}

// Removes the last character, a surrogate pair counting as one.
void ChopOne(QString &s)
{
    if (s.size() >= 2 && s.at(s.size() - 1).isLowSurrogate() && s.at(s.size() - 2).isHighSurrogate())
        s.chop(2);
    else
        s.chop(1);
}

QString Assemble(const QString &numberPart, const QString &customer, const QString &subject)
{
    return numberPart + QStringLiteral(" (") + customer + QStringLiteral(") (") + subject
           + QStringLiteral(")");
}

bool Fits(const QString &name)
{
    return name.size() <= kQuoteFolderNameMaxLength
           && name.toUtf8().size() <= kQuoteFolderNameMaxBytes;
}

// Blanks and dots at the end of a shortened part would end a name badly on some systems.
void TrimEnd(QString &s)
{
    while (!s.isEmpty() && (s.back() == u' ' || s.back() == u'.'))
        s.chop(1);
}

} // namespace

int QuoteFolderDigits(int configured, const QString &number)
{
    int digits = configured;
    if (digits < kQuoteFolderMinDigits || digits > kQuoteFolderMaxDigits)
        digits = kQuoteFolderDefaultDigits;
    return qMax(digits, int(number.trimmed().size()));
}

int ReadQuoteFolderDigits(const QString &userSettingsFile, const QString &number)
{
    const QString section = QStringLiteral("SETTINGS");
    const QString key = QString::fromLatin1(kQuoteFolderDigitsKey);
    const int configured = IniReadText(section,
                                       key,
                                       QString::number(kQuoteFolderDefaultDigits),
                                       userSettingsFile)
                               .toInt();
    const int base = QuoteFolderDigits(configured, QString());
    const int digits = QuoteFolderDigits(configured, number);
    if (digits > base)
        IniWriteText(section, key, QString::number(digits), userSettingsFile);
    return digits;
}

QString QuoteNumberPart(const QString &number, const QString &year, int digits)
{
    return Padded(number, digits) + u'_' + year.trimmed();
}

QString CleanQuoteFolderText(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c.isHighSurrogate()) {
            if (i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
                out += c;
                out += text.at(++i);
            }
            continue; // a broken pair is dropped
        }
        if (c.isLowSurrogate())
            continue;
        switch (c.unicode()) {
        case u'/':
        case u'\\':
        case u'|':
        case u':':
            out += u'-';
            break;
        case u'"':
            out += u'\'';
            break;
        case u'<':
        case u'>':
        case u'?':
        case u'*':
            break;
        default:
            out += (c.unicode() < 0x20 || c.unicode() == 0x7f) ? QChar(u' ') : c;
        }
    }
    return out.simplified();
}

QString QuoteFolderName(const QString &numberPart, const QString &customer, const QString &subject)
{
    QString c = CleanQuoteFolderText(customer);
    QString s = CleanQuoteFolderText(subject);
    QString name = Assemble(numberPart, c, s);
    if (Fits(name))
        return name;
    // Shorten the longer part one character at a time (the subject on a tie).
    while (!Fits(name) && (!c.isEmpty() || !s.isEmpty())) {
        if (s.size() >= c.size())
            ChopOne(s);
        else
            ChopOne(c);
        name = Assemble(numberPart, c, s);
    }
    TrimEnd(c);
    TrimEnd(s);
    return Assemble(numberPart, c, s);
}

QString QuotePdfName(const QString &folderName,
                     const QString &number,
                     const QString &year,
                     int revision)
{
    if (revision < 2)
        return folderName;
    const qsizetype open = folderName.indexOf(QStringLiteral(" ("));
    const qsizetype length = open < 0 ? folderName.size() : open;
    return Padded(number, int(length) - 5) + u'_' + year.trimmed() + QStringLiteral(" Rev. ")
           + QString::number(revision) + folderName.mid(length);
}
