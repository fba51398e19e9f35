#pragma once

// Shared by the benchmarks that start a cluster of their own and generate a large product:
// the quiet offscreen start, the cluster, the generated product.

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <cstdio>

namespace benchsupport {

// The source tree: VENTOREL_SOURCE_DIR, else the one this benchmark was built from.
inline QString sourceDir()
{
    const QString env = qEnvironmentVariable("VENTOREL_SOURCE_DIR");
    if (!env.isEmpty())
        return env;
    // The compiler may name this file relative to the build folder: the build gives the
    // source tree's absolute path instead.
    return QStringLiteral(VENTOREL_BENCH_SOURCE_DIR);
}

inline bool runProcess(const QString &program, const QStringList &args, int timeoutMs)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::ForwardedChannels);
    p.start(program, args);
    return p.waitForFinished(timeoutMs) && p.exitStatus() == QProcess::NormalExit
           && p.exitCode() == 0;
}

// Before the QApplication: the offscreen platform unless another is asked for, and only
// critical and fatal messages on stderr (the offscreen platform's remarks on window sizes
// would bury the results).
inline void QuietOffscreen()
{
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &, const QString &msg) {
        if (type != QtDebugMsg && type != QtInfoMsg && type != QtWarningMsg)
            std::fprintf(stderr, "%s\n", qPrintable(msg));
    });
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
}

// The test cluster named by VENTOREL_TEST_PGSOCKET, or one of the benchmark's own started with
// scripts/testdb.sh in folder (and VENTOREL_TEST_PGSOCKET pointed at it) and stopped when this
// goes.
class TBenchCluster
{
public:
    explicit TBenchCluster(const QString &folder)
    {
        if (!qEnvironmentVariableIsEmpty("VENTOREL_TEST_PGSOCKET"))
            return;
        if (!runProcess(QStringLiteral("bash"),
                        {sourceDir() + "/scripts/testdb.sh", "start", folder},
                        600000)) {
            std::fprintf(stderr, "cannot start the benchmark database cluster\n");
            m_ok = false;
            return;
        }
        m_own = folder;
        qputenv("VENTOREL_TEST_PGSOCKET", (folder + QStringLiteral("/run")).toUtf8());
    }
    ~TBenchCluster()
    {
        if (!m_own.isEmpty())
            runProcess(QStringLiteral("bash"),
                       {sourceDir() + "/scripts/testdb.sh", "stop", m_own},
                       120000);
    }
    TBenchCluster(const TBenchCluster &) = delete;
    TBenchCluster &operator=(const TBenchCluster &) = delete;

    // False when the cluster of its own could not be started.
    bool Ok() const { return m_ok; }

private:
    QString m_own; // the folder of the cluster started here
    bool m_ok = true;
};

