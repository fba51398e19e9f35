-- Lookups, companies, operators and customers.

DO $$ BEGIN PERFORM vt_drop_funzioni(ARRAY['estraiprovinceitaliane', 'estraielencosocieta', 'estraisocieta',
    'datisocieta', 'changestatosocieta', 'estraioperatori', 'datioperatore', 'isnewoperatoreok',
    'resetpasswordoperatore', 'changestatooperatore', 'estraiclienti', 'daticliente',
    'setnewcodcliente', 'changestatocliente', 'estraielencocondpagam', 'vt_filtro_nazionalita',
    'vt_filtro_anagrafica', 'vt_nuovo_codice_cliente']); END $$;

-- Province list for the lookup boxes, in the order shown.
CREATE FUNCTION estraiprovinceitaliane()
RETURNS TABLE (codice varchar, descrizione varchar)
LANGUAGE plpgsql STABLE SECURITY DEFINER SET search_path = public, pg_temp SET jit = off AS $$
#variable_conflict use_column
BEGIN
    PERFORM vt_sessione();
    RETURN QUERY SELECT txcodprovincia, txdescprovincia FROM province ORDER BY txdescprovincia;
END $$;

-- Code, name, VAT and tax-code filters on the customer alias c, shared by the customer, quote
-- and order lists: the code, VAT and tax code start with the text, the name is the caller's
-- pattern.
CREATE FUNCTION vt_filtro_anagrafica(p_codice text, p_denominazione text, p_partitaiva text,
                                     p_codfiscale text)
RETURNS text
LANGUAGE plpgsql IMMUTABLE AS $$
DECLARE
    f text := '';
BEGIN
    IF vt_vuoto(p_codice) IS NOT NULL THEN
        f := f || ' AND ' || vt_like('c.txcodcliente', btrim(p_codice) || '%');
    END IF;
    IF vt_vuoto(p_denominazione) IS NOT NULL THEN
        f := f || ' AND ' || vt_like('c.txdenominazione', p_denominazione);
    END IF;
    IF vt_vuoto(p_partitaiva) IS NOT NULL THEN
        f := f || ' AND ' || vt_like('c.txpartitaiva', btrim(p_partitaiva) || '%');
    END IF;
    IF vt_vuoto(p_codfiscale) IS NOT NULL THEN
        f := f || ' AND ' || vt_like('c.txcodfiscale', btrim(p_codfiscale) || '%');
    END IF;
    RETURN f;
END $$;

-- Nationality filter shared by the customer, company, quote and order lists:
-- 0 Italia (with an optional province code), 1 Estero (with an optional nation text), 2 Tutte.
CREATE FUNCTION vt_filtro_nazionalita(p_alias text, p_nazionalita integer, p_valore text)
RETURNS text
LANGUAGE plpgsql IMMUTABLE AS $$
DECLARE
    v text := vt_vuoto(p_valore);
BEGIN
    IF p_nazionalita = 0 THEN
        RETURN format(' AND %1$s.flestero = 0', p_alias)
               || CASE WHEN v IS NULL THEN ''
                       ELSE format(' AND %1$s.txprovincia = %2$L', p_alias, upper(v)) END;
    ELSIF p_nazionalita = 1 THEN
        RETURN format(' AND %1$s.flestero = 1', p_alias)
               || CASE WHEN v IS NULL THEN ''
                       ELSE format(' AND %1$s.txnazione ILIKE %2$L ESCAPE %3$L', p_alias,
                                   '%' || v || '%', '') END;
    ELSIF p_nazionalita IS NULL OR p_nazionalita = 2 THEN
        RETURN '';
    END IF;
    RAISE EXCEPTION 'Nazionalità non valida: attesi 0 (Italia), 1 (Estero) o 2 (Tutte).'
        USING ERRCODE = '22023';
END $$;

-- Companies --------------------------------------------------------------------------------

-- Companies an operator may work for: every active company; a "funzionario" (who passes his
-- own company) sees his own first.
CREATE FUNCTION estraielencosocieta(p_idsocieta text DEFAULT NULL)
RETURNS TABLE (idsocieta varchar, txdescsocieta varchar, txdescprovincia varchar,
               txdesclocalita varchar, txorder text)
