-- Suppliers' catalogues, the product list and record, activation, code check, deletion,
-- duplication and linked products.

DO $$ BEGIN PERFORM vt_drop_funzioni(ARRAY['estraifornitori', 'estraiprodotti', 'datiprodotto',
    'datiimagesprodotto', 'datiimagesprodottopreview', 'checkcodprodotto', 'changestatoprodotto',
    'deleteprodotto', 'cloneprodotto', 'updatechangesprodotto', 'refreshprodottoindettagliprev',
    'estraiprodottilinked', 'addprodottolinked', 'delprodottolinked', 'moveprodottolinked',
    'updateprodottolinked', 'estraiprodottinotlinked', 'vt_blocca_prodotto', 'vt_filtro_testo',
    'vt_collegati', 'vt_rinumera_collegati', 'vt_tx_prodotto', 'vt_stampa_prodotto']); END $$;

-- Display text of a product in candidate and search lists.
CREATE FUNCTION vt_tx_prodotto(p_desc text, p_codice text) RETURNS text
LANGUAGE sql STABLE PARALLEL SAFE AS $$
    SELECT p_desc || coalesce(' [' || nullif(btrim(p_codice), '') || ']', '')
$$;

-- Locks a product for a change of its tree, links or price lists: two operators changing the
-- same product wait for each other instead of mixing their positions.
CREATE FUNCTION vt_blocca_prodotto(p_idprodotto text) RETURNS void
LANGUAGE plpgsql AS $$
BEGIN
    PERFORM 1 FROM prodotti p WHERE p.idprodotto = vt_controlla_id(p_idprodotto, 'del prodotto')
        FOR UPDATE;
    IF NOT FOUND THEN
        RAISE EXCEPTION 'Prodotto non trovato (%).', p_idprodotto USING ERRCODE = 'P0002';
    END IF;
END $$;

-- Marks a product as changed by the operator.
CREATE FUNCTION vt_stampa_prodotto(p_idprodotto text, p_utente text) RETURNS void
LANGUAGE sql AS $$
    UPDATE prodotti SET txutentemod = p_utente, dtmod = vt_ora() WHERE idprodotto = p_idprodotto
$$;

-- Search text of the product lists: every word must appear in the product's code or
-- description or in the code or description of one of its price lists (any case).
CREATE FUNCTION vt_filtro_testo(p_alias text, p_testo text) RETURNS text
LANGUAGE plpgsql IMMUTABLE AS $$
DECLARE
    w text;
    f text := '';
    pat text;
BEGIN
    FOREACH w IN ARRAY regexp_split_to_array(coalesce(btrim(p_testo), ''), '\s+') LOOP
        CONTINUE WHEN w = '';
        pat := '%' || w || '%';
        f := f || format(
            ' AND (%1$s.txdescprodotto ILIKE %2$L ESCAPE %3$L OR %1$s.txcodprodotto ILIKE %2$L ESCAPE %3$L
                   OR EXISTS (SELECT 1 FROM prod_listini fl WHERE fl.idprodotto = %1$s.idprodotto
                                 AND (fl.txdesclistino ILIKE %2$L ESCAPE %3$L
                                      OR fl.txcodlistino ILIKE %2$L ESCAPE %3$L)))',
            p_alias, pat, '');
    END LOOP;
    RETURN f;
END $$;

-- Catalogues -------------------------------------------------------------------------------

-- One row per catalogue (supplier and year): 'B' current, 'C' previous; and one row per
-- supplier without a year (nuAnnoKey null), for products that belong to no year, after the
-- catalogues with a year.
CREATE FUNCTION estraifornitori()
RETURNS TABLE (idkeyfornitore varchar, idfornitore varchar, nuannokey integer, txfornitore varchar,
               txanno text, txfornitoreanno text, txdescfornitore text, txorder text,
               fldefault smallint)
LANGUAGE plpgsql STABLE SECURITY DEFINER SET search_path = public, pg_temp SET jit = off AS $$
#variable_conflict use_column
BEGIN
    PERFORM vt_sessione();
    -- Within current and previous, the catalogues of a year come before the suppliers' rows
    -- without one: a new product's first choice is a real catalogue.
    RETURN QUERY SELECT x.* FROM (
    SELECT c.idcatalogo, f.idfornitore, c.nuanno, f.txfornitore, c.nuanno::text AS txanno,
           f.txfornitore || ' ' || c.nuanno AS txfornitoreanno,
           f.txfornitore || ' ' || c.nuanno AS txdescfornitore,
           CASE WHEN c.flattuale = 1 THEN 'B' ELSE 'C' END AS txorder,
           CASE WHEN f.fldefault = 1 AND c.nuanno = (SELECT max(c2.nuanno) FROM fornitori_cataloghi c2
                                                      WHERE c2.idfornitore = f.idfornitore)
                THEN 1 ELSE 0 END::smallint AS fldefault
      FROM fornitori f JOIN fornitori_cataloghi c ON c.idfornitore = f.idfornitore
     WHERE f.dtcanc IS NULL
    UNION ALL
    SELECT f.idfornitore, f.idfornitore, NULL, f.txfornitore, NULL, f.txfornitore, f.txfornitore,
           'B', 0::smallint
      FROM fornitori f
     WHERE f.dtcanc IS NULL) x
     ORDER BY x.txorder, x.nuanno IS NULL, x.txdescfornitore;
