-- Scale data set for the benchmarks, on a database built from database/ without demo data:
-- two companies, 100,000 customers, 20 suppliers with catalogues of two years, 10,000
-- products with their trees (about 55 nodes each) and two price lists each, three links per
-- product, 50,000 quotes with 100,000 lines, 20,000 orders, and one product of 500 nodes
-- (code 'ALBERO-500'). Quote lines carry no tree copy here, except the lines of the first 200
-- quotes: the lists read the lines, not their copies.
--
--   psql -v ON_ERROR_STOP=1 -d DATABASE -f database/scale/genera_scala.sql
--
-- Every value is derived from the row number, so two runs give the same data.

SET client_min_messages = warning;
SET synchronous_commit = off;

BEGIN;

INSERT INTO societa (idsocieta, txdenominazione, txprovincia, txlocalita, dtin) VALUES
    ('{00000000-5CA1-0000-0000-000000000001}', 'Scala Nord S.p.A.', 'MI', 'Milano', now()),
    ('{00000000-5CA1-0000-0000-000000000002}', 'Scala Sud S.r.l.', 'NA', 'Napoli', now());

CREATE TEMP TABLE parole (n integer PRIMARY KEY, w text);
INSERT INTO parole SELECT i, w FROM unnest(ARRAY[
    'Officine', 'Meccanica', 'Impianti', 'Elettrotecnica', 'Costruzioni', 'Automazioni', 'Tecnologie',
    'Servizi', 'Industrie', 'Carpenterie', 'Energia', 'Sistemi', 'Rossi', 'Bianchi', 'Colombo',
    'Ferrari', 'Galli', 'Brambilla', 'Fontana', 'Conti', 'Moretti', 'Marchetti', 'D''Angelo',
    'Lombardi', 'Barbieri', 'Mancini', 'Riva', 'Sala', 'Longhi', 'Valsecchi', 'Pirovano',
    'Cattaneo']) WITH ORDINALITY AS t(w, i);
CREATE FUNCTION pg_temp.parola(i bigint) RETURNS text LANGUAGE sql IMMUTABLE AS
    $$ SELECT w FROM parole WHERE n = 1 + (i % 32) $$;
CREATE FUNCTION pg_temp.gid(tag text, i bigint) RETURNS varchar LANGUAGE sql IMMUTABLE AS
    $$ SELECT '{' || upper(substr(h, 1, 8) || '-' || substr(h, 9, 4) || '-' || substr(h, 13, 4) || '-'
              || substr(h, 17, 4) || '-' || substr(h, 21, 12)) || '}'
         FROM (SELECT md5(tag || ':' || i) AS h) x $$;

-- Customers: 60,000 of the first company, 40,000 of the second.
INSERT INTO clienti (idcliente, idsocieta, txcodcliente, txdenominazione, txpartitaiva, txcodfiscale,
                     flestero, txnazione, txprovincia, txlocalita, txindirizzo, txtelefono, txsmartphone,
                     txutentein, dtin, txutentemod, dtmod, txutentecanc, dtcanc)
SELECT pg_temp.gid('cli', i), CASE WHEN i <= 60000 THEN '{00000000-5CA1-0000-0000-000000000001}'
                                   ELSE '{00000000-5CA1-0000-0000-000000000002}' END,
       'C' || lpad((CASE WHEN i <= 60000 THEN i ELSE i - 60000 END)::text, 5, '0'),
       pg_temp.parola(i * 7) || ' ' || pg_temp.parola(i * 13 + 5) || ' ' || pg_temp.parola(i / 32) || ' '
           || (ARRAY['S.r.l.', 'S.p.A.', 'S.n.c.', 'S.a.s.'])[1 + i % 4],
       lpad((i * 7919 % 100000000000)::text, 11, '0'), lpad((i * 7919 % 100000000000)::text, 11, '0'),
       CASE WHEN i % 50 = 0 THEN 1 ELSE 0 END, CASE WHEN i % 50 = 0 THEN 'Svizzera' ELSE 'Italia' END,
       CASE WHEN i % 50 = 0 THEN NULL ELSE pr.a[1 + i % 107] END,
       'Località ' || (i % 900), 'Via ' || pg_temp.parola(i) || ' ' || (i % 200), '02 ' || (1000000 + i),
       '333 ' || (2000000 + i), 'SCALA', now() - (i % 1500) * interval '1 day',
       CASE WHEN i % 3 = 0 THEN 'SCALA' END, CASE WHEN i % 3 = 0 THEN now() - (i % 700) * interval '1 day' END,
       CASE WHEN i % 40 = 0 THEN 'SCALA' END, CASE WHEN i % 40 = 0 THEN now() - interval '10 days' END
  FROM generate_series(1, 100000) i, (SELECT array_agg(txcodprovincia ORDER BY 1) AS a FROM province) pr;