LANGUAGE plpgsql STABLE SECURITY DEFINER SET search_path = public, pg_temp SET jit = off AS $$
#variable_conflict use_column
BEGIN
    PERFORM vt_sessione();
    RETURN QUERY SELECT s.idsocieta, s.txdenominazione, coalesce(p.txdescprovincia, s.txnazione), s.txlocalita,
           CASE WHEN s.idsocieta = nullif(p_idsocieta, '') THEN 'A' ELSE 'B' END
           || upper(s.txdenominazione)
      FROM societa s
      LEFT JOIN province p ON p.txcodprovincia = s.txprovincia
     WHERE s.dtcanc IS NULL
     ORDER BY 5;
END $$;

CREATE FUNCTION estraisocieta(p_modo integer, p_denominazione text DEFAULT NULL,
                              p_partitaiva text DEFAULT NULL, p_codfiscale text DEFAULT NULL,
                              p_nazionalita integer DEFAULT 2, p_provnaz text DEFAULT NULL,
                              p_nonattivi integer DEFAULT 0)
RETURNS TABLE (idsocieta varchar, txdenominazione varchar, txpartitaiva varchar,
               txcodfiscale varchar, txlocalita varchar, txprovincia varchar, txtelefono varchar,
               txsmartphone varchar, txnazione varchar, flestero smallint, dtin timestamp,
               dtcanc timestamp)
LANGUAGE plpgsql STABLE SECURITY DEFINER SET search_path = public, pg_temp SET jit = off AS $$
DECLARE
    q text := 'SELECT s.idsocieta, s.txdenominazione, s.txpartitaiva, s.txcodfiscale, s.txlocalita,
                      s.txprovincia, s.txtelefono, s.txsmartphone, s.txnazione, s.flestero, s.dtin,
                      s.dtcanc
                 FROM societa s WHERE true';
BEGIN
    PERFORM vt_sessione_amministratore();
    IF p_modo = 0 THEN
        q := q || ' AND false';
    ELSE
        IF vt_vuoto(p_denominazione) IS NOT NULL THEN
            q := q || ' AND ' || vt_like('s.txdenominazione', p_denominazione);
        END IF;
        IF vt_vuoto(p_partitaiva) IS NOT NULL THEN
            q := q || ' AND ' || vt_like('s.txpartitaiva', btrim(p_partitaiva) || '%');
        END IF;
        IF vt_vuoto(p_codfiscale) IS NOT NULL THEN
            q := q || ' AND ' || vt_like('s.txcodfiscale', btrim(p_codfiscale) || '%');
        END IF;
        q := q || vt_filtro_nazionalita('s', p_nazionalita, p_provnaz);
        IF coalesce(p_nonattivi, 0) = 0 THEN
            q := q || ' AND s.dtcanc IS NULL';
        END IF;
    END IF;
    RETURN QUERY EXECUTE q || ' ORDER BY s.txdenominazione';
END $$;

CREATE FUNCTION datisocieta(p_idsocieta text)
RETURNS SETOF societa
LANGUAGE plpgsql STABLE SECURITY DEFINER SET search_path = public, pg_temp SET jit = off AS $$
#variable_conflict use_column
BEGIN
    PERFORM vt_sessione_amministratore();
    RETURN QUERY SELECT * FROM societa WHERE idsocieta = p_idsocieta;
END $$;

CREATE FUNCTION changestatosocieta(p_idsocieta text, p_stato integer)
RETURNS TABLE (flok smallint)
LANGUAGE plpgsql SECURITY DEFINER SET search_path = public, pg_temp SET jit = off AS $$
BEGIN
    PERFORM vt_sessione_amministratore();
    UPDATE societa s
       SET dtcanc = CASE WHEN vt_flag(p_stato, 'stato') = 1 THEN NULL ELSE coalesce(s.dtcanc, vt_ora()) END
     WHERE s.idsocieta = vt_controlla_id(p_idsocieta, 'della società');
    IF NOT FOUND THEN
        RAISE EXCEPTION 'Società non trovata (%).', p_idsocieta USING ERRCODE = 'P0002';
    END IF;
    RETURN QUERY SELECT 1::smallint;
END $$;

-- Operators --------------------------------------------------------------------------------

CREATE FUNCTION estraioperatori(p_modo integer, p_idsocieta text DEFAULT NULL)
RETURNS TABLE (idoperatore varchar, idsocieta varchar, txoperatore varchar, txdescrizione varchar,
               txsmartphone varchar, txemail varchar, flfunzionario smallint,
               fladministrator smallint, dtcanc timestamp)