END $$;

-- Products ---------------------------------------------------------------------------------

-- The product list. Mode 0: columns only; mode 1 with a product id: that product alone;
-- otherwise the filters (zero id and year 0 = every catalogue). A quote is open while it is
-- neither blocked nor deactivated; closed quotes are the blocked ones.
CREATE FUNCTION estraiprodotti(p_modo integer, p_idprodotto text DEFAULT NULL,
                               p_idfornitore text DEFAULT NULL, p_nuanno integer DEFAULT 0,
                               p_testo text DEFAULT NULL, p_nonattivi integer DEFAULT 0,
                               p_chiusi integer DEFAULT 0, p_aperti integer DEFAULT 0,
                               p_mesi integer DEFAULT 0, p_prodotti integer DEFAULT 1,
                               p_accessori integer DEFAULT 1, p_documentazioni integer DEFAULT 1)
RETURNS TABLE (idprodotto varchar, flmancacopertina smallint, flprodottilinked smallint,
               txcodprodotto varchar, txdescprodotto varchar, idfornitore varchar, nuanno integer,
               dtultpreventivoaperto timestamp, nupreventiviaperti integer,
               nupreventivichiusi integer, dtmod timestamp, txutentemod varchar, dtin timestamp,
               txutentein varchar, dtmaxoperazlistini timestamp, flaccessorio smallint,
               fldocumentazione smallint, flprodottoattivo smallint, dtmaxoperation timestamp)
LANGUAGE plpgsql STABLE SECURITY DEFINER SET search_path = public, pg_temp SET jit = off AS $$
DECLARE
    f text := '';
    k text := '';
    dal timestamp;
BEGIN
    PERFORM vt_sessione();
    IF p_modo = 0 THEN
        f := ' AND false';
    ELSIF vt_vuoto(p_idprodotto) IS NOT NULL THEN
        f := format(' AND p.idprodotto = %L', p_idprodotto);
    ELSE
        IF vt_vuoto(p_idfornitore) IS NOT NULL
           AND p_idfornitore <> '{00000000-0000-0000-0000-000000000000}' THEN
            f := f || format(' AND p.idfornitore = %L', p_idfornitore);
            IF coalesce(p_nuanno, 0) <> 0 THEN
                f := f || format(' AND p.nuanno = %s', p_nuanno);
            END IF;
        END IF;
        f := f || vt_filtro_testo('p', p_testo);
        IF coalesce(p_nonattivi, 0) = 0 THEN
            f := f || ' AND p.flprodottoattivo = 1';
        END IF;
        IF coalesce(p_prodotti, 0) = 1 THEN
            k := k || ' OR (p.flaccessorio = 0 AND p.fldocumentazione = 0)';
        END IF;
        IF coalesce(p_accessori, 0) = 1 THEN
            k := k || ' OR p.flaccessorio = 1';
        END IF;
        IF coalesce(p_documentazioni, 0) = 1 THEN
            k := k || ' OR p.fldocumentazione = 1';
        END IF;
        f := f || ' AND (false' || k || ')';
        IF coalesce(p_chiusi, 0) = 1 OR coalesce(p_aperti, 0) = 1 THEN
            dal := CASE WHEN coalesce(p_mesi, 0) > 0
                        THEN (current_date - make_interval(months => least(p_mesi, 6)))::timestamp END;
            f := f || ' AND (false'
                   || CASE WHEN p_chiusi = 1 THEN ' OR u.nuchiusi > 0' ELSE '' END
                   || CASE WHEN p_aperti = 1 AND dal IS NULL THEN ' OR u.nuaperti > 0'
                           WHEN p_aperti = 1 THEN format(' OR u.dtultaperto >= %L', dal)
                           ELSE '' END
                   || ')';
        END IF;
    END IF;
    RETURN QUERY EXECUTE
       'SELECT p.idprodotto,
               CASE WHEN ip.imgimage IS NULL THEN 1 ELSE 0 END::smallint,
               CASE WHEN EXISTS (SELECT 1 FROM prod_collegati pc WHERE pc.idprodotto = p.idprodotto)
                    THEN 1 ELSE 0 END::smallint,
               p.txcodprodotto, p.txdescprodotto, p.idfornitore, p.nuanno, u.dtultaperto,
               coalesce(u.nuaperti, 0)::integer, coalesce(u.nuchiusi, 0)::integer, p.dtmod,
               p.txutentemod, p.dtin, p.txutentein, l.dtmaxlist, p.flaccessorio, p.fldocumentazione,
               p.flprodottoattivo, greatest(p.dtin, p.dtmod, l.dtmaxlist)
          FROM prodotti p
          LEFT JOIN images_prodotti ip ON ip.idimage = p.idprodotto
          LEFT JOIN (SELECT d.idprodotto,
                            max(q.dtpreventivo) FILTER (WHERE q.flbloccato = 0 AND q.dtcanc IS NULL) AS dtultaperto,
                            count(DISTINCT q.idpreventivo) FILTER (WHERE q.flbloccato = 0 AND q.dtcanc IS NULL) AS nuaperti,
                            count(DISTINCT q.idpreventivo) FILTER (WHERE q.flbloccato = 1) AS nuchiusi
                       FROM preventivo_dettaglio d
                       JOIN preventivi q ON q.idpreventivo = d.idpreventivo
                      GROUP BY d.idprodotto) u ON u.idprodotto = p.idprodotto
          LEFT JOIN (SELECT pl.idprodotto, max(greatest(pl.dtin, pl.dtmod, pl.dtcanc)) AS dtmaxlist
                       FROM prod_listini pl GROUP BY pl.idprodotto) l ON l.idprodotto = p.idprodotto
         WHERE true' || f;
