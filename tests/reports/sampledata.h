#pragma once

// Data for Reports/sample_all_features.RPT: an offer of products in three categories, with
// rich-text descriptions, photos and price lists.

#include "reporttesthelpers.h"

#include <QBuffer>
#include <QLinearGradient>
#include <QPainter>

namespace rpt_test {

inline QString SampleReportName()
{
    return qEnvironmentVariable("VENTOREL_SOURCE_DIR", QStringLiteral("."))
           + QStringLiteral("/Reports/sample_all_features");
}

// A photo-like picture: a gradient background and a product-like shape.
inline QByteArray SamplePhoto(int seed, const char *format)
{
    QImage img(480, 360, QImage::Format_RGB32);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient bg(0, 0, 0, 360);
    bg.setColorAt(0, QColor(235, 240, 248));
    bg.setColorAt(1, QColor(190, 200, 215));
    p.fillRect(img.rect(), bg);
    const QColor body = QColor::fromHsv((seed * 47) % 360, 150, 190);
    p.setPen(QPen(body.darker(150), 6));
    p.setBrush(body);
    p.drawRoundedRect(QRectF(120, 90, 240, 180), 30, 30);
    p.setBrush(QColor(250, 250, 250));
    p.drawEllipse(QPointF(240, 180), 55, 55);
    p.setPen(QPen(QColor(60, 60, 60), 14, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(60, 180), QPointF(120, 180));
    p.drawLine(QPointF(360, 180), QPointF(420, 180));
    p.end();
    QByteArray bytes;
    QBuffer buf(&bytes);
    buf.open(QIODevice::WriteOnly);
    img.save(&buf, format, 85);
    return bytes;
}

struct SampleData
{
    std::unique_ptr<TDataSet> lines;
    std::unique_ptr<TDataSet> priceLists;
};

inline SampleData MakeSampleData(int perCategory = 5)
{
    const QStringList categories = {QStringLiteral("Valvole"),
                                    QStringLiteral("Pompe"),
                                    QStringLiteral("Filtri")};
    const QHash<QString, QString> singular = {{QStringLiteral("Valvole"), QStringLiteral("Valvola")},
                                              {QStringLiteral("Pompe"), QStringLiteral("Pompa")},
                                              {QStringLiteral("Filtri"), QStringLiteral("Filtro")}};
    QList<QVariantList> lines;
    QList<QVariantList> lists;
    int id = 0;
    for (const QString &cat : categories) {
        for (int i = 1; i <= perCategory; ++i) {
            ++id;
            const QString code = QStringLiteral("%1-%2").arg(cat.left(3).toUpper()).arg(100 + i);
            const QString rtf
                = QStringLiteral("{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\fnil "
                                 "Liberation Sans;}}{\\colortbl ;\\red30\\green78\\blue150;}"
                                 "\\pard\\f0\\fs18 Corpo in \\b acciaio inox AISI 316\\b0 , "
                                 "guarnizioni in \\i EPDM\\i0 . Pressione massima "
                                 "\\cf1 %1 bar\\cf0 , temperatura da -10 a 120 \\'b0C.\\par"
                                 "{\\pntext\\'b7\\tab}{\\*\\pn\\pnlvlblt\\pnindent0{\\pntxtb\\'b7}}"
                                 "\\fi-360\\li360 Attacchi filettati\\par"
                                 "{\\pntext\\'b7\\tab}Certificazione CE\\par}")
                      .arg(10 + id);
            lines << QVariantList{id,
                                  QStringLiteral("{NODO-%1}").arg(id, 4, 10, QLatin1Char('0')),
                                  cat,
                                  code,
                                  QStringLiteral("%1 serie %2 DN%3")
                                      .arg(singular.value(cat))
                                      .arg(i)
                                      .arg(15 + 5 * i),
                                  rtf,
                                  95.5 * i + id,
                                  i,
                                  i % 3 == 0 ? 10.0 : 0.0,
                                  SamplePhoto(id, i % 2 ? "JPEG" : "PNG"),
                                  i == 2,
                                  QDateTime(QDate(2024, 4, 2 + id), QTime(0, 0))};
            for (int l = 1; l <= (id % 3); ++l) {
                lists << QVariantList{id,
                                      QStringLiteral("Listino %1")
                                          .arg(l == 1 ? QStringLiteral("base")
                                                      : QStringLiteral("rivenditori")),
                                      95.5 * i + id - l * 5};
            }
        }
    }
    SampleData d;
    d.lines = MakeData({QStringLiteral("idProdotto:int"),
                        QStringLiteral("idNodo:text"),
                        QStringLiteral("txCategoria:text"),
                        QStringLiteral("txCodice:text"),
                        QStringLiteral("txDescrizione:text"),
                        QStringLiteral("txRtf:text"),
                        QStringLiteral("nuPrezzo:real"),
                        QStringLiteral("nuQuantita:int"),
                        QStringLiteral("nuSconto:real"),
                        QStringLiteral("imgFoto:blob"),
                        QStringLiteral("flNovita:flag"),
                        QStringLiteral("dtConsegna:date")},
                       lines);
    d.priceLists = MakeData({QStringLiteral("idProdotto:int"),
                             QStringLiteral("txListino:text"),
                             QStringLiteral("nuPrezzo:real")},
                            lists);
    return d;
}

} // namespace rpt_test
