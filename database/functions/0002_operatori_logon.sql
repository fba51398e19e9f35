-- Operator check at logon, password change and the operator session.
--
-- Every workstation connects with the same login, so the server trusts nothing the login
-- says about who is working: the log-on opens a session bound to the connection, and the
-- functions and the rules of the tables ask the session. A connection without a session can
-- run the log-on functions (EstraiDatiOperatore, CambiaPasswordOperatore,
-- RiprendiSessioneOperatore, ChiudiSessioneOperatore and GETDATE) and nothing else.
--
-- The connection carries the session's secret in the setting ventorel.sessione: it is set
-- by the log-on function itself, never sent in a command text, and only its SHA-256 digest
-- is stored. The program keeps it in memory to bind a new connection of the same process to
-- the session (RiprendiSessioneOperatore).

-- Session helpers. They are never dropped: the rules of the tables depend on them.

-- A maintenance connection of the database administrator (a superuser: demo and scale data,
-- repairs) works without an operator session; the program's login never is one.
CREATE OR REPLACE FUNCTION vt_manutenzione() RETURNS boolean
LANGUAGE sql STABLE AS $$
    SELECT coalesce((SELECT r.rolsuper FROM pg_catalog.pg_roles r WHERE r.rolname = session_user),
                    false)
$$;

-- A statement of the program's login itself, not of a stored function (which runs as the
-- schema owner) nor of the database administrator. Called by the rules of the tables.
CREATE OR REPLACE FUNCTION vt_scrittura_diretta() RETURNS boolean
LANGUAGE sql STABLE AS $$
    SELECT current_user <> 'ventorel_owner'
           AND NOT coalesce((SELECT r.rolsuper FROM pg_catalog.pg_roles r
                              WHERE r.rolname = current_user), false)
$$;

-- The operator of the session bound to this connection; raises when there is none (or when
-- its first log-on still requires a new password). A maintenance connection without a
-- session counts as an administrator without a name.
CREATE OR REPLACE FUNCTION vt_sessione()
RETURNS TABLE (idoperatore varchar, txoperatore varchar, fladministrator smallint,
               flfunzionario smallint, idsocieta varchar)
LANGUAGE plpgsql STABLE SECURITY DEFINER SET search_path = public, pg_temp AS $$
DECLARE
    t text := current_setting('ventorel.sessione', true);
    cambio smallint;
BEGIN
    IF coalesce(t, '') <> '' THEN
        RETURN QUERY
        SELECT o.idoperatore, o.txoperatore, o.fladministrator, o.flfunzionario, o.idsocieta
          FROM public.sessioni s JOIN public.operatori o ON o.idoperatore = s.idoperatore
         WHERE s.txtoken = sha256(convert_to(t, 'UTF8')) AND s.dtfine IS NULL
           AND s.flcambiopassword = 0 AND o.dtcanc IS NULL;
        IF FOUND THEN
            RETURN;
        END IF;
        SELECT s.flcambiopassword INTO cambio FROM public.sessioni s
         WHERE s.txtoken = sha256(convert_to(t, 'UTF8')) AND s.dtfine IS NULL;
        IF cambio = 1 THEN
            RAISE EXCEPTION 'Primo collegamento: impostare una nuova password prima di continuare.'
                USING ERRCODE = '28000';
        END IF;
        RAISE EXCEPTION 'La sessione dell''operatore è terminata: effettuare di nuovo il logon.'
            USING ERRCODE = '28000';
    END IF;
    IF public.vt_manutenzione() THEN
        RETURN QUERY SELECT NULL::varchar, NULL::varchar, 1::smallint, 1::smallint, NULL::varchar;
        RETURN;
    END IF;
    RAISE EXCEPTION 'Nessun operatore collegato: effettuare il logon.' USING ERRCODE = '28000';
END $$;

-- The session's user name (for the rules of the tables).
CREATE OR REPLACE FUNCTION vt_sessione_utente() RETURNS varchar
LANGUAGE sql STABLE SECURITY DEFINER SET search_path = public, pg_temp AS $$
    SELECT s.txoperatore FROM public.vt_sessione() s
$$;

