-- Price lists of a product: list, record, duplication, activation, deletion, sub-paragraph
-- quantities and data-sheet values of a list, and their propagation to open quotes.

DO $$ BEGIN PERFORM vt_drop_funzioni(ARRAY['estrailistinoprodotto', 'datilistino', 'clonelistino',
    'changestatolistino', 'deletelistino', 'refreshprodlistino', 'estraicomppartilistinoqta',
    'datilistinopartecomp', 'updatelistinoparte', 'estraischedelistinovalori',
    'datilistinoschedevalori', 'refreshprodlistschedavoci', 'vt_listino']); END $$;

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

-- After a list was saved: the lines of open quotes (neither blocked nor deactivated) that use
-- it take its price data, quantities and data-sheet values; the amount offered stays.
CREATE FUNCTION refreshprodlistino(p_idlistino text, p_utente text)
RETURNS TABLE (flok smallint)
LANGUAGE plpgsql SECURITY DEFINER SET search_path = public, pg_temp SET jit = off AS $$
DECLARE
    u varchar := vt_utente(p_utente);
    r record;
BEGIN
    PERFORM vt_sessione();
    PERFORM vt_listino(p_idlistino);
    FOR r IN SELECT d.idpreventivodet
               FROM preventivo_dettaglio d JOIN preventivi q ON q.idpreventivo = d.idpreventivo
              WHERE d.idprodlistino = p_idlistino AND q.flbloccato = 0 AND q.dtcanc IS NULL
              ORDER BY d.idpreventivodet
    LOOP
        UPDATE preventivo_dettaglio d
           SET vllistino = l.vllistino, txcodlistino = l.txcodlistino,
               numaxpercsconto = l.numaxpercsconto, vlmaxsconto = l.vlmaxsconto,
               txutentemod = u, dtmod = vt_ora()
          FROM prod_listini l
         WHERE d.idpreventivodet = r.idpreventivodet AND l.idprodlistino = p_idlistino;
        PERFORM vt_applica_listino(r.idpreventivodet, p_idlistino, NULL, u);
    END LOOP;
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
-- product's); txStato tells which: 'LISTINO' or 'PRODOTTO'.
CREATE FUNCTION datilistinopartecomp(p_idlistino text, p_idparte text)
RETURNS TABLE (txdescpartecomp varchar, nuquantitaparte integer, txstato text)
LANGUAGE plpgsql STABLE SECURITY DEFINER SET search_path = public, pg_temp SET jit = off AS $$
BEGIN
    PERFORM vt_sessione();
    RETURN QUERY
    SELECT coalesce(q.txdescpartecomp, pa.txdescpartecomp),
           CASE WHEN q.nuquantitaparte > 0 THEN q.nuquantitaparte ELSE pa.nuquantitaparte END,
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

-- Stores a list's quantity of a sub-paragraph (0 or less: the product's quantity holds) and
-- its description when it differs from the product's. The state text is informative only.
CREATE FUNCTION updatelistinoparte(p_idlistino text, p_idparte text, p_descrizione text,
                                   p_quantita integer, p_stato text, p_utente text)
RETURNS TABLE (flok smallint)
LANGUAGE plpgsql SECURITY DEFINER SET search_path = public, pg_temp SET jit = off AS $$
DECLARE
    u varchar := vt_utente(p_utente);
    ora timestamp := vt_ora();
    prod varchar := vt_listino(p_idlistino);
    descprod varchar;
    d text := vt_vuoto(vt_testo(p_descrizione, 200, 'Descrizione del sottoparagrafo'));
BEGIN
    PERFORM vt_sessione();
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
    OPEN c1 FOR SELECT s.idschedaprodotto, s.txdescschedaprodotto, s.nuordinenelprodotto
                  FROM prod_schede s WHERE s.idprodotto = p_idprodotto
                 ORDER BY s.nuordinenelprodotto;
    RETURN NEXT c1;
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

-- After a list's data-sheet values were saved: the lines of open quotes that use the list
-- take the values of that data sheet.
CREATE FUNCTION refreshprodlistschedavoci(p_idlistino text, p_idscheda text, p_utente text)
RETURNS TABLE (flok smallint)
LANGUAGE plpgsql SECURITY DEFINER SET search_path = public, pg_temp SET jit = off AS $$
DECLARE
    u varchar := vt_utente(p_utente);
    prod varchar := vt_listino(p_idlistino);
    r record;
BEGIN
    PERFORM vt_sessione();
    PERFORM 1 FROM prod_schede s
     WHERE s.idschedaprodotto = vt_controlla_id(p_idscheda, 'della scheda') AND s.idprodotto = prod;
    IF NOT FOUND THEN
        RAISE EXCEPTION 'Scheda non trovata nel prodotto del listino (%).', p_idscheda USING ERRCODE = 'P0002';
    END IF;
    UPDATE prod_listini SET txutentemod = u, dtmod = vt_ora() WHERE idprodlistino = p_idlistino;
    FOR r IN SELECT d.idpreventivodet
               FROM preventivo_dettaglio d JOIN preventivi q ON q.idpreventivo = d.idpreventivo
              WHERE d.idprodlistino = p_idlistino AND q.flbloccato = 0 AND q.dtcanc IS NULL
              ORDER BY d.idpreventivodet
    LOOP
        PERFORM vt_applica_listino(r.idpreventivodet, p_idlistino, p_idscheda, u);
    END LOOP;
    RETURN QUERY SELECT 1::smallint;
END $$;
