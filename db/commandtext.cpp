#include "db/commandtext.h"

#include "common/formats.h"
#include "db/dbmodule.h"

#include <QDate>
#include <QLocale>
#include <QRegularExpression>

namespace {

const QString kNull = QStringLiteral("null");

} // namespace

QString SqlText(const QString &text)
{
    return SqlQuote(text, true);
}

QString SqlTextOrNull(const QString &text)
{
    return text.isEmpty() ? kNull : SqlText(text);
}

QString SqlContains(const QString &text)
{
    return text.isEmpty() ? kNull : SqlText(u'%' + text + u'%');
}

QString SqlStartsWith(const QString &text)
{
    return text.isEmpty() ? kNull : SqlText(text + u'%');
}

QString SqlFlag(bool flag)
{
    return BoolToSql(flag);
}

QString SqlInteger(qint64 value)
{
    return QString::number(value);
}

QString SqlReal(double value)
{
    return SqlFloat(value);
}

QString SqlRealTyped(const QString &typed)
{
    QString t = typed.trimmed();
    if (t.isEmpty())
        return kNull;
    // Program format: "." groups thousands, "," separates decimals.
    static const QRegularExpression number(
        QStringLiteral("^[+-]?(\\d{1,3}(\\.\\d{3})+|\\d+)(,\\d+)?$"));
    if (!number.match(t).hasMatch())
        throw EDatabaseError(QStringLiteral("Numero non valido: \"%1\".").arg(typed));
    t.remove(u'.');
    t.replace(u',', u'.');
    return SqlReal(t.toDouble());
}

QString SqlDateTyped(const QString &typed)
{
    if (typed.trimmed().isEmpty())
        return kNull;
    const QDate date = ParseDateText(typed);
    if (!date.isValid())
        throw EDatabaseError(QStringLiteral("Data non valida: \"%1\".").arg(typed));
    return u'\'' + date.toString(QStringLiteral("yyyyMMdd")) + u'\'';
}

QString ExecText(const QString &procedure, const QStringList &arguments)
{
    QString text = QStringLiteral("EXEC ") + procedure;
    if (!arguments.isEmpty())
        text += u' ' + arguments.join(QStringLiteral(", "));
    return text;
}

QString PasswordToBase64(const QString &password)
{
    const QString encoded = QString::fromLatin1(password.toLower().toUtf8().toBase64());
    QStringList lines;
    for (qsizetype i = 0; i < encoded.size(); i += 76)
        lines << encoded.mid(i, 76);
    return lines.join(QStringLiteral("\r\n"));
}