-- Suppliers and catalogues.
INSERT INTO fornitori (idfornitore, txfornitore, txdescfornitore, fldefault, dtin)
SELECT pg_temp.gid('forn', i), 'FORN' || lpad(i::text, 2, '0'), 'Fornitore ' || pg_temp.parola(i), 0, now()
  FROM generate_series(1, 20) i;
INSERT INTO fornitori_cataloghi (idcatalogo, idfornitore, nuanno, txdesccatalogo, flattuale)
SELECT pg_temp.gid('cat', i * 10 + k), pg_temp.gid('forn', i),
       extract(year FROM current_date)::integer - k, 'Catalogo', 1 - k
  FROM generate_series(1, 20) i, generate_series(0, 1) k;

-- Products: one in ten accessory, one in fifty documentation, one in a hundred inactive.
INSERT INTO prodotti (idprodotto, idimage, txcodprodotto, idfornitore, nuanno, txdescprodotto,
                      flprodottoattivo, flaccessorio, fldocumentazione, txutentein, dtin, txutentemod, dtmod)
SELECT pg_temp.gid('prod', i), pg_temp.gid('prod', i), 'P' || lpad(i::text, 6, '0'),
       pg_temp.gid('forn', 1 + i % 20), extract(year FROM current_date)::integer - (i % 5 = 0)::integer,
       upper(pg_temp.parola(i * 3) || ' ' || pg_temp.parola(i * 11 + 1) || ' MODELLO ' || i),
       CASE WHEN i % 100 = 0 THEN 0 ELSE 1 END, CASE WHEN i % 10 = 1 THEN 1 ELSE 0 END,
       CASE WHEN i % 50 = 2 THEN 1 ELSE 0 END, 'SCALA', now() - (i % 900) * interval '1 day',
       'SCALA', now() - (i % 300) * interval '1 day'
  FROM generate_series(1, 10000) i;
INSERT INTO images_prodotti (idimage, imgimage)
SELECT idprodotto, CASE WHEN right(txcodprodotto, 1) <> '7' THEN '\x89504e470d0a1a0a'::bytea END FROM prodotti;
INSERT INTO images_prodotti_preview (idimage, imgpreview) SELECT idimage, imgimage FROM images_prodotti;

-- Trees: two data sheets of eight items; four paragraphs of two sub-paragraphs, each with three
-- texts, or two texts and an image, and one table of three items in the first paragraph.
INSERT INTO prod_schede (idschedaprodotto, idprodotto, nuordinenelprodotto, txdescschedaprodotto)
SELECT pg_temp.gid('sch', p * 10 + s), pg_temp.gid('prod', p), s, 'Scheda ' || s
  FROM generate_series(1, 10000) p, generate_series(1, 2) s;
INSERT INTO prod_scheda_voci (idvocescheda, idschedaprodotto, nuordinevocescheda, txdescvocescheda)
SELECT pg_temp.gid('voce', (p * 10 + s) * 10 + v), pg_temp.gid('sch', p * 10 + s), v, 'Voce ' || v
  FROM generate_series(1, 10000) p, generate_series(1, 2) s, generate_series(1, 8) v;
