-- Quote layouts: the layouts of a company, the three procedures that feed the quote document
-- (main rows, cover, totals) and the print options of the layout tree.

DO $$ BEGIN PERFORM vt_drop_funzioni(ARRAY['estrailayouts', 'estrailayoutprevmain',
    'estrailayoutprevcover', 'estrailayoutprevtotali', 'changeparteunita',
    'changesaltopaginanodo', 'vt_misura', 'vt_layout', 'vt_riga_layout']); END $$;

-- A picture box of a layout in millimetres, or its default.
CREATE FUNCTION vt_misura(p_misure jsonb, p_gruppo text, p_nome text) RETURNS numeric
LANGUAGE sql IMMUTABLE AS $$
    SELECT coalesce((p_misure -> p_gruppo ->> p_nome)::numeric,
                    CASE p_gruppo
                    WHEN 'copertina' THEN CASE p_nome WHEN 'WidthS' THEN 100 WHEN 'HeightS' THEN 100
                                                      WHEN 'WidthH' THEN 120 WHEN 'HeightH' THEN 80
                                                      WHEN 'WidthHP' THEN 160 WHEN 'HeightHP' THEN 80
                                                      WHEN 'WidthV' THEN 80 WHEN 'HeightV' THEN 120
                                                      WHEN 'WidthVP' THEN 80 WHEN 'HeightVP' THEN 160 END
                    WHEN 'immagini' THEN CASE p_nome WHEN 'WidthS' THEN 50 WHEN 'HeightS' THEN 50
                                                     WHEN 'WidthH' THEN 60 WHEN 'HeightH' THEN 40
                                                     WHEN 'WidthHP' THEN 80 WHEN 'HeightHP' THEN 40
                                                     WHEN 'WidthV' THEN 40 WHEN 'HeightV' THEN 60
                                                     WHEN 'WidthVP' THEN 40 WHEN 'HeightVP' THEN 80 END
                    ELSE CASE p_nome WHEN 'WidthS' THEN 30 WHEN 'HeightS' THEN 30
                                     WHEN 'WidthH' THEN 50 WHEN 'HeightH' THEN 25
                                     WHEN 'WidthHP' THEN 70 WHEN 'HeightHP' THEN 20
                                     WHEN 'WidthV' THEN 25 WHEN 'HeightV' THEN 40
                                     WHEN 'WidthVP' THEN 20 WHEN 'HeightVP' THEN 50 END
                    END)
$$;

-- The boxes of a layout code ('{}' for an unknown code: the defaults).
CREATE FUNCTION vt_layout(p_codice text) RETURNS jsonb
LANGUAGE sql STABLE AS $$
    SELECT coalesce((SELECT l.jsmisure FROM layout l WHERE l.txcodlayout = p_codice), '{}'::jsonb)
$$;

CREATE FUNCTION estrailayouts(p_idsocieta text)
RETURNS TABLE (idlayout varchar, txcodlayout varchar, txdesclayout varchar, txnomereport varchar,
               txnomereportedit varchar, txnomestoremain varchar, txnomestorecover varchar,
               txnomestoretotali varchar, imglayout bytea)
LANGUAGE plpgsql STABLE SECURITY DEFINER SET search_path = public, pg_temp SET jit = off AS $$
BEGIN
    PERFORM vt_sessione();
    PERFORM 1 FROM societa s WHERE s.idsocieta = vt_controlla_id(p_idsocieta, 'della società');
    IF NOT FOUND THEN
        RAISE EXCEPTION 'Società non trovata (%).', p_idsocieta USING ERRCODE = 'P0002';
    END IF;
    RETURN QUERY
    SELECT l.idlayout, l.txcodlayout, l.txdesclayout, l.txnomereport, l.txnomereportedit,
           l.txnomestoremain, l.txnomestorecover, l.txnomestoretotali, i.imgimage
      FROM societa_layout sl
      JOIN layout l ON l.idlayout = sl.idlayout
      LEFT JOIN images_layout i ON i.idimage = l.idimage
     WHERE sl.idsocieta = p_idsocieta AND l.dtcanc IS NULL
     ORDER BY sl.nuordine, l.txdesclayout;
END $$;

