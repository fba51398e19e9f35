-- Price lists of a product: list, record, duplication, activation, deletion, sub-paragraph
-- quantities and data-sheet values of a list, and their propagation to open quotes.

DO $$ BEGIN PERFORM vt_drop_funzioni(ARRAY['estrailistinoprodotto', 'datilistino', 'clonelistino',
    'changestatolistino', 'deletelistino', 'refreshprodlistino', 'estraicomppartilistinoqta',
    'datilistinopartecomp', 'updatelistinoparte', 'estraischedelistinovalori',
    'datilistinoschedevalori', 'refreshprodlistschedavoci', 'vt_listino',
    'vt_propaga_listino']); END $$;

-- The list with its product, locked for a change; raises for an unknown list.
CREATE FUNCTION vt_listino(p_idlistino text) RETURNS varchar
LANGUAGE plpgsql AS $$
DECLARE
    prod varchar;
BEGIN
    SELECT l.idprodotto INTO prod FROM prod_listini l
     WHERE l.idprodlistino = vt_controlla_id(p_idlistino, 'del listino');
    IF prod IS NULL THEN
        RAISE EXCEPTION 'Listino non trovato (%).', p_idlistino USING ERRCODE = 'P0002';
    END IF;
    PERFORM vt_blocca_prodotto(prod);
    RETURN prod;
END $$;

CREATE FUNCTION estrailistinoprodotto(p_idprodotto text)
RETURNS TABLE (idprodlistino varchar, idprodotto varchar, flusedinprev smallint,
               flschedeprodotto smallint, flschedelistinoprodotto smallint,
               flqtapartiprodotto smallint, flqtapartilistinoprodotto smallint,
               txcodlistino varchar, txdesclistino varchar, vllistino numeric,
               numaxpercsconto numeric, vlmaxsconto numeric, dtmod timestamp, txutentemod varchar,
               dtin timestamp, txutentein varchar, dtcanc timestamp, txutentecanc varchar)
LANGUAGE plpgsql STABLE SECURITY DEFINER SET search_path = public, pg_temp SET jit = off AS $$
DECLARE
    schede smallint;
    parti smallint;
BEGIN
    PERFORM vt_sessione();
    PERFORM 1 FROM prodotti p WHERE p.idprodotto = vt_controlla_id(p_idprodotto, 'del prodotto');
    IF NOT FOUND THEN
        RAISE EXCEPTION 'Prodotto non trovato (%).', p_idprodotto USING ERRCODE = 'P0002';
    END IF;
    schede := CASE WHEN EXISTS (SELECT 1 FROM prod_schede s WHERE s.idprodotto = p_idprodotto)
                   THEN 1 ELSE 0 END;
    parti := CASE WHEN EXISTS (SELECT 1 FROM prod_comp_parti pa
                                 JOIN prod_componenti c ON c.idcompprodotto = pa.idcompprodotto
                                WHERE c.idprodotto = p_idprodotto) THEN 1 ELSE 0 END;
    RETURN QUERY
    SELECT l.idprodlistino, l.idprodotto,
           CASE WHEN EXISTS (SELECT 1 FROM preventivo_dettaglio d WHERE d.idprodlistino = l.idprodlistino)
                THEN 1 ELSE 0 END::smallint,
           schede,
           CASE WHEN EXISTS (SELECT 1 FROM prod_list_scheda_valori v WHERE v.idprodlistino = l.idprodlistino)
                THEN 1 ELSE 0 END::smallint,
           parti,
           CASE WHEN EXISTS (SELECT 1 FROM prod_list_parte_quantita q
                              WHERE q.idprodlistino = l.idprodlistino AND q.nuquantitaparte > 0)
                THEN 1 ELSE 0 END::smallint,
           l.txcodlistino, l.txdesclistino, l.vllistino, l.numaxpercsconto, l.vlmaxsconto, l.dtmod,
           l.txutentemod, l.dtin, l.txutentein, l.dtcanc, l.txutentecanc
      FROM prod_listini l
     WHERE l.idprodotto = p_idprodotto
     ORDER BY l.txcodlistino, l.txdesclistino;
