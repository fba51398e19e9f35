-- Quotes: list, record, numbering, states, blocking and deadline, duplication, revisions,
-- deletion; their lines (also the lines of orders) with each line's own copy of the product
-- tree; the catalogue search of the lines editor; the line detail window.

DO $$ BEGIN PERFORM vt_drop_funzioni(ARRAY['vt_documento', 'vt_riga_modificabile', 'vt_righe',
    'vt_rinumera_righe', 'vt_copia_prodotto_in_riga', 'vt_applica_listino', 'vt_allinea_riga',
    'vt_copia_righe', 'vt_blocca', 'vt_stato_documento', 'estraipreventivi', 'datipreventivo',
    'setnewpreventivo', 'changestatopreventivo', 'changebloccopreventivo', 'bloccapreventivo',
    'clonepreventivo', 'revisionepreventivo', 'undorevisionepreventivo', 'deletepreventivo',
    'estraiprodottiinpreventivo', 'movepreventivodettaglio', 'delpreventivodettaglio',
    'datipreventivodet', 'addprodottotopreventivo', 'updatechangeoflistino',
    'estraiprodottiforpreventivo', 'estraiprevdetschedavalori', 'datiprevdetschedavalori',
    'datiprevdetpartecomp', 'updateprevdetparte', 'vt_preventivo',
    'vt_nuovo_numero_preventivo', 'vt_revisioni_bloccate', 'vt_cambia_listino_riga']); END $$;

-- The document (quote 'P' or order 'O') that owns lines, locked when it is to be changed; a
-- blocked document refuses changes of its lines.
CREATE FUNCTION vt_documento(p_id text, p_modifica boolean DEFAULT false)
RETURNS TABLE (tipo text, bloccato smallint, idsocieta varchar)
LANGUAGE plpgsql AS $$
DECLARE
    b smallint;
    s varchar;
BEGIN
    PERFORM vt_controlla_id(p_id, 'del preventivo');
    IF p_modifica THEN
        SELECT q.flbloccato, q.idsocieta INTO b, s FROM preventivi q WHERE q.idpreventivo = p_id FOR UPDATE;
    ELSE
        SELECT q.flbloccato, q.idsocieta INTO b, s FROM preventivi q WHERE q.idpreventivo = p_id;
    END IF;
    IF FOUND THEN
        IF p_modifica AND b = 1 THEN
            RAISE EXCEPTION 'Il preventivo è bloccato, non è possibile modificarne la struttura.'
                USING ERRCODE = '55000';
        END IF;
        RETURN QUERY SELECT 'P'::text, b, s;
        RETURN;
    END IF;
    IF p_modifica THEN
        SELECT o.flbloccato, o.idsocieta INTO b, s FROM ordini o WHERE o.idordine = p_id FOR UPDATE;
    ELSE
        SELECT o.flbloccato, o.idsocieta INTO b, s FROM ordini o WHERE o.idordine = p_id;
    END IF;
    IF FOUND THEN
        IF p_modifica AND b = 1 THEN
            RAISE EXCEPTION 'L''ordine è bloccato, non è possibile modificarne la struttura.'
                USING ERRCODE = '55000';
        END IF;
        RETURN QUERY SELECT 'O'::text, b, s;
        RETURN;
    END IF;
    RAISE EXCEPTION 'Preventivo o ordine non trovato (%).', p_id USING ERRCODE = 'P0002';
END $$;

-- The owner of a line whose copy is to be changed (locked, not blocked).
CREATE FUNCTION vt_riga_modificabile(p_idriga text) RETURNS varchar
LANGUAGE plpgsql AS $$
DECLARE
    prop varchar;
BEGIN
    SELECT coalesce(d.idpreventivo, d.idordine) INTO prop FROM preventivo_dettaglio d
     WHERE d.idpreventivodet = vt_controlla_id(p_idriga, 'della riga');
    IF prop IS NULL THEN
        RAISE EXCEPTION 'Riga del preventivo non trovata (%).', p_idriga USING ERRCODE = 'P0002';
    END IF;
    PERFORM vt_documento(prop, true);
    RETURN prop;
END $$;

-- The lines of a quote or order, in order.
CREATE FUNCTION vt_righe(p_proprietario text)
RETURNS TABLE (nuordinamento integer, idpreventivodet varchar, idprodotto varchar,
               txcodprodotto varchar, txdescprodotto varchar, txdesclistino varchar,
               idprodlistino varchar, txcodlistino varchar, vlimporto numeric, vllistino numeric,
               numaxpercsconto numeric, vlmaxsconto numeric, imgcopertina bytea,
               nuquantita numeric, fldocumentazione smallint, flservizio smallint,
               flaccessorio smallint, fldocinfondo smallint, flprodottoattivo smallint)
LANGUAGE sql STABLE AS $$
    SELECT d.nuordinamento, d.idpreventivodet, d.idprodotto, p.txcodprodotto, p.txdescprodotto,
           d.txdesclistino, d.idprodlistino, d.txcodlistino, d.vlimporto, d.vllistino,
           d.numaxpercsconto, d.vlmaxsconto, coalesce(ipv.imgpreview, ip.imgimage), d.nuquantita,
           p.fldocumentazione, d.flservizio, d.flaccessorio, d.fldocinfondo, d.flprodottoattivo
      FROM preventivo_dettaglio d
      JOIN prodotti p ON p.idprodotto = d.idprodotto
      LEFT JOIN images_prodotti_preview ipv ON ipv.idimage = d.idprodotto
      LEFT JOIN images_prodotti ip ON ip.idimage = d.idprodotto AND ipv.imgpreview IS NULL
     WHERE coalesce(d.idpreventivo, d.idordine) = p_proprietario
     ORDER BY d.nuordinamento
$$;

CREATE FUNCTION vt_rinumera_righe(p_proprietario text, p_id text DEFAULT NULL,
                                  p_chiave numeric DEFAULT NULL) RETURNS void
LANGUAGE sql AS $$
    WITH o AS (
        SELECT d.idpreventivodet AS id,
               row_number() OVER (ORDER BY CASE WHEN d.idpreventivodet = p_id THEN p_chiave
                                                ELSE d.nuordinamento END, d.idpreventivodet) AS rn
          FROM preventivo_dettaglio d WHERE coalesce(d.idpreventivo, d.idordine) = p_proprietario)
    UPDATE preventivo_dettaglio d SET nuordinamento = o.rn FROM o
     WHERE d.idpreventivodet = o.id AND d.nuordinamento <> o.rn
$$;