LANGUAGE plpgsql STABLE SECURITY DEFINER SET search_path = public, pg_temp SET jit = off AS $$
#variable_conflict use_column
BEGIN
    PERFORM vt_sessione_amministratore();
    RETURN QUERY SELECT o.idoperatore, o.idsocieta, o.txoperatore, o.txdescrizione, o.txsmartphone, o.txemail,
           o.flfunzionario, o.fladministrator, o.dtcanc
      FROM operatori o
     WHERE p_modo <> 0
       AND (nullif(p_idsocieta, '') IS NULL OR o.idsocieta = p_idsocieta)
     ORDER BY o.txdescrizione;
END $$;

-- The operator's row; the stored password (a hash) is never handed out: the column is there,
-- empty, so that a new operator's first password can be written.
CREATE FUNCTION datioperatore(p_idoperatore text)
RETURNS TABLE (idoperatore varchar, idsocieta varchar, txoperatore varchar, txpassword varchar,
               txdescrizione varchar, txsmartphone varchar, txemail varchar, txnote text,
               fladministrator smallint, flfunzionario smallint, dtcanc timestamp)
LANGUAGE plpgsql STABLE SECURITY DEFINER SET search_path = public, pg_temp SET jit = off AS $$
#variable_conflict use_column
BEGIN
    PERFORM vt_sessione_amministratore();
    RETURN QUERY SELECT o.idoperatore, o.idsocieta, o.txoperatore, NULL::varchar, o.txdescrizione,
           o.txsmartphone, o.txemail, o.txnote, o.fladministrator, o.flfunzionario, o.dtcanc
      FROM operatori o WHERE o.idoperatore = p_idoperatore;
END $$;

-- Log-on is by code alone, so codes are unique across every company.
CREATE FUNCTION isnewoperatoreok(p_txoperatore text)
RETURNS TABLE (flokinsert smallint)
LANGUAGE plpgsql STABLE SECURITY DEFINER SET search_path = public, pg_temp SET jit = off AS $$
BEGIN
    PERFORM vt_sessione_amministratore();
    IF vt_vuoto(p_txoperatore) IS NULL THEN
        RAISE EXCEPTION 'Codice operatore non indicato.' USING ERRCODE = '22004';
    END IF;
    RETURN QUERY
    SELECT CASE WHEN EXISTS (SELECT 1 FROM operatori o
                              WHERE upper(o.txoperatore) = upper(btrim(p_txoperatore)))
                THEN 0 ELSE 1 END::smallint;
END $$;

-- Administrators only: the operator's next log-on forces a new password (the program sends
-- the code as the password). It also ends a lock-out for wrong passwords.
CREATE FUNCTION resetpasswordoperatore(p_txoperatore text, p_password text)
RETURNS TABLE (flok smallint)
LANGUAGE plpgsql SECURITY DEFINER SET search_path = public, pg_temp SET jit = off AS $$
DECLARE
    id varchar;
BEGIN
    PERFORM vt_sessione_amministratore();
    IF vt_vuoto(p_password) IS NULL THEN
        RAISE EXCEPTION 'Password non indicata.' USING ERRCODE = '22004';
    END IF;
    UPDATE operatori o SET txpassword = p_password, nutentativierrati = 0, dtbloccologon = NULL
     WHERE upper(o.txoperatore) = upper(btrim(p_txoperatore))
    RETURNING o.idoperatore INTO id;
    IF NOT FOUND THEN
        RAISE EXCEPTION 'Operatore "%" non trovato.', p_txoperatore USING ERRCODE = 'P0002';
    END IF;
    -- Whoever was logged on with the old password is logged off.
    UPDATE sessioni s SET dtfine = localtimestamp WHERE s.idoperatore = id AND s.dtfine IS NULL;
    RETURN QUERY SELECT 1::smallint;
END $$;

