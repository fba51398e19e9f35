-- Orders: list, creation from a quote, record, states, blocking, deletion and summary.

DO $$ BEGIN PERFORM vt_drop_funzioni(ARRAY['estraiordini', 'creaordinedapreventivo', 'datiordine',
    'changestatoordine', 'changebloccoordine', 'deleteordine', 'estraisommarioordinevalori',
    'datiordinesommario', 'vt_ordine', 'vt_nuovo_numero_ordine']); END $$;

CREATE FUNCTION vt_ordine(p_idordine text) RETURNS ordini
LANGUAGE plpgsql AS $$
DECLARE
    o ordini;
BEGIN
    SELECT * INTO o FROM ordini WHERE idordine = vt_controlla_id(p_idordine, 'dell''ordine') FOR UPDATE;
    IF NOT FOUND THEN
        RAISE EXCEPTION 'Ordine non trovato (%).', p_idordine USING ERRCODE = 'P0002';
    END IF;
    RETURN o;
END $$;

-- The next order number of a company and year that no order holds.
CREATE FUNCTION vt_nuovo_numero_ordine(p_idsocieta text, p_anno integer) RETURNS integer
LANGUAGE plpgsql AS $$
DECLARE
    n integer;
BEGIN
    LOOP
        n := vt_numero('ORDINI:' || p_idsocieta || ':' || p_anno);
        EXIT WHEN NOT EXISTS (SELECT 1 FROM ordini o
                               WHERE o.idsocieta = p_idsocieta AND o.nuannoordine = p_anno
                                 AND o.nuordine = n);
    END LOOP;
    RETURN n;
END $$;

-- The order list of a company. Mode 0 gives the columns only. Dates filter the date of
-- sending to the customer; the customer filters follow when given.
CREATE FUNCTION estraiordini(p_modo integer, p_idsocieta text DEFAULT NULL,
                             p_anno integer DEFAULT NULL, p_numero integer DEFAULT NULL,
                             p_descrizione text DEFAULT NULL, p_dal timestamp DEFAULT NULL,
                             p_al timestamp DEFAULT NULL, p_firmati integer DEFAULT 0,
                             p_nonattivi integer DEFAULT 0, p_bloccati integer DEFAULT 1,
                             p_codcliente text DEFAULT NULL, p_denominazione text DEFAULT NULL,
                             p_partitaiva text DEFAULT NULL, p_codfiscale text DEFAULT NULL,
                             p_nazionalita integer DEFAULT NULL, p_provnaz text DEFAULT NULL)
RETURNS TABLE (idordine varchar, idpreventivo varchar, idsocieta varchar, idcliente varchar,
               txnupreventivo text, nuannopreventivo integer, nupreventivo integer,
               nurevisione integer, txnupreventivoorigine text, dtordine timestamp,
               txdescordine varchar, txcodcliente varchar, txdenominazione varchar,
               txdesccliente text, txcodpagamento varchar, dtmaxoperation timestamp,
               txdescmaxoperation text, flfirmato smallint, flbloccato smallint,
               flscadenzafissa smallint, nuggscaddalblocco integer, dtscadenza timestamp,
               txnomefolder varchar, txnomefilepdf varchar, txurlfilepdf varchar, dtin timestamp,
               txutentein varchar, dtmod timestamp, txutentemod varchar, dtcanc timestamp,
               txutentecanc varchar, dtblocco timestamp, txutenteblocco varchar,
               dtsblocco timestamp, txutentesblocco varchar)
LANGUAGE plpgsql STABLE SECURITY DEFINER SET search_path = public, pg_temp SET jit = off AS $$
DECLARE
    f text := '';