-- Raises unless the session's operator is an administrator.
CREATE OR REPLACE FUNCTION vt_sessione_amministratore() RETURNS void
LANGUAGE plpgsql STABLE SECURITY DEFINER SET search_path = public, pg_temp AS $$
BEGIN
    IF (SELECT s.fladministrator FROM public.vt_sessione() s) <> 1 THEN
        RAISE EXCEPTION 'Operazione riservata agli amministratori.' USING ERRCODE = '42501';
    END IF;
END $$;

-- True for an administrator; raises otherwise (the rules of the administrators' tables).
CREATE OR REPLACE FUNCTION vt_sessione_e_amministratore_o_rifiuta() RETURNS boolean
LANGUAGE plpgsql STABLE SECURITY DEFINER SET search_path = public, pg_temp AS $$
BEGIN
    PERFORM public.vt_sessione_amministratore();
    RETURN true;
END $$;

CREATE OR REPLACE FUNCTION vt_sessione_e_amministratore() RETURNS boolean
LANGUAGE sql STABLE SECURITY DEFINER SET search_path = public, pg_temp AS $$
    SELECT s.fladministrator = 1 FROM public.vt_sessione() s
$$;

-- Whether the session's operator works for every company (administrators, "funzionari",
-- operators without a company); raises without a session.
CREATE OR REPLACE FUNCTION vt_sessione_tutte_societa() RETURNS boolean
LANGUAGE sql STABLE SECURITY DEFINER SET search_path = public, pg_temp AS $$
    SELECT s.fladministrator = 1 OR s.flfunzionario = 1 OR s.idsocieta IS NULL
      FROM public.vt_sessione() s
$$;

-- The company of the session's operator (null when he has none).
CREATE OR REPLACE FUNCTION vt_sessione_societa() RETURNS varchar
LANGUAGE sql STABLE SECURITY DEFINER SET search_path = public, pg_temp AS $$
    SELECT s.idsocieta FROM public.vt_sessione() s
$$;

-- A record of that company may be written by the session's operator; raises otherwise.
CREATE OR REPLACE FUNCTION vt_sessione_scrive_societa(p_idsocieta text) RETURNS boolean
LANGUAGE plpgsql STABLE SECURITY DEFINER SET search_path = public, pg_temp AS $$
BEGIN
    IF public.vt_sessione_tutte_societa() OR p_idsocieta = public.vt_sessione_societa() THEN
        RETURN true;
    END IF;
    RAISE EXCEPTION 'Il record appartiene a un''altra società: operazione non consentita.'
        USING ERRCODE = '42501';
END $$;

-- The company of the quote or order that owns a line or a summary (null when unknown).
CREATE OR REPLACE FUNCTION vt_societa_documento(p_id text) RETURNS varchar
LANGUAGE sql STABLE SECURITY DEFINER SET search_path = public, pg_temp AS $$
    SELECT coalesce((SELECT q.idsocieta FROM public.preventivi q WHERE q.idpreventivo = p_id),
                    (SELECT o.idsocieta FROM public.ordini o WHERE o.idordine = p_id))
$$;

-- Ends the session bound to this connection, if any, and unbinds it.
CREATE OR REPLACE FUNCTION vt_chiudi_sessione_corrente() RETURNS void
LANGUAGE plpgsql SECURITY DEFINER SET search_path = public, pg_temp AS $$
DECLARE
    t text := current_setting('ventorel.sessione', true);
BEGIN
    IF coalesce(t, '') <> '' THEN
        UPDATE public.sessioni SET dtfine = localtimestamp
         WHERE txtoken = sha256(convert_to(t, 'UTF8')) AND dtfine IS NULL;
        PERFORM set_config('ventorel.sessione', '', false);
    END IF;
END $$;

-- The password form of a user name: what the program sends when the password equals it.
CREATE OR REPLACE FUNCTION vt_password_utente(p_operatore text) RETURNS text
LANGUAGE sql IMMUTABLE AS $$
    SELECT replace(encode(convert_to(lower(p_operatore), 'UTF8'), 'base64'), E'\n', '')
$$;

CREATE OR REPLACE FUNCTION vt_stessa_password(p_a text, p_b text) RETURNS boolean
LANGUAGE sql IMMUTABLE AS $$
    SELECT translate(p_a, E'\r\n', '') = translate(p_b, E'\r\n', '')
$$;

