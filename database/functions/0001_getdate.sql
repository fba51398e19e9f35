-- The server's local date-time ("SELECT GETDATE() AS TMNOW").
CREATE OR REPLACE FUNCTION getdate()
RETURNS timestamp
LANGUAGE sql
STABLE
SECURITY DEFINER
SET search_path = public, pg_temp
AS $$
    SELECT localtimestamp(3);
$$;