END $$;

CREATE FUNCTION datiprodotto(p_idprodotto text)
RETURNS SETOF prodotti
LANGUAGE plpgsql STABLE SECURITY DEFINER SET search_path = public, pg_temp SET jit = off AS $$
#variable_conflict use_column
BEGIN
    PERFORM vt_sessione();
    RETURN QUERY SELECT * FROM prodotti WHERE idprodotto = p_idprodotto;
END $$;

CREATE FUNCTION datiimagesprodotto(p_idimage text)
RETURNS SETOF images_prodotti
LANGUAGE plpgsql STABLE SECURITY DEFINER SET search_path = public, pg_temp SET jit = off AS $$
#variable_conflict use_column
BEGIN
    PERFORM vt_sessione();
    RETURN QUERY SELECT * FROM images_prodotti WHERE idimage = p_idimage;
END $$;

CREATE FUNCTION datiimagesprodottopreview(p_idimage text)
RETURNS SETOF images_prodotti_preview
LANGUAGE plpgsql STABLE SECURITY DEFINER SET search_path = public, pg_temp SET jit = off AS $$
#variable_conflict use_column
BEGIN
    PERFORM vt_sessione();
    RETURN QUERY SELECT * FROM images_prodotti_preview WHERE idimage = p_idimage;
END $$;

-- OkCodice 1 when no other product uses the code (any case); otherwise the description of
-- one that does.
CREATE FUNCTION checkcodprodotto(p_codice text, p_idprodotto text, p_utente text)
RETURNS TABLE (okcodice smallint, txdescprodotto varchar)
LANGUAGE plpgsql STABLE SECURITY DEFINER SET search_path = public, pg_temp SET jit = off AS $$
DECLARE
    d varchar;
BEGIN
    PERFORM vt_sessione();
    PERFORM vt_utente(p_utente);
    IF vt_vuoto(p_codice) IS NOT NULL THEN
        SELECT p.txdescprodotto INTO d FROM prodotti p
         WHERE upper(p.txcodprodotto) = upper(btrim(p_codice))
           AND p.idprodotto IS DISTINCT FROM p_idprodotto
         ORDER BY p.dtin DESC NULLS LAST LIMIT 1;
    END IF;
    RETURN QUERY SELECT CASE WHEN d IS NULL THEN 1 ELSE 0 END::smallint, d;
END $$;

CREATE FUNCTION changestatoprodotto(p_idprodotto text, p_stato integer, p_utente text)
RETURNS TABLE (flok smallint)
LANGUAGE plpgsql SECURITY DEFINER SET search_path = public, pg_temp SET jit = off AS $$
DECLARE
    u varchar := vt_utente(p_utente);