-- Rows of the quote document in print order (nuOrderLayout): for every line visible in print
-- (documentation printed at the end last) a kind-5 row, then its data sheets (10) with their
-- items (20), paragraphs (30), sub-paragraphs (40, or 61 when they hold images, with up to
-- three of them) and their contents (50 text, 60 image, 70 web link, 80 table, 90 table
-- item); disabled nodes and everything below them are left out. A closing row (9990) ends
-- the main section. Columns the program fills in memory are there, empty.
-- Every step works on the quote's own nodes at once: the nodes are read once, the switched-off
-- subtrees found by one descent, and the pictures carried as ids until the final rows, which
-- read each picture once (a picture carried through the sorts and joins, or aggregated, is
-- copied at every step). work_mem keeps the pictures of a large quote out of temporary files.
CREATE FUNCTION estrailayoutprevmain(p_idpreventivo text, p_codlayout text)
RETURNS TABLE (idpreventivodet varchar, idnodo varchar, idparent varchar, idsezione varchar,
               nutipologia integer, nuorderlayout integer, txdescnodo text, txdescnodob text,
               txdescnodoc text, txtestortf text, txurl varchar, nuquantitaparte integer,
               flpartecompunita smallint, flnewpagebefore smallint, flprodottovisible smallint,
               flcopertinavisible smallint, okimportiprodotti smallint, nuordinamento integer,
               txcodprodotto varchar, txdescprodotto varchar, txdesclistino varchar,
               nuquantita numeric, vlimporto numeric, vllistino numeric, flaccessorio smallint,
               flservizio smallint, fldocumentazione smallint, fldocinfondo smallint,
               imgnodo bytea, imgnodo1 bytea, imgnodo2 bytea,
               imgwidths numeric, imgheights numeric, imgwidthh numeric, imgheighth numeric,
               imgwidthhp numeric, imgheighthp numeric, imgwidthv numeric, imgheightv numeric,
               imgwidthvp numeric, imgheightvp numeric,
               flpanorama smallint, flsquare smallint, flhorizontal smallint, flvertical smallint,
               flpanorama1 smallint, flsquare1 smallint, flhorizontal1 smallint,
               flvertical1 smallint, flpanorama2 smallint, flsquare2 smallint,
               flhorizontal2 smallint, flvertical2 smallint,
               txdescsocieta text, txpiedereport text, imglogo bytea,
               imglogowidths numeric, imglogoheights numeric, imglogowidthh numeric,
               imglogoheighth numeric, imglogowidthhp numeric, imglogoheighthp numeric,
               imglogowidthv numeric, imglogoheightv numeric, imglogowidthvp numeric,
               imglogoheightvp numeric, fllogopanorama smallint, fllogosquare smallint,
               fllogohorizontal smallint, fllogovertical smallint)
LANGUAGE plpgsql STABLE SECURITY DEFINER SET search_path = public, pg_temp SET jit = off
    SET work_mem = '64MB' AS $$
DECLARE
    m jsonb := vt_layout(p_codlayout);
    ok smallint;