END $$;

CREATE FUNCTION datilistino(p_idlistino text)
RETURNS SETOF prod_listini
LANGUAGE plpgsql STABLE SECURITY DEFINER SET search_path = public, pg_temp SET jit = off AS $$
#variable_conflict use_column
BEGIN
    PERFORM vt_sessione();
    RETURN QUERY SELECT * FROM prod_listini WHERE idprodlistino = p_idlistino;
END $$;

-- A new list of the same product with exactly the new id: amount, discount ceilings,
-- quantities and data-sheet values; the description says it is a copy. Always active.
CREATE FUNCTION clonelistino(p_idorigine text, p_idnuovo text, p_utente text)
RETURNS TABLE (flok smallint)
LANGUAGE plpgsql SECURITY DEFINER SET search_path = public, pg_temp SET jit = off AS $$
DECLARE
    u varchar := vt_utente(p_utente);
    ora timestamp := vt_ora();
BEGIN
    PERFORM vt_sessione();
    PERFORM vt_listino(p_idorigine);
    PERFORM vt_controlla_id(p_idnuovo, 'del nuovo listino');
    IF EXISTS (SELECT 1 FROM prod_listini WHERE idprodlistino = p_idnuovo) THEN
        RAISE EXCEPTION 'Esiste già un listino con l''identificativo %.', p_idnuovo USING ERRCODE = '23505';
    END IF;
    INSERT INTO prod_listini (idprodlistino, idprodotto, txcodlistino, txdesclistino, vllistino,
                              vlmaxsconto, numaxpercsconto, txutentein, dtin)
    SELECT p_idnuovo, l.idprodotto, l.txcodlistino,
           left(coalesce(l.txdesclistino, '') || ' (copia)', 200), l.vllistino, l.vlmaxsconto,
           l.numaxpercsconto, u, ora
      FROM prod_listini l WHERE l.idprodlistino = p_idorigine;
    INSERT INTO prod_list_parte_quantita (idprodlistino, idpartecomp, nuquantitaparte,
                                          txdescpartecomp, txutentein, dtin)
    SELECT p_idnuovo, q.idpartecomp, q.nuquantitaparte, q.txdescpartecomp, u, ora
      FROM prod_list_parte_quantita q WHERE q.idprodlistino = p_idorigine;
    INSERT INTO prod_list_scheda_valori (idprodlistino, idschedaprodotto, idvocescheda,
                                         txvalorevocescheda, txutentein, dtin)
    SELECT p_idnuovo, v.idschedaprodotto, v.idvocescheda, v.txvalorevocescheda, u, ora
      FROM prod_list_scheda_valori v WHERE v.idprodlistino = p_idorigine;
    RETURN QUERY SELECT 1::smallint;
END $$;

CREATE FUNCTION changestatolistino(p_idlistino text, p_stato integer, p_utente text)
RETURNS TABLE (flok smallint)
LANGUAGE plpgsql SECURITY DEFINER SET search_path = public, pg_temp SET jit = off AS $$
DECLARE
    u varchar := vt_utente(p_utente);
BEGIN
    PERFORM vt_sessione();
    PERFORM vt_listino(p_idlistino);
    IF vt_flag(p_stato, 'stato') = 1 THEN
        UPDATE prod_listini l SET dtcanc = NULL, txutentecanc = NULL WHERE l.idprodlistino = p_idlistino;
    ELSE
        UPDATE prod_listini l SET dtcanc = coalesce(l.dtcanc, vt_ora()), txutentecanc = coalesce(l.txutentecanc, u)
         WHERE l.idprodlistino = p_idlistino;
    END IF;
    RETURN QUERY SELECT 1::smallint;
END $$;

-- Deletes a list with its quantities and values. Refused while a quote or order line uses
-- it; a list that links propose may be deleted by an administrator only.
CREATE FUNCTION deletelistino(p_idlistino text, p_admin integer, p_utente text)
RETURNS TABLE (flok smallint, errmess text)
LANGUAGE plpgsql SECURITY DEFINER SET search_path = public, pg_temp SET jit = off AS $$
DECLARE
    n integer;