BEGIN
    PERFORM vt_sessione();
    UPDATE prodotti p SET flprodottoattivo = vt_flag(p_stato, 'stato'), txutentemod = u, dtmod = vt_ora()
     WHERE p.idprodotto = vt_controlla_id(p_idprodotto, 'del prodotto');
    IF NOT FOUND THEN
        RAISE EXCEPTION 'Prodotto non trovato (%).', p_idprodotto USING ERRCODE = 'P0002';
    END IF;
    RETURN QUERY SELECT 1::smallint;
END $$;

CREATE FUNCTION updatechangesprodotto(p_idprodotto text, p_utente text)
RETURNS TABLE (flok smallint)
LANGUAGE plpgsql SECURITY DEFINER SET search_path = public, pg_temp SET jit = off AS $$
BEGIN
    PERFORM vt_sessione();
    PERFORM vt_blocca_prodotto(p_idprodotto);
    PERFORM vt_stampa_prodotto(p_idprodotto, vt_utente(p_utente));
    RETURN QUERY SELECT 1::smallint;
END $$;

-- Deletes a product with its tree, images, price lists and links. Refused while a quote or
-- order line uses it; a product that other products propose as linked may be deleted by an
-- administrator only (the links go with it).
CREATE FUNCTION deleteprodotto(p_idprodotto text, p_admin integer, p_utente text)
RETURNS TABLE (flok smallint, errmess text)
LANGUAGE plpgsql SECURITY DEFINER SET search_path = public, pg_temp SET jit = off AS $$
DECLARE
    n integer;
    img varchar[];
    u varchar;
    proprietari varchar[];
    o varchar;
BEGIN
    PERFORM vt_sessione();
    u := vt_utente(p_utente);
    -- The administrator argument is read as a flag but not believed: the session tells.
    PERFORM vt_flag(p_admin, 'amministratore');
    PERFORM vt_blocca_prodotto(p_idprodotto);
    SELECT count(*) INTO n FROM preventivo_dettaglio d WHERE d.idprodotto = p_idprodotto;
    IF n > 0 THEN
        RETURN QUERY SELECT 0::smallint,
            format('Il prodotto è utilizzato in %s righe di preventivi o ordini: non è possibile eliminarlo.'
                   || E'\n\nDisattivarlo invece di eliminarlo.', n);
        RETURN;
    END IF;
    SELECT count(*) INTO n FROM prod_collegati c WHERE c.idprodcollegato = p_idprodotto;
    IF n > 0 AND NOT vt_sessione_e_amministratore() THEN
        RETURN QUERY SELECT 0::smallint,
            format('Il prodotto è collegato a %s altri prodotti: solo un amministratore può eliminarlo.', n);
        RETURN;
    END IF;
    img := ARRAY(SELECT i.idimage FROM prod_comp_parte_img i
                   JOIN prod_comp_parti pa ON pa.idpartecomp = i.idpartecomp
                   JOIN prod_componenti c ON c.idcompprodotto = pa.idcompprodotto
                  WHERE c.idprodotto = p_idprodotto);
    -- The products that link to this one lose the link with the cascade: their remaining
    -- links are numbered 1..n again (locked in a fixed order, as every change of links locks
    -- its product).
    proprietari := ARRAY(SELECT c.idprodotto FROM prod_collegati c
                          WHERE c.idprodcollegato = p_idprodotto ORDER BY c.idprodotto);
    FOREACH o IN ARRAY proprietari LOOP
        PERFORM vt_blocca_prodotto(o);
    END LOOP;
    DELETE FROM prodotti WHERE idprodotto = p_idprodotto;
    FOREACH o IN ARRAY proprietari LOOP
        PERFORM vt_rinumera_collegati(o);
        PERFORM vt_stampa_prodotto(o, u);
    END LOOP;
    PERFORM vt_elimina_immagini(img);
    RETURN QUERY SELECT 1::smallint, NULL::text;
END $$;

-- A new product with exactly the given id: the product row, its cover, its whole tree with
-- node images, its links and, on request, its price lists with their quantities and values.
CREATE FUNCTION cloneprodotto(p_idorigine text, p_idnuovo text, p_listini integer, p_utente text)
RETURNS TABLE (flok smallint)
LANGUAGE plpgsql SECURITY DEFINER SET search_path = public, pg_temp SET jit = off AS $$
DECLARE
    u varchar := vt_utente(p_utente);
    ora timestamp := vt_ora();