BEGIN
    PERFORM vt_sessione();
    PERFORM 1 FROM preventivi q WHERE q.idpreventivo = vt_controlla_id(p_idpreventivo, 'del preventivo');
    IF NOT FOUND THEN
        RAISE EXCEPTION 'Preventivo non trovato (%).', p_idpreventivo USING ERRCODE = 'P0002';
    END IF;
    SELECT CASE WHEN bool_and(d.vlimporto IS NOT NULL) IS NOT FALSE THEN 1 ELSE 0 END
      INTO ok
      FROM preventivo_dettaglio d JOIN prodotti p ON p.idprodotto = d.idprodotto
     WHERE d.idpreventivo = p_idpreventivo AND d.flprodottoattivo = 1 AND d.flservizio = 0
       AND p.fldocumentazione = 0;
    RETURN QUERY
    WITH righe AS MATERIALIZED (
        SELECT d.*, p.txcodprodotto, p.txdescprodotto, p.fldocumentazione,
               row_number() OVER (ORDER BY CASE WHEN p.fldocumentazione = 1 AND d.fldocinfondo = 1
                                                THEN 1 ELSE 0 END, d.nuordinamento) AS ordine
          FROM preventivo_dettaglio d JOIN prodotti p ON p.idprodotto = d.idprodotto
         WHERE d.idpreventivo = p_idpreventivo AND d.flprodottoattivo = 1),
    -- Every node of those lines, read once through the lines' key.
    albero AS MATERIALIZED (
        SELECT n.idpreventivodet, n.idnodo, n.idparent, n.idsezione, n.nutipologia, n.nuordera,
               n.nuorderb, n.nuorderc, n.nuorderd, n.txdescnodo, n.txdescnodob, n.txdescnodoc,
               n.txtestortf, n.txurl, n.nuquantita, n.flattivo, n.flunita, n.flnewpagebefore,
               n.idimage, r.ordine
          FROM righe r JOIN prevdet_nodi n ON n.idpreventivodet = r.idpreventivodet),
    -- Nodes switched off and what lies up to three levels below them: left out.
    spenti AS MATERIALIZED (
        WITH RECURSIVE sotto (idpreventivodet, idnodo, livello) AS (
            SELECT a.idpreventivodet, a.idnodo, 0 FROM albero a WHERE a.flattivo <> 1
            UNION ALL
            SELECT c.idpreventivodet, c.idnodo, s.livello + 1
              FROM sotto s JOIN albero c ON c.idpreventivodet = s.idpreventivodet AND c.idparent = s.idnodo
             WHERE s.livello < 3)
        SELECT DISTINCT s.idpreventivodet, s.idnodo FROM sotto s),
    -- Sub-paragraphs that hold an active picture are printed as text with image (61).
    conimmagine AS MATERIALIZED (
        SELECT DISTINCT i.idpreventivodet, i.idparent FROM albero i
         WHERE i.nutipologia = 60 AND i.flattivo = 1),
    nodi AS MATERIALIZED (
        SELECT n.*,
               CASE WHEN n.nutipologia = 40 AND ci.idparent IS NOT NULL THEN 61
                    ELSE n.nutipologia::integer END AS tipo
          FROM albero n
          LEFT JOIN conimmagine ci ON ci.idpreventivodet = n.idpreventivodet AND ci.idparent = n.idnodo
          LEFT JOIN spenti s ON s.idpreventivodet = n.idpreventivodet AND s.idnodo = n.idnodo
         WHERE n.flattivo = 1 AND s.idnodo IS NULL),
    -- The first three pictures of a sub-paragraph, by id: the pictures themselves are read
    -- once, by the final rows.
    immagini AS MATERIALIZED (
        SELECT i.idpreventivodet, i.idparent,
               (array_agg(i.idimage ORDER BY i.nuorderc))[1] AS id0,
               (array_agg(i.idimage ORDER BY i.nuorderc))[2] AS id1,
               (array_agg(i.idimage ORDER BY i.nuorderc))[3] AS id2
          FROM nodi i
         WHERE i.nutipologia = 60
           AND EXISTS (SELECT 1 FROM images_dettagli im WHERE im.idimage = i.idimage)
         GROUP BY i.idpreventivodet, i.idparent),
    testi AS MATERIALIZED (
        SELECT t.idpreventivodet, t.idparent, string_agg(t.txdescnodo, E'\n' ORDER BY t.nuorderc) AS testo
          FROM nodi t WHERE t.nutipologia = 50
         GROUP BY t.idpreventivodet, t.idparent),
    tutte AS (
        SELECT r.idpreventivodet, r.idpreventivodet AS idnodo, p_idpreventivo::varchar AS idparent,
               r.idpreventivodet AS idsezione, 5 AS tipo, r.ordine, 0 AS a, 0 AS b, 0 AS c, 0 AS d,
               r.txdescprodotto::text AS txdescnodo, NULL::text AS txdescnodob,
               r.txcodprodotto::text AS txdescnodoc, NULL::text AS txtestortf, NULL::varchar AS txurl,
               NULL::integer AS nuquantitaparte, r.flpartecompunita AS unita,
               r.flnewpagebefore AS salto,
               CASE WHEN r.fldocumentazione = 0 AND EXISTS (
                         SELECT 1 FROM images_prodotti ip
                          WHERE ip.idimage = r.idprodotto AND ip.imgimage IS NOT NULL)
                    THEN 1 ELSE 0 END AS copertina,
               r.idprodotto AS id0, NULL::varchar AS id1, NULL::varchar AS id2
          FROM righe r
        UNION ALL
        SELECT n.idpreventivodet, n.idnodo, n.idparent, n.idsezione, n.tipo, n.ordine, n.nuordera,
               n.nuorderb, n.nuorderc, n.nuorderd, n.txdescnodo, n.txdescnodob,
               CASE WHEN n.tipo = 61 THEN coalesce(nullif(btrim(n.txdescnodo), ''), left(te.testo, 200))
                    ELSE n.txdescnodoc END,
               n.txtestortf, n.txurl, n.nuquantita,
               CASE WHEN n.tipo IN (10, 40, 61) THEN n.flunita ELSE 0 END, n.flnewpagebefore, 0,
               CASE WHEN n.tipo = 61 THEN im.id0 WHEN n.tipo = 60 THEN n.idimage END,
               CASE WHEN n.tipo = 61 THEN im.id1 END, CASE WHEN n.tipo = 61 THEN im.id2 END
          FROM nodi n
          LEFT JOIN immagini im ON im.idpreventivodet = n.idpreventivodet AND im.idparent = n.idnodo
          LEFT JOIN testi te ON te.idpreventivodet = n.idpreventivodet AND te.idparent = n.idnodo),
    ordinate AS MATERIALIZED (
        SELECT t.*, row_number() OVER (ORDER BY t.ordine, t.a, t.b, t.c, t.d)::integer AS nuorder
          FROM tutte t)
    SELECT o.idpreventivodet, o.idnodo, o.idparent, o.idsezione, o.tipo, o.nuorder, o.txdescnodo,
           o.txdescnodob, o.txdescnodoc, o.txtestortf, o.txurl, o.nuquantitaparte,
           o.unita::smallint, o.salto::smallint, 1::smallint, o.copertina::smallint, ok,
           r.nuordinamento, r.txcodprodotto, r.txdescprodotto, r.txdesclistino, r.nuquantita,
           r.vlimporto, r.vllistino, r.flaccessorio, r.flservizio, r.fldocumentazione,
           r.fldocinfondo, CASE WHEN o.tipo = 5 THEN ip.imgimage ELSE i0.imgimage END, i1.imgimage,
           i2.imgimage,
           vt_misura(m, g.grp, 'WidthS'), vt_misura(m, g.grp, 'HeightS'),
           vt_misura(m, g.grp, 'WidthH'), vt_misura(m, g.grp, 'HeightH'),
           vt_misura(m, g.grp, 'WidthHP'), vt_misura(m, g.grp, 'HeightHP'),
           vt_misura(m, g.grp, 'WidthV'), vt_misura(m, g.grp, 'HeightV'),
           vt_misura(m, g.grp, 'WidthVP'), vt_misura(m, g.grp, 'HeightVP'),
           0::smallint, 0::smallint, 0::smallint, 0::smallint, 0::smallint, 0::smallint, 0::smallint,
           0::smallint, 0::smallint, 0::smallint, 0::smallint, 0::smallint,
           NULL::text, NULL::text, NULL::bytea,
           vt_misura(m, 'logo', 'WidthS'), vt_misura(m, 'logo', 'HeightS'),
           vt_misura(m, 'logo', 'WidthH'), vt_misura(m, 'logo', 'HeightH'),
           vt_misura(m, 'logo', 'WidthHP'), vt_misura(m, 'logo', 'HeightHP'),
           vt_misura(m, 'logo', 'WidthV'), vt_misura(m, 'logo', 'HeightV'),
           vt_misura(m, 'logo', 'WidthVP'), vt_misura(m, 'logo', 'HeightVP'),
           0::smallint, 0::smallint, 0::smallint, 0::smallint
      FROM ordinate o
      JOIN righe r ON r.idpreventivodet = o.idpreventivodet
      LEFT JOIN images_prodotti ip ON o.tipo = 5 AND ip.idimage = o.id0
      LEFT JOIN images_dettagli i0 ON o.tipo <> 5 AND i0.idimage = o.id0
      LEFT JOIN images_dettagli i1 ON i1.idimage = o.id1
      LEFT JOIN images_dettagli i2 ON i2.idimage = o.id2
      CROSS JOIN LATERAL (SELECT CASE WHEN o.tipo = 5 THEN 'copertina' ELSE 'immagini' END AS grp) g
    UNION ALL
    SELECT p_idpreventivo::varchar, 'FINE'::varchar, p_idpreventivo::varchar, p_idpreventivo::varchar,
           9990, (SELECT count(*)::integer + 1 FROM righe r2) + (SELECT count(*)::integer FROM nodi),
           NULL::text, NULL::text, NULL::text, NULL::text, NULL::varchar, NULL::integer,
           0::smallint, 0::smallint, 1::smallint, 0::smallint, ok, NULL::integer, NULL::varchar,
           NULL::varchar, NULL::varchar, NULL::numeric, NULL::numeric, NULL::numeric, 0::smallint,
           0::smallint, 0::smallint, 0::smallint, NULL::bytea, NULL::bytea, NULL::bytea,
           vt_misura(m, 'immagini', 'WidthS'), vt_misura(m, 'immagini', 'HeightS'),
           vt_misura(m, 'immagini', 'WidthH'), vt_misura(m, 'immagini', 'HeightH'),
           vt_misura(m, 'immagini', 'WidthHP'), vt_misura(m, 'immagini', 'HeightHP'),
           vt_misura(m, 'immagini', 'WidthV'), vt_misura(m, 'immagini', 'HeightV'),
           vt_misura(m, 'immagini', 'WidthVP'), vt_misura(m, 'immagini', 'HeightVP'),
           0::smallint, 0::smallint, 0::smallint, 0::smallint, 0::smallint, 0::smallint, 0::smallint,
           0::smallint, 0::smallint, 0::smallint, 0::smallint, 0::smallint,
           NULL::text, NULL::text, NULL::bytea,
           vt_misura(m, 'logo', 'WidthS'), vt_misura(m, 'logo', 'HeightS'),
           vt_misura(m, 'logo', 'WidthH'), vt_misura(m, 'logo', 'HeightH'),
           vt_misura(m, 'logo', 'WidthHP'), vt_misura(m, 'logo', 'HeightHP'),
           vt_misura(m, 'logo', 'WidthV'), vt_misura(m, 'logo', 'HeightV'),
           vt_misura(m, 'logo', 'WidthVP'), vt_misura(m, 'logo', 'HeightVP'),
           0::smallint, 0::smallint, 0::smallint, 0::smallint
     ORDER BY 6;