BEGIN
    PERFORM vt_sessione();
    PERFORM vt_utente(p_utente);
    -- The administrator argument is read as a flag but not believed: the session tells.
    PERFORM vt_flag(p_admin, 'amministratore');
    PERFORM vt_listino(p_idlistino);
    SELECT count(*) INTO n FROM preventivo_dettaglio d WHERE d.idprodlistino = p_idlistino;
    IF n > 0 THEN
        RETURN QUERY SELECT 0::smallint,
            format('Il listino è utilizzato in %s righe di preventivi o ordini: non è possibile eliminarlo.'
                   || E'\n\nDisattivarlo invece di eliminarlo.', n);
        RETURN;
    END IF;
    SELECT count(*) INTO n FROM prod_collegati c WHERE c.idprodlistino = p_idlistino;
    IF n > 0 AND NOT vt_sessione_e_amministratore() THEN
        RETURN QUERY SELECT 0::smallint,
            format('Il listino è proposto in %s collegamenti tra prodotti: solo un amministratore può eliminarlo.', n);
        RETURN;
    END IF;
    DELETE FROM prod_listini WHERE idprodlistino = p_idlistino;
    RETURN QUERY SELECT 1::smallint, NULL::text;
END $$;

-- Changes of a list reach the lines of open quotes (neither blocked nor deactivated) that use
-- it. Only what changed since the last propagation is passed on (prod_listini_variazioni, kept
-- by the triggers below), and only where a line still shows the value the list gave it before
-- the change: a price, ceiling, code, description, sub-paragraph quantity or description or
-- data-sheet value the operator set on the line itself stays. The amount offered never changes.
CREATE FUNCTION vt_propaga_listino(p_idlistino text, p_utente text) RETURNS void
LANGUAGE plpgsql AS $$
DECLARE
    v prod_listini_variazioni;
    l prod_listini;
    ora timestamp := vt_ora();