-- Applies a price list (or none) to a line's copy: sub-paragraph quantities and descriptions
-- of the list (else the product's), data-sheet values of the list (else none). Limited to one
-- data sheet, or to the given nodes, when asked.
CREATE FUNCTION vt_applica_listino(p_idriga text, p_idlistino text, p_idscheda text,
                                   p_utente text, p_nodi varchar[] DEFAULT NULL) RETURNS void
LANGUAGE sql AS $$
    UPDATE prevdet_nodi n
       SET nuquantita = CASE WHEN q.nuquantitaparte > 0 THEN q.nuquantitaparte ELSE pa.nuquantitaparte END,
           txdescnodo = coalesce(q.txdescpartecomp, pa.txdescpartecomp),
           txutentemod = p_utente, dtmod = vt_ora()
      FROM prod_comp_parti pa
      LEFT JOIN prod_list_parte_quantita q ON q.idpartecomp = pa.idpartecomp AND q.idprodlistino = p_idlistino
     WHERE p_idscheda IS NULL AND n.idpreventivodet = p_idriga AND n.nutipologia = 40
       AND pa.idpartecomp = n.idnodo AND (p_nodi IS NULL OR n.idnodo = ANY (p_nodi))
       AND (n.nuquantita IS DISTINCT FROM CASE WHEN q.nuquantitaparte > 0 THEN q.nuquantitaparte
                                                 ELSE pa.nuquantitaparte END
            OR n.txdescnodo IS DISTINCT FROM coalesce(q.txdescpartecomp, pa.txdescpartecomp));
    UPDATE prevdet_nodi n
       SET txdescnodob = v.valore, txutentemod = p_utente, dtmod = vt_ora()
      FROM (SELECT n2.idnodo, lv.txvalorevocescheda AS valore
              FROM prevdet_nodi n2
              LEFT JOIN prod_list_scheda_valori lv ON lv.idvocescheda = n2.idnodo AND lv.idprodlistino = p_idlistino
             WHERE n2.idpreventivodet = p_idriga AND n2.nutipologia = 20
               AND (p_idscheda IS NULL OR n2.idparent = p_idscheda)
               AND (p_nodi IS NULL OR n2.idnodo = ANY (p_nodi))) v
     WHERE n.idpreventivodet = p_idriga AND n.idnodo = v.idnodo
       AND n.txdescnodob IS DISTINCT FROM v.valore;
$$;

-- Another price list for a line whose copy was given p_vecchio (null: none): every
-- sub-paragraph quantity and description and every data-sheet value that still shows what the
-- old list gave takes what the new one gives; a value the operator set on the line itself
-- stays. The copy is then recorded as given the new list.
CREATE FUNCTION vt_cambia_listino_riga(p_idriga text, p_vecchio text, p_nuovo text, p_utente text)
RETURNS void
LANGUAGE sql AS $$
    UPDATE prevdet_nodi n
       SET nuquantita = CASE WHEN n.nuquantita IS NOT DISTINCT FROM x.qprima THEN x.q ELSE n.nuquantita END,
           txdescnodo = CASE WHEN n.txdescnodo IS NOT DISTINCT FROM x.dprima THEN x.d ELSE n.txdescnodo END,
           txutentemod = p_utente, dtmod = vt_ora()
      FROM (SELECT pa.idpartecomp,
                   CASE WHEN qv.nuquantitaparte > 0 THEN qv.nuquantitaparte ELSE pa.nuquantitaparte END AS qprima,
                   coalesce(qv.txdescpartecomp, pa.txdescpartecomp)::text AS dprima,
                   CASE WHEN qn.nuquantitaparte > 0 THEN qn.nuquantitaparte ELSE pa.nuquantitaparte END AS q,
                   coalesce(qn.txdescpartecomp, pa.txdescpartecomp)::text AS d
              FROM prod_comp_parti pa
              LEFT JOIN prod_list_parte_quantita qv ON qv.idpartecomp = pa.idpartecomp AND qv.idprodlistino = p_vecchio
              LEFT JOIN prod_list_parte_quantita qn ON qn.idpartecomp = pa.idpartecomp AND qn.idprodlistino = p_nuovo) x
     WHERE n.idpreventivodet = p_idriga AND n.nutipologia = 40 AND n.idnodo = x.idpartecomp
       AND ((n.nuquantita IS NOT DISTINCT FROM x.qprima AND x.qprima IS DISTINCT FROM x.q)
            OR (n.txdescnodo IS NOT DISTINCT FROM x.dprima AND x.dprima IS DISTINCT FROM x.d));
    UPDATE prevdet_nodi n
       SET txdescnodob = x.valore, txutentemod = p_utente, dtmod = vt_ora()
      FROM (SELECT n2.idnodo, lv.txvalorevocescheda::text AS prima, ln.txvalorevocescheda::text AS valore
              FROM prevdet_nodi n2
              LEFT JOIN prod_list_scheda_valori lv ON lv.idvocescheda = n2.idnodo AND lv.idprodlistino = p_vecchio
              LEFT JOIN prod_list_scheda_valori ln ON ln.idvocescheda = n2.idnodo AND ln.idprodlistino = p_nuovo
             WHERE n2.idpreventivodet = p_idriga AND n2.nutipologia = 20) x
     WHERE n.idpreventivodet = p_idriga AND n.idnodo = x.idnodo
       AND n.txdescnodob IS NOT DISTINCT FROM x.prima AND x.prima IS DISTINCT FROM x.valore;
    UPDATE preventivo_dettaglio SET idlistinoapplicato = p_nuovo
     WHERE idpreventivodet = p_idriga AND idlistinoapplicato IS DISTINCT FROM p_nuovo;
$$;

-- Copies a product's whole tree into a line's own copy: top-level nodes hang from the line.
CREATE FUNCTION vt_copia_prodotto_in_riga(p_idriga text, p_idprodotto text) RETURNS void
LANGUAGE plpgsql AS $$
BEGIN
    INSERT INTO prevdet_nodi (idpreventivodet, idnodo, nutipologia, idparent, idsezione, nuordera,
                              nuorderb, nuorderc, nuorderd, txdescnodo, txdescnodob, txdescnodoc,
                              txtestortf, nuquantita, fltestoinelenco, flattivo, flunita,
                              flnewpagebefore, flriepilogo, flimportante, idimage, txurl)
    SELECT p_idriga, n.idnodo, n.nutipologia,
           CASE WHEN n.nutipologia IN (10, 30) THEN p_idriga ELSE n.idparent END, n.idsezione,
           n.nuordera, n.nuorderb, n.nuorderc, n.nuorderd, n.txdescnodo, n.txdescnodob,
           n.txdescnodoc, n.txtestortf, n.nuquantita, n.fltestoinelenco, n.flattivo, n.flunita,
           n.flnewpagebefore, n.flriepilogo, n.flimportante, im.idimage, n.txurl
      FROM prodotti_nodi n
      LEFT JOIN images_dettagli im ON im.idimage = n.idimage
     WHERE n.idprodotto = p_idprodotto;
END $$;

-- Brings a line's copy in line with its product's current tree: nodes gone from the product
-- are removed, new ones added (with the line's price list applied), the others take the
-- product's texts and positions but keep the line's own active flags, data-sheet values,
-- sub-paragraph descriptions and quantities, and print options.
CREATE FUNCTION vt_allinea_riga(p_idriga text, p_utente text) RETURNS void
LANGUAGE plpgsql AS $$
DECLARE
    r record;
    nuovi varchar[];
BEGIN
    SELECT d.idprodotto, d.idlistinoapplicato AS idprodlistino INTO r
      FROM preventivo_dettaglio d WHERE d.idpreventivodet = p_idriga;
    DELETE FROM prevdet_nodi n
     WHERE n.idpreventivodet = p_idriga
       AND NOT EXISTS (SELECT 1 FROM prodotti_nodi s WHERE s.idprodotto = r.idprodotto AND s.idnodo = n.idnodo);
    UPDATE prevdet_nodi n
       SET nutipologia = s.nutipologia,
           idparent = CASE WHEN s.nutipologia IN (10, 30) THEN p_idriga ELSE s.idparent END,
           idsezione = s.idsezione, nuordera = s.nuordera, nuorderb = s.nuorderb,
           nuorderc = s.nuorderc, nuorderd = s.nuorderd,
           txdescnodo = CASE WHEN s.nutipologia = 40 THEN n.txdescnodo ELSE s.txdescnodo END,
           txdescnodob = CASE WHEN s.nutipologia = 20 THEN n.txdescnodob ELSE s.txdescnodob END,
           txdescnodoc = s.txdescnodoc, txtestortf = s.txtestortf,
           nuquantita = CASE WHEN s.nutipologia = 40 THEN n.nuquantita ELSE s.nuquantita END,
           fltestoinelenco = s.fltestoinelenco, flriepilogo = s.flriepilogo,
           flimportante = s.flimportante,
           idimage = (SELECT im.idimage FROM images_dettagli im WHERE im.idimage = s.idimage),
           txurl = s.txurl
      FROM prodotti_nodi s
     WHERE s.idprodotto = r.idprodotto AND n.idpreventivodet = p_idriga AND n.idnodo = s.idnodo;
    WITH ins AS (
        INSERT INTO prevdet_nodi (idpreventivodet, idnodo, nutipologia, idparent, idsezione,
                                  nuordera, nuorderb, nuorderc, nuorderd, txdescnodo, txdescnodob,
                                  txdescnodoc, txtestortf, nuquantita, fltestoinelenco, flattivo,
                                  flunita, flnewpagebefore, flriepilogo, flimportante, idimage, txurl)
        SELECT p_idriga, s.idnodo, s.nutipologia,
               CASE WHEN s.nutipologia IN (10, 30) THEN p_idriga ELSE s.idparent END, s.idsezione,
               s.nuordera, s.nuorderb, s.nuorderc, s.nuorderd, s.txdescnodo, s.txdescnodob,
               s.txdescnodoc, s.txtestortf, s.nuquantita, s.fltestoinelenco, s.flattivo, s.flunita,
               s.flnewpagebefore, s.flriepilogo, s.flimportante,
               (SELECT im.idimage FROM images_dettagli im WHERE im.idimage = s.idimage), s.txurl
          FROM prodotti_nodi s
         WHERE s.idprodotto = r.idprodotto
           AND NOT EXISTS (SELECT 1 FROM prevdet_nodi n
                            WHERE n.idpreventivodet = p_idriga AND n.idnodo = s.idnodo)
        RETURNING idnodo)
    SELECT array_agg(idnodo) INTO nuovi FROM ins;
    IF nuovi IS NOT NULL THEN
        PERFORM vt_applica_listino(p_idriga, r.idprodlistino, NULL, p_utente, nuovi);
    END IF;
END $$;

-- Copies every line of a document (with its tree copy) to another document; the new lines get
-- ids derived from the seed.
CREATE FUNCTION vt_copia_righe(p_da text, p_apreventivo text, p_aordine text, p_seme text,
                               p_utente text) RETURNS void
LANGUAGE plpgsql AS $$
DECLARE
    ora timestamp := vt_ora();
BEGIN
    INSERT INTO preventivo_dettaglio (idpreventivodet, idpreventivo, idordine, idprodotto,
                                      nuordinamento, idprodlistino, txcodlistino, txdesclistino,
                                      vlimporto, vllistino, numaxpercsconto, vlmaxsconto, nuquantita,
                                      flaccessorio, flservizio, fldocinfondo, flprodottoattivo,
                                      flnewpagebefore, flpartecompunita, idlistinoapplicato,
                                      txutentein, dtin)
    SELECT vt_id_derivato(p_seme, d.idpreventivodet), p_apreventivo, p_aordine, d.idprodotto,
           d.nuordinamento, d.idprodlistino, d.txcodlistino, d.txdesclistino, d.vlimporto,
           d.vllistino, d.numaxpercsconto, d.vlmaxsconto, d.nuquantita, d.flaccessorio,
           d.flservizio, d.fldocinfondo, d.flprodottoattivo, d.flnewpagebefore, d.flpartecompunita,
           d.idlistinoapplicato, p_utente, ora
      FROM preventivo_dettaglio d WHERE coalesce(d.idpreventivo, d.idordine) = p_da;
    INSERT INTO prevdet_nodi (idpreventivodet, idnodo, nutipologia, idparent, idsezione, nuordera,
                              nuorderb, nuorderc, nuorderd, txdescnodo, txdescnodob, txdescnodoc,
                              txtestortf, nuquantita, fltestoinelenco, flattivo, flunita,
                              flnewpagebefore, flriepilogo, flimportante, idimage, txurl,
                              txutentemod, dtmod)
    SELECT vt_id_derivato(p_seme, n.idpreventivodet), n.idnodo, n.nutipologia,
           CASE WHEN n.nutipologia IN (10, 30) THEN vt_id_derivato(p_seme, n.idpreventivodet)
                ELSE n.idparent END,
           n.idsezione, n.nuordera, n.nuorderb, n.nuorderc, n.nuorderd, n.txdescnodo,
           n.txdescnodob, n.txdescnodoc, n.txtestortf, n.nuquantita, n.fltestoinelenco, n.flattivo,
           n.flunita, n.flnewpagebefore, n.flriepilogo, n.flimportante, n.idimage, n.txurl,
           n.txutentemod, n.dtmod
      FROM prevdet_nodi n
      JOIN preventivo_dettaglio d ON d.idpreventivodet = n.idpreventivodet
     WHERE coalesce(d.idpreventivo, d.idordine) = p_da;
END $$;

-- Quotes -----------------------------------------------------------------------------------

-- The quote list of a company. Mode 0 (a window opening, before any filter) gives the 100
-- active quotes of the operator's company (or, for an operator without one, of the first
-- company of the company selector) with the most recent operation. The tenth argument 1 (the
-- quote search of the orders window) keeps only quotes an order can be made from: blocked,
-- active and not ordered yet. The customer filters follow when given. flUltimaRevisione tells
-- the latest revision of each number, the only one that can be revised or undone.
CREATE FUNCTION estraipreventivi(p_modo integer, p_idsocieta text DEFAULT NULL,
                                 p_anno integer DEFAULT NULL, p_numero integer DEFAULT NULL,
                                 p_revisione integer DEFAULT NULL, p_descrizione text DEFAULT NULL,
                                 p_dal timestamp DEFAULT NULL, p_al timestamp DEFAULT NULL,
                                 p_nonattivi integer DEFAULT 0, p_bloccati integer DEFAULT 1,
                                 p_perordine integer DEFAULT 0, p_codcliente text DEFAULT NULL,
                                 p_denominazione text DEFAULT NULL, p_partitaiva text DEFAULT NULL,
                                 p_codfiscale text DEFAULT NULL, p_nazionalita integer DEFAULT NULL,
                                 p_provnaz text DEFAULT NULL)
RETURNS TABLE (idpreventivo varchar, idsocieta varchar, idcliente varchar,
               nuannopreventivo integer, nupreventivo integer, nurevisione integer,
               txnupreventivo text, dtpreventivo timestamp, txdescoggetto varchar,
               txscadenza text, flscadenzafissa smallint, nuggscaddalblocco integer,
               dtscadenza timestamp, txnotepreventivo varchar, txcodcliente varchar,
               txdenominazione varchar, txdesccliente text, flbloccato smallint, dtcanc timestamp,
               txutentecanc varchar, dtin timestamp, txutentein varchar, dtmod timestamp,
               txutentemod varchar, dtblocco timestamp, txutenteblocco varchar,
               dtsblocco timestamp, txutentesblocco varchar, dtmaxoperation timestamp,
               txdescmaxoperation text, flokprodottiprincipali smallint,
               flokprimoprodottoprincipale smallint, txnomefolder varchar, txnomefilepdf varchar,
               txurlfilepdf varchar, flordinato smallint, flultimarevisione smallint)
LANGUAGE plpgsql STABLE SECURITY DEFINER SET search_path = public, pg_temp SET jit = off AS $$
DECLARE
    f text := '';
    soc text := p_idsocieta;
    ultimi text := '';
BEGIN
    PERFORM vt_sessione();
    IF p_modo = 0 THEN
        soc := coalesce(vt_sessione_societa(),
                        (SELECT s.idsocieta FROM societa s WHERE s.dtcanc IS NULL
                          ORDER BY upper(s.txdenominazione), s.txdenominazione, s.idsocieta
                          LIMIT 1));
        f := ' AND q.dtcanc IS NULL';
        ultimi := ' ORDER BY a.dt DESC NULLS LAST, q.nuannopreventivo DESC, q.nupreventivo DESC,'
                  ' q.nurevisione DESC LIMIT 100';
    ELSE
        PERFORM 1 FROM societa s WHERE s.idsocieta = vt_controlla_id(p_idsocieta, 'della società');
        IF NOT FOUND THEN
            RAISE EXCEPTION 'Società non trovata (%).', p_idsocieta USING ERRCODE = 'P0002';
        END IF;
        IF p_anno IS NOT NULL THEN f := f || format(' AND q.nuannopreventivo = %s', p_anno); END IF;
        IF p_numero IS NOT NULL THEN f := f || format(' AND q.nupreventivo = %s', p_numero); END IF;
        IF p_revisione IS NOT NULL THEN f := f || format(' AND q.nurevisione = %s', p_revisione); END IF;
        IF vt_vuoto(p_descrizione) IS NOT NULL THEN
            f := f || ' AND ' || vt_like('q.txdescoggetto', p_descrizione);
        END IF;
        IF p_dal IS NOT NULL THEN f := f || format(' AND q.dtpreventivo >= %L', p_dal::date); END IF;
        IF p_al IS NOT NULL THEN f := f || format(' AND q.dtpreventivo < %L', p_al::date + 1); END IF;
        IF coalesce(p_nonattivi, 0) = 0 THEN f := f || ' AND q.dtcanc IS NULL'; END IF;
        IF coalesce(p_bloccati, 1) = 0 THEN f := f || ' AND q.flbloccato = 0'; END IF;
        IF coalesce(p_perordine, 0) = 1 THEN
            f := f || ' AND q.flbloccato = 1 AND q.dtcanc IS NULL
                        AND NOT EXISTS (SELECT 1 FROM ordini o WHERE o.idpreventivo = q.idpreventivo)';
        END IF;
        f := f || vt_filtro_anagrafica(p_codcliente, p_denominazione, p_partitaiva, p_codfiscale);
        IF p_nazionalita IS NOT NULL AND p_nazionalita <> 2 THEN
            f := f || ' AND c.idcliente IS NOT NULL' || vt_filtro_nazionalita('c', p_nazionalita, p_provnaz);
        END IF;
    END IF;
    IF soc IS NULL THEN
        RETURN;
    END IF;
    -- The latest operation: insertion, change, an operation on the lines, block, unblock or
    -- deactivation. At the same moment (a copy made with its lines) the insertion counts.
    RETURN QUERY EXECUTE format($q$
        SELECT q.idpreventivo, q.idsocieta, q.idcliente, q.nuannopreventivo, q.nupreventivo,
               q.nurevisione, vt_nu_preventivo(q.nuannopreventivo, q.nupreventivo, q.nurevisione),
               q.dtpreventivo, q.txdescoggetto, vt_scadenza(q.flscadenzafissa, q.dtscadenza, q.nuggscaddalblocco),
               q.flscadenzafissa, q.nuggscaddalblocco, q.dtscadenza, q.txnotepreventivo,
               c.txcodcliente, c.txdenominazione,
               vt_desc_cliente(c.txdenominazione, c.txlocalita, c.txprovincia, c.txcodcliente),
               q.flbloccato, q.dtcanc, q.txutentecanc, q.dtin, q.txutentein, q.dtmod, q.txutentemod,
               q.dtblocco, q.txutenteblocco, q.dtsblocco, q.txutentesblocco,
               a.dt, a.descr, coalesce(r.principali, 0)::smallint, coalesce(r.primo, 0)::smallint,
               q.txnomefolder, q.txnomefilepdf, q.txurlfilepdf,
               CASE WHEN EXISTS (SELECT 1 FROM ordini o WHERE o.idpreventivo = q.idpreventivo)
                    THEN 1 ELSE 0 END::smallint,
               CASE WHEN EXISTS (SELECT 1 FROM preventivi p2
                                  WHERE p2.idsocieta = q.idsocieta
                                    AND p2.nuannopreventivo = q.nuannopreventivo
                                    AND p2.nupreventivo = q.nupreventivo
                                    AND p2.nurevisione > q.nurevisione)
                    THEN 0 ELSE 1 END::smallint
          FROM preventivi q
          LEFT JOIN clienti c ON c.idcliente = q.idcliente
          LEFT JOIN preventivi_operazioni_righe op ON op.idpreventivo = q.idpreventivo
          LEFT JOIN LATERAL (
               SELECT max(CASE WHEN d.flservizio = 0 AND d.flaccessorio = 0 AND p.fldocumentazione = 0
                               THEN 1 ELSE 0 END) AS principali,
                      max(CASE WHEN d.nuordinamento = 1 AND d.flservizio = 0 AND d.flaccessorio = 0
                                    AND p.fldocumentazione = 0 THEN 1 ELSE 0 END) AS primo
                 FROM preventivo_dettaglio d JOIN prodotti p ON p.idprodotto = d.idprodotto
                WHERE coalesce(d.idpreventivo, d.idordine) = q.idpreventivo) r ON true
          CROSS JOIN LATERAL (
               SELECT greatest(q.dtin, q.dtmod, op.dtoperazione, q.dtblocco, q.dtsblocco, q.dtcanc) AS dt) m
          CROSS JOIN LATERAL (
               SELECT m.dt,
                      CASE m.dt WHEN q.dtcanc THEN 'Disattivazione' || coalesce(' - ' || q.txutentecanc, '')
                                WHEN q.dtsblocco THEN 'Sblocco' || coalesce(' - ' || q.txutentesblocco, '')
                                WHEN q.dtblocco THEN 'Blocco' || coalesce(' - ' || q.txutenteblocco, '')
                                WHEN q.dtin THEN 'Inserimento' || coalesce(' - ' || q.txutentein, '')
                                WHEN op.dtoperazione THEN 'Modifica prodotti' || coalesce(' - ' || op.txutenteoperazione, '')
                                WHEN q.dtmod THEN 'Modifica' || coalesce(' - ' || q.txutentemod, '')
                      END AS descr) a
         WHERE q.idsocieta = %L %s %s$q$, soc, f, ultimi);
END $$;

-- The quote record (no row for a new quote). The folder window of the order list opens its
-- record with an order's id: then the answer is that order's folder data (its key idOrdine,
-- txNomeFolder, txNomeFilePDF, txUrlFilePDF), an editable record of the orders table. One
-- cursor either way, so the two shapes can share the name.
CREATE FUNCTION datipreventivo(p_idpreventivo text)
RETURNS SETOF refcursor
LANGUAGE plpgsql SECURITY DEFINER SET search_path = public, pg_temp SET jit = off AS $$
DECLARE
    c refcursor;
BEGIN
    PERFORM vt_sessione();
    c := vt_cursore(1);
    IF NOT EXISTS (SELECT 1 FROM preventivi WHERE idpreventivo = p_idpreventivo)
       AND EXISTS (SELECT 1 FROM ordini WHERE idordine = p_idpreventivo) THEN
        OPEN c FOR SELECT o.idordine, o.txnomefolder, o.txnomefilepdf, o.txurlfilepdf
                     FROM ordini o WHERE o.idordine = p_idpreventivo;
    ELSE
        OPEN c FOR SELECT * FROM preventivi WHERE idpreventivo = p_idpreventivo;
    END IF;
    RETURN NEXT c;
END $$;

-- A quote, locked for a change; raises for an unknown id.
CREATE FUNCTION vt_preventivo(p_idpreventivo text) RETURNS preventivi
LANGUAGE plpgsql AS $$
DECLARE
    q preventivi;
BEGIN
    SELECT * INTO q FROM preventivi
     WHERE idpreventivo = vt_controlla_id(p_idpreventivo, 'del preventivo') FOR UPDATE;
    IF NOT FOUND THEN
        RAISE EXCEPTION 'Preventivo non trovato (%).', p_idpreventivo USING ERRCODE = 'P0002';
    END IF;
    RETURN q;
END $$;

-- The next quote number of a company and year that no quote holds: a number stored by other
-- means is skipped instead of jamming the numbering.
CREATE FUNCTION vt_nuovo_numero_preventivo(p_idsocieta text, p_anno integer) RETURNS integer
LANGUAGE plpgsql AS $$
DECLARE
    n integer;
BEGIN
    LOOP
        n := vt_numero('PREVENTIVI:' || p_idsocieta || ':' || p_anno);
        EXIT WHEN NOT EXISTS (SELECT 1 FROM preventivi q
                               WHERE q.idsocieta = p_idsocieta AND q.nuannopreventivo = p_anno
                                 AND q.nupreventivo = n);
    END LOOP;
    RETURN n;
END $$;

-- Year, number within the year (one counter per company and year), revision 1 and date of a
-- new quote, inside the transaction that stored it. A quote that has a number keeps it.
CREATE FUNCTION setnewpreventivo(p_idpreventivo text, p_utente text)
RETURNS TABLE (nuannopreventivo integer, nupreventivo integer, nurevisione integer,
               dtpreventivo timestamp)
LANGUAGE plpgsql SECURITY DEFINER SET search_path = public, pg_temp SET jit = off AS $$
#variable_conflict use_column
DECLARE
    q preventivi;
    anno integer := extract(year FROM current_date)::integer;
BEGIN
    PERFORM vt_sessione();
    PERFORM vt_utente(p_utente);
    q := vt_preventivo(p_idpreventivo);
    IF q.nupreventivo IS NULL THEN
        UPDATE preventivi
           SET nuannopreventivo = anno,
               nupreventivo = vt_nuovo_numero_preventivo(q.idsocieta, anno),
               nurevisione = 1, dtpreventivo = vt_oggi()
         WHERE idpreventivo = p_idpreventivo;
    END IF;
    RETURN QUERY SELECT p.nuannopreventivo, p.nupreventivo, p.nurevisione, p.dtpreventivo
                   FROM preventivi p WHERE p.idpreventivo = p_idpreventivo;
END $$;

CREATE FUNCTION changestatopreventivo(p_idpreventivo text, p_stato integer, p_utente text)
RETURNS TABLE (flok smallint)
LANGUAGE plpgsql SECURITY DEFINER SET search_path = public, pg_temp SET jit = off AS $$
DECLARE
    u varchar := vt_utente(p_utente);
    q preventivi;
BEGIN
    PERFORM vt_sessione();
    PERFORM vt_flag(p_stato, 'stato');
    q := vt_preventivo(p_idpreventivo);
    IF p_stato = 1 THEN
        UPDATE preventivi SET dtcanc = NULL, txutentecanc = NULL WHERE idpreventivo = p_idpreventivo;
    ELSE
        IF q.flbloccato = 1 THEN
            RAISE EXCEPTION 'Il preventivo è bloccato, non è possibile disattivarlo.' USING ERRCODE = '55000';
        END IF;
        UPDATE preventivi SET dtcanc = coalesce(dtcanc, vt_ora()), txutentecanc = coalesce(txutentecanc, u)
         WHERE idpreventivo = p_idpreventivo;
    END IF;
    RETURN QUERY SELECT 1::smallint;
END $$;

-- Blocks (1) or unblocks (0) a quote or an order. In the days mode the deadline becomes the
-- blocking day plus the days, and is removed on unblocking. Answers the state before the
-- change (already blocked or not) and the deadline after it.
CREATE FUNCTION vt_blocca(p_id text, p_blocca integer, p_utente text)
RETURNS TABLE (giabloccato boolean, flscadenzafissa smallint, nuggscaddalblocco integer,
               dtscadenza timestamp)
LANGUAGE plpgsql AS $$
#variable_conflict use_column
DECLARE
    u varchar := vt_utente(p_utente);
    ora timestamp := vt_ora();
    tipo text;
    prima smallint;
BEGIN
    PERFORM vt_flag(p_blocca, 'blocco');
    SELECT d.tipo, d.bloccato INTO tipo, prima FROM vt_documento(p_id, false) d;
    IF tipo = 'P' THEN
        PERFORM vt_preventivo(p_id);
        IF p_blocca = 1 AND prima = 0 THEN
            UPDATE preventivi q SET flbloccato = 1, dtblocco = ora, txutenteblocco = u,
                   dtscadenza = CASE WHEN q.flscadenzafissa = 0 THEN (current_date + q.nuggscaddalblocco)::timestamp
                                     ELSE q.dtscadenza END
             WHERE q.idpreventivo = p_id;
        ELSIF p_blocca = 0 AND prima = 1 THEN
            UPDATE preventivi q SET flbloccato = 0, dtsblocco = ora, txutentesblocco = u,
                   dtscadenza = CASE WHEN q.flscadenzafissa = 0 THEN NULL ELSE q.dtscadenza END
             WHERE q.idpreventivo = p_id;
        END IF;
        RETURN QUERY SELECT prima = 1, q.flscadenzafissa, q.nuggscaddalblocco, q.dtscadenza
                       FROM preventivi q WHERE q.idpreventivo = p_id;
    ELSE
        PERFORM 1 FROM ordini o WHERE o.idordine = p_id FOR UPDATE;
        IF p_blocca = 1 AND prima = 0 THEN
            UPDATE ordini o SET flbloccato = 1, dtblocco = ora, txutenteblocco = u,
                   dtscadenza = CASE WHEN o.flscadenzafissa = 0 THEN (current_date + o.nuggscaddalblocco)::timestamp
                                     ELSE o.dtscadenza END
             WHERE o.idordine = p_id;
        ELSIF p_blocca = 0 AND prima = 1 THEN
            UPDATE ordini o SET flbloccato = 0, dtsblocco = ora, txutentesblocco = u,
                   dtscadenza = CASE WHEN o.flscadenzafissa = 0 THEN NULL ELSE o.dtscadenza END
             WHERE o.idordine = p_id;
        END IF;
        RETURN QUERY SELECT prima = 1, o.flscadenzafissa, o.nuggscaddalblocco, o.dtscadenza
                       FROM ordini o WHERE o.idordine = p_id;
    END IF;
END $$;

CREATE FUNCTION changebloccopreventivo(p_idpreventivo text, p_blocca integer, p_utente text)
RETURNS TABLE (dtscadenza timestamp, flscadenzafissa smallint, nuggscaddalblocco integer)
LANGUAGE plpgsql SECURITY DEFINER SET search_path = public, pg_temp SET jit = off AS $$
#variable_conflict use_column
BEGIN
    PERFORM vt_sessione();
    PERFORM vt_preventivo(p_idpreventivo);
    RETURN QUERY SELECT b.dtscadenza, b.flscadenzafissa, b.nuggscaddalblocco
                   FROM vt_blocca(p_idpreventivo, p_blocca, p_utente) b;
END $$;

-- Blocking after an export (quotes, and orders from the folder window): "OK_BLOCCO" when the
-- document was blocked now, "GIA_BLOCCATO" when it already was (nothing changes).
CREATE FUNCTION bloccapreventivo(p_id text, p_utente text)
RETURNS TABLE (statoop text, flscadenzafissa smallint, nuggscaddalblocco integer,
               dtscadenza timestamp)
LANGUAGE plpgsql SECURITY DEFINER SET search_path = public, pg_temp SET jit = off AS $$
#variable_conflict use_column
BEGIN
    PERFORM vt_sessione();
    RETURN QUERY SELECT CASE WHEN b.giabloccato THEN 'GIA_BLOCCATO' ELSE 'OK_BLOCCO' END,
                        b.flscadenzafissa, b.nuggscaddalblocco, b.dtscadenza
                   FROM vt_blocca(p_id, 1, p_utente) b;
END $$;

-- A new quote with exactly the new id, copied from the source: header and lines with their
-- own trees and values. It gets its own number of the current year, revision 1 and today's
-- date; it is active and not blocked, has no cloud folder, and in the days mode no deadline.
CREATE FUNCTION clonepreventivo(p_idorigine text, p_idnuovo text, p_utente text)
RETURNS TABLE (flok smallint)
LANGUAGE plpgsql SECURITY DEFINER SET search_path = public, pg_temp SET jit = off AS $$
DECLARE
    u varchar := vt_utente(p_utente);
    q preventivi;
    anno integer := extract(year FROM current_date)::integer;
BEGIN
    PERFORM vt_sessione();
    q := vt_preventivo(p_idorigine);
    PERFORM vt_controlla_id(p_idnuovo, 'del nuovo preventivo');
    IF EXISTS (SELECT 1 FROM preventivi WHERE idpreventivo = p_idnuovo) THEN
        RAISE EXCEPTION 'Esiste già un preventivo con l''identificativo %.', p_idnuovo USING ERRCODE = '23505';
    END IF;
    INSERT INTO preventivi (idpreventivo, idsocieta, idcliente, nuannopreventivo, nupreventivo,
                            nurevisione, dtpreventivo, txdescoggetto, flscadenzafissa, dtscadenza,
                            nuggscaddalblocco, txnotepreventivo, txutentein, dtin)
    VALUES (p_idnuovo, q.idsocieta, q.idcliente, anno,
            vt_nuovo_numero_preventivo(q.idsocieta, anno), 1, vt_oggi(), q.txdescoggetto,
            q.flscadenzafissa, CASE WHEN q.flscadenzafissa = 1 THEN q.dtscadenza END,
            q.nuggscaddalblocco, q.txnotepreventivo, u, vt_ora());
    PERFORM vt_copia_righe(p_idorigine, p_idnuovo, NULL, p_idnuovo, u);
    RETURN QUERY SELECT 1::smallint;
END $$;

-- Every revision of the quote number of p_id, locked in the order of the revisions: two
-- operators revising or undoing revisions of the same quote at the same moment take turns (in
-- the same order, so never waiting for each other), and the second one sees what the first
-- one did. Answers the quote, read again under the lock.
CREATE FUNCTION vt_revisioni_bloccate(p_id text) RETURNS preventivi
LANGUAGE plpgsql AS $$
DECLARE
    q preventivi;
BEGIN
    SELECT * INTO q FROM preventivi WHERE idpreventivo = vt_controlla_id(p_id, 'del preventivo');
    IF FOUND AND q.nupreventivo IS NOT NULL THEN
        PERFORM 1 FROM preventivi p
         WHERE p.idsocieta = q.idsocieta AND p.nuannopreventivo = q.nuannopreventivo
           AND p.nupreventivo = q.nupreventivo
         ORDER BY p.nurevisione FOR UPDATE;
    END IF;
    RETURN vt_preventivo(p_id);
END $$;

-- A further revision of a blocked quote, under the new id: same year and number, revision +1,
-- today's date, header, lines and trees copied; the new revision is open (not blocked) and
-- keeps the quote's cloud folder (its PDF and link are not yet made). Only the latest
-- revision can be revised, also when two operators try at once.
CREATE FUNCTION revisionepreventivo(p_idorigine text, p_idnuovo text, p_utente text)
RETURNS TABLE (flok smallint)
LANGUAGE plpgsql SECURITY DEFINER SET search_path = public, pg_temp SET jit = off AS $$
DECLARE
    u varchar := vt_utente(p_utente);
    q preventivi;
BEGIN
    PERFORM vt_sessione();
    PERFORM vt_controlla_id(p_idnuovo, 'della nuova revisione');
    q := vt_revisioni_bloccate(p_idorigine);
    IF q.flbloccato = 0 THEN
        RAISE EXCEPTION 'Per creare una revisione, il preventivo deve essere bloccato.' USING ERRCODE = '55000';
    END IF;
    IF q.nupreventivo IS NULL THEN
        RAISE EXCEPTION 'Il preventivo non ha ancora un numero.' USING ERRCODE = '55000';
    END IF;
    IF EXISTS (SELECT 1 FROM preventivi p
                WHERE p.idsocieta = q.idsocieta AND p.nuannopreventivo = q.nuannopreventivo
                  AND p.nupreventivo = q.nupreventivo AND p.nurevisione > q.nurevisione) THEN
        RAISE EXCEPTION 'Esiste già una revisione successiva di questo preventivo: la revisione si crea dall''ultima.'
            USING ERRCODE = '55000';
    END IF;
    IF EXISTS (SELECT 1 FROM preventivi WHERE idpreventivo = p_idnuovo) THEN
        RAISE EXCEPTION 'Esiste già un preventivo con l''identificativo %.', p_idnuovo USING ERRCODE = '23505';
    END IF;
    INSERT INTO preventivi (idpreventivo, idsocieta, idcliente, nuannopreventivo, nupreventivo,
                            nurevisione, dtpreventivo, txdescoggetto, flscadenzafissa, dtscadenza,
                            nuggscaddalblocco, txnotepreventivo, txnomefolder, txutentein, dtin)
    VALUES (p_idnuovo, q.idsocieta, q.idcliente, q.nuannopreventivo, q.nupreventivo,
            q.nurevisione + 1, vt_oggi(), q.txdescoggetto, q.flscadenzafissa,
            CASE WHEN q.flscadenzafissa = 1 THEN q.dtscadenza END, q.nuggscaddalblocco,
            q.txnotepreventivo, q.txnomefolder, u, vt_ora());
    PERFORM vt_copia_righe(p_idorigine, p_idnuovo, NULL, p_idnuovo, u);
    RETURN QUERY SELECT 1::smallint;
END $$;

-- Discards the latest revision of a quote for good and answers the id of the previous one
-- (LastId), which becomes current again. Refused for revision 1, for a revision that is not
-- the latest (also when another operator made a new one meanwhile) and for a revision an
-- order was made from.
CREATE FUNCTION undorevisionepreventivo(p_idpreventivo text, p_utente text)
RETURNS TABLE (lastid varchar)
LANGUAGE plpgsql SECURITY DEFINER SET search_path = public, pg_temp SET jit = off AS $$
DECLARE
    q preventivi;
    prec varchar;
BEGIN
    PERFORM vt_sessione();
    PERFORM vt_utente(p_utente);
    q := vt_revisioni_bloccate(p_idpreventivo);
    IF coalesce(q.nurevisione, 1) <= 1 THEN
        RAISE EXCEPTION 'La prima revisione di un preventivo non può essere annullata.' USING ERRCODE = '55000';
    END IF;
    IF EXISTS (SELECT 1 FROM preventivi p
                WHERE p.idsocieta = q.idsocieta AND p.nuannopreventivo = q.nuannopreventivo
                  AND p.nupreventivo = q.nupreventivo AND p.nurevisione > q.nurevisione) THEN
        RAISE EXCEPTION 'Si può annullare solo l''ultima revisione del preventivo.' USING ERRCODE = '55000';
    END IF;
    IF EXISTS (SELECT 1 FROM ordini o WHERE o.idpreventivo = p_idpreventivo) THEN
        RAISE EXCEPTION 'Da questa revisione è stato creato un ordine: non è possibile annullarla.'
            USING ERRCODE = '55000';
    END IF;
    SELECT p.idpreventivo INTO prec FROM preventivi p
     WHERE p.idsocieta = q.idsocieta AND p.nuannopreventivo = q.nuannopreventivo
       AND p.nupreventivo = q.nupreventivo AND p.nurevisione < q.nurevisione
     ORDER BY p.nurevisione DESC LIMIT 1;
    DELETE FROM preventivi WHERE idpreventivo = p_idpreventivo;
    RETURN QUERY SELECT prec;
END $$;

-- Deletes a quote with its lines and their trees. Refused (flOk 0) for a blocked quote, a
-- revision above the first (to be undone instead), and a quote an order was made from.
CREATE FUNCTION deletepreventivo(p_idpreventivo text, p_admin integer, p_utente text)
RETURNS TABLE (flok smallint, errmess text)
LANGUAGE plpgsql SECURITY DEFINER SET search_path = public, pg_temp SET jit = off AS $$
DECLARE
    q preventivi;
BEGIN
    PERFORM vt_sessione();
    PERFORM vt_utente(p_utente);
    -- The administrator argument is read as a flag but not believed: the session tells.
    PERFORM vt_flag(p_admin, 'amministratore');
    q := vt_preventivo(p_idpreventivo);
    IF q.flbloccato = 1 THEN
        RETURN QUERY SELECT 0::smallint, 'Impossibile eliminare un preventivo bloccato.'::text;
    ELSIF q.nurevisione > 1 THEN
        RETURN QUERY SELECT 0::smallint, 'Impossibile eliminare una revisione, effettuare un annullamento.'::text;
    ELSIF EXISTS (SELECT 1 FROM ordini o WHERE o.idpreventivo = p_idpreventivo) THEN
        RETURN QUERY SELECT 0::smallint, 'Dal preventivo è stato creato un ordine: non è possibile eliminarlo.'::text;
    ELSE
        DELETE FROM preventivi WHERE idpreventivo = p_idpreventivo;
        RETURN QUERY SELECT 1::smallint, NULL::text;
    END IF;
END $$;

-- Lines ------------------------------------------------------------------------------------

CREATE FUNCTION estraiprodottiinpreventivo(p_idpreventivo text)
RETURNS TABLE (nuordinamento integer, idpreventivodet varchar, idprodotto varchar,
               txcodprodotto varchar, txdescprodotto varchar, txdesclistino varchar,
               idprodlistino varchar, txcodlistino varchar, vlimporto numeric, vllistino numeric,
               numaxpercsconto numeric, vlmaxsconto numeric, imgcopertina bytea,
               nuquantita numeric, fldocumentazione smallint, flservizio smallint,
               flaccessorio smallint, fldocinfondo smallint, flprodottoattivo smallint)
LANGUAGE plpgsql STABLE SECURITY DEFINER SET search_path = public, pg_temp SET jit = off AS $$
BEGIN
    PERFORM vt_sessione();
    PERFORM vt_documento(p_idpreventivo);
    RETURN QUERY SELECT * FROM vt_righe(p_idpreventivo);
END $$;

-- Moves a line. The old position must still be the line's: otherwise the lines changed
-- meanwhile and nothing moves.
CREATE FUNCTION movepreventivodettaglio(p_idpreventivo text, p_idriga text, p_davecchia integer,
                                        p_anuova integer, p_utente text)
RETURNS TABLE (nuordinamento integer, idpreventivodet varchar, idprodotto varchar,
               txcodprodotto varchar, txdescprodotto varchar, txdesclistino varchar,
               idprodlistino varchar, txcodlistino varchar, vlimporto numeric, vllistino numeric,
               numaxpercsconto numeric, vlmaxsconto numeric, imgcopertina bytea,
               nuquantita numeric, fldocumentazione smallint, flservizio smallint,
               flaccessorio smallint, fldocinfondo smallint, flprodottoattivo smallint)
LANGUAGE plpgsql SECURITY DEFINER SET search_path = public, pg_temp SET jit = off AS $$
#variable_conflict use_column
DECLARE
    u varchar := vt_utente(p_utente);
    pos integer;
    n integer;
BEGIN
    PERFORM vt_sessione();
    PERFORM vt_documento(p_idpreventivo, true);
    SELECT d.nuordinamento INTO pos FROM preventivo_dettaglio d
     WHERE d.idpreventivodet = vt_controlla_id(p_idriga, 'della riga')
       AND coalesce(d.idpreventivo, d.idordine) = p_idpreventivo;
    IF pos IS NULL THEN
        RAISE EXCEPTION 'Riga non trovata nel preventivo (%).', p_idriga USING ERRCODE = 'P0002';
    END IF;
    IF p_davecchia IS NOT NULL AND p_davecchia <> pos THEN
        RAISE EXCEPTION 'Le righe del preventivo sono state modificate da un altro operatore: ricaricare.'
            USING ERRCODE = '40001';
    END IF;
    IF p_anuova IS NULL THEN
        RAISE EXCEPTION 'Nuova posizione non indicata.' USING ERRCODE = '22004';
    END IF;
    SELECT count(*) INTO n FROM preventivo_dettaglio d WHERE coalesce(d.idpreventivo, d.idordine) = p_idpreventivo;
    PERFORM vt_rinumera_righe(p_idpreventivo, p_idriga,
                              CASE WHEN p_anuova > pos THEN least(p_anuova, n) + 0.5
                                   ELSE greatest(p_anuova, 1) - 0.5 END);
    UPDATE preventivo_dettaglio SET txutentemod = u, dtmod = vt_ora() WHERE idpreventivodet = p_idriga;
    RETURN QUERY SELECT * FROM vt_righe(p_idpreventivo);
END $$;

CREATE FUNCTION delpreventivodettaglio(p_idpreventivo text, p_idriga text, p_posizione integer,
                                       p_utente text)
RETURNS TABLE (nuordinamento integer, idpreventivodet varchar, idprodotto varchar,
               txcodprodotto varchar, txdescprodotto varchar, txdesclistino varchar,
               idprodlistino varchar, txcodlistino varchar, vlimporto numeric, vllistino numeric,
               numaxpercsconto numeric, vlmaxsconto numeric, imgcopertina bytea,
               nuquantita numeric, fldocumentazione smallint, flservizio smallint,
               flaccessorio smallint, fldocinfondo smallint, flprodottoattivo smallint)
LANGUAGE plpgsql SECURITY DEFINER SET search_path = public, pg_temp SET jit = off AS $$
#variable_conflict use_column
DECLARE
    pos integer;
BEGIN
    PERFORM vt_sessione();
    PERFORM vt_utente(p_utente);
    PERFORM vt_documento(p_idpreventivo, true);
    SELECT d.nuordinamento INTO pos FROM preventivo_dettaglio d
     WHERE d.idpreventivodet = vt_controlla_id(p_idriga, 'della riga')
       AND coalesce(d.idpreventivo, d.idordine) = p_idpreventivo;
    IF pos IS NULL THEN
        RAISE EXCEPTION 'Riga non trovata nel preventivo (%).', p_idriga USING ERRCODE = 'P0002';
    END IF;
    IF p_posizione IS NOT NULL AND p_posizione <> pos THEN
        RAISE EXCEPTION 'Le righe del preventivo sono state modificate da un altro operatore: ricaricare.'
            USING ERRCODE = '40001';
    END IF;
    DELETE FROM preventivo_dettaglio WHERE idpreventivodet = p_idriga;
    PERFORM vt_rinumera_righe(p_idpreventivo);
    RETURN QUERY SELECT * FROM vt_righe(p_idpreventivo);
END $$;

CREATE FUNCTION datipreventivodet(p_idriga text)
RETURNS SETOF preventivo_dettaglio
LANGUAGE plpgsql STABLE SECURITY DEFINER SET search_path = public, pg_temp SET jit = off AS $$
#variable_conflict use_column
BEGIN
    PERFORM vt_sessione();
    RETURN QUERY SELECT * FROM preventivo_dettaglio WHERE idpreventivodet = p_idriga;
END $$;

-- Appends a product as line n+1 under exactly the given line id, with a copy of its whole
-- tree. With a price list: list price, ceilings, code and description, amount = list price,
-- and the list's quantities and data-sheet values in the copy. A documentation line counts
-- as an accessory line.
CREATE FUNCTION addprodottotopreventivo(p_idpreventivo text, p_idriga text, p_idprodotto text,
                                        p_idlistino text, p_quantita numeric, p_accessorio integer,
                                        p_utente text)
RETURNS TABLE (idpreventivodet varchar, nuordinamento integer)
LANGUAGE plpgsql SECURITY DEFINER SET search_path = public, pg_temp SET jit = off AS $$
#variable_conflict use_column
DECLARE
    u varchar := vt_utente(p_utente);
    doc record;
    prod record;
    lis prod_listini;
    pos integer;
    codice varchar;
BEGIN
    PERFORM vt_sessione();
    PERFORM vt_flag(p_accessorio, 'accessorio');
    SELECT * INTO doc FROM vt_documento(p_idpreventivo, true);
    PERFORM vt_controlla_id(p_idriga, 'della nuova riga');
    IF p_quantita IS NULL OR p_quantita <= 0 THEN
        RAISE EXCEPTION 'Quantità non valida: deve essere maggiore di 0.' USING ERRCODE = '22023';
    END IF;
    SELECT p.idprodotto, p.fldocumentazione INTO prod FROM prodotti p
     WHERE p.idprodotto = vt_controlla_id(p_idprodotto, 'del prodotto');
    IF NOT FOUND THEN
        RAISE EXCEPTION 'Prodotto non trovato (%).', p_idprodotto USING ERRCODE = 'P0002';
    END IF;
    IF vt_vuoto(p_idlistino) IS NOT NULL THEN
        SELECT * INTO lis FROM prod_listini l WHERE l.idprodlistino = p_idlistino;
        IF NOT FOUND OR lis.idprodotto <> p_idprodotto THEN
            RAISE EXCEPTION 'Listino non trovato per il prodotto (%).', p_idlistino USING ERRCODE = 'P0002';
        END IF;
        IF lis.dtcanc IS NOT NULL THEN
            RAISE EXCEPTION 'Il listino non è attivo.' USING ERRCODE = '55000';
        END IF;
        -- A product with a single active list: its lines carry no list code.
        IF (SELECT count(*) FROM prod_listini l
             WHERE l.idprodotto = p_idprodotto AND l.dtcanc IS NULL) >= 2 THEN
            codice := lis.txcodlistino;
        END IF;
    END IF;
    IF EXISTS (SELECT 1 FROM preventivo_dettaglio d WHERE d.idpreventivodet = p_idriga) THEN
        RAISE EXCEPTION 'Esiste già una riga con l''identificativo %.', p_idriga USING ERRCODE = '23505';
    END IF;
    SELECT coalesce(max(d.nuordinamento), 0) + 1 INTO pos FROM preventivo_dettaglio d
     WHERE coalesce(d.idpreventivo, d.idordine) = p_idpreventivo;
    INSERT INTO preventivo_dettaglio (idpreventivodet, idpreventivo, idordine, idprodotto,
                                      nuordinamento, idprodlistino, txcodlistino, txdesclistino,
                                      vlimporto, vllistino, numaxpercsconto, vlmaxsconto,
                                      nuquantita, flaccessorio, flservizio, fldocinfondo,
                                      flprodottoattivo, idlistinoapplicato, txutentein, dtin)
    VALUES (p_idriga, CASE WHEN doc.tipo = 'P' THEN p_idpreventivo END,
            CASE WHEN doc.tipo = 'O' THEN p_idpreventivo END, p_idprodotto, pos,
            lis.idprodlistino, codice, lis.txdesclistino, lis.vllistino, lis.vllistino,
            lis.numaxpercsconto, lis.vlmaxsconto, p_quantita,
            CASE WHEN prod.fldocumentazione = 1 THEN 1 ELSE p_accessorio END, 0, 0, 1,
            lis.idprodlistino, u, vt_ora());
    PERFORM vt_copia_prodotto_in_riga(p_idriga, p_idprodotto);
    IF lis.idprodlistino IS NOT NULL THEN
        PERFORM vt_applica_listino(p_idriga, lis.idprodlistino, NULL, u);
    END IF;
    RETURN QUERY SELECT p_idriga::varchar, pos;
END $$;

-- The chosen price list ('' or null: none) of a line after "Conferma" of the price panel.
-- Only when it is another list than the one the line's copy was given do the copy's
-- sub-paragraph quantities and descriptions and data-sheet values change, and then only those
-- that still show what the previous list gave: a change of amount or discount alone leaves
-- the copy as the operator made it. A deactivated list is refused as a new choice.
CREATE FUNCTION updatechangeoflistino(p_idriga text, p_idlistino text, p_utente text)
RETURNS TABLE (flok smallint)
LANGUAGE plpgsql SECURITY DEFINER SET search_path = public, pg_temp SET jit = off AS $$
DECLARE
    u varchar := vt_utente(p_utente);
    lis varchar := vt_vuoto(p_idlistino);
    prima varchar;
    annullato timestamp;
BEGIN
    PERFORM vt_sessione();
    PERFORM vt_riga_modificabile(p_idriga);
    IF lis IS NOT NULL THEN
        SELECT l.dtcanc INTO annullato
          FROM prod_listini l JOIN preventivo_dettaglio d ON d.idprodotto = l.idprodotto
         WHERE l.idprodlistino = lis AND d.idpreventivodet = p_idriga;
        IF NOT FOUND THEN
            RAISE EXCEPTION 'Listino non trovato per il prodotto della riga (%).', p_idlistino USING ERRCODE = 'P0002';
        END IF;
    END IF;
    SELECT d.idlistinoapplicato INTO prima FROM preventivo_dettaglio d WHERE d.idpreventivodet = p_idriga;
    IF lis IS NOT DISTINCT FROM prima THEN
        RETURN QUERY SELECT 1::smallint;
        RETURN;
    END IF;
    IF annullato IS NOT NULL THEN
        RAISE EXCEPTION 'Il listino non è attivo.' USING ERRCODE = '55000';
    END IF;
    PERFORM vt_cambia_listino_riga(p_idriga, prima, lis, u);
    UPDATE preventivo_dettaglio SET txutentemod = u, dtmod = vt_ora() WHERE idpreventivodet = p_idriga;
    RETURN QUERY SELECT 1::smallint;
END $$;

-- Catalogue search of the lines editor: three sets (active products, their linked products,
-- their active price lists). Mode 0: the three sets empty.
CREATE FUNCTION estraiprodottiforpreventivo(p_modo integer, p_idfornitore text DEFAULT NULL,
                                            p_nuanno integer DEFAULT 0, p_testo text DEFAULT NULL,
                                            p_prodotti integer DEFAULT 1,
                                            p_accessori integer DEFAULT 1,
                                            p_documentazioni integer DEFAULT 1)
RETURNS SETOF refcursor
LANGUAGE plpgsql SECURITY DEFINER SET search_path = public, pg_temp SET jit = off AS $$
DECLARE
    f text := '';
    k text := '';
    elenco text;
    c1 refcursor;
    c2 refcursor;
    c3 refcursor;
BEGIN
    PERFORM vt_sessione();
    IF p_modo = 0 THEN
        f := ' AND false';
    ELSE
        IF vt_vuoto(p_idfornitore) IS NOT NULL
           AND p_idfornitore <> '{00000000-0000-0000-0000-000000000000}' THEN
            f := f || format(' AND p.idfornitore = %L', p_idfornitore);
            IF coalesce(p_nuanno, 0) <> 0 THEN
                f := f || format(' AND p.nuanno = %s', p_nuanno);
            END IF;
        END IF;
        f := f || vt_filtro_testo('p', p_testo);
        IF coalesce(p_prodotti, 0) = 1 THEN k := k || ' OR (p.flaccessorio = 0 AND p.fldocumentazione = 0)'; END IF;
        IF coalesce(p_accessori, 0) = 1 THEN k := k || ' OR p.flaccessorio = 1'; END IF;
        IF coalesce(p_documentazioni, 0) = 1 THEN k := k || ' OR p.fldocumentazione = 1'; END IF;
        f := f || ' AND (false' || k || ')';
    END IF;
    elenco := 'SELECT p.idprodotto FROM prodotti p WHERE p.flprodottoattivo = 1' || f;
    c1 := vt_cursore(1);
    OPEN c1 FOR EXECUTE
       'SELECT p.idprodotto, vt_tx_prodotto(p.txdescprodotto, p.txcodprodotto) AS txprodotto,
               p.txdescprodotto, p.txcodprodotto,
               greatest(p.dtin, p.dtmod, (SELECT max(greatest(l.dtin, l.dtmod)) FROM prod_listini l
                                           WHERE l.idprodotto = p.idprodotto)) AS dtmaxoperation,
               p.flaccessorio, p.fldocumentazione
          FROM prodotti p WHERE p.flprodottoattivo = 1' || f;
    RETURN NEXT c1;
    c2 := vt_cursore(2);
    OPEN c2 FOR EXECUTE
       'SELECT c.idprodotto, c.idprodcollegato, l.idprodlistino, c.nuquantita,
               vt_tx_prodotto(p.txdescprodotto, p.txcodprodotto) AS txprodotto,
               0::smallint AS flimportainprev, c.flaccessorio, p.fldocumentazione,
               c.nuordinecollegamento
          FROM prod_collegati c JOIN prodotti p ON p.idprodotto = c.idprodcollegato
          LEFT JOIN prod_listini l ON l.idprodlistino = c.idprodlistino AND l.dtcanc IS NULL
         WHERE p.flprodottoattivo = 1 AND c.idprodotto IN (' || elenco || ')
         ORDER BY c.idprodotto, c.nuordinecollegamento';
    RETURN NEXT c2;
    c3 := vt_cursore(3);
    OPEN c3 FOR EXECUTE
       'SELECT l.idprodotto, l.idprodlistino, l.txcodlistino, l.txdesclistino, l.vllistino,
               l.numaxpercsconto, l.vlmaxsconto
          FROM prod_listini l
         WHERE l.dtcanc IS NULL AND l.idprodotto IN (' || elenco || ')
         ORDER BY l.idprodotto, l.vllistino DESC';
    RETURN NEXT c3;
END $$;

-- Line detail ------------------------------------------------------------------------------

CREATE FUNCTION estraiprevdetschedavalori(p_idriga text, p_idscheda text)
RETURNS TABLE (idvocescheda varchar, txdescvocescheda text, txvalorevocescheda text,
               nuordinevocescheda integer, flattivo smallint)
LANGUAGE plpgsql STABLE SECURITY DEFINER SET search_path = public, pg_temp SET jit = off AS $$
BEGIN
    PERFORM vt_sessione();
    PERFORM 1 FROM prevdet_nodi n
     WHERE n.idpreventivodet = vt_controlla_id(p_idriga, 'della riga')
       AND n.idnodo = vt_controlla_id(p_idscheda, 'della scheda') AND n.nutipologia = 10;
    IF NOT FOUND THEN
        RAISE EXCEPTION 'Scheda non trovata nella riga del preventivo (%).', p_idscheda USING ERRCODE = 'P0002';
    END IF;
    RETURN QUERY SELECT n.idnodo, n.txdescnodo, n.txdescnodob, n.nuorderd, n.flattivo
                   FROM prevdet_nodi n
                  WHERE n.idpreventivodet = p_idriga AND n.idparent = p_idscheda AND n.nutipologia = 20
                  ORDER BY n.nuorderd;
END $$;

-- One row per item of the data sheet in the line (edited through the view, keyed by line and
-- item; idRigaValore is the same key in one column).
CREATE FUNCTION datiprevdetschedavalori(p_idriga text, p_idscheda text)
RETURNS SETOF prevdet_scheda_valori
LANGUAGE plpgsql STABLE SECURITY DEFINER SET search_path = public, pg_temp SET jit = off AS $$
#variable_conflict use_column
BEGIN
    PERFORM vt_sessione();
    RETURN QUERY SELECT * FROM prevdet_scheda_valori
     WHERE idpreventivodet = p_idriga AND idschedaprodotto = p_idscheda
     ORDER BY nuordinevocescheda;
END $$;

CREATE FUNCTION datiprevdetpartecomp(p_idriga text, p_idparte text)
RETURNS TABLE (txdescpartecomp text, nuquantitaparte integer)
LANGUAGE plpgsql STABLE SECURITY DEFINER SET search_path = public, pg_temp SET jit = off AS $$
BEGIN
    PERFORM vt_sessione();
    -- A sub-paragraph without a quantity answers 0, the panel's "no quantity".
    RETURN QUERY SELECT n.txdescnodo, coalesce(n.nuquantita, 0) FROM prevdet_nodi n
                  WHERE n.idpreventivodet = vt_controlla_id(p_idriga, 'della riga')
                    AND n.idnodo = vt_controlla_id(p_idparte, 'del sottoparagrafo') AND n.nutipologia = 40;
    IF NOT FOUND THEN
        RAISE EXCEPTION 'Sottoparagrafo non trovato nella riga del preventivo (%).', p_idparte
            USING ERRCODE = 'P0002';
    END IF;
END $$;

-- Stores the line's own description and quantity of a sub-paragraph (0: no quantity). The
-- fifth argument is accepted and not used.
CREATE FUNCTION updateprevdetparte(p_idriga text, p_idparte text, p_descrizione text,
                                   p_quantita integer, p_stato text, p_utente text)
RETURNS TABLE (flok smallint)
LANGUAGE plpgsql SECURITY DEFINER SET search_path = public, pg_temp SET jit = off AS $$
DECLARE
    u varchar := vt_utente(p_utente);
BEGIN
    PERFORM vt_sessione();
    PERFORM vt_riga_modificabile(p_idriga);
    IF p_quantita IS NULL THEN
        RAISE EXCEPTION 'Quantità non indicata.' USING ERRCODE = '22004';
    END IF;
    IF p_quantita < 0 THEN
        RAISE EXCEPTION 'La quantità non può essere negativa.' USING ERRCODE = '22023';
    END IF;
    UPDATE prevdet_nodi n
       SET txdescnodo = vt_vuoto(vt_testo(p_descrizione, 200, 'Descrizione del sottoparagrafo')),
           nuquantita = nullif(p_quantita, 0), txutentemod = u, dtmod = vt_ora()
     WHERE n.idpreventivodet = p_idriga AND n.idnodo = vt_controlla_id(p_idparte, 'del sottoparagrafo')
       AND n.nutipologia = 40;
    IF NOT FOUND THEN
        RAISE EXCEPTION 'Sottoparagrafo non trovato nella riga del preventivo (%).', p_idparte
            USING ERRCODE = 'P0002';
    END IF;
    UPDATE preventivo_dettaglio SET txutentemod = u, dtmod = vt_ora() WHERE idpreventivodet = p_idriga;
    RETURN QUERY SELECT 1::smallint;
END $$;