INSERT INTO prod_componenti (idcompprodotto, idprodotto, nuordinenelprodotto, txdesccompprodotto)
SELECT pg_temp.gid('comp', p * 10 + c), pg_temp.gid('prod', p), 2 + c, 'Paragrafo ' || c
  FROM generate_series(1, 10000) p, generate_series(1, 4) c;
INSERT INTO prod_comp_parti (idpartecomp, idcompprodotto, nuordinepartecomp, txdescpartecomp, nuquantitaparte)
SELECT pg_temp.gid('parte', (p * 10 + c) * 10 + s), pg_temp.gid('comp', p * 10 + c), s, 'Sottoparagrafo ' || s,
       CASE WHEN s = 1 THEN c END
  FROM generate_series(1, 10000) p, generate_series(1, 4) c, generate_series(1, 2) s;
INSERT INTO prod_comp_parte_txt (idtxtparte, idpartecomp, nuordineparte, txdesctxtpartertf, txdesctxtparte)
SELECT pg_temp.gid('txt', ((p * 10 + c) * 10 + s) * 10 + t), pg_temp.gid('parte', (p * 10 + c) * 10 + s), t,
       '{\rtf1\ansi\f0\fs26 Testo descrittivo ' || t || ' del sottoparagrafo.\par}',
       'Testo descrittivo ' || t || ' del sottoparagrafo.'
  FROM generate_series(1, 10000) p, generate_series(1, 4) c, generate_series(1, 2) s, generate_series(1, 3) t
 WHERE NOT (c = 2 AND s = 2 AND t = 3);
INSERT INTO images_dettagli (idimage, imgimage)
SELECT pg_temp.gid('img', p), '\x89504e470d0a1a0a'::bytea FROM generate_series(1, 10000) p;
INSERT INTO images_dettagli_preview (idimage, imgpreview)
SELECT pg_temp.gid('img', p), '\x89504e470d0a1a0a'::bytea FROM generate_series(1, 10000) p;
INSERT INTO prod_comp_parte_img (idimgparte, idimage, idpartecomp, nuordineparte, txdescimgparte)
SELECT pg_temp.gid('img', p), pg_temp.gid('img', p), pg_temp.gid('parte', (p * 10 + 2) * 10 + 2), 3, 'Immagine'
  FROM generate_series(1, 10000) p;
INSERT INTO prod_comp_parte_tab (idtabparte, idpartecomp, nuordineparte, txdesctabparte, txdesccolvoce, txdesccolvalore)
SELECT pg_temp.gid('tab', p), pg_temp.gid('parte', (p * 10 + 1) * 10 + 1), 4, 'Tabella', 'Voce', 'Valore'
  FROM generate_series(1, 10000) p;
INSERT INTO prod_comp_parte_tab_voci (idtabvoce, idtabparte, nuordinevocetab, txdesccolvoce, txdesccolvalore)
SELECT pg_temp.gid('tabv', p * 10 + v), pg_temp.gid('tab', p), v, 'Voce ' || v, 'Valore ' || v
  FROM generate_series(1, 10000) p, generate_series(1, 3) v;

-- The product of 500 nodes: 10 paragraphs of 7 sub-paragraphs with 6 texts each.
INSERT INTO prodotti (idprodotto, idimage, txcodprodotto, txdescprodotto, txutentein, dtin)
VALUES ('{00000000-5CA1-0000-0000-000000000500}', '{00000000-5CA1-0000-0000-000000000500}', 'ALBERO-500',
        'PRODOTTO CON ALBERO DI 500 NODI', 'SCALA', now());
INSERT INTO prod_componenti (idcompprodotto, idprodotto, nuordinenelprodotto, txdesccompprodotto)
SELECT pg_temp.gid('c500', c), '{00000000-5CA1-0000-0000-000000000500}', c, 'Paragrafo ' || c
  FROM generate_series(1, 10) c;
INSERT INTO prod_comp_parti (idpartecomp, idcompprodotto, nuordinepartecomp, txdescpartecomp)
SELECT pg_temp.gid('p500', c * 10 + s), pg_temp.gid('c500', c), s, 'Sottoparagrafo ' || s
  FROM generate_series(1, 10) c, generate_series(1, 7) s;
