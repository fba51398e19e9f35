-- Operator check at logon and password change.

-- The operator with that code and password, deactivated or not (the program refuses a
-- deactivated one by name); no row for a wrong code or password. txDenominazione and the
-- cloud folders are those of the operator's company.
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
LANGUAGE sql
STABLE
SECURITY DEFINER
SET search_path = public, pg_temp
AS $$
    SELECT o.flAdministrator, o.idOperatore, o.txDescrizione, s.txDenominazione,
           o.flFunzionario, o.txDBXClientKey, o.txDBXClientSecret, o.txDBXAccessToken,
           o.flDBXAccessFolderOnline, o.flDBXAccessFolderLocal, s.txRootFolder,
           s.txSocietaFolder, o.idSocieta, o.dtCanc
      FROM Operatori o
      LEFT JOIN Societa s ON s.idSocieta = o.idSocieta
     WHERE upper(o.txOperatore) = upper(p_operatore)
       AND vt_password_ok(p_password, o.txPassword);
$$;

-- Replaces the password when the current one matches; one row flOk = 1. Both passwords in the
-- program's Base64 form; the trigger stores the hash of the new one.
DROP FUNCTION IF EXISTS CambiaPasswordOperatore(text, text, text);
CREATE FUNCTION CambiaPasswordOperatore(p_operatore text, p_attuale text, p_nuova text)
RETURNS TABLE (flOk smallint)
LANGUAGE plpgsql
SECURITY DEFINER
SET search_path = public, pg_temp
AS $$
DECLARE
    v_id varchar(38);
BEGIN
    IF coalesce(p_nuova, '') = '' THEN
        RAISE EXCEPTION 'Nuova password non valida';
    END IF;
    SELECT o.idOperatore INTO v_id
      FROM Operatori o
     WHERE upper(o.txOperatore) = upper(p_operatore)
       AND vt_password_ok(p_attuale, o.txPassword)
       FOR UPDATE;
    IF v_id IS NULL THEN
        RAISE EXCEPTION 'Password attuale errata';
    END IF;
    UPDATE Operatori SET txPassword = p_nuova WHERE idOperatore = v_id;
    RETURN QUERY SELECT 1::smallint;
END;
$$;