BEGIN
    SELECT * INTO v FROM prod_listini_variazioni x
     WHERE x.idprodlistino = p_idlistino AND x.txtipo = 'LISTINO';
    IF FOUND THEN
        SELECT * INTO l FROM prod_listini x WHERE x.idprodlistino = p_idlistino;
        WITH prima AS (
            SELECT (v.jsprima ->> 'vllistino')::numeric AS vllistino,
                   v.jsprima ->> 'txcodlistino' AS txcodlistino,
                   v.jsprima ->> 'txdesclistino' AS txdesclistino,
                   (v.jsprima ->> 'numaxpercsconto')::numeric AS numaxpercsconto,
                   (v.jsprima ->> 'vlmaxsconto')::numeric AS vlmaxsconto)
        UPDATE preventivo_dettaglio d
           SET vllistino = CASE WHEN d.vllistino IS NOT DISTINCT FROM p.vllistino
                                THEN l.vllistino ELSE d.vllistino END,
               -- A line without a code (its product had a single list) keeps none.
               txcodlistino = CASE WHEN d.txcodlistino IS NOT NULL
                                        AND d.txcodlistino IS NOT DISTINCT FROM p.txcodlistino
                                   THEN l.txcodlistino ELSE d.txcodlistino END,
               txdesclistino = CASE WHEN d.txdesclistino IS NOT DISTINCT FROM p.txdesclistino
                                    THEN l.txdesclistino ELSE d.txdesclistino END,
               numaxpercsconto = CASE WHEN d.numaxpercsconto IS NOT DISTINCT FROM p.numaxpercsconto
                                      THEN l.numaxpercsconto ELSE d.numaxpercsconto END,
               vlmaxsconto = CASE WHEN d.vlmaxsconto IS NOT DISTINCT FROM p.vlmaxsconto
                                  THEN l.vlmaxsconto ELSE d.vlmaxsconto END,
               txutentemod = p_utente, dtmod = ora
          FROM prima p, preventivi q
         WHERE q.idpreventivo = d.idpreventivo AND q.flbloccato = 0 AND q.dtcanc IS NULL
           AND d.idprodlistino = p_idlistino
           AND ((d.vllistino IS NOT DISTINCT FROM p.vllistino AND p.vllistino IS DISTINCT FROM l.vllistino)
                OR (d.txcodlistino IS NOT NULL AND d.txcodlistino IS NOT DISTINCT FROM p.txcodlistino
                    AND p.txcodlistino IS DISTINCT FROM l.txcodlistino)
                OR (d.txdesclistino IS NOT DISTINCT FROM p.txdesclistino
                    AND p.txdesclistino IS DISTINCT FROM l.txdesclistino)
                OR (d.numaxpercsconto IS NOT DISTINCT FROM p.numaxpercsconto
                    AND p.numaxpercsconto IS DISTINCT FROM l.numaxpercsconto)
                OR (d.vlmaxsconto IS NOT DISTINCT FROM p.vlmaxsconto
                    AND p.vlmaxsconto IS DISTINCT FROM l.vlmaxsconto));
    END IF;

    -- Sub-paragraphs: the list's quantity (0 or less: the product's) and description.
    UPDATE prevdet_nodi n
       SET nuquantita = CASE WHEN n.nuquantita IS NOT DISTINCT FROM x.qprima THEN x.q
                             ELSE n.nuquantita END,
           txdescnodo = CASE WHEN n.txdescnodo IS NOT DISTINCT FROM x.dprima THEN x.d
                             ELSE n.txdescnodo END,
           txutentemod = p_utente, dtmod = ora
      FROM (SELECT v2.idelemento, (v2.jsprima ->> 'q')::integer AS qprima, v2.jsprima ->> 'd' AS dprima,
                   CASE WHEN lq.nuquantitaparte > 0 THEN lq.nuquantitaparte ELSE pa.nuquantitaparte END AS q,
                   coalesce(lq.txdescpartecomp, pa.txdescpartecomp)::text AS d
              FROM prod_listini_variazioni v2
              JOIN prod_comp_parti pa ON pa.idpartecomp = v2.idelemento
              LEFT JOIN prod_list_parte_quantita lq ON lq.idprodlistino = v2.idprodlistino
                                                   AND lq.idpartecomp = v2.idelemento
             WHERE v2.idprodlistino = p_idlistino AND v2.txtipo = 'PARTE') x,
           preventivo_dettaglio d, preventivi q
     WHERE n.idnodo = x.idelemento AND n.nutipologia = 40 AND n.idpreventivodet = d.idpreventivodet
       AND d.idprodlistino = p_idlistino AND q.idpreventivo = d.idpreventivo
       AND q.flbloccato = 0 AND q.dtcanc IS NULL
       AND ((n.nuquantita IS NOT DISTINCT FROM x.qprima AND x.qprima IS DISTINCT FROM x.q)
            OR (n.txdescnodo IS NOT DISTINCT FROM x.dprima AND x.dprima IS DISTINCT FROM x.d));

    -- Data-sheet values: the list's value, or none.
    UPDATE prevdet_nodi n
       SET txdescnodob = x.valore, txutentemod = p_utente, dtmod = ora
      FROM (SELECT v2.idelemento, v2.jsprima ->> 'v' AS prima, lv.txvalorevocescheda::text AS valore
              FROM prod_listini_variazioni v2
              LEFT JOIN prod_list_scheda_valori lv ON lv.idprodlistino = v2.idprodlistino
                                                  AND lv.idvocescheda = v2.idelemento
             WHERE v2.idprodlistino = p_idlistino AND v2.txtipo = 'VOCE') x,
           preventivo_dettaglio d, preventivi q
     WHERE n.idnodo = x.idelemento AND n.nutipologia = 20 AND n.idpreventivodet = d.idpreventivodet
       AND d.idprodlistino = p_idlistino AND q.idpreventivo = d.idpreventivo
       AND q.flbloccato = 0 AND q.dtcanc IS NULL
       AND n.txdescnodob IS NOT DISTINCT FROM x.prima AND x.prima IS DISTINCT FROM x.valore;

    DELETE FROM prod_listini_variazioni x WHERE x.idprodlistino = p_idlistino;
END $$;

