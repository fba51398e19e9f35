-- Internal routines of the other functions (prefix vt_): not granted to the program's login.

-- Next number of a series. The series row stays locked until the caller's transaction ends,
-- so two sessions never get the same number; a new series starts at 1.
CREATE OR REPLACE FUNCTION vt_prossimo_numero(p_serie text)
RETURNS bigint
LANGUAGE sql
SECURITY DEFINER
SET search_path = public, pg_temp
AS $$
    INSERT INTO Contatori AS c (txSerie, nuUltimo)
    VALUES (p_serie, 1)
    ON CONFLICT (txSerie) DO UPDATE SET nuUltimo = c.nuUltimo + 1
    RETURNING c.nuUltimo;
$$;

-- Passwords arrive in the program's Base64 form. They are kept as a bcrypt hash of their
-- SHA-256 digest: the digest keeps long texts whole (bcrypt reads at most 72 bytes).
CREATE OR REPLACE FUNCTION vt_password_hash(p_password text)
RETURNS text
LANGUAGE sql
VOLATILE
SECURITY DEFINER
SET search_path = public, pg_temp
AS $$
    SELECT vt_ext.crypt(encode(sha256(convert_to(p_password, 'UTF8')), 'hex'), vt_ext.gen_salt('bf', 10));
$$;

CREATE OR REPLACE FUNCTION vt_is_password_hash(p_text text)
RETURNS boolean
LANGUAGE sql
IMMUTABLE
SECURITY DEFINER
SET search_path = public, pg_temp
AS $$
    SELECT coalesce(p_text ~ '^\$2[abxy]\$[0-9]{2}\$[./A-Za-z0-9]{53}$', false);
$$;

CREATE OR REPLACE FUNCTION vt_password_ok(p_password text, p_stored text)
RETURNS boolean
LANGUAGE sql
STABLE
SECURITY DEFINER
SET search_path = public, pg_temp
AS $$
    SELECT p_password IS NOT NULL
       AND vt_is_password_hash(p_stored)
       AND vt_ext.crypt(encode(sha256(convert_to(p_password, 'UTF8')), 'hex'), p_stored) = p_stored;
$$;

-- Whatever writes a password (the operator record, a reset, the change procedure, an import)
-- stores its hash; a value that is already a hash is kept.
CREATE OR REPLACE FUNCTION vt_operatori_password()
RETURNS trigger
LANGUAGE plpgsql
SECURITY DEFINER
SET search_path = public, pg_temp
AS $$
BEGIN
    IF NEW.txPassword IS NOT NULL AND NOT vt_is_password_hash(NEW.txPassword) THEN
        NEW.txPassword := vt_password_hash(NEW.txPassword);
    END IF;
    RETURN NEW;
END;
$$;

CREATE OR REPLACE TRIGGER trg_operatori_password
    BEFORE INSERT OR UPDATE OF txPassword ON Operatori
    FOR EACH ROW EXECUTE FUNCTION vt_operatori_password();
