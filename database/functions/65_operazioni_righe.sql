-- Operations on the lines of a quote are operations on the quote: adding, changing, moving and
-- removing lines, and changing the nodes of a line's own tree, date the quote in
-- preventivi_operazioni_righe with the operator who did it. EstraiPreventivi reads it for
-- "Ultima operazione" and the order "Ordina più recenti".
--
-- Whatever path writes (the functions, the editable records of the program's login), one
-- statement stamps each quote it touched once. An update that changes nothing (a catalogue
-- refresh finding the line already in line with its product), or only the picture a line keeps
-- when the catalogue replaces it, is no operation. Maintenance connections without an operator
-- session (demo and scale data) date the quotes by the lines' own stamps.

-- Dates the quotes: the latest time of each (nulls ignored), never going back.
CREATE OR REPLACE FUNCTION vt_segna_operazioni_righe(p_id varchar[], p_dt timestamp[],
                                                     p_utente varchar[]) RETURNS void
LANGUAGE sql SECURITY DEFINER SET search_path = public, pg_temp AS $$
    INSERT INTO preventivi_operazioni_righe AS s (idpreventivo, dtoperazione, txutenteoperazione)
    SELECT DISTINCT ON (x.id) x.id, x.dt, x.utente
      FROM unnest(p_id, p_dt, p_utente) AS x (id, dt, utente)
     WHERE x.id IS NOT NULL AND x.dt IS NOT NULL
       -- A quote deleted in the same statement (its lines go with it) is not dated.
       AND EXISTS (SELECT 1 FROM preventivi q WHERE q.idpreventivo = x.id)
     ORDER BY x.id, x.dt DESC
    ON CONFLICT (idpreventivo) DO UPDATE
       SET dtoperazione = excluded.dtoperazione, txutenteoperazione = excluded.txutenteoperazione
     WHERE excluded.dtoperazione >= s.dtoperazione
$$;

CREATE OR REPLACE FUNCTION vtt_operazioni_righe() RETURNS trigger
LANGUAGE plpgsql SECURITY DEFINER SET search_path = public, pg_temp AS $$
DECLARE
    -- The operator of the session; null on a maintenance connection.
    u varchar := vt_sessione_utente();
    ora timestamp := vt_ora();
BEGIN
    IF TG_TABLE_NAME = 'preventivo_dettaglio' THEN
        IF TG_OP = 'INSERT' THEN
            PERFORM vt_segna_operazioni_righe(array_agg(n.idpreventivo),
                        array_agg(CASE WHEN u IS NULL THEN greatest(n.dtin, n.dtmod) ELSE ora END),
                        array_agg(coalesce(u, n.txutentemod, n.txutentein)))
               FROM nuove n WHERE n.idpreventivo IS NOT NULL;
        ELSIF TG_OP = 'DELETE' THEN
            PERFORM vt_segna_operazioni_righe(array_agg(o.idpreventivo), array_agg(ora),
                                              array_agg(u))
               FROM vecchie o WHERE o.idpreventivo IS NOT NULL;
        ELSE
            PERFORM vt_segna_operazioni_righe(array_agg(n.idpreventivo),
                        array_agg(CASE WHEN u IS NULL THEN greatest(n.dtin, n.dtmod) ELSE ora END),
                        array_agg(coalesce(u, n.txutentemod, n.txutentein)))
               FROM nuove n JOIN vecchie o ON o.idpreventivodet = n.idpreventivodet
              WHERE n.idpreventivo IS NOT NULL AND to_jsonb(n) IS DISTINCT FROM to_jsonb(o);
        END IF;
    ELSE
        IF TG_OP = 'INSERT' THEN
            PERFORM vt_segna_operazioni_righe(array_agg(d.idpreventivo),
                        array_agg(CASE WHEN u IS NULL THEN coalesce(n.dtmod, d.dtmod, d.dtin)
                                       ELSE ora END),
                        array_agg(coalesce(u, n.txutentemod, d.txutentemod, d.txutentein)))
               FROM nuove n JOIN preventivo_dettaglio d ON d.idpreventivodet = n.idpreventivodet
              WHERE d.idpreventivo IS NOT NULL;
        ELSIF TG_OP = 'DELETE' THEN
            -- Nodes removed with their line are dated by the line's removal.
            PERFORM vt_segna_operazioni_righe(array_agg(d.idpreventivo), array_agg(ora),
                                              array_agg(u))
               FROM vecchie o JOIN preventivo_dettaglio d ON d.idpreventivodet = o.idpreventivodet
              WHERE d.idpreventivo IS NOT NULL;
        ELSE
            PERFORM vt_segna_operazioni_righe(array_agg(d.idpreventivo),
                        array_agg(CASE WHEN u IS NULL THEN coalesce(n.dtmod, d.dtmod, d.dtin)
                                       ELSE ora END),
                        array_agg(coalesce(u, n.txutentemod, d.txutentemod)))
               FROM nuove n
               JOIN vecchie o ON o.idpreventivodet = n.idpreventivodet AND o.idnodo = n.idnodo
               JOIN preventivo_dettaglio d ON d.idpreventivodet = n.idpreventivodet
              WHERE d.idpreventivo IS NOT NULL
                AND to_jsonb(n) - 'idimage' IS DISTINCT FROM to_jsonb(o) - 'idimage';
        END IF;
    END IF;
    RETURN NULL;
END $$;

DO $$
DECLARE
    t text;
BEGIN
    FOREACH t IN ARRAY ARRAY['preventivo_dettaglio', 'prevdet_nodi'] LOOP
        EXECUTE format('CREATE OR REPLACE TRIGGER trg_%1$s_operazioni_ins AFTER INSERT ON %1$I'
                       ' REFERENCING NEW TABLE AS nuove FOR EACH STATEMENT'
                       ' EXECUTE FUNCTION vtt_operazioni_righe()', t);
        EXECUTE format('CREATE OR REPLACE TRIGGER trg_%1$s_operazioni_upd AFTER UPDATE ON %1$I'
                       ' REFERENCING OLD TABLE AS vecchie NEW TABLE AS nuove FOR EACH STATEMENT'
                       ' EXECUTE FUNCTION vtt_operazioni_righe()', t);
        EXECUTE format('CREATE OR REPLACE TRIGGER trg_%1$s_operazioni_del AFTER DELETE ON %1$I'
                       ' REFERENCING OLD TABLE AS vecchie FOR EACH STATEMENT'
                       ' EXECUTE FUNCTION vtt_operazioni_righe()', t);
    END LOOP;
END $$;