INSERT INTO prod_comp_parte_txt (idtxtparte, idpartecomp, nuordineparte, txdesctxtpartertf, txdesctxtparte)
SELECT pg_temp.gid('t500', (c * 10 + s) * 10 + t), pg_temp.gid('p500', c * 10 + s), t,
       '{\rtf1\ansi\f0\fs26 Testo ' || t || ' con una descrizione di lunghezza normale per un paragrafo tecnico.\par}',
       'Testo ' || t || ' con una descrizione di lunghezza normale per un paragrafo tecnico.'
  FROM generate_series(1, 10) c, generate_series(1, 7) s, generate_series(1, 6) t;
INSERT INTO prod_listini (idprodlistino, idprodotto, txcodlistino, txdesclistino, vllistino)
VALUES ('{00000000-5CA1-0000-0000-000000000501}', '{00000000-5CA1-0000-0000-000000000500}', 'L500', 'Listino', 1000);

-- Price lists: two per product, with values and a quantity.
INSERT INTO prod_listini (idprodlistino, idprodotto, txcodlistino, txdesclistino, vllistino, numaxpercsconto,
                          txutentein, dtin)
SELECT pg_temp.gid('list', p * 10 + l), pg_temp.gid('prod', p), 'L' || l || '-' || p,
       (ARRAY['Esecuzione base', 'Esecuzione rinforzata'])[l], 1000 + (p % 97) * 37 + l * 250,
       CASE WHEN l = 1 THEN 10 END, 'SCALA', now() - (p % 400) * interval '1 day'
  FROM generate_series(1, 10000) p, generate_series(1, 2) l;
INSERT INTO prod_list_scheda_valori (idprodlistino, idschedaprodotto, idvocescheda, txvalorevocescheda)
SELECT pg_temp.gid('list', p * 10 + l), pg_temp.gid('sch', p * 10 + 1), pg_temp.gid('voce', (p * 10 + 1) * 10 + v),
       'Valore ' || l || '.' || v
  FROM generate_series(1, 10000) p, generate_series(1, 2) l, generate_series(1, 3) v;
INSERT INTO prod_list_parte_quantita (idprodlistino, idpartecomp, nuquantitaparte)
SELECT pg_temp.gid('list', p * 10 + l), pg_temp.gid('parte', (p * 10 + 1) * 10 + 1), 2 + l
  FROM generate_series(1, 10000) p, generate_series(1, 2) l;

-- Links: each product proposes three accessories.
INSERT INTO prod_collegati (idprodotto, idprodcollegato, nuordinecollegamento, flaccessorio, nuquantita)
SELECT pg_temp.gid('prod', p), pg_temp.gid('prod', 10 * ((p + k * 37) % 1000) + 1), k, 1, 1
  FROM generate_series(1, 10000) p, generate_series(1, 3) k
 WHERE p <> 10 * ((p + k * 37) % 1000) + 1
ON CONFLICT DO NOTHING;

-- Quotes: 50,000 over the last two years, per company numbered from 1 in each year.
INSERT INTO preventivi (idpreventivo, idsocieta, idcliente, nuannopreventivo, nupreventivo, nurevisione,
                        dtpreventivo, txdescoggetto, flscadenzafissa, nuggscaddalblocco, dtscadenza, flbloccato,
                        dtblocco, txutenteblocco, txutentein, dtin, txutentemod, dtmod, txutentecanc, dtcanc)