BEGIN
    PERFORM vt_sessione();
    IF p_modo = 0 THEN
        f := ' AND false';
    ELSE
        PERFORM 1 FROM societa s WHERE s.idsocieta = vt_controlla_id(p_idsocieta, 'della società');
        IF NOT FOUND THEN
            RAISE EXCEPTION 'Società non trovata (%).', p_idsocieta USING ERRCODE = 'P0002';
        END IF;
        IF p_anno IS NOT NULL THEN f := f || format(' AND o.nuannoordine = %s', p_anno); END IF;
        IF p_numero IS NOT NULL THEN f := f || format(' AND o.nuordine = %s', p_numero); END IF;
        IF vt_vuoto(p_descrizione) IS NOT NULL THEN
            f := f || ' AND ' || vt_like('o.txdescordine', p_descrizione);
        END IF;
        IF p_dal IS NOT NULL THEN f := f || format(' AND o.dtordine >= %L', p_dal::date); END IF;
        IF p_al IS NOT NULL THEN f := f || format(' AND o.dtordine < %L', p_al::date + 1); END IF;
        IF coalesce(p_firmati, 0) = 1 THEN f := f || ' AND o.flfirmato = 1'; END IF;
        IF coalesce(p_nonattivi, 0) = 0 THEN f := f || ' AND o.dtcanc IS NULL'; END IF;
        IF coalesce(p_bloccati, 1) = 0 THEN f := f || ' AND o.flbloccato = 0'; END IF;
        f := f || vt_filtro_anagrafica(p_codcliente, p_denominazione, p_partitaiva, p_codfiscale);
        IF p_nazionalita IS NOT NULL AND p_nazionalita <> 2 THEN
            f := f || ' AND c.idcliente IS NOT NULL' || vt_filtro_nazionalita('c', p_nazionalita, p_provnaz);
        END IF;
    END IF;
    RETURN QUERY EXECUTE format($q$
        SELECT o.idordine, o.idpreventivo, o.idsocieta, o.idcliente,
               vt_nu_ordine(o.nuannoordine, o.nuordine), o.nuannoordine, o.nuordine, o.nurevisione,
               vt_nu_preventivo(q.nuannopreventivo, q.nupreventivo, q.nurevisione), o.dtordine,
               o.txdescordine, c.txcodcliente, c.txdenominazione,
               vt_desc_cliente(c.txdenominazione, c.txlocalita, c.txprovincia, c.txcodcliente),
               o.txcodpagamento, a.dt, a.descr, o.flfirmato, o.flbloccato, o.flscadenzafissa,
               o.nuggscaddalblocco, o.dtscadenza, o.txnomefolder, o.txnomefilepdf, o.txurlfilepdf,
               o.dtin, o.txutentein, o.dtmod, o.txutentemod, o.dtcanc, o.txutentecanc, o.dtblocco,
               o.txutenteblocco, o.dtsblocco, o.txutentesblocco
          FROM ordini o
          LEFT JOIN preventivi q ON q.idpreventivo = o.idpreventivo
          LEFT JOIN clienti c ON c.idcliente = o.idcliente
          CROSS JOIN LATERAL (
               SELECT greatest(o.dtin, o.dtmod, o.dtblocco, o.dtsblocco, o.dtcanc) AS dt) m
          CROSS JOIN LATERAL (
               SELECT m.dt,
                      CASE m.dt WHEN o.dtcanc THEN 'Disattivazione' || coalesce(' - ' || o.txutentecanc, '')
                                WHEN o.dtsblocco THEN 'Sblocco' || coalesce(' - ' || o.txutentesblocco, '')
                                WHEN o.dtblocco THEN 'Blocco' || coalesce(' - ' || o.txutenteblocco, '')
                                WHEN o.dtmod THEN 'Modifica' || coalesce(' - ' || o.txutentemod, '')
                                WHEN o.dtin THEN 'Creazione' || coalesce(' - ' || o.txutentein, '')
                      END AS descr) a
         WHERE o.idsocieta = %L %s$q$, p_idsocieta, f);
END $$;

-- Creates the order of a blocked, active quote that has none yet: the quote's company,
-- customer, subject, deadline rule, cloud folder and lines (with their trees) are taken over;
-- the order gets its own number (one counter per company and year) and today as date of
-- sending. Answers the new idOrdine.
CREATE FUNCTION creaordinedapreventivo(p_idpreventivo text, p_utente text)
RETURNS TABLE (idordine varchar)
LANGUAGE plpgsql SECURITY DEFINER SET search_path = public, pg_temp SET jit = off AS $$
#variable_conflict use_column
DECLARE
    u varchar := vt_utente(p_utente);
    q preventivi;
    nuovo varchar := vt_nuovo_id();
    anno integer := extract(year FROM current_date)::integer;
BEGIN
    PERFORM vt_sessione();
    q := vt_preventivo(p_idpreventivo);
    IF q.flbloccato = 0 THEN
        RAISE EXCEPTION 'Il preventivo deve essere bloccato per creare un ordine.' USING ERRCODE = '55000';
    END IF;
    IF q.dtcanc IS NOT NULL THEN
        RAISE EXCEPTION 'Il preventivo non è attivo: non è possibile creare un ordine.' USING ERRCODE = '55000';
    END IF;
    IF EXISTS (SELECT 1 FROM ordini o WHERE o.idpreventivo = p_idpreventivo) THEN
        RAISE EXCEPTION 'Dal preventivo è già stato creato un ordine.' USING ERRCODE = '23505';
    END IF;
    INSERT INTO ordini (idordine, idpreventivo, idsocieta, idcliente, nuannoordine, nuordine,
                        nurevisione, txdescordine, dtordine, flscadenzafissa, nuggscaddalblocco,
                        dtscadenza, txnomefolder, txnomefilepdf, txurlfilepdf, txutentein, dtin)
    VALUES (nuovo, q.idpreventivo, q.idsocieta, q.idcliente, anno,
            vt_nuovo_numero_ordine(q.idsocieta, anno), q.nurevisione, q.txdescoggetto,
            vt_oggi(), q.flscadenzafissa, q.nuggscaddalblocco,
            CASE WHEN q.flscadenzafissa = 1 THEN q.dtscadenza END, q.txnomefolder,
            q.txnomefilepdf, q.txurlfilepdf, u, vt_ora());
    PERFORM vt_copia_righe(p_idpreventivo, NULL, nuovo, nuovo, u);
    RETURN QUERY SELECT nuovo;
