-- The detail tree of a product (and of a quote line's copy): extraction as tree rows, node
-- records, and every tree operation of the structure editor. Positions are kept 1..n without
-- gaps: data sheets and paragraphs share the top-level sequence (nuOrderA), sub-paragraphs
-- are numbered in their paragraph (nuOrderB), texts, images, web links and tables share the
-- sequence of their sub-paragraph (nuOrderC), items of a data sheet or table are numbered in
-- it (nuOrderB for data-sheet items, nuOrderD for table items).

DO $$ BEGIN PERFORM vt_drop_funzioni(ARRAY['vt_sql_nodi_prodotto', 'vt_sql_nodi_riga',
    'vt_cursori_albero', 'estraialldettagliprodotto', 'vt_nodo', 'vt_rinumera_top',
    'vt_rinumera_parti', 'vt_rinumera_contenuti', 'vt_rinumera_voci_scheda',
    'vt_rinumera_voci_tab', 'vt_rinumera_gruppo', 'vt_elimina_immagini', 'vt_copia_albero',
    'vt_conta_immagini', 'vt_temptabtesto', 'preparatemptabtesto', 'changestatenodo', 'deletenodo', 'appendnodoprodotto',
    'insertafterbeforenodoprodotto', 'mergeparte', 'setordinenewnodo', 'splitelencopuntato',
    'copianodoinaltroprodotto', 'datinodo', 'datiimagesdettaglio', 'datiimagesdettagliopreview',
    'vt_sposta_nodo', 'vt_gruppo', 'vt_sequenza', 'vt_scrivi_posizione', 'vt_rinumera',
    'vt_posizione_in_fondo', 'vt_sposta_contenuti']); END $$;

-- The result sets of a tree: 1 tree rows, 2 preview rows (one per data sheet or paragraph,
-- the sections the report prints), and with p_completo 3 the product with its cover, 4 its
-- linked products, 5 its active price lists. p_tipo 0: a product; 1: a quote line (its own
-- copy). Node images (kind 60) are given when p_immagini is 1, as their scaled copy. The
-- queries are static, so a session plans them once.
CREATE FUNCTION vt_cursori_albero(p_id text, p_tipo integer, p_immagini integer,
                                  p_completo boolean DEFAULT false)
RETURNS SETOF refcursor
LANGUAGE plpgsql AS $$
DECLARE
    c1 refcursor;
    c2 refcursor;
    c3 refcursor;
    c4 refcursor;
    c5 refcursor;
    prod varchar;
    riga preventivo_dettaglio;
    img integer := coalesce(p_immagini, 0);
BEGIN
    IF p_tipo = 0 THEN
        PERFORM 1 FROM prodotti p WHERE p.idprodotto = vt_controlla_id(p_id, 'del prodotto');
        IF NOT FOUND THEN
            RAISE EXCEPTION 'Prodotto non trovato (%).', p_id USING ERRCODE = 'P0002';
        END IF;
        prod := p_id;
    ELSIF p_tipo = 1 THEN
        SELECT * INTO riga FROM preventivo_dettaglio d
         WHERE d.idpreventivodet = vt_controlla_id(p_id, 'della riga');
        IF NOT FOUND THEN
            RAISE EXCEPTION 'Riga del preventivo non trovata (%).', p_id USING ERRCODE = 'P0002';
        END IF;
        prod := riga.idprodotto;
    ELSE
        RAISE EXCEPTION 'Tipo di proprietario non valido (%): atteso 0 (prodotto) o 1 (riga).', p_tipo
            USING ERRCODE = '22023';
    END IF;

    c1 := vt_cursore(1);
    OPEN c1 FOR
        SELECT n.idnodo, n.idparent, n.idsezione, n.nutipologia, n.flattivo,
               1::smallint AS flcaninsertbeforeafter, 0::smallint AS flcanadd,
               1::smallint AS flnodoespanso, 1::smallint AS flvisible, n.nuordera, n.nuorderb,
               n.nuorderc, n.nuorderd, n.txdescnodo, n.txdescnodob, n.txdescnodoc, n.nuquantita,
               n.fltestoinelenco,
               CASE WHEN n.nutipologia = 60 AND im.imgimage IS NOT NULL THEN 1 ELSE 0 END::smallint
                   AS flexistsimgnodo,
               CASE WHEN img = 1 AND n.nutipologia = 60 THEN coalesce(pv.imgpreview, im.imgimage) END
                   AS imgnodo,
               0::smallint AS flpanorama, 0::smallint AS flimgsquare, 0::smallint AS flimghoriz,
               0::smallint AS flimgvert, n.txtestortf AS txdescnodortf, n.txurl AS txurlnodo,
               n.flunita, n.flnewpagebefore, n.flriepilogo, n.flimportante, n.idimage,
               p_id::varchar AS idproprietario
          FROM (SELECT pn.idnodo, pn.idparent, pn.idsezione, pn.nutipologia, pn.flattivo, pn.nuordera,
                       pn.nuorderb, pn.nuorderc, pn.nuorderd, pn.txdescnodo, pn.txdescnodob,
                       pn.txdescnodoc, pn.txtestortf, pn.nuquantita, pn.fltestoinelenco, pn.flunita,
                       pn.flnewpagebefore, pn.flriepilogo, pn.flimportante, pn.idimage, pn.txurl
                  FROM prodotti_nodi pn WHERE p_tipo = 0 AND pn.idprodotto = p_id
                UNION ALL
                -- A line's node is given as its print treats it: disabled also when one of
                -- its ancestors is (a disabled node hides its whole subtree).
                SELECT ln.idnodo, ln.idparent, ln.idsezione, ln.nutipologia::integer,
                       CASE WHEN ln.flattivo = 1 AND coalesce(a1.flattivo, 1) = 1
                                 AND coalesce(a2.flattivo, 1) = 1 AND coalesce(a3.flattivo, 1) = 1
                            THEN 1 ELSE 0 END::smallint,
                       ln.nuordera, ln.nuorderb, ln.nuorderc, ln.nuorderd, ln.txdescnodo,
                       ln.txdescnodob, ln.txdescnodoc, ln.txtestortf, ln.nuquantita,
                       ln.fltestoinelenco, ln.flunita, ln.flnewpagebefore, ln.flriepilogo,
                       ln.flimportante, ln.idimage, ln.txurl
                  FROM prevdet_nodi ln
                  LEFT JOIN prevdet_nodi a1 ON a1.idpreventivodet = ln.idpreventivodet AND a1.idnodo = ln.idparent
                  LEFT JOIN prevdet_nodi a2 ON a2.idpreventivodet = ln.idpreventivodet AND a2.idnodo = a1.idparent
                  LEFT JOIN prevdet_nodi a3 ON a3.idpreventivodet = ln.idpreventivodet AND a3.idnodo = a2.idparent
                 WHERE p_tipo = 1 AND ln.idpreventivodet = p_id) n
          LEFT JOIN images_dettagli im ON im.idimage = n.idimage
          LEFT JOIN images_dettagli_preview pv ON pv.idimage = n.idimage AND img = 1
         ORDER BY n.nuordera, n.nuorderb, n.nuorderc, n.nuorderd;
    RETURN NEXT c1;

    c2 := vt_cursore(2);
    OPEN c2 FOR
        SELECT p_id::varchar AS idproprietario, p.idprodotto, p.txcodprodotto, p.txdescprodotto,
               p.flaccessorio, p.fldocumentazione, f.txfornitore, p.nuanno,
               n.idnodo AS idsezione, n.idnodo, n.nutipologia, n.nuordera, n.txdescnodo,
               n.flattivo, n.flnewpagebefore, n.flunita, n.flriepilogo,
               riga.txdesclistino, riga.txcodlistino, riga.nuquantita, riga.vlimporto,
               riga.vllistino
          FROM (SELECT pn.idnodo, pn.nutipologia, pn.nuordera, pn.txdescnodo, pn.flattivo,
                       pn.flnewpagebefore, pn.flunita, pn.flriepilogo
                  FROM prodotti_nodi pn
                 WHERE p_tipo = 0 AND pn.idprodotto = p_id AND pn.nutipologia IN (10, 30)
                UNION ALL
                SELECT ln.idnodo, ln.nutipologia::integer, ln.nuordera, ln.txdescnodo, ln.flattivo,
                       ln.flnewpagebefore, ln.flunita, ln.flriepilogo
                  FROM prevdet_nodi ln
                 WHERE p_tipo = 1 AND ln.idpreventivodet = p_id AND ln.nutipologia IN (10, 30)) n
          JOIN prodotti p ON p.idprodotto = prod
          LEFT JOIN fornitori f ON f.idfornitore = p.idfornitore
         ORDER BY n.nuordera;
    RETURN NEXT c2;

    IF p_completo THEN
        c3 := vt_cursore(3);
    OPEN c3 FOR
            SELECT p.idprodotto, p.txcodprodotto, p.txdescprodotto, p.flaccessorio,
                   p.fldocumentazione, p.flprodottoattivo, f.txfornitore, p.nuanno,
                   ip.imgimage AS imgcopertina, 0::smallint AS flpanorama,
                   0::smallint AS flimgsquare, 0::smallint AS flimghoriz, 0::smallint AS flimgvert,
                   0::smallint AS flimgsmallsquare, 0::smallint AS flimgsmallhoriz,
                   0::smallint AS flimgsmallvert
              FROM prodotti p
              LEFT JOIN fornitori f ON f.idfornitore = p.idfornitore
              LEFT JOIN images_prodotti ip ON ip.idimage = p.idprodotto
             WHERE p.idprodotto = prod;
        RETURN NEXT c3;
        c4 := vt_cursore(4);
    OPEN c4 FOR
            SELECT prod::varchar AS idprodotto, c.nuordinecollegamento, c.idprodcollegato,
                   p.txcodprodotto, p.txdescprodotto,
                   vt_tx_prodotto(p.txdescprodotto, p.txcodprodotto) AS txprodotto,
                   c.flaccessorio, p.fldocumentazione, c.nuquantita, l.txdesclistino, l.vllistino
              FROM prod_collegati c
              JOIN prodotti p ON p.idprodotto = c.idprodcollegato
              LEFT JOIN prod_listini l ON l.idprodlistino = c.idprodlistino
             WHERE c.idprodotto = prod
             ORDER BY c.nuordinecollegamento;
        RETURN NEXT c4;
        c5 := vt_cursore(5);
    OPEN c5 FOR
            SELECT l.idprodotto, l.idprodlistino, l.txcodlistino, l.txdesclistino, l.vllistino,
                   l.numaxpercsconto, l.vlmaxsconto
              FROM prod_listini l
             WHERE l.idprodotto = prod AND l.dtcanc IS NULL
             ORDER BY l.vllistino DESC, l.txdesclistino;
        RETURN NEXT c5;
    END IF;
END $$;

-- Tree of a product (owner kind 0) or of a quote line (1). Flags 3..6: with flag 3 the five
-- sets of the product print (tree, preview, product, linked products, price lists), else
-- the first two; flags 4..6 are accepted and have no further meaning. Last flag: node images.
CREATE FUNCTION estraialldettagliprodotto(p_id text, p_tipo integer, p_flag3 integer DEFAULT 0,
                                          p_flag4 integer DEFAULT 0, p_flag5 integer DEFAULT 0,
                                          p_flag6 integer DEFAULT 0, p_immagini integer DEFAULT 0)
RETURNS SETOF refcursor
LANGUAGE plpgsql SECURITY DEFINER SET search_path = public, pg_temp SET jit = off AS $$
BEGIN
    PERFORM vt_sessione();
    RETURN QUERY SELECT * FROM vt_cursori_albero(p_id, p_tipo, p_immagini, coalesce(p_flag3, 0) = 1);
END $$;

-- Where a product node is: its product, parent and position. No row for an unknown node.
CREATE FUNCTION vt_nodo(p_idnodo text, p_tipologia integer)
RETURNS TABLE (idprodotto varchar, idparent varchar, posizione integer)
LANGUAGE plpgsql STABLE AS $$
BEGIN
    CASE p_tipologia
    WHEN 10 THEN
        RETURN QUERY SELECT s.idprodotto, s.idprodotto, s.nuordinenelprodotto
                       FROM prod_schede s WHERE s.idschedaprodotto = p_idnodo;
    WHEN 20 THEN
        RETURN QUERY SELECT s.idprodotto, v.idschedaprodotto, v.nuordinevocescheda
                       FROM prod_scheda_voci v JOIN prod_schede s ON s.idschedaprodotto = v.idschedaprodotto
                      WHERE v.idvocescheda = p_idnodo;
    WHEN 30 THEN
        RETURN QUERY SELECT c.idprodotto, c.idprodotto, c.nuordinenelprodotto
                       FROM prod_componenti c WHERE c.idcompprodotto = p_idnodo;
    WHEN 40 THEN
        RETURN QUERY SELECT c.idprodotto, pa.idcompprodotto, pa.nuordinepartecomp
                       FROM prod_comp_parti pa JOIN prod_componenti c ON c.idcompprodotto = pa.idcompprodotto
                      WHERE pa.idpartecomp = p_idnodo;
    WHEN 50 THEN
        RETURN QUERY SELECT c.idprodotto, t.idpartecomp, t.nuordineparte
                       FROM prod_comp_parte_txt t JOIN prod_comp_parti pa ON pa.idpartecomp = t.idpartecomp
                       JOIN prod_componenti c ON c.idcompprodotto = pa.idcompprodotto
                      WHERE t.idtxtparte = p_idnodo;
    WHEN 60 THEN
        RETURN QUERY SELECT c.idprodotto, t.idpartecomp, t.nuordineparte
                       FROM prod_comp_parte_img t JOIN prod_comp_parti pa ON pa.idpartecomp = t.idpartecomp
                       JOIN prod_componenti c ON c.idcompprodotto = pa.idcompprodotto
                      WHERE t.idimgparte = p_idnodo;
    WHEN 70 THEN
        RETURN QUERY SELECT c.idprodotto, t.idpartecomp, t.nuordineparte
                       FROM prod_comp_parte_url t JOIN prod_comp_parti pa ON pa.idpartecomp = t.idpartecomp
                       JOIN prod_componenti c ON c.idcompprodotto = pa.idcompprodotto
                      WHERE t.idurlparte = p_idnodo;
    WHEN 80 THEN
        RETURN QUERY SELECT c.idprodotto, t.idpartecomp, t.nuordineparte
                       FROM prod_comp_parte_tab t JOIN prod_comp_parti pa ON pa.idpartecomp = t.idpartecomp
                       JOIN prod_componenti c ON c.idcompprodotto = pa.idcompprodotto
                      WHERE t.idtabparte = p_idnodo;
    WHEN 90 THEN
        RETURN QUERY SELECT c.idprodotto, tv.idtabparte, tv.nuordinevocetab
                       FROM prod_comp_parte_tab_voci tv JOIN prod_comp_parte_tab t ON t.idtabparte = tv.idtabparte
                       JOIN prod_comp_parti pa ON pa.idpartecomp = t.idpartecomp
                       JOIN prod_componenti c ON c.idcompprodotto = pa.idcompprodotto
                      WHERE tv.idtabvoce = p_idnodo;
    ELSE
        RAISE EXCEPTION 'Tipologia di nodo non valida (%).', p_tipologia USING ERRCODE = '22023';
    END CASE;
END $$;

-- Sibling sequences. Every sequence of the tree (data sheets and paragraphs of a product, items
-- of a data sheet, sub-paragraphs of a paragraph, contents of a sub-paragraph, items of a
-- table) is kept 1..n by one routine, vt_rinumera, over the members vt_sequenza lists.

-- The sequence a kind belongs to.
CREATE FUNCTION vt_gruppo(p_tipologia integer) RETURNS text
LANGUAGE sql IMMUTABLE AS $$
    SELECT CASE WHEN p_tipologia IN (10, 30) THEN 'top'
                WHEN p_tipologia = 20 THEN 'voci'
                WHEN p_tipologia = 40 THEN 'parti'
                WHEN p_tipologia IN (50, 60, 70, 80) THEN 'contenuti'
                WHEN p_tipologia = 90 THEN 'tabvoci' END
$$;

-- The members of one sequence (p_parent: the product, data sheet, paragraph, sub-paragraph or
-- table): id, kind and stored position.
CREATE FUNCTION vt_sequenza(p_gruppo text, p_parent text)
RETURNS TABLE (id varchar, k integer, pos integer)
LANGUAGE sql STABLE AS $$
    SELECT s.idschedaprodotto, 10, s.nuordinenelprodotto FROM prod_schede s
     WHERE p_gruppo = 'top' AND s.idprodotto = p_parent
    UNION ALL
    SELECT c.idcompprodotto, 30, c.nuordinenelprodotto FROM prod_componenti c
     WHERE p_gruppo = 'top' AND c.idprodotto = p_parent
    UNION ALL
    SELECT v.idvocescheda, 20, v.nuordinevocescheda FROM prod_scheda_voci v
     WHERE p_gruppo = 'voci' AND v.idschedaprodotto = p_parent
    UNION ALL
    SELECT pa.idpartecomp, 40, pa.nuordinepartecomp FROM prod_comp_parti pa
     WHERE p_gruppo = 'parti' AND pa.idcompprodotto = p_parent
    UNION ALL
    SELECT t.idtxtparte, 50, t.nuordineparte FROM prod_comp_parte_txt t
     WHERE p_gruppo = 'contenuti' AND t.idpartecomp = p_parent
    UNION ALL
    SELECT i.idimgparte, 60, i.nuordineparte FROM prod_comp_parte_img i
     WHERE p_gruppo = 'contenuti' AND i.idpartecomp = p_parent
    UNION ALL
    SELECT l.idurlparte, 70, l.nuordineparte FROM prod_comp_parte_url l
     WHERE p_gruppo = 'contenuti' AND l.idpartecomp = p_parent
    UNION ALL
    SELECT tb.idtabparte, 80, tb.nuordineparte FROM prod_comp_parte_tab tb
     WHERE p_gruppo = 'contenuti' AND tb.idpartecomp = p_parent
    UNION ALL
    SELECT tv.idtabvoce, 90, tv.nuordinevocetab FROM prod_comp_parte_tab_voci tv
     WHERE p_gruppo = 'tabvoci' AND tv.idtabparte = p_parent
$$;

-- Writes one node's position into the table of its kind.
CREATE FUNCTION vt_scrivi_posizione(p_k integer, p_id text, p_posizione integer) RETURNS void
LANGUAGE plpgsql AS $$
BEGIN
    CASE p_k
    WHEN 10 THEN UPDATE prod_schede SET nuordinenelprodotto = p_posizione WHERE idschedaprodotto = p_id;
    WHEN 20 THEN UPDATE prod_scheda_voci SET nuordinevocescheda = p_posizione WHERE idvocescheda = p_id;
    WHEN 30 THEN UPDATE prod_componenti SET nuordinenelprodotto = p_posizione WHERE idcompprodotto = p_id;
    WHEN 40 THEN UPDATE prod_comp_parti SET nuordinepartecomp = p_posizione WHERE idpartecomp = p_id;
    WHEN 50 THEN UPDATE prod_comp_parte_txt SET nuordineparte = p_posizione WHERE idtxtparte = p_id;
    WHEN 60 THEN UPDATE prod_comp_parte_img SET nuordineparte = p_posizione WHERE idimgparte = p_id;
    WHEN 70 THEN UPDATE prod_comp_parte_url SET nuordineparte = p_posizione WHERE idurlparte = p_id;
    WHEN 80 THEN UPDATE prod_comp_parte_tab SET nuordineparte = p_posizione WHERE idtabparte = p_id;
    WHEN 90 THEN UPDATE prod_comp_parte_tab_voci SET nuordinevocetab = p_posizione WHERE idtabvoce = p_id;
    END CASE;
END $$;

-- Renumbers one sequence 1..n in its stored order. A node given with a key is placed by that
-- key (2.5 = between the second and the third; 1e9 = last); nodes not yet placed (position 0
-- or less) go last. Ties keep the kind order, then the id. Only changed positions are written.
CREATE FUNCTION vt_rinumera(p_gruppo text, p_parent text, p_id text DEFAULT NULL,
                            p_chiave numeric DEFAULT NULL) RETURNS void
LANGUAGE plpgsql AS $$
DECLARE
    r record;
BEGIN
    IF p_gruppo IS NULL OR p_gruppo NOT IN ('top', 'voci', 'parti', 'contenuti', 'tabvoci') THEN
        RAISE EXCEPTION 'Sequenza di nodi sconosciuta (%).', p_gruppo USING ERRCODE = '22023';
    END IF;
    FOR r IN
        SELECT o.id, o.k, o.rn
          FROM (SELECT s.id, s.k, s.pos,
                       row_number() OVER (ORDER BY CASE WHEN s.id = p_id THEN p_chiave
                                                        WHEN s.pos <= 0 THEN 1e9
                                                        ELSE s.pos END, s.k, s.id)::integer AS rn
                  FROM vt_sequenza(p_gruppo, p_parent) s) o
         WHERE o.pos IS DISTINCT FROM o.rn
    LOOP
        PERFORM vt_scrivi_posizione(r.k, r.id, r.rn);
    END LOOP;
END $$;

-- The next free position at the end of a sequence.
CREATE FUNCTION vt_posizione_in_fondo(p_gruppo text, p_parent text) RETURNS integer
LANGUAGE sql STABLE AS $$
    SELECT coalesce(max(s.pos), 0) + 1 FROM vt_sequenza(p_gruppo, p_parent) s
$$;

-- Moves the contents of a sub-paragraph from position p_da on into a sub-paragraph (another
-- or the same), their positions shifted by p_scarto. The callers renumber both afterwards.
CREATE FUNCTION vt_sposta_contenuti(p_origine text, p_dest text, p_da integer, p_scarto integer)
RETURNS void
LANGUAGE sql AS $$
    WITH t AS (
        UPDATE prod_comp_parte_txt SET idpartecomp = p_dest, nuordineparte = nuordineparte + p_scarto
         WHERE idpartecomp = p_origine AND nuordineparte >= p_da),
    i AS (
        UPDATE prod_comp_parte_img SET idpartecomp = p_dest, nuordineparte = nuordineparte + p_scarto
         WHERE idpartecomp = p_origine AND nuordineparte >= p_da),
    l AS (
        UPDATE prod_comp_parte_url SET idpartecomp = p_dest, nuordineparte = nuordineparte + p_scarto
         WHERE idpartecomp = p_origine AND nuordineparte >= p_da)
    UPDATE prod_comp_parte_tab SET idpartecomp = p_dest, nuordineparte = nuordineparte + p_scarto
     WHERE idpartecomp = p_origine AND nuordineparte >= p_da
$$;

-- Removes node images that no quote line refers to any more.
CREATE FUNCTION vt_elimina_immagini(p_ids varchar[]) RETURNS void
LANGUAGE sql AS $$
    WITH liberi AS (
        SELECT x.id FROM unnest(p_ids) AS x(id)
         WHERE x.id IS NOT NULL
           AND NOT EXISTS (SELECT 1 FROM prevdet_nodi n WHERE n.idimage = x.id)
           AND NOT EXISTS (SELECT 1 FROM prod_comp_parte_img i WHERE i.idimage = x.id)),
    d1 AS (DELETE FROM images_dettagli_preview p USING liberi WHERE p.idimage = liberi.id)
    DELETE FROM images_dettagli d USING liberi WHERE d.idimage = liberi.id
$$;

-- Images already in a sub-paragraph.
CREATE FUNCTION vt_conta_immagini(p_idparte text) RETURNS integer
LANGUAGE sql STABLE AS $$
    SELECT count(*)::integer FROM prod_comp_parte_img WHERE idpartecomp = p_idparte
$$;

-- Copies data sheets and paragraphs of a product (all of them, or the one node given) into a
-- product, every copied node with an id derived from the seed and its source id. The copies
-- keep their positions (p_posizione 0) or are appended from that position on.
CREATE FUNCTION vt_copia_albero(p_origine text, p_nodo text, p_tipologia integer, p_dest text,
                                p_seme text, p_posizione integer, p_utente text) RETURNS void
LANGUAGE plpgsql AS $$
DECLARE
    ora timestamp := vt_ora();
    fs boolean := p_nodo IS NULL OR p_tipologia = 10;
    fc boolean := p_nodo IS NULL OR p_tipologia = 30;
BEGIN
    IF fs THEN
        INSERT INTO prod_schede (idschedaprodotto, idprodotto, nuordinenelprodotto,
                                 txdescschedaprodotto, flschedaprodottoattiva,
                                 flschedaprodottounita, txutentein, dtin)
        SELECT vt_id_derivato(p_seme, s.idschedaprodotto), p_dest,
               CASE WHEN p_posizione > 0 THEN p_posizione ELSE s.nuordinenelprodotto END,
               s.txdescschedaprodotto, s.flschedaprodottoattiva, s.flschedaprodottounita, p_utente, ora
          FROM prod_schede s
         WHERE s.idprodotto = p_origine AND (p_nodo IS NULL OR s.idschedaprodotto = p_nodo);
        INSERT INTO prod_scheda_voci (idvocescheda, idschedaprodotto, nuordinevocescheda,
                                      txdescvocescheda, flvoceschedaattiva, txutentein, dtin)
        SELECT vt_id_derivato(p_seme, v.idvocescheda), vt_id_derivato(p_seme, v.idschedaprodotto),
               v.nuordinevocescheda, v.txdescvocescheda, v.flvoceschedaattiva, p_utente, ora
          FROM prod_scheda_voci v JOIN prod_schede s ON s.idschedaprodotto = v.idschedaprodotto
         WHERE s.idprodotto = p_origine AND (p_nodo IS NULL OR s.idschedaprodotto = p_nodo);
    END IF;
    IF fc THEN
        INSERT INTO prod_componenti (idcompprodotto, idprodotto, nuordinenelprodotto,
                                     txdesccompprodotto, flcompprodottoriepilogo, flnewpagebefore,
                                     flcompprodottoattivo, txutentein, dtin)
        SELECT vt_id_derivato(p_seme, c.idcompprodotto), p_dest,
               CASE WHEN p_posizione > 0 THEN p_posizione ELSE c.nuordinenelprodotto END,
               c.txdesccompprodotto, c.flcompprodottoriepilogo, c.flnewpagebefore,
               c.flcompprodottoattivo, p_utente, ora
          FROM prod_componenti c
         WHERE c.idprodotto = p_origine AND (p_nodo IS NULL OR c.idcompprodotto = p_nodo);
        INSERT INTO prod_comp_parti (idpartecomp, idcompprodotto, nuordinepartecomp, txdescpartecomp,
                                     nuquantitaparte, flpartecompimportante, flpartecompattiva,
                                     flpartecompunita, txutentein, dtin)
        SELECT vt_id_derivato(p_seme, pa.idpartecomp), vt_id_derivato(p_seme, pa.idcompprodotto),
               pa.nuordinepartecomp, pa.txdescpartecomp, pa.nuquantitaparte,
               pa.flpartecompimportante, pa.flpartecompattiva, pa.flpartecompunita, p_utente, ora
          FROM prod_comp_parti pa JOIN prod_componenti c ON c.idcompprodotto = pa.idcompprodotto
         WHERE c.idprodotto = p_origine AND (p_nodo IS NULL OR c.idcompprodotto = p_nodo);
        INSERT INTO prod_comp_parte_txt (idtxtparte, idpartecomp, nuordineparte, txdesctxtpartertf,
                                         txdesctxtparte, fltestoinelenco, fltxtparteattiva,
                                         txutentein, dtin)
        SELECT vt_id_derivato(p_seme, t.idtxtparte), vt_id_derivato(p_seme, t.idpartecomp),
               t.nuordineparte, t.txdesctxtpartertf, t.txdesctxtparte, t.fltestoinelenco,
               t.fltxtparteattiva, p_utente, ora
          FROM prod_comp_parte_txt t JOIN prod_comp_parti pa ON pa.idpartecomp = t.idpartecomp
          JOIN prod_componenti c ON c.idcompprodotto = pa.idcompprodotto
         WHERE c.idprodotto = p_origine AND (p_nodo IS NULL OR c.idcompprodotto = p_nodo);
        INSERT INTO images_dettagli (idimage, imgimage)
        SELECT vt_id_derivato(p_seme, i.idimgparte), d.imgimage
          FROM prod_comp_parte_img i JOIN prod_comp_parti pa ON pa.idpartecomp = i.idpartecomp
          JOIN prod_componenti c ON c.idcompprodotto = pa.idcompprodotto
          JOIN images_dettagli d ON d.idimage = i.idimage
         WHERE c.idprodotto = p_origine AND (p_nodo IS NULL OR c.idcompprodotto = p_nodo);
        INSERT INTO images_dettagli_preview (idimage, imgpreview)
        SELECT vt_id_derivato(p_seme, i.idimgparte), d.imgpreview
          FROM prod_comp_parte_img i JOIN prod_comp_parti pa ON pa.idpartecomp = i.idpartecomp
          JOIN prod_componenti c ON c.idcompprodotto = pa.idcompprodotto
          JOIN images_dettagli_preview d ON d.idimage = i.idimage
         WHERE c.idprodotto = p_origine AND (p_nodo IS NULL OR c.idcompprodotto = p_nodo);
        INSERT INTO prod_comp_parte_img (idimgparte, idimage, idpartecomp, nuordineparte,
                                         txdescimgparte, flimgparteattiva, txutentein, dtin)
        SELECT vt_id_derivato(p_seme, i.idimgparte), vt_id_derivato(p_seme, i.idimgparte),
               vt_id_derivato(p_seme, i.idpartecomp), i.nuordineparte, i.txdescimgparte,
               i.flimgparteattiva, p_utente, ora
          FROM prod_comp_parte_img i JOIN prod_comp_parti pa ON pa.idpartecomp = i.idpartecomp
          JOIN prod_componenti c ON c.idcompprodotto = pa.idcompprodotto
         WHERE c.idprodotto = p_origine AND (p_nodo IS NULL OR c.idcompprodotto = p_nodo);
        INSERT INTO prod_comp_parte_url (idurlparte, idpartecomp, nuordineparte, txdescurlparte,
                                         txurlparte, flurlparteattiva, txutentein, dtin)
        SELECT vt_id_derivato(p_seme, l.idurlparte), vt_id_derivato(p_seme, l.idpartecomp),
               l.nuordineparte, l.txdescurlparte, l.txurlparte, l.flurlparteattiva, p_utente, ora
          FROM prod_comp_parte_url l JOIN prod_comp_parti pa ON pa.idpartecomp = l.idpartecomp
          JOIN prod_componenti c ON c.idcompprodotto = pa.idcompprodotto
         WHERE c.idprodotto = p_origine AND (p_nodo IS NULL OR c.idcompprodotto = p_nodo);
        INSERT INTO prod_comp_parte_tab (idtabparte, idpartecomp, nuordineparte, txdesctabparte,
                                         txdesccolvoce, txdesccolvalore, fltabparteattiva,
                                         txutentein, dtin)
        SELECT vt_id_derivato(p_seme, tb.idtabparte), vt_id_derivato(p_seme, tb.idpartecomp),
               tb.nuordineparte, tb.txdesctabparte, tb.txdesccolvoce, tb.txdesccolvalore,
               tb.fltabparteattiva, p_utente, ora
          FROM prod_comp_parte_tab tb JOIN prod_comp_parti pa ON pa.idpartecomp = tb.idpartecomp
          JOIN prod_componenti c ON c.idcompprodotto = pa.idcompprodotto
         WHERE c.idprodotto = p_origine AND (p_nodo IS NULL OR c.idcompprodotto = p_nodo);
        INSERT INTO prod_comp_parte_tab_voci (idtabvoce, idtabparte, nuordinevocetab,
                                              txdesccolvoce, txdesccolvalore, flvocetabattiva,
                                              txutentein, dtin)
        SELECT vt_id_derivato(p_seme, tv.idtabvoce), vt_id_derivato(p_seme, tv.idtabparte),
               tv.nuordinevocetab, tv.txdesccolvoce, tv.txdesccolvalore, tv.flvocetabattiva,
               p_utente, ora
          FROM prod_comp_parte_tab_voci tv JOIN prod_comp_parte_tab tb ON tb.idtabparte = tv.idtabparte
          JOIN prod_comp_parti pa ON pa.idpartecomp = tb.idpartecomp
          JOIN prod_componenti c ON c.idcompprodotto = pa.idcompprodotto
         WHERE c.idprodotto = p_origine AND (p_nodo IS NULL OR c.idcompprodotto = p_nodo);
    END IF;
END $$;

-- Tree operations of the structure editor ------------------------------------------------

-- Enables or disables one node (the descendants keep their own flags; a disabled node hides
-- its whole subtree from print). For a quote line the line's own copy changes, never the
-- product, and the line's price is not touched.
CREATE FUNCTION changestatenodo(p_id text, p_tipo integer, p_idnodo text, p_tipologia integer,
                                p_immagini integer, p_utente text)
RETURNS SETOF refcursor
LANGUAGE plpgsql SECURITY DEFINER SET search_path = public, pg_temp SET jit = off AS $$
DECLARE
    u varchar := vt_utente(p_utente);
    ora timestamp := vt_ora();
    prod varchar;
    quanti integer;
    stato integer;
    catena_ids varchar[];
BEGIN
    PERFORM vt_sessione();
    IF p_tipo = 1 THEN
        PERFORM vt_riga_modificabile(p_id);
        -- The node and its ancestors: the node prints only when all of them are enabled, and
        -- the tree shows it so. A printed node is disabled; a node that does not print is
        -- enabled with every ancestor that hid it, so that it prints as the operator asked.
        WITH RECURSIVE catena AS (
            SELECT n.idnodo, n.idparent, n.flattivo FROM prevdet_nodi n
             WHERE n.idpreventivodet = p_id AND n.idnodo = vt_controlla_id(p_idnodo, 'del nodo')
               AND (p_tipologia IS NULL OR n.nutipologia = p_tipologia)
            UNION ALL
            SELECT a.idnodo, a.idparent, a.flattivo FROM prevdet_nodi a
              JOIN catena c ON a.idpreventivodet = p_id AND a.idnodo = c.idparent)
        SELECT count(*), min(c.flattivo), array_agg(c.idnodo) INTO quanti, stato, catena_ids FROM catena c;
        IF quanti = 0 THEN
            RAISE EXCEPTION 'Nodo non trovato nella riga del preventivo (%).', p_idnodo USING ERRCODE = 'P0002';
        END IF;
        IF stato = 1 THEN
            UPDATE prevdet_nodi n SET flattivo = 0, txutentemod = u, dtmod = ora
             WHERE n.idpreventivodet = p_id AND n.idnodo = p_idnodo;
        ELSE
            UPDATE prevdet_nodi n SET flattivo = 1, txutentemod = u, dtmod = ora
             WHERE n.idpreventivodet = p_id AND n.idnodo = ANY (catena_ids) AND n.flattivo = 0;
        END IF;
        UPDATE preventivo_dettaglio SET txutentemod = u, dtmod = ora WHERE idpreventivodet = p_id;
    ELSIF p_tipo = 0 THEN
        PERFORM vt_blocca_prodotto(p_id);
        SELECT n.idprodotto INTO prod FROM vt_nodo(vt_controlla_id(p_idnodo, 'del nodo'), p_tipologia) n;
        IF prod IS DISTINCT FROM p_id THEN
            RAISE EXCEPTION 'Nodo non trovato nel prodotto (%).', p_idnodo USING ERRCODE = 'P0002';
        END IF;
        CASE p_tipologia
        WHEN 10 THEN UPDATE prod_schede SET flschedaprodottoattiva = 1 - flschedaprodottoattiva,
                         txutentemod = u, dtmod = ora WHERE idschedaprodotto = p_idnodo;
        WHEN 20 THEN UPDATE prod_scheda_voci SET flvoceschedaattiva = 1 - flvoceschedaattiva,
                         txutentemod = u, dtmod = ora WHERE idvocescheda = p_idnodo;
        WHEN 30 THEN UPDATE prod_componenti SET flcompprodottoattivo = 1 - flcompprodottoattivo,
                         txutentemod = u, dtmod = ora WHERE idcompprodotto = p_idnodo;
        WHEN 40 THEN UPDATE prod_comp_parti SET flpartecompattiva = 1 - flpartecompattiva,
                         txutentemod = u, dtmod = ora WHERE idpartecomp = p_idnodo;
        WHEN 50 THEN UPDATE prod_comp_parte_txt SET fltxtparteattiva = 1 - fltxtparteattiva,
                         txutentemod = u, dtmod = ora WHERE idtxtparte = p_idnodo;
        WHEN 60 THEN UPDATE prod_comp_parte_img SET flimgparteattiva = 1 - flimgparteattiva,
                         txutentemod = u, dtmod = ora WHERE idimgparte = p_idnodo;
        WHEN 70 THEN UPDATE prod_comp_parte_url SET flurlparteattiva = 1 - flurlparteattiva,
                         txutentemod = u, dtmod = ora WHERE idurlparte = p_idnodo;
        WHEN 80 THEN UPDATE prod_comp_parte_tab SET fltabparteattiva = 1 - fltabparteattiva,
                         txutentemod = u, dtmod = ora WHERE idtabparte = p_idnodo;
        WHEN 90 THEN UPDATE prod_comp_parte_tab_voci SET flvocetabattiva = 1 - flvocetabattiva,
                         txutentemod = u, dtmod = ora WHERE idtabvoce = p_idnodo;
        END CASE;
        PERFORM vt_stampa_prodotto(p_id, u);
    ELSE
        RAISE EXCEPTION 'Tipo di proprietario non valido (%): atteso 0 (prodotto) o 1 (riga).', p_tipo
            USING ERRCODE = '22023';
    END IF;
    RETURN QUERY SELECT * FROM vt_cursori_albero(p_id, p_tipo, p_immagini);
END $$;

-- Deletes a node with its whole subtree and renumbers its siblings. The parent the window
-- knows must still be the node's: otherwise the tree changed meanwhile and nothing happens.
CREATE FUNCTION deletenodo(p_idprodotto text, p_idnodo text, p_idparent text, p_tipologia integer,
                           p_immagini integer, p_utente text)
RETURNS SETOF refcursor
LANGUAGE plpgsql SECURITY DEFINER SET search_path = public, pg_temp SET jit = off AS $$
DECLARE
    u varchar := vt_utente(p_utente);
    n record;
    img varchar[];
BEGIN
    PERFORM vt_sessione();
    PERFORM vt_blocca_prodotto(p_idprodotto);
    SELECT * INTO n FROM vt_nodo(vt_controlla_id(p_idnodo, 'del nodo'), p_tipologia);
    IF NOT FOUND OR n.idprodotto IS DISTINCT FROM p_idprodotto THEN
        RAISE EXCEPTION 'Nodo non trovato nel prodotto (%).', p_idnodo USING ERRCODE = 'P0002';
    END IF;
    IF p_idparent IS NOT NULL AND p_idparent <> n.idparent THEN
        RAISE EXCEPTION 'Il nodo è stato spostato da un altro operatore: ricaricare il prodotto.'
            USING ERRCODE = '40001';
    END IF;
    CASE p_tipologia
    WHEN 10 THEN DELETE FROM prod_schede WHERE idschedaprodotto = p_idnodo;
    WHEN 20 THEN DELETE FROM prod_scheda_voci WHERE idvocescheda = p_idnodo;
    WHEN 30 THEN
        img := ARRAY(SELECT i.idimage FROM prod_comp_parte_img i
                       JOIN prod_comp_parti pa ON pa.idpartecomp = i.idpartecomp
                      WHERE pa.idcompprodotto = p_idnodo);
        DELETE FROM prod_componenti WHERE idcompprodotto = p_idnodo;
    WHEN 40 THEN
        img := ARRAY(SELECT i.idimage FROM prod_comp_parte_img i WHERE i.idpartecomp = p_idnodo);
        DELETE FROM prod_comp_parti WHERE idpartecomp = p_idnodo;
    WHEN 50 THEN DELETE FROM prod_comp_parte_txt WHERE idtxtparte = p_idnodo;
    WHEN 60 THEN
        img := ARRAY(SELECT i.idimage FROM prod_comp_parte_img i WHERE i.idimgparte = p_idnodo);
        DELETE FROM prod_comp_parte_img WHERE idimgparte = p_idnodo;
    WHEN 70 THEN DELETE FROM prod_comp_parte_url WHERE idurlparte = p_idnodo;
    WHEN 80 THEN DELETE FROM prod_comp_parte_tab WHERE idtabparte = p_idnodo;
    WHEN 90 THEN DELETE FROM prod_comp_parte_tab_voci WHERE idtabvoce = p_idnodo;
    END CASE;
    IF img IS NOT NULL THEN
        PERFORM vt_elimina_immagini(img);
    END IF;
    PERFORM vt_rinumera(vt_gruppo(p_tipologia), n.idparent);
    PERFORM vt_stampa_prodotto(p_idprodotto, u);
    RETURN QUERY SELECT * FROM vt_cursori_albero(p_idprodotto, 0, p_immagini);
END $$;

-- Moves a node under a new parent (or the same one) at the place given by the key, then
-- renumbers the sequences it left and joined. Checks that the new parent is of the kind the
-- node needs, belongs to the same product, and that a sub-paragraph gets no fourth image.
CREATE FUNCTION vt_sposta_nodo(p_idprodotto text, p_idnodo text, p_idparent text,
                               p_tipologia integer, p_nuovoparent text, p_chiave numeric)
RETURNS void
LANGUAGE plpgsql AS $$
DECLARE
    n record;
    dest varchar;
    gruppo text := vt_gruppo(p_tipologia);
BEGIN
    SELECT * INTO n FROM vt_nodo(vt_controlla_id(p_idnodo, 'del nodo da spostare'), p_tipologia);
    IF NOT FOUND OR n.idprodotto IS DISTINCT FROM p_idprodotto THEN
        RAISE EXCEPTION 'Nodo da spostare non trovato nel prodotto (%).', p_idnodo USING ERRCODE = 'P0002';
    END IF;
    IF p_idparent IS NOT NULL AND p_idparent <> n.idparent THEN
        RAISE EXCEPTION 'Il nodo è stato spostato da un altro operatore: ricaricare il prodotto.'
            USING ERRCODE = '40001';
    END IF;
    -- The new parent: the product for data sheets and paragraphs, else a node of the right kind.
    IF gruppo = 'top' THEN
        dest := p_idprodotto;
        IF p_nuovoparent IS DISTINCT FROM p_idprodotto THEN
            RAISE EXCEPTION 'Una scheda o un paragrafo può stare solo al primo livello del prodotto.'
                USING ERRCODE = '22023';
        END IF;
    ELSE
        SELECT x.idprodotto INTO dest
          FROM vt_nodo(p_nuovoparent, CASE gruppo WHEN 'voci' THEN 10 WHEN 'parti' THEN 30
                                                  WHEN 'contenuti' THEN 40 ELSE 80 END) x;
        IF dest IS NULL THEN
            RAISE EXCEPTION 'Destinazione non valida per il nodo da spostare: %.',
                CASE gruppo WHEN 'voci' THEN 'serve una scheda' WHEN 'parti' THEN 'serve un paragrafo'
                            WHEN 'contenuti' THEN 'serve un sottoparagrafo' ELSE 'serve una tabella' END
                USING ERRCODE = '22023';
        END IF;
        IF dest <> p_idprodotto THEN
            RAISE EXCEPTION 'La destinazione appartiene a un altro prodotto.' USING ERRCODE = '22023';
        END IF;
        dest := p_nuovoparent;
    END IF;
    IF p_tipologia = 60 AND dest <> n.idparent AND vt_conta_immagini(dest) >= 3 THEN
        RAISE EXCEPTION 'Il sottoparagrafo di destinazione ha già 3 immagini: spostamento non eseguito.'
            USING ERRCODE = '23514';
    END IF;
    IF dest <> n.idparent THEN
        CASE p_tipologia
        WHEN 20 THEN
            UPDATE prod_scheda_voci SET idschedaprodotto = dest WHERE idvocescheda = p_idnodo;
            UPDATE prod_list_scheda_valori SET idschedaprodotto = dest WHERE idvocescheda = p_idnodo;
        WHEN 40 THEN UPDATE prod_comp_parti SET idcompprodotto = dest WHERE idpartecomp = p_idnodo;
        WHEN 50 THEN UPDATE prod_comp_parte_txt SET idpartecomp = dest WHERE idtxtparte = p_idnodo;
        WHEN 60 THEN UPDATE prod_comp_parte_img SET idpartecomp = dest WHERE idimgparte = p_idnodo;
        WHEN 70 THEN UPDATE prod_comp_parte_url SET idpartecomp = dest WHERE idurlparte = p_idnodo;
        WHEN 80 THEN UPDATE prod_comp_parte_tab SET idpartecomp = dest WHERE idtabparte = p_idnodo;
        WHEN 90 THEN UPDATE prod_comp_parte_tab_voci SET idtabparte = dest WHERE idtabvoce = p_idnodo;
        END CASE;
        PERFORM vt_rinumera(gruppo, n.idparent);
    END IF;
    PERFORM vt_rinumera(gruppo, dest, p_idnodo, p_chiave);
END $$;

-- Ends a move by making the node the last child of the target (the product for data sheets
-- and paragraphs).
CREATE FUNCTION appendnodoprodotto(p_idprodotto text, p_idnodo text, p_idparent text,
                                   p_tipologia integer, p_target text, p_immagini integer,
                                   p_utente text)
RETURNS SETOF refcursor
LANGUAGE plpgsql SECURITY DEFINER SET search_path = public, pg_temp SET jit = off AS $$
DECLARE
    u varchar := vt_utente(p_utente);
BEGIN
    PERFORM vt_sessione();
    PERFORM vt_blocca_prodotto(p_idprodotto);
    PERFORM vt_sposta_nodo(p_idprodotto, p_idnodo, p_idparent, p_tipologia, p_target, 1e9 + 1);
    PERFORM vt_stampa_prodotto(p_idprodotto, u);
    RETURN QUERY SELECT * FROM vt_cursori_albero(p_idprodotto, 0, p_immagini);
END $$;

-- Ends a move by placing the node right before (0) or after (1) the target, possibly under
-- another parent. Allowed pairs: data sheet or paragraph with data sheet or paragraph;
-- data-sheet item with item; sub-paragraph with sub-paragraph; text, image, web link or table
-- with any of those; table item with table item.
CREATE FUNCTION insertafterbeforenodoprodotto(p_dopo integer, p_idprodotto text, p_idnodo text,
                                              p_idparent text, p_tipologia integer,
                                              p_target text, p_targetparent text,
                                              p_targettipologia integer, p_immagini integer,
                                              p_utente text)
RETURNS SETOF refcursor
LANGUAGE plpgsql SECURITY DEFINER SET search_path = public, pg_temp SET jit = off AS $$
DECLARE
    u varchar := vt_utente(p_utente);
    t record;
BEGIN
    PERFORM vt_sessione();
    PERFORM vt_flag(p_dopo, 'prima/dopo');
    PERFORM vt_blocca_prodotto(p_idprodotto);
    IF vt_gruppo(p_tipologia) IS NULL OR vt_gruppo(p_tipologia) IS DISTINCT FROM vt_gruppo(p_targettipologia) THEN
        RAISE EXCEPTION 'Il nodo (tipologia %) non può essere messo accanto a un nodo di tipologia %.',
            p_tipologia, p_targettipologia USING ERRCODE = '22023';
    END IF;
    IF p_idnodo = p_target THEN
        RAISE EXCEPTION 'Il nodo non può essere messo accanto a se stesso.' USING ERRCODE = '22023';
    END IF;
    SELECT * INTO t FROM vt_nodo(vt_controlla_id(p_target, 'del nodo di destinazione'), p_targettipologia);
    IF NOT FOUND OR t.idprodotto IS DISTINCT FROM p_idprodotto THEN
        RAISE EXCEPTION 'Nodo di destinazione non trovato nel prodotto (%).', p_target USING ERRCODE = 'P0002';
    END IF;
    IF p_targetparent IS NOT NULL AND p_targetparent <> t.idparent THEN
        RAISE EXCEPTION 'Il nodo di destinazione è stato spostato da un altro operatore: ricaricare il prodotto.'
            USING ERRCODE = '40001';
    END IF;
    PERFORM vt_sposta_nodo(p_idprodotto, p_idnodo, p_idparent, p_tipologia, t.idparent,
                           t.posizione + CASE WHEN p_dopo = 1 THEN 0.5 ELSE -0.5 END);
    PERFORM vt_stampa_prodotto(p_idprodotto, u);
    RETURN QUERY SELECT * FROM vt_cursori_albero(p_idprodotto, 0, p_immagini);
END $$;

-- Merges a sub-paragraph into the one before it in its paragraph: its contents follow those
-- of the previous one, in their order, and the emptied sub-paragraph is removed.
CREATE FUNCTION mergeparte(p_idprodotto text, p_idcomp text, p_idparte text, p_posizione integer,
                           p_immagini integer, p_utente text)
RETURNS SETOF refcursor
LANGUAGE plpgsql SECURITY DEFINER SET search_path = public, pg_temp SET jit = off AS $$
DECLARE
    u varchar := vt_utente(p_utente);
    n record;
    prec varchar;
BEGIN
    PERFORM vt_sessione();
    PERFORM vt_blocca_prodotto(p_idprodotto);
    SELECT * INTO n FROM vt_nodo(vt_controlla_id(p_idparte, 'del sottoparagrafo'), 40);
    IF NOT FOUND OR n.idprodotto IS DISTINCT FROM p_idprodotto THEN
        RAISE EXCEPTION 'Sottoparagrafo non trovato nel prodotto (%).', p_idparte USING ERRCODE = 'P0002';
    END IF;
    IF (p_idcomp IS NOT NULL AND p_idcomp <> n.idparent)
       OR (p_posizione IS NOT NULL AND p_posizione <> n.posizione) THEN
        RAISE EXCEPTION 'Il sottoparagrafo è stato modificato da un altro operatore: ricaricare il prodotto.'
            USING ERRCODE = '40001';
    END IF;
    SELECT pa.idpartecomp INTO prec FROM prod_comp_parti pa
     WHERE pa.idcompprodotto = n.idparent AND pa.nuordinepartecomp < n.posizione
     ORDER BY pa.nuordinepartecomp DESC LIMIT 1;
    IF prec IS NULL THEN
        RAISE EXCEPTION 'Il sottoparagrafo è il primo del paragrafo: non c''è un sottoparagrafo precedente.'
            USING ERRCODE = '22023';
    END IF;
    IF vt_conta_immagini(prec) + vt_conta_immagini(p_idparte) > 3 THEN
        RAISE EXCEPTION 'I due sottoparagrafi insieme avrebbero più di 3 immagini: unione non eseguita.'
            USING ERRCODE = '23514';
    END IF;
    PERFORM vt_rinumera('contenuti', prec);
    PERFORM vt_rinumera('contenuti', p_idparte);
    PERFORM vt_sposta_contenuti(p_idparte, prec, 1, vt_posizione_in_fondo('contenuti', prec) - 1);
    DELETE FROM prod_comp_parti WHERE idpartecomp = p_idparte;
    PERFORM vt_rinumera('contenuti', prec);
    PERFORM vt_rinumera('parti', n.idparent);
    PERFORM vt_stampa_prodotto(p_idprodotto, u);
    RETURN QUERY SELECT * FROM vt_cursori_albero(p_idprodotto, 0, p_immagini);
END $$;

-- Gives a node just posted by the program (position 0) its place: last among its siblings,
-- or, for an insert-between, the given position, the following siblings shifting down. A
-- sub-paragraph inserted at a content (sub-position > 0) takes that content and the following
-- ones of the reference sub-paragraph.
CREATE FUNCTION setordinenewnodo(p_idnodo text, p_idparent text, p_tipologia integer,
                                 p_utente text, p_refparent text DEFAULT NULL,
                                 p_posizione integer DEFAULT NULL,
                                 p_sottoposizione integer DEFAULT NULL)
RETURNS TABLE (flok smallint)
LANGUAGE plpgsql SECURITY DEFINER SET search_path = public, pg_temp SET jit = off AS $$
DECLARE
    u varchar := vt_utente(p_utente);
    n record;
    gruppo text := vt_gruppo(p_tipologia);
BEGIN
    PERFORM vt_sessione();
    IF p_tipologia NOT IN (10, 30, 40, 50, 60, 70, 80) THEN
        RAISE EXCEPTION 'Tipologia di nodo non valida per un nuovo inserimento (%).', p_tipologia
            USING ERRCODE = '22023';
    END IF;
    SELECT * INTO n FROM vt_nodo(vt_controlla_id(p_idnodo, 'del nuovo nodo'), p_tipologia);
    IF NOT FOUND THEN
        RAISE EXCEPTION 'Nuovo nodo non trovato (%).', p_idnodo USING ERRCODE = 'P0002';
    END IF;
    IF n.idparent IS DISTINCT FROM p_idparent THEN
        RAISE EXCEPTION 'Il nuovo nodo non appartiene al nodo indicato come padre (%).', p_idparent
            USING ERRCODE = '22023';
    END IF;
    PERFORM vt_blocca_prodotto(n.idprodotto);
    IF p_tipologia = 60 AND vt_conta_immagini(p_idparent) > 3 THEN
        RAISE EXCEPTION 'Un sottoparagrafo può contenere al massimo 3 immagini.' USING ERRCODE = '23514';
    END IF;
    IF p_posizione IS NULL OR p_posizione <= 0 THEN
        PERFORM vt_rinumera(gruppo, p_idparent, p_idnodo, 1e9 - 0.5);
    ELSE
        PERFORM vt_rinumera(gruppo, p_idparent, p_idnodo, p_posizione - 0.5);
        IF p_tipologia = 40 AND coalesce(p_sottoposizione, 0) > 0
           AND EXISTS (SELECT 1 FROM prod_comp_parti pa
                        WHERE pa.idpartecomp = p_refparent AND pa.idcompprodotto = p_idparent) THEN
            IF (SELECT count(*) FROM prod_comp_parte_img i
                 WHERE i.idpartecomp = p_refparent AND i.nuordineparte >= p_sottoposizione)
               + vt_conta_immagini(p_idnodo) > 3 THEN
                RAISE EXCEPTION 'Un sottoparagrafo può contenere al massimo 3 immagini.' USING ERRCODE = '23514';
            END IF;
            PERFORM vt_sposta_contenuti(p_refparent, p_idnodo, p_sottoposizione, 0);
            PERFORM vt_rinumera('contenuti', p_idnodo);
            PERFORM vt_rinumera('contenuti', p_refparent);
        END IF;
    END IF;
    PERFORM vt_stampa_prodotto(n.idprodotto, u);
    RETURN QUERY SELECT 1::smallint;
END $$;

-- The session's table of split texts, when it is the one preparatemptabtesto made: an
-- ordinary temporary table owned by the schema owner. Nothing else by that name is read (the
-- program's login cannot create temporary objects, but the check does not rely on it).
CREATE FUNCTION vt_temptabtesto() RETURNS regclass
LANGUAGE sql STABLE AS $$
    SELECT c.oid::regclass
      FROM pg_catalog.pg_class c
     WHERE c.oid = pg_catalog.to_regclass('pg_temp.temptabtesto')
       AND c.relnamespace = pg_catalog.pg_my_temp_schema()
       AND c.relkind = 'r' AND c.relowner = (SELECT r.oid FROM pg_catalog.pg_roles r
                                             WHERE r.rolname = current_user)
$$;

-- The text split of the structure editor (the program's batch that creates "#TempTabTesto"):
-- makes the session's temporary table of split texts (idTesto, nuRiga, txTesto, txTestoRtf)
-- once (its rows private to the transaction), empties it and answers its (empty) rows. The program then inserts one row per line
-- and calls SplitElencoPuntato in the same session.
CREATE FUNCTION preparatemptabtesto()
RETURNS TABLE (idtesto varchar, nuriga smallint, txtesto text, txtestortf text)
LANGUAGE plpgsql SECURITY DEFINER SET search_path = public, pg_temp SET jit = off AS $$
BEGIN
    PERFORM vt_sessione();
    IF vt_temptabtesto() IS NULL THEN
        IF pg_catalog.to_regclass('pg_temp.temptabtesto') IS NOT NULL THEN
            RAISE EXCEPTION 'Nella sessione esiste già un oggetto TempTabTesto non creato dal programma.'
                USING ERRCODE = '42P07';
        END IF;
        -- The rows live as long as the transaction that wrote them: a split never sees lines
        -- left over from an earlier one of the session.
        CREATE TEMPORARY TABLE temptabtesto (idtesto varchar(38), nuriga smallint, txtesto text,
                                             txtestortf text) ON COMMIT DELETE ROWS;
        GRANT SELECT, INSERT ON pg_temp.temptabtesto TO ventorel_app;
    END IF;
    DELETE FROM pg_temp.temptabtesto;
    RETURN QUERY SELECT t.idtesto, t.nuriga, t.txtesto, t.txtestortf FROM pg_temp.temptabtesto t;
END $$;

-- Turns a text into several texts (bulleted or not): one per row of the session's table
-- TempTabTesto (ordered by nuRiga), each with the row's idTesto as id. When a text is being
-- modified (position > 0) the new texts take its place; otherwise they are appended to the
-- sub-paragraph.
CREATE FUNCTION splitelencopuntato(p_idprodotto text, p_idnodo text, p_idparte text,
                                   p_posizione integer, p_nurighe integer, p_elenco integer,
                                   p_immagini integer, p_utente text)
RETURNS TABLE (flok smallint)
LANGUAGE plpgsql SECURITY DEFINER SET search_path = public, pg_temp SET jit = off AS $$
DECLARE
    u varchar := vt_utente(p_utente);
    ora timestamp := vt_ora();
    n record;
    righe jsonb;
    quante integer;
    pos integer;
BEGIN
    PERFORM vt_sessione();
    PERFORM vt_flag(p_elenco, 'elenco puntato');
    PERFORM vt_blocca_prodotto(p_idprodotto);
    SELECT * INTO n FROM vt_nodo(vt_controlla_id(p_idparte, 'del sottoparagrafo'), 40);
    IF NOT FOUND OR n.idprodotto IS DISTINCT FROM p_idprodotto THEN
        RAISE EXCEPTION 'Sottoparagrafo non trovato nel prodotto (%).', p_idparte USING ERRCODE = 'P0002';
    END IF;
    IF vt_temptabtesto() IS NULL THEN
        RAISE EXCEPTION 'Testi da inserire non preparati nella sessione (TempTabTesto).'
            USING ERRCODE = '42P01';
    END IF;
    EXECUTE $q$SELECT coalesce(jsonb_agg(jsonb_build_object('id', idtesto, 'rtf', txtestortf, 'txt', txtesto)
                                          ORDER BY nuriga), '[]'::jsonb)
                 FROM pg_temp.temptabtesto$q$ INTO righe;
    quante := jsonb_array_length(righe);
    IF quante = 0 THEN
        RAISE EXCEPTION 'Nessun testo da inserire.' USING ERRCODE = '22023';
    END IF;
    IF p_nurighe IS NOT NULL AND p_nurighe <> quante THEN
        RAISE EXCEPTION 'Righe di testo attese %, presenti %.', p_nurighe, quante USING ERRCODE = '22023';
    END IF;
    IF coalesce(p_posizione, 0) > 0 THEN
        -- The text being modified is replaced at its position.
        DELETE FROM prod_comp_parte_txt t WHERE t.idtxtparte = p_idnodo AND t.idpartecomp = p_idparte
        RETURNING t.nuordineparte INTO pos;
        IF pos IS NULL THEN
            RAISE EXCEPTION 'Testo da trasformare non trovato nel sottoparagrafo (%).', p_idnodo
                USING ERRCODE = 'P0002';
        END IF;
        PERFORM vt_rinumera('contenuti', p_idparte);
        PERFORM vt_sposta_contenuti(p_idparte, p_idparte, pos, quante);
    ELSE
        PERFORM vt_rinumera('contenuti', p_idparte);
        pos := vt_posizione_in_fondo('contenuti', p_idparte);
    END IF;
    INSERT INTO prod_comp_parte_txt (idtxtparte, idpartecomp, nuordineparte, txdesctxtpartertf,
                                     txdesctxtparte, fltestoinelenco, fltxtparteattiva,
                                     txutentein, dtin)
    SELECT CASE WHEN length(r.value->>'id') = 36 THEN '{' || upper(r.value->>'id') || '}'
                ELSE r.value->>'id' END,
           p_idparte, pos + r.ordinality::integer - 1, r.value->>'rtf', r.value->>'txt',
           p_elenco::smallint, 1, u, ora
      FROM jsonb_array_elements(righe) WITH ORDINALITY r;
    PERFORM vt_rinumera('contenuti', p_idparte);
    PERFORM vt_stampa_prodotto(p_idprodotto, u);
    RETURN QUERY SELECT 1::smallint;
END $$;

-- Copies a data sheet (10) with its items, or a paragraph (30) with everything below it and
-- its images, to the end of another product's top level.
CREATE FUNCTION copianodoinaltroprodotto(p_idnodo text, p_tipologia integer, p_target text,
                                         p_utente text)
RETURNS TABLE (flok smallint)
LANGUAGE plpgsql SECURITY DEFINER SET search_path = public, pg_temp SET jit = off AS $$
DECLARE
    u varchar := vt_utente(p_utente);
    n record;
    pos integer;
BEGIN
    PERFORM vt_sessione();
    IF p_tipologia NOT IN (10, 30) THEN
        RAISE EXCEPTION 'Si possono copiare solo schede (10) e paragrafi (30).' USING ERRCODE = '22023';
    END IF;
    SELECT * INTO n FROM vt_nodo(vt_controlla_id(p_idnodo, 'del nodo da copiare'), p_tipologia);
    IF NOT FOUND THEN
        RAISE EXCEPTION 'Nodo da copiare non trovato (%).', p_idnodo USING ERRCODE = 'P0002';
    END IF;
    PERFORM vt_blocca_prodotto(p_target);
    pos := vt_posizione_in_fondo('top', p_target);
    PERFORM vt_copia_albero(n.idprodotto, p_idnodo, p_tipologia, p_target, vt_nuovo_id(), pos, u);
    PERFORM vt_rinumera('top', p_target);
    PERFORM vt_stampa_prodotto(p_target, u);
    RETURN QUERY SELECT 1::smallint;
END $$;

-- Node records ---------------------------------------------------------------------------

-- The row of one node in the table of its kind (no row for a new id); for kinds 20 and 90 the
-- id is the data sheet's or table's and every item comes, in order. Given as one cursor,
-- since each kind has its own columns.
CREATE FUNCTION datinodo(p_idnodo text, p_tipologia integer)
RETURNS SETOF refcursor
LANGUAGE plpgsql SECURITY DEFINER SET search_path = public, pg_temp SET jit = off AS $$
DECLARE
    c refcursor;
BEGIN
    PERFORM vt_sessione();
    PERFORM vt_controlla_id(p_idnodo, 'del nodo');
    c := vt_cursore(1);
    CASE p_tipologia
    WHEN 10 THEN OPEN c FOR SELECT * FROM prod_schede WHERE idschedaprodotto = p_idnodo;
    WHEN 20 THEN OPEN c FOR SELECT * FROM prod_scheda_voci WHERE idschedaprodotto = p_idnodo
                            ORDER BY nuordinevocescheda, idvocescheda;
    WHEN 30 THEN OPEN c FOR SELECT * FROM prod_componenti WHERE idcompprodotto = p_idnodo;
    WHEN 40 THEN OPEN c FOR SELECT * FROM prod_comp_parti WHERE idpartecomp = p_idnodo;
    WHEN 50 THEN OPEN c FOR SELECT * FROM prod_comp_parte_txt WHERE idtxtparte = p_idnodo;
    WHEN 60 THEN OPEN c FOR SELECT * FROM prod_comp_parte_img WHERE idimgparte = p_idnodo;
    WHEN 70 THEN OPEN c FOR SELECT * FROM prod_comp_parte_url WHERE idurlparte = p_idnodo;
    WHEN 80 THEN OPEN c FOR SELECT * FROM prod_comp_parte_tab WHERE idtabparte = p_idnodo;
    WHEN 90 THEN OPEN c FOR SELECT * FROM prod_comp_parte_tab_voci WHERE idtabparte = p_idnodo
                            ORDER BY nuordinevocetab, idtabvoce;
    ELSE
        RAISE EXCEPTION 'Tipologia di nodo non valida (%).', p_tipologia USING ERRCODE = '22023';
    END CASE;
    RETURN NEXT c;
END $$;

CREATE FUNCTION datiimagesdettaglio(p_idimage text)
RETURNS SETOF images_dettagli
LANGUAGE plpgsql STABLE SECURITY DEFINER SET search_path = public, pg_temp SET jit = off AS $$
#variable_conflict use_column
BEGIN
    PERFORM vt_sessione();
    RETURN QUERY SELECT * FROM images_dettagli WHERE idimage = p_idimage;
END $$;

CREATE FUNCTION datiimagesdettagliopreview(p_idimage text)
RETURNS SETOF images_dettagli_preview
LANGUAGE plpgsql STABLE SECURITY DEFINER SET search_path = public, pg_temp SET jit = off AS $$
#variable_conflict use_column
BEGIN
    PERFORM vt_sessione();
    RETURN QUERY SELECT * FROM images_dettagli_preview WHERE idimage = p_idimage;
END $$;