END $$;

-- The cover row: the quote, its customer, and the cover of its first main product.
CREATE FUNCTION estrailayoutprevcover(p_idpreventivo text, p_codlayout text)
RETURNS TABLE (idpreventivo varchar, idcliente varchar, txnupreventivo text, nupreventivo integer,
               nuannopreventivo integer, nurevisione integer, dtpreventivo timestamp,
               flbloccato smallint, txdenominazione varchar, txindirizzo varchar, txcap varchar,
               txlocalita varchar, txprovincia varchar, txnazione varchar, txpartitaiva varchar,
               txreferente varchar, txdescoggetto varchar, txscadenza text,
               txnotepreventivo varchar, txnomefolder varchar, txnomefilepdf varchar,
               txurlfilepdf varchar, imgcopertina bytea,
               imgwidths numeric, imgheights numeric, imgwidthh numeric, imgheighth numeric,
               imgwidthhp numeric, imgheighthp numeric, imgwidthv numeric, imgheightv numeric,
               imgwidthvp numeric, imgheightvp numeric,
               flpanorama smallint, flsquare smallint, flhorizontal smallint, flvertical smallint,
               txsoclocalita text, txdescsocieta text)
LANGUAGE plpgsql STABLE SECURITY DEFINER SET search_path = public, pg_temp SET jit = off AS $$
DECLARE
    m jsonb := vt_layout(p_codlayout);