-- The operator with that code, locked for the check. Raises while he is refused for too many
-- wrong passwords.
CREATE OR REPLACE FUNCTION vt_operatore_per_logon(p_operatore text) RETURNS operatori
LANGUAGE plpgsql SECURITY DEFINER SET search_path = public, pg_temp AS $$
DECLARE
    o public.operatori;
BEGIN
    SELECT * INTO o FROM public.operatori
     WHERE upper(txoperatore) = upper(btrim(p_operatore)) FOR UPDATE;
    IF FOUND AND o.dtbloccologon > localtimestamp THEN
        RAISE EXCEPTION 'Troppi tentativi con password errata: l''utente % è bloccato per % minuti.',
            o.txoperatore, ceil(extract(epoch FROM o.dtbloccologon - localtimestamp) / 60)::integer
            USING ERRCODE = '28000';
    END IF;
    RETURN o;
END $$;

-- Counts a wrong password; the fifth in a row refuses the operator for 15 minutes.
CREATE OR REPLACE FUNCTION vt_password_errata(p_idoperatore text) RETURNS void
LANGUAGE sql SECURITY DEFINER SET search_path = public, pg_temp AS $$
    UPDATE public.operatori
       SET nutentativierrati = CASE WHEN nutentativierrati + 1 >= 5 THEN 0 ELSE nutentativierrati + 1 END,
           dtbloccologon = CASE WHEN nutentativierrati + 1 >= 5
                                THEN localtimestamp + interval '15 minutes' END
     WHERE idoperatore = p_idoperatore
$$;

CREATE OR REPLACE FUNCTION vt_password_giusta(p_idoperatore text) RETURNS void
LANGUAGE sql SECURITY DEFINER SET search_path = public, pg_temp AS $$
    UPDATE public.operatori SET nutentativierrati = 0, dtbloccologon = NULL
     WHERE idoperatore = p_idoperatore AND (nutentativierrati <> 0 OR dtbloccologon IS NOT NULL)
$$;

-- The operator with that code and password, deactivated or not (the program refuses a
-- deactivated one by name); no row for a wrong code or password. txDenominazione and the
-- cloud folders are those of the operator's company. An active operator gets a new session,
-- bound to this connection in place of any earlier one; at his first log-on (password equal
-- to the code) that session may only change the password.
DROP FUNCTION IF EXISTS EstraiDatiOperatore(text, text);
CREATE FUNCTION EstraiDatiOperatore(p_operatore text, p_password text)
RETURNS TABLE (
    flAdministrator smallint,
    idOperatore varchar,
    txDescrizione varchar,
    txDenominazione varchar,
    flFunzionario smallint,
    txDBXClientKey varchar,
    txDBXClientSecret varchar,
    txDBXAccessToken text,
    flDBXAccessFolderOnline smallint,
    flDBXAccessFolderLocal smallint,
    txRootFolder varchar,
    txSocietaFolder varchar,
    idSocieta varchar,
    dtCanc timestamp
)
LANGUAGE plpgsql
SECURITY DEFINER
SET search_path = public, pg_temp
AS $$
DECLARE
    o public.operatori;
    segreto text;
BEGIN
    PERFORM public.vt_chiudi_sessione_corrente();
    o := public.vt_operatore_per_logon(p_operatore);
    IF o.idoperatore IS NULL THEN
        RETURN;
    END IF;
    IF NOT public.vt_password_ok(p_password, o.txpassword) THEN
        PERFORM public.vt_password_errata(o.idoperatore);
        RETURN;
    END IF;
    PERFORM public.vt_password_giusta(o.idoperatore);
    IF o.dtcanc IS NULL THEN
        segreto := encode(vt_ext.gen_random_bytes(32), 'hex');
        -- Sessions not used for 30 days are forgotten.
        DELETE FROM public.sessioni WHERE dtultimo < localtimestamp - interval '30 days';
        INSERT INTO public.sessioni (idsessione, txtoken, idoperatore, flcambiopassword, dtin, dtultimo)
        VALUES ('{' || upper(gen_random_uuid()::text) || '}', sha256(convert_to(segreto, 'UTF8')),
                o.idoperatore,
                CASE WHEN public.vt_stessa_password(p_password, public.vt_password_utente(o.txoperatore))
                     THEN 1 ELSE 0 END,
                localtimestamp, localtimestamp);
        PERFORM set_config('ventorel.sessione', segreto, false);
    END IF;
    RETURN QUERY
    SELECT o.flAdministrator, o.idOperatore, o.txDescrizione, s.txDenominazione,
           o.flFunzionario, o.txDBXClientKey, o.txDBXClientSecret, o.txDBXAccessToken,
           o.flDBXAccessFolderOnline, o.flDBXAccessFolderLocal, s.txRootFolder,
           s.txSocietaFolder, o.idSocieta, o.dtCanc
      FROM (SELECT 1) x
      LEFT JOIN public.Societa s ON s.idSocieta = o.idSocieta;