CREATE FUNCTION changestatooperatore(p_idoperatore text, p_stato integer)
RETURNS TABLE (flok smallint)
LANGUAGE plpgsql SECURITY DEFINER SET search_path = public, pg_temp SET jit = off AS $$
BEGIN
    PERFORM vt_sessione_amministratore();
    UPDATE operatori o
       SET dtcanc = CASE WHEN vt_flag(p_stato, 'stato') = 1 THEN NULL ELSE coalesce(o.dtcanc, vt_ora()) END
     WHERE o.idoperatore = vt_controlla_id(p_idoperatore, 'dell''operatore');
    IF NOT FOUND THEN
        RAISE EXCEPTION 'Operatore non trovato (%).', p_idoperatore USING ERRCODE = 'P0002';
    END IF;
    RETURN QUERY SELECT 1::smallint;
END $$;

-- Customers --------------------------------------------------------------------------------

-- Customers of a company. Mode 0 gives the columns only. Filters: code, name pattern, partita
-- IVA and codice fiscale (starting with), nationality, not active ones on request, and only
-- customers with a quote in the last N months (1..6) when the months flag is set.
CREATE FUNCTION estraiclienti(p_modo integer, p_idsocieta text DEFAULT NULL,
                              p_codice text DEFAULT NULL, p_denominazione text DEFAULT NULL,
                              p_partitaiva text DEFAULT NULL, p_codfiscale text DEFAULT NULL,
                              p_nazionalita integer DEFAULT 2, p_provnaz text DEFAULT NULL,
                              p_nonattivi integer DEFAULT 0, p_flagmesi integer DEFAULT 0,
                              p_mesi integer DEFAULT 1)
RETURNS TABLE (idcliente varchar, idsocieta varchar, txcodcliente varchar, txdenominazione varchar,
               txpartitaiva varchar, txcodfiscale varchar, txlocalita varchar, txprovincia varchar,
               txnazione varchar, flestero smallint, txtelefono varchar, txsmartphone varchar,
               dtultpreventivo timestamp, dtin timestamp, txutentein varchar, dtmod timestamp,
               txutentemod varchar, dtcanc timestamp, txutentecanc varchar,
               dtmaxoperation timestamp, txdesccliente text)
LANGUAGE plpgsql STABLE SECURITY DEFINER SET search_path = public, pg_temp SET jit = off AS $$
DECLARE
    f text := '';
    ult text;
BEGIN
    PERFORM vt_sessione();
    IF p_modo <> 0 THEN
        PERFORM 1 FROM societa s WHERE s.idsocieta = vt_controlla_id(p_idsocieta, 'della società');
        IF NOT FOUND THEN
            RAISE EXCEPTION 'Società non trovata (%).', p_idsocieta USING ERRCODE = 'P0002';
        END IF;
        f := f || vt_filtro_anagrafica(p_codice, p_denominazione, p_partitaiva, p_codfiscale);
        f := f || vt_filtro_nazionalita('c', p_nazionalita, p_provnaz);
        IF coalesce(p_nonattivi, 0) = 0 THEN
            f := f || ' AND c.dtcanc IS NULL';
        END IF;
        IF coalesce(p_flagmesi, 0) = 1 THEN
            f := f || format(' AND u.dtult >= %L::timestamp',
                             (current_date - make_interval(months => greatest(1, least(coalesce(p_mesi, 1), 6))))::timestamp);
        END IF;
    END IF;
    ult := CASE WHEN coalesce(p_flagmesi, 0) = 1 THEN 'JOIN' ELSE 'LEFT JOIN' END;
    RETURN QUERY EXECUTE format(
        'SELECT c.idcliente, c.idsocieta, c.txcodcliente, c.txdenominazione, c.txpartitaiva,
                c.txcodfiscale, c.txlocalita, c.txprovincia, c.txnazione, c.flestero, c.txtelefono,
                c.txsmartphone, u.dtult, c.dtin, c.txutentein, c.dtmod, c.txutentemod, c.dtcanc,
                c.txutentecanc, greatest(c.dtin, c.dtmod, c.dtcanc, u.dtult),
                vt_desc_cliente(c.txdenominazione, c.txlocalita, c.txprovincia, c.txcodcliente)
           FROM clienti c
           %s (SELECT p.idcliente, max(p.dtpreventivo) AS dtult
                 FROM preventivi p
                WHERE p.idsocieta = %L AND p.idcliente IS NOT NULL AND p.dtcanc IS NULL
                GROUP BY p.idcliente) u ON u.idcliente = c.idcliente
          WHERE c.idsocieta = %L %s', ult, p_idsocieta, p_idsocieta,
        CASE WHEN p_modo = 0 THEN ' AND false' ELSE f END);