BEGIN
    PERFORM vt_sessione();
    PERFORM vt_flag(p_listini, 'copia listini');
    PERFORM vt_controlla_id(p_idnuovo, 'del nuovo prodotto');
    PERFORM vt_blocca_prodotto(p_idorigine);
    IF EXISTS (SELECT 1 FROM prodotti WHERE idprodotto = p_idnuovo) THEN
        RAISE EXCEPTION 'Esiste già un prodotto con l''identificativo %.', p_idnuovo USING ERRCODE = '23505';
    END IF;
    INSERT INTO prodotti (idprodotto, idimage, txcodprodotto, idfornitore, nuanno, txdescprodotto,
                          flprodottoattivo, flaccessorio, fldocumentazione, txutentein, dtin)
    SELECT p_idnuovo, p_idnuovo, p.txcodprodotto, p.idfornitore, p.nuanno, p.txdescprodotto,
           p.flprodottoattivo, p.flaccessorio, p.fldocumentazione, u, ora
      FROM prodotti p WHERE p.idprodotto = p_idorigine;
    INSERT INTO images_prodotti (idimage, imgimage)
    SELECT p_idnuovo, i.imgimage FROM images_prodotti i WHERE i.idimage = p_idorigine;
    INSERT INTO images_prodotti_preview (idimage, imgpreview)
    SELECT p_idnuovo, i.imgpreview FROM images_prodotti_preview i WHERE i.idimage = p_idorigine;
    -- A product always has its two image rows (the program edits them).
    INSERT INTO images_prodotti (idimage) SELECT p_idnuovo
     WHERE NOT EXISTS (SELECT 1 FROM images_prodotti WHERE idimage = p_idnuovo);
    INSERT INTO images_prodotti_preview (idimage) SELECT p_idnuovo
     WHERE NOT EXISTS (SELECT 1 FROM images_prodotti_preview WHERE idimage = p_idnuovo);

    PERFORM vt_copia_albero(p_idorigine, NULL, NULL, p_idnuovo, p_idnuovo, 0, u);

    INSERT INTO prod_collegati (idprodotto, idprodcollegato, nuordinecollegamento, flaccessorio,
                                idprodlistino, nuquantita, txutentein, dtin)
    SELECT p_idnuovo, c.idprodcollegato, c.nuordinecollegamento, c.flaccessorio, c.idprodlistino,
           c.nuquantita, u, ora
      FROM prod_collegati c WHERE c.idprodotto = p_idorigine AND c.idprodcollegato <> p_idnuovo;

    IF p_listini = 1 THEN
        INSERT INTO prod_listini (idprodlistino, idprodotto, txcodlistino, txdesclistino, vllistino,
                                  vlmaxsconto, numaxpercsconto, txutentein, dtin, txutentecanc, dtcanc)
        SELECT vt_id_derivato(p_idnuovo, l.idprodlistino), p_idnuovo, l.txcodlistino,
               l.txdesclistino, l.vllistino, l.vlmaxsconto, l.numaxpercsconto, u, ora,
               l.txutentecanc, l.dtcanc
          FROM prod_listini l WHERE l.idprodotto = p_idorigine;
        INSERT INTO prod_list_parte_quantita (idprodlistino, idpartecomp, nuquantitaparte,
                                              txdescpartecomp, txutentein, dtin)
        SELECT vt_id_derivato(p_idnuovo, q.idprodlistino), vt_id_derivato(p_idnuovo, q.idpartecomp),
               q.nuquantitaparte, q.txdescpartecomp, u, ora
          FROM prod_list_parte_quantita q JOIN prod_listini l ON l.idprodlistino = q.idprodlistino
         WHERE l.idprodotto = p_idorigine;
        INSERT INTO prod_list_scheda_valori (idprodlistino, idschedaprodotto, idvocescheda,
                                             txvalorevocescheda, txutentein, dtin)
        SELECT vt_id_derivato(p_idnuovo, v.idprodlistino), vt_id_derivato(p_idnuovo, v.idschedaprodotto),
               vt_id_derivato(p_idnuovo, v.idvocescheda), v.txvalorevocescheda, u, ora
          FROM prod_list_scheda_valori v JOIN prod_listini l ON l.idprodlistino = v.idprodlistino
         WHERE l.idprodotto = p_idorigine;
    END IF;
    RETURN QUERY SELECT 1::smallint;
END $$;

-- After a change of the product row: open quotes (neither blocked nor deactivated) that use
-- the product take over its current tree, keeping each line's own choices (see
-- vt_allinea_riga).
CREATE FUNCTION refreshprodottoindettagliprev(p_idprodotto text, p_utente text)
RETURNS TABLE (flok smallint)
LANGUAGE plpgsql SECURITY DEFINER SET search_path = public, pg_temp SET jit = off AS $$
DECLARE
    u varchar := vt_utente(p_utente);
    r record;