BEGIN
    PERFORM vt_sessione();
    RETURN QUERY
    SELECT q.idpreventivo, q.idcliente, vt_nu_preventivo(q.nuannopreventivo, q.nupreventivo, q.nurevisione),
           q.nupreventivo, q.nuannopreventivo, q.nurevisione, q.dtpreventivo, q.flbloccato,
           c.txdenominazione, c.txindirizzo, c.txcap, c.txlocalita, c.txprovincia, c.txnazione,
           c.txpartitaiva, c.txreferente, q.txdescoggetto,
           vt_scadenza(q.flscadenzafissa, q.dtscadenza, q.nuggscaddalblocco), q.txnotepreventivo,
           q.txnomefolder, q.txnomefilepdf, q.txurlfilepdf,
           (SELECT ip.imgimage FROM preventivo_dettaglio d
              JOIN prodotti p ON p.idprodotto = d.idprodotto
              JOIN images_prodotti ip ON ip.idimage = d.idprodotto
             WHERE d.idpreventivo = q.idpreventivo AND d.flprodottoattivo = 1 AND d.flservizio = 0
               AND d.flaccessorio = 0 AND p.fldocumentazione = 0 AND ip.imgimage IS NOT NULL
             ORDER BY d.nuordinamento LIMIT 1),
           vt_misura(m, 'copertina', 'WidthS'), vt_misura(m, 'copertina', 'HeightS'),
           vt_misura(m, 'copertina', 'WidthH'), vt_misura(m, 'copertina', 'HeightH'),
           vt_misura(m, 'copertina', 'WidthHP'), vt_misura(m, 'copertina', 'HeightHP'),
           vt_misura(m, 'copertina', 'WidthV'), vt_misura(m, 'copertina', 'HeightV'),
           vt_misura(m, 'copertina', 'WidthVP'), vt_misura(m, 'copertina', 'HeightVP'),
           0::smallint, 0::smallint, 0::smallint, 0::smallint, NULL::text, NULL::text
      FROM preventivi q
      LEFT JOIN clienti c ON c.idcliente = q.idcliente
     WHERE q.idpreventivo = vt_controlla_id(p_idpreventivo, 'del preventivo');
    IF NOT FOUND THEN
        RAISE EXCEPTION 'Preventivo non trovato (%).', p_idpreventivo USING ERRCODE = 'P0002';
    END IF;