END $$;

CREATE FUNCTION daticliente(p_idcliente text)
RETURNS SETOF clienti
LANGUAGE plpgsql STABLE SECURITY DEFINER SET search_path = public, pg_temp SET jit = off AS $$
#variable_conflict use_column
BEGIN
    PERFORM vt_sessione();
    RETURN QUERY SELECT * FROM clienti WHERE idcliente = p_idcliente;
END $$;

-- The next customer code of a company that no customer holds: a code stored by other means
-- is skipped instead of jamming the numbering.
CREATE FUNCTION vt_nuovo_codice_cliente(p_idsocieta text) RETURNS varchar
LANGUAGE plpgsql AS $$
DECLARE
    cod varchar;
BEGIN
    LOOP
        cod := 'C' || lpad(vt_numero('CLIENTI:' || p_idsocieta)::text, 5, '0');
        EXIT WHEN NOT EXISTS (SELECT 1 FROM clienti c
                               WHERE c.idsocieta = p_idsocieta AND c.txcodcliente = cod);
    END LOOP;
    RETURN cod;
END $$;

-- Gives a new customer its code: "C" and five digits from the company's own counter. A
-- customer that already has a code keeps it.
CREATE FUNCTION setnewcodcliente(p_idcliente text, p_utente text)
RETURNS TABLE (txcodcliente varchar)
LANGUAGE plpgsql SECURITY DEFINER SET search_path = public, pg_temp SET jit = off AS $$
#variable_conflict use_column
DECLARE
    v_soc varchar;
    v_cod varchar;
BEGIN
    PERFORM vt_sessione();
    PERFORM vt_utente(p_utente);
    SELECT c.idsocieta, c.txcodcliente INTO v_soc, v_cod
      FROM clienti c WHERE c.idcliente = vt_controlla_id(p_idcliente, 'del cliente') FOR UPDATE;
    IF NOT FOUND THEN
        RAISE EXCEPTION 'Cliente non trovato (%).', p_idcliente USING ERRCODE = 'P0002';
    END IF;
    IF v_cod IS NULL THEN
        v_cod := vt_nuovo_codice_cliente(v_soc);
        UPDATE clienti SET txcodcliente = v_cod WHERE idcliente = p_idcliente;
    END IF;
    RETURN QUERY SELECT v_cod;
END $$;

CREATE FUNCTION changestatocliente(p_idcliente text, p_stato integer, p_utente text)
RETURNS TABLE (flok smallint)
LANGUAGE plpgsql SECURITY DEFINER SET search_path = public, pg_temp SET jit = off AS $$
DECLARE
    u varchar := vt_utente(p_utente);
BEGIN
    PERFORM vt_sessione();
    IF vt_flag(p_stato, 'stato') = 1 THEN
        UPDATE clienti c SET dtcanc = NULL, txutentecanc = NULL
         WHERE c.idcliente = vt_controlla_id(p_idcliente, 'del cliente');
    ELSE
        UPDATE clienti c SET dtcanc = coalesce(c.dtcanc, vt_ora()), txutentecanc = coalesce(c.txutentecanc, u)
         WHERE c.idcliente = vt_controlla_id(p_idcliente, 'del cliente');
    END IF;
    IF NOT FOUND THEN
        RAISE EXCEPTION 'Cliente non trovato (%).', p_idcliente USING ERRCODE = 'P0002';
    END IF;
    RETURN QUERY SELECT 1::smallint;
END $$;

-- Payment terms: the common ones and those of the given company (of every company when none
-- is given).
CREATE FUNCTION estraielencocondpagam(p_idsocieta text DEFAULT NULL)
RETURNS TABLE (txcodpagamento varchar, txdescrizpagamento varchar, idsocieta varchar)
LANGUAGE plpgsql STABLE SECURITY DEFINER SET search_path = public, pg_temp SET jit = off AS $$
#variable_conflict use_column
BEGIN
    PERFORM vt_sessione();
    RETURN QUERY SELECT c.txcodpagamento, c.txdescrizpagamento, c.idsocieta
      FROM condizionipagamento c
     WHERE c.dtcanc IS NULL
       AND (c.idsocieta IS NULL OR p_idsocieta IS NULL OR c.idsocieta = p_idsocieta)
     ORDER BY c.txdescrizpagamento;
END $$;
