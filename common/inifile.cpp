#include "common/inifile.h"

#include <QFile>
#include <QSaveFile>
#include <QStringDecoder>
#include <QStringList>

namespace {

struct TIniText
{
    QStringList lines;
    bool crlf = false;
    bool endsWithBreak = true;
};

// False only when the file exists and cannot be read: writing then would lose its contents.
bool LoadIni(const QString &file, TIniText &ini)
{
    QFile f(file);
    if (!f.exists())
        return true;
    if (!f.open(QIODevice::ReadOnly))
        return false;
    QByteArray bytes = f.readAll();
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes.remove(0, 3);
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString text = utf8.decode(bytes);
    if (utf8.hasError()) // files written by older tools in the Windows code page
        text = QString::fromLatin1(bytes);
    if (text.isEmpty())
        return true;
    ini.crlf = text.contains(QLatin1String("\r\n"));
    ini.endsWithBreak = text.endsWith(u'\n');
    text.remove(u'\r');
    ini.lines = text.split(u'\n');
    if (ini.endsWithBreak)
        ini.lines.removeLast();
    return true;
}

// True for a "[name]" line, with the name.
bool IsSectionLine(const QString &line, QString *name)
{
    const QString t = line.trimmed();
    const qsizetype close = t.indexOf(u']');
    if (!t.startsWith(u'[') || close < 0)
        return false;
    *name = t.mid(1, close - 1).trimmed();
    return true;
}

bool IsComment(const QString &line)
{
    const QString t = line.trimmed();
    return t.startsWith(u';') || t.startsWith(u'#');
}

// For a "key=value" line: the key (trimmed); otherwise a null string.
QString KeyOf(const QString &line)
{
    if (IsComment(line))
        return QString();
    const qsizetype eq = line.indexOf(u'=');
    if (eq < 0)
        return QString();
    return line.left(eq).trimmed();
}

struct TKeyPlace
{
    qsizetype sectionLine = -1; // header line of the section
    qsizetype lastLine = -1;    // last non-blank line of the section
    qsizetype keyLine = -1;     // line of the key
};

TKeyPlace FindKey(const QStringList &lines, const QString &section, const QString &key)
{
    TKeyPlace place;
    bool inSection = false;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString &line = lines.at(i);
        QString name;
        if (IsSectionLine(line, &name)) {
            if (inSection)
                return place; // only the first section of that name counts
            inSection = name.compare(section, Qt::CaseInsensitive) == 0;
            if (inSection) {
                place.sectionLine = i;
                place.lastLine = i;
            }
            continue;
        }
        if (!inSection)
            continue;
        if (!line.trimmed().isEmpty())
            place.lastLine = i;
        if (place.keyLine < 0 && KeyOf(line).compare(key, Qt::CaseInsensitive) == 0
            && !KeyOf(line).isEmpty())
            place.keyLine = i;
    }
    return place;
}

} // namespace

QString IniReadText(const QString &section,
                    const QString &key,
                    const QString &defaultValue,
                    const QString &file)
{
    TIniText ini;
    LoadIni(file, ini);
    const TKeyPlace place = FindKey(ini.lines, section, key);
    if (place.keyLine < 0)
        return defaultValue;
    const QString &line = ini.lines.at(place.keyLine);
    return line.mid(line.indexOf(u'=') + 1).trimmed();
}

bool IniWriteText(const QString &section,
                  const QString &key,
                  const QString &value,
                  const QString &file)
{
    QString clean = value;
    clean.replace(QLatin1String("\r\n"), QLatin1String(" "));
    clean.replace(u'\r', u' ');
    clean.replace(u'\n', u' ');

    TIniText ini;
    if (!LoadIni(file, ini))
        return false;
    const TKeyPlace place = FindKey(ini.lines, section, key);
    if (place.keyLine >= 0) {
        const QString &old = ini.lines.at(place.keyLine);
        ini.lines[place.keyLine] = old.left(old.indexOf(u'=')).trimmed() + u'=' + clean;
    } else if (place.sectionLine >= 0) {
        ini.lines.insert(place.lastLine + 1, key + u'=' + clean);
    } else {
        while (!ini.lines.isEmpty() && ini.lines.last().trimmed().isEmpty())
            ini.lines.removeLast();
        if (!ini.lines.isEmpty())
            ini.lines.append(QString());
        ini.lines.append(u'[' + section + u']');
        ini.lines.append(key + u'=' + clean);
    }

    const QString eol = ini.crlf ? QStringLiteral("\r\n") : QStringLiteral("\n");
    QString text = ini.lines.join(eol);
    text += eol;
    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly))
        return false;
    out.write(text.toUtf8());
    return out.commit();
}

bool IniReadFlag(const QString &section, const QString &key, bool defaultValue, const QString &file)
{
    const QString v = IniReadText(section, key, QLatin1String(kIniAbsent), file);
    if (v.compare(QLatin1String(kIniYes), Qt::CaseInsensitive) == 0)
        return true;
    if (v.compare(QLatin1String(kIniNo), Qt::CaseInsensitive) == 0)
        return false;
    return defaultValue;
}

bool IniWriteFlag(const QString &section, const QString &key, bool value, const QString &file)
{
    return IniWriteText(section, key, QLatin1String(value ? kIniYes : kIniNo), file);
}