SELECT pg_temp.gid('prev', i), soc, cli, extract(year FROM giorno)::integer,
       row_number() OVER (PARTITION BY soc, extract(year FROM giorno) ORDER BY giorno, i), 1, giorno,
       'Offerta ' || pg_temp.parola(i) || ' ' || pg_temp.parola(i * 5) || ' n. ' || i, 0, 30,
       CASE WHEN i % 10 < 7 THEN giorno + interval '32 days' END, CASE WHEN i % 10 < 7 THEN 1 ELSE 0 END,
       CASE WHEN i % 10 < 7 THEN giorno + interval '2 days' END, CASE WHEN i % 10 < 7 THEN 'SCALA' END,
       'SCALA', giorno, CASE WHEN i % 4 = 0 THEN 'SCALA' END, CASE WHEN i % 4 = 0 THEN giorno + interval '1 day' END,
       CASE WHEN i % 25 = 0 AND i % 10 >= 7 THEN 'SCALA' END,
       CASE WHEN i % 25 = 0 AND i % 10 >= 7 THEN giorno + interval '5 days' END
  FROM (SELECT i, CASE WHEN i % 5 < 3 THEN '{00000000-5CA1-0000-0000-000000000001}'
                       ELSE '{00000000-5CA1-0000-0000-000000000002}' END AS soc,
               CASE WHEN i % 5 < 3 THEN pg_temp.gid('cli', 1 + (i * 17) % 60000)
                    ELSE pg_temp.gid('cli', 60001 + (i * 13) % 40000) END AS cli,
               (current_date - (i % 730))::timestamp AS giorno
          FROM generate_series(1, 50000) i) x;
INSERT INTO preventivo_dettaglio (idpreventivodet, idpreventivo, idprodotto, nuordinamento, idprodlistino,
                                  txcodlistino, txdesclistino, vlimporto, vllistino, nuquantita, flaccessorio,
                                  txutentein, dtin)
SELECT pg_temp.gid('riga', i * 10 + r), pg_temp.gid('prev', i), pg_temp.gid('prod', p), r,
       pg_temp.gid('list', p * 10 + 1), 'L1-' || p, 'Esecuzione base', 1000 + (p % 97) * 37 + 250,
       1000 + (p % 97) * 37 + 250, 1, CASE WHEN r = 2 THEN 1 ELSE 0 END, 'SCALA',
       -- added on the quote's own day
       (current_date - (i % 730))::timestamp + interval '1 hour'
  FROM generate_series(1, 50000) i, generate_series(1, 2) r,
       LATERAL (SELECT 1 + ((i * 31 + r * 7919) % 10000) AS p) x;
DO $$
BEGIN
    PERFORM vt_copia_prodotto_in_riga(d.idpreventivodet, d.idprodotto)
       FROM preventivo_dettaglio d
      WHERE d.idpreventivo IN (SELECT pg_temp.gid('prev', i) FROM generate_series(1, 200) i);
END $$;

-- Orders from the first 20,000 blocked quotes (of about 35,000).
INSERT INTO ordini (idordine, idpreventivo, idsocieta, idcliente, nuannoordine, nuordine, nurevisione, txdescordine,
                    dtordine, txcodpagamento, flfirmato, txutentein, dtin)
SELECT pg_temp.gid('ord', rn), q.idpreventivo, q.idsocieta, q.idcliente, extract(year FROM q.dtpreventivo)::integer,
       row_number() OVER (PARTITION BY q.idsocieta, extract(year FROM q.dtpreventivo) ORDER BY q.dtpreventivo, rn),
       1, q.txdescoggetto, q.dtpreventivo + interval '3 days', 'BB30', (rn % 2)::smallint, 'SCALA',
       q.dtpreventivo + interval '3 days'
  FROM (SELECT p.*, row_number() OVER (ORDER BY p.idpreventivo) AS rn FROM preventivi p WHERE p.flbloccato = 1) q
 WHERE q.rn <= 20000;

-- Counters follow the numbers given here.
INSERT INTO contatori (txserie, nuultimo)
SELECT 'CLIENTI:' || idsocieta, count(*) FROM clienti GROUP BY idsocieta
UNION ALL
SELECT 'PREVENTIVI:' || idsocieta || ':' || nuannopreventivo, max(nupreventivo) FROM preventivi
 GROUP BY idsocieta, nuannopreventivo
UNION ALL
SELECT 'ORDINI:' || idsocieta || ':' || nuannoordine, max(nuordine) FROM ordini GROUP BY idsocieta, nuannoordine
ON CONFLICT (txserie) DO UPDATE SET nuultimo = excluded.nuultimo;

COMMIT;

ANALYZE;
