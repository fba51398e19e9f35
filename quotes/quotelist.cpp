#include "quotes/quotelist.h"

#include "db/commandtext.h"

#include <QPainter>
#include <QPainterPath>

QPixmap PadlockPixmap()
{
    QPixmap pixmap(16, 14);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    // The shackle, then the body with its keyhole.
    p.setPen(QPen(QColor(0x55, 0x55, 0x55), 1.6));
    p.setBrush(Qt::NoBrush);
    QPainterPath shackle;
    shackle.moveTo(5, 7);
    shackle.lineTo(5, 4.5);
    shackle.arcTo(QRectF(5, 1, 6, 7), 180, -180);
    shackle.lineTo(11, 7);
    p.drawPath(shackle);
    p.setPen(QPen(QColor(0x8A, 0x5A, 0x00), 1));
    p.setBrush(QColor(0xE0, 0xA8, 0x20));
    p.drawRoundedRect(QRectF(3.5, 6.5, 9, 7), 1.5, 1.5);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x5A, 0x3A, 0x00));
    p.drawEllipse(QRectF(7, 8.5, 2, 2));
    p.drawRect(QRectF(7.5, 10, 1, 2));
    return pixmap;
}

TListDefinition QuoteListDefinition(const QString &className, const QString &extractError)
{
    TListDefinition d;
    d.sClassName = className;
    d.sKeyField = QStringLiteral("idPreventivo");
    d.sExtractError = extractError;
    d.sStatusPrefix = QStringLiteral(" N° preventivi: ");
    d.sEmptyText = QStringLiteral(" Nessun preventivo. ");
    auto column = [&d](const char *field, const char *label, int width, bool centred) {
        d.columns.push_back(
            {QString::fromUtf8(field), QString::fromUtf8(label), width, centred, false});
    };
    column("flBloccato", "(B)", 3, true);
    column("txNuPreventivo", "N° preventivo", 20, true);
    column("dtPreventivo", "Data prev.", 14, true);
    column("txDescOggetto", "Descrizione Preventivo", 75, false);
    column("txScadenza", "Scadenza", 20, true);
    column("txCodCliente", "Codice", 11, true);
    column("txDenominazione", "Ragione sociale cliente", 50, false);
    column("txDescMaxOperation", "Ultima operazione", 30, false);
    column("dtMod", "Modificato il", 20, true);
    column("txUtenteMod", "Da", 20, true);
    column("dtIn", "Inserito il", 20, true);
    column("txUtenteIn", "Da", 20, true);
    column("dtCanc", "Eliminato il", 20, true);
    column("txUtenteCanc", "Da", 20, true);
    column("dtBlocco", "Bloccato il", 20, true);
    column("txUtenteBlocco", "Da", 20, true);
    column("dtSblocco", "Sbloccato il", 20, true);
    column("txUtenteSblocco", "Da", 20, true);
    const QStringList centredTitles{QStringLiteral("flBloccato"),
                                    QStringLiteral("txNuPreventivo"),
                                    QStringLiteral("dtPreventivo"),
                                    QStringLiteral("txScadenza"),
                                    QStringLiteral("txCodCliente"),
                                    QStringLiteral("dtIn")};
    for (TListColumn &c : d.columns)
        c.titleCentred = centredTitles.contains(c.field);
    d.listFields = QStringList{QStringLiteral("flBloccato"),
                               QStringLiteral("txNuPreventivo"),
                               QStringLiteral("dtPreventivo"),
                               QStringLiteral("txDescOggetto"),
                               QStringLiteral("txScadenza"),
                               QStringLiteral("txCodCliente"),
                               QStringLiteral("txDenominazione"),
                               QStringLiteral("txDescMaxOperation"),
                               QStringLiteral("dtIn")};
    d.infoFields = QStringList{QStringLiteral("txDescOggetto"),
                               QStringLiteral("txUtenteMod"),
                               QStringLiteral("dtMod"),
                               QStringLiteral("txUtenteIn"),
                               QStringLiteral("dtIn"),
                               QStringLiteral("txUtenteCanc"),
                               QStringLiteral("dtCanc"),
                               QStringLiteral("txUtenteBlocco"),
                               QStringLiteral("dtBlocco"),
                               QStringLiteral("txUtenteSblocco"),
                               QStringLiteral("dtSblocco")};
    d.sInfoTitle = QStringLiteral("Informazioni aggiuntive preventivo selezionato");
    d.iInfoWidth = 500;
    d.iconColumns = {{QStringLiteral("flBloccato"), PadlockPixmap()}};
    d.legends = {{QStringLiteral(" (B) Preventivi bloccati "), clKRTBlack, false}};
    d.developerQueries = QuoteQueries;
    return d;
}

QList<QStringList> QuoteQueries(const QString &idPreventivo)
{
    const QString id = SqlText(idPreventivo);
    return {{QStringLiteral("SELECT a.*"),
             QStringLiteral(" FROM Preventivi a"),
             QStringLiteral(" WHERE a.idPreventivo = ") + id},
            {QStringLiteral("SELECT a.*"),
             QStringLiteral(" FROM Preventivo_Dettaglio a"),
             QStringLiteral(" WHERE a.idPreventivo = ") + id},
            {QStringLiteral("SELECT a.*"),
             QStringLiteral(" FROM Ordini a"),
             QStringLiteral(" INNER JOIN Preventivi b ON (b.idPreventivo = a.idPreventivo)"),
             QStringLiteral(" WHERE b.idPreventivo = ") + id}};
}