BEGIN
    PERFORM vt_sessione();
    PERFORM vt_blocca_prodotto(p_idprodotto);
    FOR r IN SELECT d.idpreventivodet
               FROM preventivo_dettaglio d
               JOIN preventivi q ON q.idpreventivo = d.idpreventivo
              WHERE d.idprodotto = p_idprodotto AND q.flbloccato = 0 AND q.dtcanc IS NULL
              ORDER BY d.idpreventivodet
    LOOP
        PERFORM vt_allinea_riga(r.idpreventivodet, u);
    END LOOP;
    RETURN QUERY SELECT 1::smallint;
END $$;

-- Linked products -------------------------------------------------------------------------

CREATE FUNCTION vt_collegati(p_idprodotto text)
RETURNS TABLE (nuordinecollegamento integer, idprodotto varchar, flaccessorio smallint,
               txprodotto text, fldocumentazione smallint, idprodlistino varchar,
               nuquantita numeric)
LANGUAGE sql STABLE AS $$
    SELECT c.nuordinecollegamento, c.idprodcollegato, c.flaccessorio,
           vt_tx_prodotto(p.txdescprodotto, p.txcodprodotto), p.fldocumentazione, c.idprodlistino,
           c.nuquantita
      FROM prod_collegati c JOIN prodotti p ON p.idprodotto = c.idprodcollegato
     WHERE c.idprodotto = p_idprodotto
     ORDER BY c.nuordinecollegamento
$$;

-- Positions 1..n; the moved link (if any) is placed at the given position.
CREATE FUNCTION vt_rinumera_collegati(p_idprodotto text, p_id text DEFAULT NULL,
                                      p_pos integer DEFAULT NULL) RETURNS void
LANGUAGE sql AS $$
    WITH o AS (
        SELECT c.idprodcollegato,
               row_number() OVER (ORDER BY CASE WHEN c.idprodcollegato = p_id THEN p_pos - 0.5
                                                ELSE c.nuordinecollegamento END,
                                           c.idprodcollegato) AS rn
          FROM prod_collegati c WHERE c.idprodotto = p_idprodotto)
    UPDATE prod_collegati c SET nuordinecollegamento = o.rn
      FROM o
     WHERE c.idprodotto = p_idprodotto AND c.idprodcollegato = o.idprodcollegato
       AND c.nuordinecollegamento <> o.rn
$$;

CREATE FUNCTION estraiprodottilinked(p_idprodotto text)
RETURNS TABLE (nuordinecollegamento integer, idprodotto varchar, flaccessorio smallint,
               txprodotto text)
LANGUAGE plpgsql STABLE SECURITY DEFINER SET search_path = public, pg_temp SET jit = off AS $$
BEGIN
    PERFORM vt_sessione();
    PERFORM 1 FROM prodotti p WHERE p.idprodotto = vt_controlla_id(p_idprodotto, 'del prodotto');
    IF NOT FOUND THEN
        RAISE EXCEPTION 'Prodotto non trovato (%).', p_idprodotto USING ERRCODE = 'P0002';
    END IF;
    RETURN QUERY SELECT c.nuordinecollegamento, c.idprodotto, c.flaccessorio, c.txprodotto
                   FROM vt_collegati(p_idprodotto) c;
END $$;

-- Appends a link at position n+1. A documentation is linked as such, anything else as an
-- accessory.
CREATE FUNCTION addprodottolinked(p_idprodotto text, p_idcollegato text, p_utente text)
RETURNS TABLE (nuordinecollegamento integer, idprodotto varchar, flaccessorio smallint,
               txprodotto text)
LANGUAGE plpgsql SECURITY DEFINER SET search_path = public, pg_temp SET jit = off AS $$
#variable_conflict use_column
DECLARE
    u varchar := vt_utente(p_utente);
BEGIN
    PERFORM vt_sessione();
    PERFORM vt_blocca_prodotto(p_idprodotto);
    IF p_idprodotto = p_idcollegato THEN
        RAISE EXCEPTION 'Un prodotto non può essere collegato a se stesso.' USING ERRCODE = '22023';
    END IF;
    PERFORM 1 FROM prodotti p WHERE p.idprodotto = vt_controlla_id(p_idcollegato, 'del prodotto da collegare');
    IF NOT FOUND THEN
        RAISE EXCEPTION 'Prodotto da collegare non trovato (%).', p_idcollegato USING ERRCODE = 'P0002';
    END IF;
    IF EXISTS (SELECT 1 FROM prod_collegati c WHERE c.idprodotto = p_idprodotto
                                                AND c.idprodcollegato = p_idcollegato) THEN
        RAISE EXCEPTION 'Il prodotto è già collegato.' USING ERRCODE = '23505';
    END IF;
    INSERT INTO prod_collegati (idprodotto, idprodcollegato, nuordinecollegamento, flaccessorio,
                                txutentein, dtin)
    SELECT p_idprodotto, p.idprodotto,
           coalesce((SELECT max(c.nuordinecollegamento) FROM prod_collegati c
                      WHERE c.idprodotto = p_idprodotto), 0) + 1,
           CASE WHEN p.fldocumentazione = 1 THEN 0 ELSE 1 END, u, vt_ora()
      FROM prodotti p WHERE p.idprodotto = p_idcollegato;
    PERFORM vt_stampa_prodotto(p_idprodotto, u);
    RETURN QUERY SELECT c.nuordinecollegamento, c.idprodotto, c.flaccessorio, c.txprodotto
                   FROM vt_collegati(p_idprodotto) c;