END $$;

-- The totals page: one row per line visible in print that has an amount, in print order,
-- with list price, discount, amount and line total (amount x quantity).
CREATE FUNCTION estrailayoutprevtotali(p_idpreventivo text, p_codlayout text)
RETURNS TABLE (idpreventivo varchar, idpreventivodet varchar, nuordinamento integer,
               txcodprodotto varchar, txdescprodotto varchar, txdesclistino varchar,
               nuquantita numeric, vllistino numeric, vlimporto numeric, vlsconto numeric,
               nupercsconto numeric, vltotaleriga numeric, flaccessorio smallint,
               flservizio smallint, fldocumentazione smallint, txnotepreventivo varchar,
               txscadenza text, txdescsocieta text, imglogo bytea,
               imglogowidths numeric, imglogoheights numeric, imglogowidthh numeric,
               imglogoheighth numeric, imglogowidthhp numeric, imglogoheighthp numeric,
               imglogowidthv numeric, imglogoheightv numeric, imglogowidthvp numeric,
               imglogoheightvp numeric, fllogopanorama smallint, fllogosquare smallint,
               fllogohorizontal smallint, fllogovertical smallint)
LANGUAGE plpgsql STABLE SECURITY DEFINER SET search_path = public, pg_temp SET jit = off AS $$
DECLARE
    m jsonb := vt_layout(p_codlayout);
BEGIN
    PERFORM vt_sessione();
    PERFORM 1 FROM preventivi q WHERE q.idpreventivo = vt_controlla_id(p_idpreventivo, 'del preventivo');
    IF NOT FOUND THEN
        RAISE EXCEPTION 'Preventivo non trovato (%).', p_idpreventivo USING ERRCODE = 'P0002';
    END IF;
    RETURN QUERY
    SELECT q.idpreventivo, d.idpreventivodet, d.nuordinamento, p.txcodprodotto, p.txdescprodotto,
           d.txdesclistino, d.nuquantita, d.vllistino, d.vlimporto, d.vllistino - d.vlimporto,
           CASE WHEN d.vllistino > 0 THEN round((d.vllistino - d.vlimporto) * 100 / d.vllistino, 2) END,
           round(d.vlimporto * d.nuquantita, 2), d.flaccessorio, d.flservizio, p.fldocumentazione,
           q.txnotepreventivo, vt_scadenza(q.flscadenzafissa, q.dtscadenza, q.nuggscaddalblocco),
           NULL::text, NULL::bytea,
           vt_misura(m, 'logo', 'WidthS'), vt_misura(m, 'logo', 'HeightS'),
           vt_misura(m, 'logo', 'WidthH'), vt_misura(m, 'logo', 'HeightH'),
           vt_misura(m, 'logo', 'WidthHP'), vt_misura(m, 'logo', 'HeightHP'),
           vt_misura(m, 'logo', 'WidthV'), vt_misura(m, 'logo', 'HeightV'),
           vt_misura(m, 'logo', 'WidthVP'), vt_misura(m, 'logo', 'HeightVP'),
           0::smallint, 0::smallint, 0::smallint, 0::smallint
      FROM preventivi q
      JOIN preventivo_dettaglio d ON d.idpreventivo = q.idpreventivo
      JOIN prodotti p ON p.idprodotto = d.idprodotto
     WHERE q.idpreventivo = p_idpreventivo AND d.flprodottoattivo = 1 AND d.vlimporto IS NOT NULL
     ORDER BY CASE WHEN p.fldocumentazione = 1 AND d.fldocinfondo = 1 THEN 1 ELSE 0 END, d.nuordinamento;