-- After a list was saved (inside the window's transaction): its changes reach open quotes.
CREATE FUNCTION refreshprodlistino(p_idlistino text, p_utente text)
RETURNS TABLE (flok smallint)
LANGUAGE plpgsql SECURITY DEFINER SET search_path = public, pg_temp SET jit = off AS $$
DECLARE
    u varchar;
BEGIN
    PERFORM vt_sessione();
    u := vt_utente(p_utente);
    PERFORM vt_listino(p_idlistino);
    PERFORM vt_propaga_listino(p_idlistino, u);
    RETURN QUERY SELECT 1::smallint;
END $$;

-- Paragraphs and sub-paragraphs with the product's and the list's quantities.
CREATE FUNCTION estraicomppartilistinoqta(p_idprodotto text, p_idlistino text)
RETURNS TABLE (flvisible smallint, idnodo varchar, idparent varchar, idsezione varchar,
               nutipologia integer, flattivo smallint, flcaninsertbeforeafter smallint,
               flcanadd smallint, flnodoespanso smallint, nuordera integer, nuorderb integer,
               txdescnodo varchar, nuquantita integer, nuquantitalistino integer)
LANGUAGE plpgsql STABLE SECURITY DEFINER SET search_path = public, pg_temp SET jit = off AS $$
BEGIN
    PERFORM vt_sessione();
    PERFORM 1 FROM prod_listini l
     WHERE l.idprodlistino = vt_controlla_id(p_idlistino, 'del listino') AND l.idprodotto = p_idprodotto;
    IF NOT FOUND THEN
        RAISE EXCEPTION 'Listino non trovato per il prodotto indicato (%).', p_idlistino USING ERRCODE = 'P0002';
    END IF;
    RETURN QUERY
    SELECT 1::smallint, c.idcompprodotto, c.idprodotto, c.idcompprodotto, 30,
           c.flcompprodottoattivo, 1::smallint, 0::smallint, 1::smallint, c.nuordinenelprodotto, 0,
           c.txdesccompprodotto, NULL::integer, NULL::integer
      FROM prod_componenti c WHERE c.idprodotto = p_idprodotto
    UNION ALL
    SELECT 1::smallint, pa.idpartecomp, pa.idcompprodotto, c.idcompprodotto, 40,
           pa.flpartecompattiva, 1::smallint, 0::smallint, 1::smallint, c.nuordinenelprodotto,
           pa.nuordinepartecomp, coalesce(q.txdescpartecomp, pa.txdescpartecomp),
           coalesce(pa.nuquantitaparte, 0), coalesce(q.nuquantitaparte, 0)
      FROM prod_comp_parti pa JOIN prod_componenti c ON c.idcompprodotto = pa.idcompprodotto
      LEFT JOIN prod_list_parte_quantita q ON q.idpartecomp = pa.idpartecomp AND q.idprodlistino = p_idlistino
     WHERE c.idprodotto = p_idprodotto
     ORDER BY 10, 11;
END $$;

-- Description and quantity of a sub-paragraph for a list (the list's own, else the
-- product's; 0 when neither sets one); txStato tells which: 'LISTINO' or 'PRODOTTO'.
CREATE FUNCTION datilistinopartecomp(p_idlistino text, p_idparte text)
RETURNS TABLE (txdescpartecomp varchar, nuquantitaparte integer, txstato text)
LANGUAGE plpgsql STABLE SECURITY DEFINER SET search_path = public, pg_temp SET jit = off AS $$
BEGIN
    PERFORM vt_sessione();
    RETURN QUERY
    SELECT coalesce(q.txdescpartecomp, pa.txdescpartecomp),
           coalesce(CASE WHEN q.nuquantitaparte > 0 THEN q.nuquantitaparte ELSE pa.nuquantitaparte END, 0),
           CASE WHEN q.idpartecomp IS NULL THEN 'PRODOTTO' ELSE 'LISTINO' END
      FROM prod_comp_parti pa
      JOIN prod_componenti c ON c.idcompprodotto = pa.idcompprodotto
      JOIN prod_listini l ON l.idprodotto = c.idprodotto
      LEFT JOIN prod_list_parte_quantita q ON q.idprodlistino = l.idprodlistino AND q.idpartecomp = pa.idpartecomp
     WHERE l.idprodlistino = vt_controlla_id(p_idlistino, 'del listino')
       AND pa.idpartecomp = vt_controlla_id(p_idparte, 'del sottoparagrafo');
    IF NOT FOUND THEN
        RAISE EXCEPTION 'Sottoparagrafo non trovato nel prodotto del listino (%).', p_idparte
            USING ERRCODE = 'P0002';
    END IF;
END $$;

-- Stores a list's quantity of a sub-paragraph (0: the product's quantity holds) and its
-- description when it differs from the product's, and passes the change on to the open quotes
-- that use the list. The state text is informative only.
CREATE FUNCTION updatelistinoparte(p_idlistino text, p_idparte text, p_descrizione text,
                                   p_quantita integer, p_stato text, p_utente text)
RETURNS TABLE (flok smallint)
LANGUAGE plpgsql SECURITY DEFINER SET search_path = public, pg_temp SET jit = off AS $$
DECLARE
    u varchar;
    ora timestamp := vt_ora();
    prod varchar;
    descprod varchar;
    d text;
BEGIN
    PERFORM vt_sessione();
    u := vt_utente(p_utente);
    prod := vt_listino(p_idlistino);
    d := vt_vuoto(vt_testo(p_descrizione, 200, 'Descrizione del sottoparagrafo'));
    IF p_quantita < 0 THEN
        RAISE EXCEPTION 'La quantità del sottoparagrafo non può essere negativa.' USING ERRCODE = '23514';
    END IF;
    SELECT pa.txdescpartecomp INTO descprod FROM prod_comp_parti pa
      JOIN prod_componenti c ON c.idcompprodotto = pa.idcompprodotto
     WHERE pa.idpartecomp = vt_controlla_id(p_idparte, 'del sottoparagrafo') AND c.idprodotto = prod;
    IF NOT FOUND THEN
        RAISE EXCEPTION 'Sottoparagrafo non trovato nel prodotto del listino (%).', p_idparte
            USING ERRCODE = 'P0002';
    END IF;
    IF d IS NOT DISTINCT FROM vt_vuoto(descprod) THEN
        d := NULL;
    END IF;
    IF coalesce(p_quantita, 0) <= 0 AND d IS NULL THEN
        DELETE FROM prod_list_parte_quantita q WHERE q.idprodlistino = p_idlistino AND q.idpartecomp = p_idparte;
    ELSE
        INSERT INTO prod_list_parte_quantita AS q (idprodlistino, idpartecomp, nuquantitaparte,
                                                   txdescpartecomp, txutentein, dtin)
        VALUES (p_idlistino, p_idparte, CASE WHEN p_quantita > 0 THEN p_quantita END, d, u, ora)
        ON CONFLICT (idprodlistino, idpartecomp) DO UPDATE
           SET nuquantitaparte = excluded.nuquantitaparte, txdescpartecomp = excluded.txdescpartecomp,
               txutentemod = u, dtmod = ora;
    END IF;
    UPDATE prod_listini SET txutentemod = u, dtmod = ora WHERE idprodlistino = p_idlistino;
    PERFORM vt_propaga_listino(p_idlistino, u);
    RETURN QUERY SELECT 1::smallint;
END $$;

-- Two sets: the product's data sheets, and their items with this list's values.
CREATE FUNCTION estraischedelistinovalori(p_idprodotto text, p_idlistino text)
RETURNS SETOF refcursor
LANGUAGE plpgsql SECURITY DEFINER SET search_path = public, pg_temp SET jit = off AS $$
DECLARE
    c1 refcursor;
    c2 refcursor;
BEGIN
    PERFORM vt_sessione();
    PERFORM 1 FROM prod_listini l
     WHERE l.idprodlistino = vt_controlla_id(p_idlistino, 'del listino') AND l.idprodotto = p_idprodotto;
    IF NOT FOUND THEN
        RAISE EXCEPTION 'Listino non trovato per il prodotto indicato (%).', p_idlistino USING ERRCODE = 'P0002';
    END IF;
    c1 := vt_cursore(1);
    OPEN c1 FOR SELECT s.idschedaprodotto, s.txdescschedaprodotto, s.nuordinenelprodotto
                  FROM prod_schede s WHERE s.idprodotto = p_idprodotto
                 ORDER BY s.nuordinenelprodotto;
    RETURN NEXT c1;
    c2 := vt_cursore(2);
    OPEN c2 FOR SELECT v.idschedaprodotto, v.idvocescheda, v.txdescvocescheda, lv.txvalorevocescheda,
                       v.nuordinevocescheda
                  FROM prod_scheda_voci v
                  JOIN prod_schede s ON s.idschedaprodotto = v.idschedaprodotto
                  LEFT JOIN prod_list_scheda_valori lv ON lv.idvocescheda = v.idvocescheda
                                                      AND lv.idprodlistino = p_idlistino
                 WHERE s.idprodotto = p_idprodotto
                 ORDER BY s.nuordinenelprodotto, v.nuordinevocescheda;
    RETURN NEXT c2;
END $$;

CREATE FUNCTION datilistinoschedevalori(p_idlistino text, p_idscheda text)
RETURNS SETOF prod_list_scheda_valori
LANGUAGE plpgsql STABLE SECURITY DEFINER SET search_path = public, pg_temp SET jit = off AS $$
#variable_conflict use_column
BEGIN
    PERFORM vt_sessione();
    RETURN QUERY SELECT v.* FROM prod_list_scheda_valori v
      JOIN prod_scheda_voci sv ON sv.idvocescheda = v.idvocescheda
     WHERE v.idprodlistino = p_idlistino AND v.idschedaprodotto = p_idscheda
     ORDER BY sv.nuordinevocescheda;
END $$;

-- After a list's data-sheet values were saved (inside the window's transaction): the changes
-- reach the open quotes that use the list.
CREATE FUNCTION refreshprodlistschedavoci(p_idlistino text, p_idscheda text, p_utente text)
RETURNS TABLE (flok smallint)
LANGUAGE plpgsql SECURITY DEFINER SET search_path = public, pg_temp SET jit = off AS $$
DECLARE
    u varchar;
    prod varchar;