END $$;

-- Removes a link. The position the window shows must still be the link's: otherwise another
-- operator changed the list meanwhile and nothing is removed.
CREATE FUNCTION delprodottolinked(p_idprodotto text, p_idcollegato text, p_posizione integer,
                                  p_utente text)
RETURNS TABLE (nuordinecollegamento integer, idprodotto varchar, flaccessorio smallint,
               txprodotto text)
LANGUAGE plpgsql SECURITY DEFINER SET search_path = public, pg_temp SET jit = off AS $$
#variable_conflict use_column
DECLARE
    u varchar := vt_utente(p_utente);
    pos integer;
BEGIN
    PERFORM vt_sessione();
    PERFORM vt_blocca_prodotto(p_idprodotto);
    SELECT c.nuordinecollegamento INTO pos FROM prod_collegati c
     WHERE c.idprodotto = p_idprodotto AND c.idprodcollegato = p_idcollegato;
    IF NOT FOUND THEN
        RAISE EXCEPTION 'Il prodotto non è collegato (%).', p_idcollegato USING ERRCODE = 'P0002';
    END IF;
    IF p_posizione IS NOT NULL AND p_posizione <> pos THEN
        RAISE EXCEPTION 'I prodotti collegati sono stati modificati da un altro operatore: ricaricare l''elenco.'
            USING ERRCODE = '40001';
    END IF;
    DELETE FROM prod_collegati c WHERE c.idprodotto = p_idprodotto AND c.idprodcollegato = p_idcollegato;
    PERFORM vt_rinumera_collegati(p_idprodotto);
    PERFORM vt_stampa_prodotto(p_idprodotto, u);
    RETURN QUERY SELECT c.nuordinecollegamento, c.idprodotto, c.flaccessorio, c.txprodotto
                   FROM vt_collegati(p_idprodotto) c;
END $$;

CREATE FUNCTION moveprodottolinked(p_idprodotto text, p_idcollegato text, p_davecchia integer,
                                   p_anuova integer, p_utente text)
RETURNS TABLE (nuordinecollegamento integer, idprodotto varchar, flaccessorio smallint,
               txprodotto text)
LANGUAGE plpgsql SECURITY DEFINER SET search_path = public, pg_temp SET jit = off AS $$
#variable_conflict use_column
DECLARE
    u varchar := vt_utente(p_utente);
    pos integer;
    n integer;
BEGIN
    PERFORM vt_sessione();
    PERFORM vt_blocca_prodotto(p_idprodotto);
    SELECT c.nuordinecollegamento INTO pos FROM prod_collegati c
     WHERE c.idprodotto = p_idprodotto AND c.idprodcollegato = p_idcollegato;
    IF NOT FOUND THEN
        RAISE EXCEPTION 'Il prodotto non è collegato (%).', p_idcollegato USING ERRCODE = 'P0002';
    END IF;
    IF p_davecchia IS NOT NULL AND p_davecchia <> pos THEN
        RAISE EXCEPTION 'I prodotti collegati sono stati modificati da un altro operatore: ricaricare l''elenco.'
            USING ERRCODE = '40001';
    END IF;
    IF p_anuova IS NULL THEN
        RAISE EXCEPTION 'Nuova posizione non indicata.' USING ERRCODE = '22004';
    END IF;
    SELECT count(*) INTO n FROM prod_collegati c WHERE c.idprodotto = p_idprodotto;
    -- Moving down places the link after the one that held the new position.
    PERFORM vt_rinumera_collegati(p_idprodotto, p_idcollegato,
                                  CASE WHEN p_anuova > pos THEN least(p_anuova, n) + 1
                                       ELSE greatest(p_anuova, 1) END);
    PERFORM vt_stampa_prodotto(p_idprodotto, u);
    RETURN QUERY SELECT c.nuordinecollegamento, c.idprodotto, c.flaccessorio, c.txprodotto
                   FROM vt_collegati(p_idprodotto) c;
END $$;

CREATE FUNCTION updateprodottolinked(p_idprodotto text, p_idcollegato text, p_accessorio integer,
                                     p_utente text)
