-- Shared helpers of the stored functions (not callable by the program's login).
--
-- Every function file is applied again by each migration: functions whose result type may
-- change are dropped first by vt_drop_funzioni, then created again.

CREATE OR REPLACE FUNCTION vt_drop_funzioni(p_nomi text[]) RETURNS void
LANGUAGE plpgsql AS $$
DECLARE
    r record;
BEGIN
    FOR r IN SELECT p.oid::regprocedure AS sig
               FROM pg_proc p JOIN pg_namespace n ON n.oid = p.pronamespace
              WHERE n.nspname = 'public' AND p.proname = ANY (p_nomi)
    LOOP
        EXECUTE 'DROP FUNCTION ' || r.sig::text;
    END LOOP;
END $$;

DO $$ BEGIN PERFORM vt_drop_funzioni(ARRAY['vt_nuovo_id', 'vt_id_derivato', 'vt_ora', 'vt_oggi', 'vt_numero',
    'vt_vuoto', 'vt_utente', 'vt_testo', 'vt_flag', 'vt_desc_cliente', 'vt_nu_preventivo',
    'vt_nu_ordine', 'vt_scadenza', 'vt_like', 'vt_parole_ok', 'vt_controlla_id', 'vt_cursore']); END $$;

-- The name of a function's n-th result cursor. The program's command layer reads the cursors
-- of a call in the same message as the call itself, so it must know their names beforehand:
-- it announces them in the transaction's setting ventorel.cursori as 'prefix/count', and the
-- cursors are named prefix_1, prefix_2 ... A cursor beyond the announced count is refused with
-- SQLSTATE VTC01 before anything commits (the caller then runs the call again the ordinary
-- way). Without the setting the server names the cursor itself (NULL).
CREATE FUNCTION vt_cursore(p_n integer) RETURNS refcursor
LANGUAGE plpgsql AS $$
DECLARE
    s text := current_setting('ventorel.cursori', true);
BEGIN
    IF coalesce(s, '') = '' THEN
        RETURN NULL;
    END IF;
    IF p_n > split_part(s, '/', 2)::integer THEN
        RAISE EXCEPTION 'Il chiamante non ha previsto il cursore % (%).', p_n, s
            USING ERRCODE = 'VTC01';
    END IF;
    RETURN split_part(s, '/', 1) || '_' || p_n;
END $$;

-- A new identifier in the program's form: 38 characters, braces, upper case.
CREATE FUNCTION vt_nuovo_id() RETURNS varchar
LANGUAGE sql VOLATILE AS $$
    SELECT '{' || upper(gen_random_uuid()::text) || '}'
$$;

-- A stable identifier derived from two others: copies of a tree made under one new owner get
-- the same new id for the same source node, so parents are found without a mapping table.
CREATE FUNCTION vt_id_derivato(p_seme text, p_origine text) RETURNS varchar
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $$
    SELECT '{' || upper(substr(h, 1, 8) || '-' || substr(h, 9, 4) || '-' || substr(h, 13, 4) || '-'
           || substr(h, 17, 4) || '-' || substr(h, 21, 12)) || '}'
      FROM (SELECT md5(p_seme || '|' || p_origine) AS h) x
$$;

-- Local date-time of the server, and today at midnight.
CREATE FUNCTION vt_ora() RETURNS timestamp
LANGUAGE sql STABLE AS $$ SELECT localtimestamp $$;

CREATE FUNCTION vt_oggi() RETURNS timestamp
LANGUAGE sql STABLE AS $$ SELECT current_date::timestamp $$;

-- Next number of a series from the row-locked counter of the foundation: two sessions asking
-- at the same moment wait for each other and never get the same number.
CREATE FUNCTION vt_numero(p_serie text) RETURNS integer
LANGUAGE plpgsql AS $$
BEGIN
    RETURN vt_prossimo_numero(p_serie)::integer;
END $$;

-- Trimmed text, null when empty.
CREATE FUNCTION vt_vuoto(p text) RETURNS text
LANGUAGE sql IMMUTABLE AS $$ SELECT nullif(btrim(p), '') $$;

-- The operator's user name, required by every changing function: the user of the session
-- bound to the connection. A name that differs from it is refused, so that nobody stamps
-- another operator's name into the audit columns.
CREATE FUNCTION vt_utente(p text) RETURNS varchar
LANGUAGE plpgsql STABLE AS $$
DECLARE
    u varchar := vt_sessione_utente();
BEGIN
    IF p IS NULL OR btrim(p) = '' THEN
        RAISE EXCEPTION 'Utente non indicato: operazione non eseguita.' USING ERRCODE = '22004';
    END IF;
    IF u IS NULL THEN
        -- A maintenance connection (demo data, repairs) names its operators itself.
        IF length(btrim(p)) > 50 THEN
            RAISE EXCEPTION 'Nome utente troppo lungo (massimo 50 caratteri).' USING ERRCODE = '22001';
        END IF;
        RETURN btrim(p);
    END IF;
    IF upper(btrim(p)) <> upper(u) THEN
        RAISE EXCEPTION 'L''utente indicato (%) non è l''operatore collegato (%): operazione non eseguita.',
            left(btrim(p), 50), u USING ERRCODE = '42501';
    END IF;
    RETURN u;
END $$;

-- A text argument checked against its column length; null stays null.
CREATE FUNCTION vt_testo(p text, p_max integer, p_nome text) RETURNS text
LANGUAGE plpgsql IMMUTABLE AS $$
BEGIN
    IF p IS NOT NULL AND length(p) > p_max THEN
        RAISE EXCEPTION '% troppo lungo: % caratteri, massimo %.', p_nome, length(p), p_max
            USING ERRCODE = '22001';
    END IF;
    RETURN p;
END $$;

-- A flag argument: 0 or 1, required.
CREATE FUNCTION vt_flag(p integer, p_nome text) RETURNS smallint
LANGUAGE plpgsql IMMUTABLE AS $$
BEGIN
    IF p IS NULL OR p NOT IN (0, 1) THEN
        RAISE EXCEPTION 'Valore non valido per %: atteso 0 o 1.', p_nome USING ERRCODE = '22023';
    END IF;
    RETURN p::smallint;
END $$;

-- An identifier argument, required.
CREATE FUNCTION vt_controlla_id(p text, p_nome text) RETURNS varchar
LANGUAGE plpgsql IMMUTABLE AS $$
BEGIN
    IF p IS NULL OR btrim(p) = '' THEN
        RAISE EXCEPTION 'Identificativo % non indicato.', p_nome USING ERRCODE = '22004';
    END IF;
    IF length(p) > 38 THEN
        RAISE EXCEPTION 'Identificativo % non valido.', p_nome USING ERRCODE = '22023';
    END IF;
    RETURN p;
END $$;

-- Small expressions of the lists. Declared STABLE (as the text conversions they use are) so
-- that the planner writes them into the calling query instead of calling them row by row.

-- Description of a customer as the quote header shows it.
CREATE FUNCTION vt_desc_cliente(p_denominazione text, p_localita text, p_provincia text,
                                p_codice text) RETURNS text
LANGUAGE sql STABLE PARALLEL SAFE AS $$
    SELECT p_denominazione
           || coalesce(' - ' || nullif(btrim(p_localita), ''), '')
           || coalesce(' (' || nullif(btrim(p_provincia), '') || ')', '')
           || coalesce(' [' || p_codice || ']', '')
$$;

-- Quote number as shown: number/year, with the revision from the second one on.
CREATE FUNCTION vt_nu_preventivo(p_anno integer, p_numero integer, p_revisione integer) RETURNS text
LANGUAGE sql STABLE PARALLEL SAFE AS $$
    SELECT CASE WHEN p_numero IS NULL THEN NULL
                ELSE lpad(p_numero::text, 4, '0') || '/' || p_anno
                     || CASE WHEN p_revisione > 1 THEN ' Rev. ' || p_revisione ELSE '' END
           END
$$;

CREATE FUNCTION vt_nu_ordine(p_anno integer, p_numero integer) RETURNS text
LANGUAGE sql STABLE PARALLEL SAFE AS $$
    SELECT 'ORD ' || lpad(p_numero::text, 4, '0') || '/' || p_anno
$$;

-- Deadline as shown: the date when known, else the days that will count from blocking.
CREATE FUNCTION vt_scadenza(p_fissa smallint, p_data timestamp, p_giorni integer) RETURNS text
LANGUAGE sql STABLE PARALLEL SAFE AS $$
    SELECT CASE WHEN p_data IS NOT NULL THEN to_char(p_data, 'DD/MM/YYYY')
                WHEN p_fissa = 1 THEN NULL
                ELSE coalesce(p_giorni, 0) || ' gg dal blocco'
           END
$$;

-- Condition text for a pattern argument as the program writes it ('%x%' or 'x%'): matched
-- without regard to case; a backslash is an ordinary character.
CREATE FUNCTION vt_like(p_colonna text, p_pattern text) RETURNS text
LANGUAGE sql IMMUTABLE AS $$
    SELECT format('%s ILIKE %L ESCAPE %L', p_colonna, p_pattern, '')
$$;