END $$;

-- Print options of a node of the layout tree, stored at once. The line itself (kind 5) keeps
-- its options on the line; the tree root (the quote id as line and node) has none: nothing
-- changes. Answers the new value.
CREATE FUNCTION vt_riga_layout(p_idriga text, p_idnodo text, p_tipologia integer, p_utente text,
                               p_salto boolean)
RETURNS TABLE (valore smallint)
LANGUAGE plpgsql AS $$
DECLARE
    u varchar := vt_utente(p_utente);
    v smallint;
BEGIN
    PERFORM vt_controlla_id(p_idriga, 'della riga');
    PERFORM vt_controlla_id(p_idnodo, 'del nodo');
    IF p_idriga = p_idnodo AND EXISTS (SELECT 1 FROM preventivi q WHERE q.idpreventivo = p_idriga) THEN
        RETURN;
    END IF;
    IF coalesce(p_tipologia, 0) = 5 OR p_idriga = p_idnodo THEN
        IF p_salto THEN
            UPDATE preventivo_dettaglio d SET flnewpagebefore = 1 - d.flnewpagebefore, txutentemod = u,
                   dtmod = vt_ora()
             WHERE d.idpreventivodet = p_idriga RETURNING d.flnewpagebefore INTO v;
        ELSE
            UPDATE preventivo_dettaglio d SET flpartecompunita = 1 - d.flpartecompunita, txutentemod = u,
                   dtmod = vt_ora()
             WHERE d.idpreventivodet = p_idriga RETURNING d.flpartecompunita INTO v;
        END IF;
    ELSIF p_salto THEN
        UPDATE prevdet_nodi n SET flnewpagebefore = 1 - n.flnewpagebefore, txutentemod = u, dtmod = vt_ora()
         WHERE n.idpreventivodet = p_idriga AND n.idnodo = p_idnodo RETURNING n.flnewpagebefore INTO v;
    ELSE
        UPDATE prevdet_nodi n SET flunita = 1 - n.flunita, txutentemod = u, dtmod = vt_ora()
         WHERE n.idpreventivodet = p_idriga AND n.idnodo = p_idnodo RETURNING n.flunita INTO v;
    END IF;
    IF v IS NULL THEN
        RAISE EXCEPTION 'Nodo non trovato nelle righe del preventivo (%).', p_idnodo USING ERRCODE = 'P0002';
    END IF;
    RETURN QUERY SELECT v;
END $$;

CREATE FUNCTION changeparteunita(p_idriga text, p_idnodo text, p_tipologia integer, p_utente text)
RETURNS TABLE (flpartecompunita smallint)
LANGUAGE plpgsql SECURITY DEFINER SET search_path = public, pg_temp SET jit = off AS $$
#variable_conflict use_column
BEGIN
    PERFORM vt_sessione();
    RETURN QUERY SELECT valore FROM vt_riga_layout(p_idriga, p_idnodo, p_tipologia, p_utente, false);
END $$;

CREATE FUNCTION changesaltopaginanodo(p_idriga text, p_idnodo text, p_tipologia integer,
                                      p_utente text)
RETURNS TABLE (flnewpagebefore smallint)
LANGUAGE plpgsql SECURITY DEFINER SET search_path = public, pg_temp SET jit = off AS $$
#variable_conflict use_column
BEGIN
    PERFORM vt_sessione();
    RETURN QUERY SELECT valore FROM vt_riga_layout(p_idriga, p_idnodo, p_tipologia, p_utente, true);
END $$;