RETURNS TABLE (nuordinecollegamento integer, idprodotto varchar, flaccessorio smallint,
               txprodotto text)
LANGUAGE plpgsql SECURITY DEFINER SET search_path = public, pg_temp SET jit = off AS $$
#variable_conflict use_column
DECLARE
    u varchar := vt_utente(p_utente);
BEGIN
    PERFORM vt_sessione();
    PERFORM vt_blocca_prodotto(p_idprodotto);
    UPDATE prod_collegati c SET flaccessorio = vt_flag(p_accessorio, 'accessorio'), txutentemod = u,
                                dtmod = vt_ora()
     WHERE c.idprodotto = p_idprodotto AND c.idprodcollegato = p_idcollegato;
    IF NOT FOUND THEN
        RAISE EXCEPTION 'Il prodotto non è collegato (%).', p_idcollegato USING ERRCODE = 'P0002';
    END IF;
    RETURN QUERY SELECT c.nuordinecollegamento, c.idprodotto, c.flaccessorio, c.txprodotto
                   FROM vt_collegati(p_idprodotto) c;
END $$;

-- Products that may be linked to the given one: active, not itself, not yet linked; for a
-- documentation product only documentation; on request only products used in no quote.
CREATE FUNCTION estraiprodottinotlinked(p_modo integer, p_idprodotto text DEFAULT NULL,
                                        p_idfornitore text DEFAULT NULL, p_nuanno integer DEFAULT 0,
                                        p_testo text DEFAULT NULL, p_nonusati integer DEFAULT 0,
                                        p_prodotti integer DEFAULT 1, p_accessori integer DEFAULT 1,
                                        p_documentazioni integer DEFAULT 1)
RETURNS TABLE (idprodotto varchar, txprodotto text, dtmod timestamp, dtin timestamp,
               flaccessorio smallint, fldocumentazione smallint, flprodottoattivo smallint,
               txdescprodotto varchar, txcodprodotto varchar)
LANGUAGE plpgsql STABLE SECURITY DEFINER SET search_path = public, pg_temp SET jit = off AS $$
DECLARE
    f text := '';
    k text := '';
    doc smallint;
BEGIN
    PERFORM vt_sessione();
    IF p_modo = 0 THEN
        f := ' AND false';
    ELSE
        SELECT p.fldocumentazione INTO doc FROM prodotti p
         WHERE p.idprodotto = vt_controlla_id(p_idprodotto, 'del prodotto');
        IF NOT FOUND THEN
            RAISE EXCEPTION 'Prodotto non trovato (%).', p_idprodotto USING ERRCODE = 'P0002';
        END IF;
        f := format(' AND p.idprodotto <> %1$L AND NOT EXISTS (SELECT 1 FROM prod_collegati c
                        WHERE c.idprodotto = %1$L AND c.idprodcollegato = p.idprodotto)', p_idprodotto);
        IF vt_vuoto(p_idfornitore) IS NOT NULL
           AND p_idfornitore <> '{00000000-0000-0000-0000-000000000000}' THEN
            f := f || format(' AND p.idfornitore = %L', p_idfornitore);
            IF coalesce(p_nuanno, 0) <> 0 THEN
                f := f || format(' AND p.nuanno = %s', p_nuanno);
            END IF;
        END IF;
        f := f || vt_filtro_testo('p', p_testo);
        IF coalesce(p_nonusati, 0) = 1 THEN
            f := f || ' AND NOT EXISTS (SELECT 1 FROM preventivo_dettaglio d WHERE d.idprodotto = p.idprodotto)';
        END IF;
        IF doc = 1 THEN
            f := f || ' AND p.fldocumentazione = 1';
        END IF;
        IF coalesce(p_prodotti, 0) = 1 THEN
            k := k || ' OR (p.flaccessorio = 0 AND p.fldocumentazione = 0)';
        END IF;
        IF coalesce(p_accessori, 0) = 1 THEN
            k := k || ' OR p.flaccessorio = 1';
        END IF;
        IF coalesce(p_documentazioni, 0) = 1 THEN
            k := k || ' OR p.fldocumentazione = 1';
        END IF;
        f := f || ' AND (false' || k || ')';
    END IF;
    RETURN QUERY EXECUTE
       'SELECT p.idprodotto, vt_tx_prodotto(p.txdescprodotto, p.txcodprodotto), p.dtmod, p.dtin,
               p.flaccessorio, p.fldocumentazione, p.flprodottoattivo, p.txdescprodotto, p.txcodprodotto
          FROM prodotti p
         WHERE p.flprodottoattivo = 1' || f;
END $$;