BEGIN
    PERFORM vt_sessione();
    u := vt_utente(p_utente);
    prod := vt_listino(p_idlistino);
    PERFORM 1 FROM prod_schede s
     WHERE s.idschedaprodotto = vt_controlla_id(p_idscheda, 'della scheda') AND s.idprodotto = prod;
    IF NOT FOUND THEN
        RAISE EXCEPTION 'Scheda non trovata nel prodotto del listino (%).', p_idscheda USING ERRCODE = 'P0002';
    END IF;
    UPDATE prod_listini SET txutentemod = u, dtmod = vt_ora() WHERE idprodlistino = p_idlistino;
    PERFORM vt_propaga_listino(p_idlistino, u);
    RETURN QUERY SELECT 1::smallint;
END $$;

-- What the open quotes had from a list before a change: the first value before a change not
-- yet passed on is kept (a second change before the propagation keeps the first one). Only
-- lists that some line uses are followed.
CREATE OR REPLACE FUNCTION vtt_prod_listini_variazioni() RETURNS trigger
LANGUAGE plpgsql SECURITY DEFINER SET search_path = public, pg_temp AS $$
BEGIN
    IF (OLD.vllistino, OLD.txcodlistino, OLD.txdesclistino, OLD.numaxpercsconto, OLD.vlmaxsconto)
       IS NOT DISTINCT FROM
       (NEW.vllistino, NEW.txcodlistino, NEW.txdesclistino, NEW.numaxpercsconto, NEW.vlmaxsconto)
       OR NOT EXISTS (SELECT 1 FROM preventivo_dettaglio d WHERE d.idprodlistino = NEW.idprodlistino) THEN
        RETURN NULL;
    END IF;
    INSERT INTO prod_listini_variazioni (idprodlistino, txtipo, idelemento, jsprima)
    VALUES (NEW.idprodlistino, 'LISTINO', '',
            jsonb_build_object('vllistino', OLD.vllistino, 'txcodlistino', OLD.txcodlistino,
                               'txdesclistino', OLD.txdesclistino,
                               'numaxpercsconto', OLD.numaxpercsconto,
                               'vlmaxsconto', OLD.vlmaxsconto))
    ON CONFLICT DO NOTHING;
    RETURN NULL;
