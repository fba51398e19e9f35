-- What only the superuser can settle in a catalog, applied before every migration run:
-- the extensions in a schema of their own, the rights on the database itself and the system
-- functions that any role may run by default. Every statement can run again.
--
-- The program's login (a member of ventorel_app) gets no way to run code of its own: it may
-- not create objects anywhere (temporary ones included), reach the extensions, create large
-- objects, signal other sessions or read what they are running.

-- Extensions live in vt_ext, which only the schema owner may use: the stored functions name
-- them with their schema (vt_ext.crypt), nobody else can call them.
CREATE SCHEMA IF NOT EXISTS vt_ext AUTHORIZATION ventorel_owner;
REVOKE ALL ON SCHEMA vt_ext FROM PUBLIC;
DO $$
DECLARE
    e text;
BEGIN
    FOREACH e IN ARRAY ARRAY['pgcrypto', 'pg_trgm'] LOOP
        IF NOT EXISTS (SELECT 1 FROM pg_extension WHERE extname = e) THEN
            EXECUTE format('CREATE EXTENSION %I SCHEMA vt_ext', e);
        ELSIF (SELECT n.nspname FROM pg_extension x JOIN pg_namespace n ON n.oid = x.extnamespace
                WHERE x.extname = e) <> 'vt_ext' THEN
            EXECUTE format('ALTER EXTENSION %I SET SCHEMA vt_ext', e);
        END IF;
    END LOOP;
END $$;
REVOKE ALL ON ALL FUNCTIONS IN SCHEMA vt_ext FROM PUBLIC;
GRANT EXECUTE ON ALL FUNCTIONS IN SCHEMA vt_ext TO ventorel_owner;

-- The database: only the program's roles connect; temporary objects only for the owner (the
-- functions that prepare the session's table of split texts).
DO $$
BEGIN
    EXECUTE format('REVOKE CONNECT, TEMPORARY ON DATABASE %I FROM PUBLIC', current_database());
    EXECUTE format('GRANT CONNECT ON DATABASE %I TO ventorel_app', current_database());
    EXECUTE format('GRANT CONNECT, TEMPORARY ON DATABASE %I TO ventorel_owner', current_database());
END $$;

-- The public schema holds the program's objects only.
REVOKE ALL ON SCHEMA public FROM PUBLIC;
GRANT USAGE ON SCHEMA public TO ventorel_app;

-- System functions every role may run by default that the program never needs: signalling
-- other sessions, large objects, sleeping, advisory locks, what other sessions are running.
DO $$
DECLARE
    f regprocedure;
BEGIN
    FOR f IN
        SELECT p.oid::regprocedure
          FROM pg_proc p
         WHERE p.pronamespace = 'pg_catalog'::regnamespace
           AND (p.proname IN ('pg_terminate_backend', 'pg_cancel_backend', 'pg_sleep',
                              'pg_sleep_for', 'pg_sleep_until', 'lo_creat', 'lo_create',
                              'lo_from_bytea', 'lo_import', 'lo_export', 'lo_open', 'lo_close',
                              'lo_put', 'lo_get', 'lo_unlink', 'lo_truncate', 'lo_truncate64',
                              'lo_lseek', 'lo_lseek64', 'lo_tell', 'lo_tell64', 'loread',
                              'lowrite', 'pg_stat_get_activity', 'pg_notify',
                              'pg_logical_emit_message', 'pg_current_logfile')
                OR p.proname LIKE 'pg\_advisory\_%' OR p.proname LIKE 'pg\_try\_advisory\_%')
    LOOP
        EXECUTE format('REVOKE EXECUTE ON FUNCTION %s FROM PUBLIC', f);
    END LOOP;
END $$;
REVOKE SELECT ON pg_catalog.pg_stat_activity FROM PUBLIC;