// SQL that adds a generated product to the demo data and answers its node count: 2 data
// sheets of 11 items, `paragraphs` paragraphs of 5 sub-paragraphs with 3 texts and a picture
// each, and `tables` tables of 3 items (500 nodes: 12 paragraphs, 41 tables; 300 nodes: 8
// and 17).
inline QString GeneratedProductSql(
    const QString &id, const QString &code, const QString &description, int paragraphs, int tables)
{
    static const char *const kTemplate = R"SQL(
DO $$
DECLARE
    prod varchar := '%1';
    src prodotti;
    sheet varchar; comp varchar; part varchar; tab varchar; img varchar;
    tables int := 0;
    picture bytea;
    preview bytea;
    words text := 'Il quadro è realizzato con lamiere di acciaio zincato, verniciato a polveri '
                  'epossidiche, con porta trasparente e serratura a chiave; le apparecchiature '
                  'sono montate su piastra di fondo regolabile e cablate con conduttori '
                  'non propaganti l''incendio, capicorda preisolati e siglatura alle due estremità.';
BEGIN
    SELECT * INTO src FROM prodotti WHERE flaccessorio = 0 AND fldocumentazione = 0 LIMIT 1;
    SELECT imgimage INTO picture FROM images_dettagli WHERE imgimage IS NOT NULL LIMIT 1;
    SELECT imgpreview INTO preview FROM images_dettagli_preview WHERE imgpreview IS NOT NULL LIMIT 1;
    INSERT INTO prodotti (idprodotto, idimage, txcodprodotto, idfornitore, nuanno, txdescprodotto)
    VALUES (prod, prod, '%2', src.idfornitore, src.nuanno,
            '%3');
    INSERT INTO images_prodotti SELECT prod, imgimage FROM images_prodotti WHERE idimage = src.idprodotto;
    FOR s IN 1..2 LOOP
        sheet := '{' || upper(gen_random_uuid()::text) || '}';
        INSERT INTO prod_schede (idschedaprodotto, idprodotto, nuordinenelprodotto, txdescschedaprodotto)
        VALUES (sheet, prod, s, 'Scheda tecnica ' || s);
        FOR v IN 1..11 LOOP
            INSERT INTO prod_scheda_voci (idvocescheda, idschedaprodotto, nuordinevocescheda, txdescvocescheda)
            VALUES ('{' || upper(gen_random_uuid()::text) || '}', sheet, v, 'Caratteristica ' || s || '.' || v);
        END LOOP;
    END LOOP;
    FOR c IN 1..%4 LOOP
        comp := '{' || upper(gen_random_uuid()::text) || '}';
        INSERT INTO prod_componenti (idcompprodotto, idprodotto, nuordinenelprodotto, txdesccompprodotto)
        VALUES (comp, prod, 2 + c, 'Paragrafo ' || c);
        FOR p IN 1..5 LOOP
            part := '{' || upper(gen_random_uuid()::text) || '}';
            INSERT INTO prod_comp_parti (idpartecomp, idcompprodotto, nuordinepartecomp, txdescpartecomp,
                                         flpartecompimportante)
            VALUES (part, comp, p, 'Sottoparagrafo ' || c || '.' || p, CASE WHEN p = 1 THEN 1 ELSE 0 END);
            FOR t IN 1..3 LOOP
                INSERT INTO prod_comp_parte_txt (idtxtparte, idpartecomp, nuordineparte, txdesctxtpartertf,
                                                 txdesctxtparte, fltestoinelenco)
                VALUES ('{' || upper(gen_random_uuid()::text) || '}', part, t,
                        '{\rtf1\ansi\ansicpg1252\deff0{\fonttbl{\f0\fswiss Arial;}}\viewkind4\uc1\pard\ql\f0\fs26 '
                        || c || '.' || p || '.' || t || ' ' || words || '\par}',
                        c || '.' || p || '.' || t || ' ' || words, CASE WHEN t = 3 THEN 1 ELSE 0 END);
            END LOOP;
            img := '{' || upper(gen_random_uuid()::text) || '}';
            INSERT INTO images_dettagli VALUES (img, picture);
            INSERT INTO images_dettagli_preview VALUES (img, preview);
            INSERT INTO prod_comp_parte_img (idimgparte, idimage, idpartecomp, nuordineparte, txdescimgparte)
            VALUES (img, img, part, 4, 'Figura ' || c || '.' || p);
            IF tables < %5 THEN
                tables := tables + 1;
                tab := '{' || upper(gen_random_uuid()::text) || '}';
                INSERT INTO prod_comp_parte_tab (idtabparte, idpartecomp, nuordineparte, txdesctabparte,
                                                 txdesccolvoce, txdesccolvalore)
                VALUES (tab, part, 5, 'Tabella ' || tables, 'Grandezza', 'Valore');
                FOR i IN 1..3 LOOP
                    INSERT INTO prod_comp_parte_tab_voci (idtabvoce, idtabparte, nuordinevocetab,
                                                          txdesccolvoce, txdesccolvalore)
                    VALUES ('{' || upper(gen_random_uuid()::text) || '}', tab, i, 'Grandezza ' || i,
                            (i * 400) || ' A');
                END LOOP;
            END IF;
        END LOOP;
    END LOOP;
END $$;
SELECT count(*) FROM prodotti_nodi WHERE idprodotto = '%1';
)SQL";
    return QString::fromUtf8(kTemplate).arg(id,
                                            code,
                                            description,
                                            QString::number(paragraphs),
                                            QString::number(tables));
}

} // namespace benchsupport