END $$;
CREATE OR REPLACE TRIGGER trg_prod_listini_variazioni AFTER UPDATE ON prod_listini
    FOR EACH ROW EXECUTE FUNCTION vtt_prod_listini_variazioni();

CREATE OR REPLACE FUNCTION vtt_prod_list_parte_quantita_variazioni() RETURNS trigger
LANGUAGE plpgsql SECURITY DEFINER SET search_path = public, pg_temp AS $$
DECLARE
    r prod_list_parte_quantita := CASE WHEN TG_OP = 'DELETE' THEN OLD ELSE NEW END;
    pa prod_comp_parti;
    q integer;
    d text;
BEGIN
    IF TG_OP = 'UPDATE' AND (OLD.nuquantitaparte, OLD.txdescpartecomp)
                            IS NOT DISTINCT FROM (NEW.nuquantitaparte, NEW.txdescpartecomp) THEN
        RETURN NULL;
    END IF;
    IF NOT EXISTS (SELECT 1 FROM preventivo_dettaglio x WHERE x.idprodlistino = r.idprodlistino) THEN
        RETURN NULL;
    END IF;
    SELECT * INTO pa FROM prod_comp_parti x WHERE x.idpartecomp = r.idpartecomp;
    IF NOT FOUND THEN
        RETURN NULL; -- the sub-paragraph itself is gone
    END IF;
    IF TG_OP = 'INSERT' THEN
        q := pa.nuquantitaparte;
        d := pa.txdescpartecomp;
    ELSE
        q := CASE WHEN OLD.nuquantitaparte > 0 THEN OLD.nuquantitaparte ELSE pa.nuquantitaparte END;
        d := coalesce(OLD.txdescpartecomp, pa.txdescpartecomp);
    END IF;
    INSERT INTO prod_listini_variazioni (idprodlistino, txtipo, idelemento, jsprima)
    VALUES (r.idprodlistino, 'PARTE', r.idpartecomp, jsonb_build_object('q', q, 'd', d))
    ON CONFLICT DO NOTHING;
    RETURN NULL;