END;
$$;

-- Binds this connection to a session opened by an earlier log-on of the same program (a
-- connection opened again after the log-on closed it). The session must be open, its operator
-- active, and a connection must have been bound to it within the last 24 hours.
DROP FUNCTION IF EXISTS RiprendiSessioneOperatore(text);
CREATE FUNCTION RiprendiSessioneOperatore(p_segreto text)
RETURNS TABLE (flOk smallint)
LANGUAGE plpgsql
SECURITY DEFINER
SET search_path = public, pg_temp
AS $$
BEGIN
    PERFORM set_config('ventorel.sessione', '', false);
    UPDATE public.sessioni s SET dtultimo = localtimestamp
      FROM public.operatori o
     WHERE s.txtoken = sha256(convert_to(coalesce(p_segreto, ''), 'UTF8')) AND s.dtfine IS NULL
       AND s.dtultimo > localtimestamp - interval '24 hours'
       AND o.idoperatore = s.idoperatore AND o.dtcanc IS NULL;
    IF NOT FOUND THEN
        RAISE EXCEPTION 'La sessione dell''operatore è terminata: effettuare di nuovo il logon.'
            USING ERRCODE = '28000';
    END IF;
    PERFORM set_config('ventorel.sessione', p_segreto, false);
    RETURN QUERY SELECT 1::smallint;
END;
$$;

-- Ends the session of this connection (log-off); one row flOk = 1 whether there was one or not.
DROP FUNCTION IF EXISTS ChiudiSessioneOperatore();
CREATE FUNCTION ChiudiSessioneOperatore()
RETURNS TABLE (flOk smallint)
LANGUAGE plpgsql
SECURITY DEFINER
SET search_path = public, pg_temp
AS $$
BEGIN
    PERFORM public.vt_chiudi_sessione_corrente();
    RETURN QUERY SELECT 1::smallint;
END;
$$;

-- Replaces the password when the current one matches: one row flOk = 1. A wrong current
-- password answers flOk = 0 and ErrMess (counted like a wrong log-on, so it cannot be guessed
-- here either). Both passwords in the program's Base64 form; the trigger stores the hash of
-- the new one. The first-logon sessions of the operator end.
DROP FUNCTION IF EXISTS CambiaPasswordOperatore(text, text, text);
CREATE FUNCTION CambiaPasswordOperatore(p_operatore text, p_attuale text, p_nuova text)
RETURNS TABLE (flOk smallint, ErrMess text)
LANGUAGE plpgsql
SECURITY DEFINER
SET search_path = public, pg_temp
AS $$
DECLARE
    o public.operatori;
BEGIN
    IF coalesce(p_nuova, '') = '' THEN
        RAISE EXCEPTION 'Nuova password non valida';
    END IF;
    o := public.vt_operatore_per_logon(p_operatore);
    IF o.idoperatore IS NULL OR NOT public.vt_password_ok(p_attuale, o.txpassword) THEN
        IF o.idoperatore IS NOT NULL THEN
            PERFORM public.vt_password_errata(o.idoperatore);
        END IF;
        RETURN QUERY SELECT 0::smallint, 'Password attuale errata'::text;
        RETURN;
    END IF;
    IF public.vt_stessa_password(p_nuova, public.vt_password_utente(o.txoperatore)) THEN
        RAISE EXCEPTION 'La password non deve essere uguale all''utente.';
    END IF;
    PERFORM public.vt_password_giusta(o.idoperatore);
    UPDATE public.Operatori SET txPassword = p_nuova WHERE idOperatore = o.idoperatore;
    UPDATE public.sessioni SET dtfine = localtimestamp
     WHERE idoperatore = o.idoperatore AND flcambiopassword = 1 AND dtfine IS NULL;
    RETURN QUERY SELECT 1::smallint, NULL::text;
END;
$$;