END $$;

CREATE FUNCTION datiordine(p_idordine text)
RETURNS SETOF ordini
LANGUAGE plpgsql STABLE SECURITY DEFINER SET search_path = public, pg_temp SET jit = off AS $$
#variable_conflict use_column
BEGIN
    PERFORM vt_sessione();
    RETURN QUERY SELECT * FROM ordini WHERE idordine = p_idordine;
END $$;

CREATE FUNCTION changestatoordine(p_idordine text, p_stato integer, p_utente text)
RETURNS TABLE (flok smallint)
LANGUAGE plpgsql SECURITY DEFINER SET search_path = public, pg_temp SET jit = off AS $$
DECLARE
    u varchar := vt_utente(p_utente);
    o ordini;
BEGIN
    PERFORM vt_sessione();
    PERFORM vt_flag(p_stato, 'stato');
    o := vt_ordine(p_idordine);
    IF p_stato = 1 THEN
        UPDATE ordini SET dtcanc = NULL, txutentecanc = NULL WHERE idordine = p_idordine;
    ELSE
        IF o.flbloccato = 1 THEN
            RAISE EXCEPTION 'L''ordine è bloccato, non è possibile disattivarlo.' USING ERRCODE = '55000';
        END IF;
        UPDATE ordini SET dtcanc = coalesce(dtcanc, vt_ora()), txutentecanc = coalesce(txutentecanc, u)
         WHERE idordine = p_idordine;
    END IF;
    RETURN QUERY SELECT 1::smallint;
END $$;

CREATE FUNCTION changebloccoordine(p_idordine text, p_blocca integer, p_utente text)
RETURNS TABLE (dtscadenza timestamp, flscadenzafissa smallint, nuggscaddalblocco integer)
LANGUAGE plpgsql SECURITY DEFINER SET search_path = public, pg_temp SET jit = off AS $$
#variable_conflict use_column
BEGIN
    PERFORM vt_sessione();
    PERFORM vt_ordine(p_idordine);
    RETURN QUERY SELECT b.dtscadenza, b.flscadenzafissa, b.nuggscaddalblocco
                   FROM vt_blocca(p_idordine, p_blocca, p_utente) b;
END $$;

-- Deletes an order with its lines and summary. Refused for a blocked order, and for an order
-- signed by the customer unless an administrator asks.
CREATE FUNCTION deleteordine(p_idordine text, p_admin integer, p_utente text)
RETURNS TABLE (flok smallint, errmess text)
LANGUAGE plpgsql SECURITY DEFINER SET search_path = public, pg_temp SET jit = off AS $$
DECLARE
    o ordini;
BEGIN
    PERFORM vt_sessione();
    PERFORM vt_utente(p_utente);
    -- The administrator argument is read as a flag but not believed: the session tells.
    PERFORM vt_flag(p_admin, 'amministratore');
    o := vt_ordine(p_idordine);
    IF o.flbloccato = 1 THEN
        RETURN QUERY SELECT 0::smallint, 'Impossibile eliminare un ordine bloccato.'::text;
    ELSIF o.flfirmato = 1 AND NOT vt_sessione_e_amministratore() THEN
        RETURN QUERY SELECT 0::smallint,
            'L''ordine è firmato dal cliente: solo un amministratore può eliminarlo.'::text;
    ELSE
        DELETE FROM ordini WHERE idordine = p_idordine;
        RETURN QUERY SELECT 1::smallint, NULL::text;
    END IF;
END $$;

CREATE FUNCTION estraisommarioordinevalori(p_idordine text)
RETURNS TABLE (idordine varchar, nuordinetesto integer, txdesctesto varchar, txtesto text)
LANGUAGE plpgsql STABLE SECURITY DEFINER SET search_path = public, pg_temp SET jit = off AS $$
#variable_conflict use_column
BEGIN
    PERFORM vt_sessione();
    PERFORM 1 FROM ordini o WHERE o.idordine = vt_controlla_id(p_idordine, 'dell''ordine');
    IF NOT FOUND THEN
        RAISE EXCEPTION 'Ordine non trovato (%).', p_idordine USING ERRCODE = 'P0002';
    END IF;
    RETURN QUERY SELECT s.idordine, s.nuordinetesto, s.txdesctesto, s.txtesto
                   FROM ordine_sommario s WHERE s.idordine = p_idordine ORDER BY s.nuordinetesto;
END $$;

CREATE FUNCTION datiordinesommario(p_idordine text)
RETURNS SETOF ordine_sommario
LANGUAGE plpgsql STABLE SECURITY DEFINER SET search_path = public, pg_temp SET jit = off AS $$
#variable_conflict use_column
BEGIN
    PERFORM vt_sessione();
    RETURN QUERY SELECT * FROM ordine_sommario WHERE idordine = p_idordine ORDER BY nuordinetesto;
END $$;