END $$;
CREATE OR REPLACE TRIGGER trg_prod_list_parte_quantita_variazioni
    AFTER INSERT OR UPDATE OR DELETE ON prod_list_parte_quantita
    FOR EACH ROW EXECUTE FUNCTION vtt_prod_list_parte_quantita_variazioni();

CREATE OR REPLACE FUNCTION vtt_prod_list_scheda_valori_variazioni() RETURNS trigger
LANGUAGE plpgsql SECURITY DEFINER SET search_path = public, pg_temp AS $$
DECLARE
    r prod_list_scheda_valori := CASE WHEN TG_OP = 'DELETE' THEN OLD ELSE NEW END;
BEGIN
    IF TG_OP = 'UPDATE' AND OLD.txvalorevocescheda IS NOT DISTINCT FROM NEW.txvalorevocescheda THEN
        RETURN NULL;
    END IF;
    IF NOT EXISTS (SELECT 1 FROM preventivo_dettaglio x WHERE x.idprodlistino = r.idprodlistino) THEN
        RETURN NULL;
    END IF;
    INSERT INTO prod_listini_variazioni (idprodlistino, txtipo, idelemento, jsprima)
    VALUES (r.idprodlistino, 'VOCE', r.idvocescheda,
            jsonb_build_object('v', CASE WHEN TG_OP = 'INSERT' THEN NULL ELSE OLD.txvalorevocescheda END))
    ON CONFLICT DO NOTHING;
    RETURN NULL;
END $$;
CREATE OR REPLACE TRIGGER trg_prod_list_scheda_valori_variazioni
    AFTER INSERT OR UPDATE OR DELETE ON prod_list_scheda_valori
    FOR EACH ROW EXECUTE FUNCTION vtt_prod_list_scheda_valori_variazioni();
