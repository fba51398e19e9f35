-- Rules of the tables, whatever path writes: the program's login through its editable
-- records and direct statements, or the stored functions.
--
-- 1. Data that makes no sense is refused with an Italian message (the program shows the
--    server's text in the window's error box): negative quantities, prices and discounts, a
--    discount above the list price, a line priced with another product's list, a quote whose
--    customer belongs to another company, an image node without its image, blank names.
-- 2. A blocked quote or order, and an order signed by the customer, keep their content: their
--    header, lines, line trees and order summary. Print options (page breaks, keep together),
--    the cloud folder data and the audit stamps may still change. The database administrator's
--    maintenance connections (superuser) are not held to these states.
-- 3. The program's login writes only what its windows write (column rights, grants.sql),
--    only with an operator session, only rows of the operator's company when he is bound to
--    one (row-level security), stamping only the session's user name, and one row per UPDATE.
--
-- Everything here is created again on every migration run; the helpers it uses live in
-- 0002_operatori_logon.sql and are never dropped.

-- Helpers ---------------------------------------------------------------------------------

-- The company of the quote or order a line belongs to (null when unknown).
CREATE OR REPLACE FUNCTION vt_societa_riga(p_idriga text) RETURNS varchar
LANGUAGE sql STABLE SECURITY DEFINER SET search_path = public, pg_temp AS $$
    SELECT public.vt_societa_documento(coalesce(d.idpreventivo, d.idordine))
      FROM public.preventivo_dettaglio d WHERE d.idpreventivodet = p_idriga
$$;

-- Why the content of a quote or order may not change now; null when it may. Maintenance
-- connections are never refused.
CREATE OR REPLACE FUNCTION vt_documento_fermo(p_id text) RETURNS text
LANGUAGE plpgsql STABLE SECURITY DEFINER SET search_path = public, pg_temp AS $$
DECLARE
    b smallint;
    f smallint;
BEGIN
    IF p_id IS NULL OR public.vt_manutenzione() THEN
        RETURN NULL;
    END IF;
    SELECT q.flbloccato INTO b FROM public.preventivi q WHERE q.idpreventivo = p_id;
    IF FOUND THEN
        RETURN CASE WHEN b = 1 THEN 'Il preventivo è bloccato: non è possibile modificarlo.' END;
    END IF;
    SELECT o.flbloccato, o.flfirmato INTO b, f FROM public.ordini o WHERE o.idordine = p_id;
    IF FOUND THEN
        RETURN CASE WHEN f = 1 THEN 'L''ordine è firmato dal cliente: non è possibile modificarlo.'
                    WHEN b = 1 THEN 'L''ordine è bloccato: non è possibile modificarlo.' END;
    END IF;
    RETURN NULL;
END $$;

-- The columns whose values differ between two versions of a row, leaving out the audit
-- stamps and the given ones.
CREATE OR REPLACE FUNCTION vt_colonne_cambiate(p_prima jsonb, p_dopo jsonb,
                                               p_ammesse text[] DEFAULT '{}') RETURNS text[]
LANGUAGE sql IMMUTABLE AS $$
    SELECT coalesce(array_agg(d.key ORDER BY d.key), '{}')
      FROM jsonb_each(p_dopo) d
     WHERE d.value IS DISTINCT FROM p_prima -> d.key
       AND d.key NOT IN ('txutentein', 'dtin', 'txutentemod', 'dtmod')
       AND d.key <> ALL (p_ammesse)
$$;

CREATE OR REPLACE FUNCTION vt_vuoto_o_blank(p text) RETURNS boolean
LANGUAGE sql IMMUTABLE AS $$ SELECT p IS NULL OR btrim(p) = '' $$;

-- Writes of the program's login -------------------------------------------------------------

-- Each row written by the login needs an operator session, and the user names it stamps
-- must be the session's.
CREATE OR REPLACE FUNCTION vtt_scrittura_programma() RETURNS trigger
LANGUAGE plpgsql SET search_path = public, pg_temp AS $$
DECLARE
    u varchar;
    nuova jsonb;
    vecchia jsonb;
    c text;
BEGIN
    IF NOT public.vt_scrittura_diretta() THEN
        RETURN CASE WHEN TG_OP = 'DELETE' THEN OLD ELSE NEW END;
    END IF;
    u := public.vt_sessione_utente();
    IF TG_TABLE_NAME = 'prevdet_nodi' THEN
        -- Written through the view of the line values: the line's company.
        PERFORM public.vt_sessione_scrive_societa(public.vt_societa_riga(
            CASE WHEN TG_OP = 'DELETE' THEN OLD.idpreventivodet ELSE NEW.idpreventivodet END));
    END IF;
    IF TG_OP = 'DELETE' THEN
        RETURN OLD;
    END IF;
    nuova := to_jsonb(NEW);
    vecchia := CASE WHEN TG_OP = 'UPDATE' THEN to_jsonb(OLD) END;
    FOREACH c IN ARRAY ARRAY['txutentein', 'txutentemod', 'txutentecanc'] LOOP
        IF nuova ? c AND nuova ->> c IS NOT NULL
           AND (vecchia IS NULL OR (nuova -> c) IS DISTINCT FROM (vecchia -> c))
           AND upper(nuova ->> c) <> upper(u) THEN
            RAISE EXCEPTION 'L''utente indicato (%) non è l''operatore collegato (%): operazione non eseguita.',
                left(nuova ->> c, 50), u USING ERRCODE = '42501';
        END IF;
    END LOOP;
    RETURN NEW;
END $$;

-- The login changes one row per statement: a record is saved by its key, never a whole table.
CREATE OR REPLACE FUNCTION vtt_una_riga() RETURNS trigger
LANGUAGE plpgsql SET search_path = public, pg_temp AS $$
BEGIN
    IF public.vt_scrittura_diretta() AND (SELECT count(*) FROM righe) > 1 THEN
        RAISE EXCEPTION 'Modifica non consentita: un comando può cambiare una sola riga di %.',
            TG_TABLE_NAME USING ERRCODE = '42501';
    END IF;
    RETURN NULL;
END $$;

-- The summary of one order at a time (its rows are deleted together before being written again).
CREATE OR REPLACE FUNCTION vtt_un_ordine() RETURNS trigger
LANGUAGE plpgsql SET search_path = public, pg_temp AS $$
BEGIN
    IF public.vt_scrittura_diretta() AND (SELECT count(DISTINCT idordine) FROM righe) > 1 THEN
        RAISE EXCEPTION 'Modifica non consentita: un comando può cambiare il sommario di un solo ordine.'
            USING ERRCODE = '42501';
    END IF;
    RETURN NULL;
END $$;

DO $$
DECLARE
    t text;
BEGIN
    -- Every table the login may write.
    FOREACH t IN ARRAY ARRAY['societa', 'operatori', 'clienti', 'prodotti', 'images_prodotti',
                             'images_prodotti_preview', 'images_dettagli', 'images_dettagli_preview',
                             'prod_schede', 'prod_scheda_voci', 'prod_componenti', 'prod_comp_parti',
                             'prod_comp_parte_txt', 'prod_comp_parte_img', 'prod_comp_parte_url',
                             'prod_comp_parte_tab', 'prod_comp_parte_tab_voci', 'prod_listini',
                             'prod_list_scheda_valori', 'preventivi', 'preventivo_dettaglio',
                             'prevdet_nodi', 'ordini', 'ordine_sommario', 'images_layout', 'layout']
    LOOP
        EXECUTE format('CREATE OR REPLACE TRIGGER trg_%1$s_programma BEFORE INSERT OR UPDATE OR DELETE'
                       ' ON %1$I FOR EACH ROW WHEN (current_user <> %2$L)'
                       ' EXECUTE FUNCTION vtt_scrittura_programma()', t, 'ventorel_owner');
        EXECUTE format('CREATE OR REPLACE TRIGGER trg_%1$s_una_riga AFTER UPDATE ON %1$I'
                       ' REFERENCING NEW TABLE AS righe FOR EACH STATEMENT'
                       ' WHEN (current_user <> %2$L) EXECUTE FUNCTION vtt_una_riga()', t, 'ventorel_owner');
    END LOOP;
    -- Tables whose rows the login deletes one by one (items of data sheets and tables, values
    -- of price lists).
    FOREACH t IN ARRAY ARRAY['prod_scheda_voci', 'prod_comp_parte_tab_voci', 'prod_list_scheda_valori']
    LOOP
        EXECUTE format('CREATE OR REPLACE TRIGGER trg_%1$s_una_cancellazione AFTER DELETE ON %1$I'
                       ' REFERENCING OLD TABLE AS righe FOR EACH STATEMENT'
                       ' WHEN (current_user <> %2$L) EXECUTE FUNCTION vtt_una_riga()', t, 'ventorel_owner');
    END LOOP;
END $$;
CREATE OR REPLACE TRIGGER trg_ordine_sommario_un_ordine AFTER DELETE ON ordine_sommario
    REFERENCING OLD TABLE AS righe FOR EACH STATEMENT WHEN (current_user <> 'ventorel_owner')
    EXECUTE FUNCTION vtt_un_ordine();

-- Row-level security: the rows the login may read and write. The owner's functions are not
-- subject to it. Refusals of a write raise an Italian message; rows of other companies are
-- simply not seen.
DO $$
DECLARE
    t text;
    p record;
BEGIN
    FOR p IN SELECT pol.polname, c.relname FROM pg_policy pol JOIN pg_class c ON c.oid = pol.polrelid
              WHERE c.relnamespace = 'public'::regnamespace LOOP
        EXECUTE format('DROP POLICY %I ON %I', p.polname, p.relname);
    END LOOP;
    -- The catalogue: shared by every company, any operator with a session.
    FOREACH t IN ARRAY ARRAY['prodotti', 'images_prodotti', 'images_prodotti_preview',
                             'images_dettagli', 'images_dettagli_preview', 'prod_schede',
                             'prod_scheda_voci', 'prod_componenti', 'prod_comp_parti',
                             'prod_comp_parte_txt', 'prod_comp_parte_img', 'prod_comp_parte_url',
                             'prod_comp_parte_tab', 'prod_comp_parte_tab_voci', 'prod_listini',
                             'prod_list_scheda_valori']
    LOOP
        EXECUTE format('ALTER TABLE %I ENABLE ROW LEVEL SECURITY', t);
        EXECUTE format('CREATE POLICY operatore ON %I TO ventorel_app'
                       ' USING ((SELECT vt_sessione_utente() IS NOT NULL))'
                       ' WITH CHECK ((SELECT vt_sessione_utente() IS NOT NULL))', t);
    END LOOP;
    -- Records of a company.
    FOREACH t IN ARRAY ARRAY['clienti', 'preventivi', 'ordini'] LOOP
        EXECUTE format('ALTER TABLE %I ENABLE ROW LEVEL SECURITY', t);
        EXECUTE format('CREATE POLICY societa ON %I TO ventorel_app'
                       ' USING ((SELECT vt_sessione_tutte_societa())'
                       '        OR idsocieta = (SELECT vt_sessione_societa()))'
                       ' WITH CHECK (vt_sessione_scrive_societa(idsocieta))', t);
    END LOOP;
    ALTER TABLE preventivo_dettaglio ENABLE ROW LEVEL SECURITY;
    CREATE POLICY societa ON preventivo_dettaglio TO ventorel_app
        USING ((SELECT vt_sessione_tutte_societa())
               OR vt_societa_documento(coalesce(idpreventivo, idordine)) = (SELECT vt_sessione_societa()))
        WITH CHECK (vt_sessione_scrive_societa(vt_societa_documento(coalesce(idpreventivo, idordine))));
    ALTER TABLE ordine_sommario ENABLE ROW LEVEL SECURITY;
    CREATE POLICY societa ON ordine_sommario TO ventorel_app
        USING ((SELECT vt_sessione_tutte_societa())
               OR vt_societa_documento(idordine) = (SELECT vt_sessione_societa()))
        WITH CHECK (vt_sessione_scrive_societa(vt_societa_documento(idordine)));
    -- Companies and layouts: read by every operator, written by administrators.
    FOREACH t IN ARRAY ARRAY['societa', 'images_layout', 'layout'] LOOP
        EXECUTE format('ALTER TABLE %I ENABLE ROW LEVEL SECURITY', t);
        EXECUTE format('CREATE POLICY lettura ON %I FOR SELECT TO ventorel_app'
                       ' USING ((SELECT vt_sessione_utente() IS NOT NULL))', t);
        EXECUTE format('CREATE POLICY inserimento ON %I FOR INSERT TO ventorel_app'
                       ' WITH CHECK ((SELECT vt_sessione_e_amministratore_o_rifiuta()))', t);
        EXECUTE format('CREATE POLICY modifica ON %I FOR UPDATE TO ventorel_app'
                       ' USING ((SELECT vt_sessione_e_amministratore_o_rifiuta()))', t);
    END LOOP;
    -- Operators: administrators only.
    ALTER TABLE operatori ENABLE ROW LEVEL SECURITY;
    CREATE POLICY amministratore ON operatori TO ventorel_app
        USING ((SELECT vt_sessione_e_amministratore_o_rifiuta()))
        WITH CHECK ((SELECT vt_sessione_e_amministratore_o_rifiuta()));
END $$;

-- Data checks -------------------------------------------------------------------------------

CREATE OR REPLACE FUNCTION vtt_clienti() RETURNS trigger
LANGUAGE plpgsql SECURITY DEFINER SET search_path = public, pg_temp AS $$
BEGIN
    IF vt_vuoto_o_blank(NEW.txdenominazione) THEN
        RAISE EXCEPTION 'La ragione sociale del cliente è obbligatoria.' USING ERRCODE = '23514';
    END IF;
    IF TG_OP = 'UPDATE' AND NOT vt_manutenzione() THEN
        IF NEW.idsocieta IS DISTINCT FROM OLD.idsocieta THEN
            RAISE EXCEPTION 'Un cliente non può passare a un''altra società.' USING ERRCODE = '23514';
        END IF;
        IF OLD.txcodcliente IS NOT NULL AND NEW.txcodcliente IS DISTINCT FROM OLD.txcodcliente THEN
            RAISE EXCEPTION 'Il codice cliente è assegnato dal programma e non può essere cambiato.'
                USING ERRCODE = '23514';
        END IF;
    END IF;
    RETURN NEW;
END $$;
CREATE OR REPLACE TRIGGER trg_clienti_controlli BEFORE INSERT OR UPDATE ON clienti
    FOR EACH ROW EXECUTE FUNCTION vtt_clienti();

CREATE OR REPLACE FUNCTION vtt_societa() RETURNS trigger
LANGUAGE plpgsql SECURITY DEFINER SET search_path = public, pg_temp AS $$
BEGIN
    IF vt_vuoto_o_blank(NEW.txdenominazione) THEN
        RAISE EXCEPTION 'La denominazione della società è obbligatoria.' USING ERRCODE = '23514';
    END IF;
    RETURN NEW;
END $$;
CREATE OR REPLACE TRIGGER trg_societa_controlli BEFORE INSERT OR UPDATE ON societa
    FOR EACH ROW EXECUTE FUNCTION vtt_societa();

CREATE OR REPLACE FUNCTION vtt_prodotti() RETURNS trigger
LANGUAGE plpgsql SECURITY DEFINER SET search_path = public, pg_temp AS $$
BEGIN
    IF vt_vuoto_o_blank(NEW.txdescprodotto) THEN
        RAISE EXCEPTION 'La descrizione del prodotto è obbligatoria.' USING ERRCODE = '23514';
    END IF;
    IF NEW.flaccessorio = 1 AND NEW.fldocumentazione = 1 THEN
        RAISE EXCEPTION 'Un prodotto non può essere insieme accessorio e documentazione.'
            USING ERRCODE = '23514';
    END IF;
    RETURN NEW;
END $$;
CREATE OR REPLACE TRIGGER trg_prodotti_controlli BEFORE INSERT OR UPDATE ON prodotti
    FOR EACH ROW EXECUTE FUNCTION vtt_prodotti();

CREATE OR REPLACE FUNCTION vtt_prod_comp_parti() RETURNS trigger
LANGUAGE plpgsql SECURITY DEFINER SET search_path = public, pg_temp AS $$
BEGIN
    IF NEW.nuquantitaparte < 0 THEN
        RAISE EXCEPTION 'La quantità del sottoparagrafo non può essere negativa.' USING ERRCODE = '23514';
    END IF;
    RETURN NEW;
END $$;
CREATE OR REPLACE TRIGGER trg_prod_comp_parti_controlli BEFORE INSERT OR UPDATE ON prod_comp_parti
    FOR EACH ROW EXECUTE FUNCTION vtt_prod_comp_parti();

CREATE OR REPLACE FUNCTION vtt_prod_listini() RETURNS trigger
LANGUAGE plpgsql SECURITY DEFINER SET search_path = public, pg_temp AS $$
BEGIN
    IF NEW.vllistino < 0 THEN
        RAISE EXCEPTION 'Il prezzo di listino non può essere negativo.' USING ERRCODE = '23514';
    END IF;
    IF NEW.vlmaxsconto < 0 THEN
        RAISE EXCEPTION 'Lo sconto massimo non può essere negativo.' USING ERRCODE = '23514';
    END IF;
    IF NEW.vlmaxsconto > NEW.vllistino THEN
        RAISE EXCEPTION 'Lo sconto massimo (%) non può superare il prezzo di listino (%).',
            NEW.vlmaxsconto, NEW.vllistino USING ERRCODE = '23514';
    END IF;
    IF NEW.numaxpercsconto < 0 OR NEW.numaxpercsconto > 100 THEN
        RAISE EXCEPTION 'La percentuale massima di sconto deve essere compresa tra 0 e 100.'
            USING ERRCODE = '23514';
    END IF;
    IF TG_OP = 'UPDATE' AND NEW.idprodotto IS DISTINCT FROM OLD.idprodotto THEN
        RAISE EXCEPTION 'Un listino non può passare a un altro prodotto.' USING ERRCODE = '23514';
    END IF;
    RETURN NEW;
END $$;
CREATE OR REPLACE TRIGGER trg_prod_listini_controlli BEFORE INSERT OR UPDATE ON prod_listini
    FOR EACH ROW EXECUTE FUNCTION vtt_prod_listini();

-- An image node refers to a stored image. Checked at the end of the transaction: the window
-- may post the node before its image rows.
CREATE OR REPLACE FUNCTION vtt_prod_comp_parte_img() RETURNS trigger
LANGUAGE plpgsql SECURITY DEFINER SET search_path = public, pg_temp AS $$
BEGIN
    IF NEW.idimage IS NOT NULL
       AND EXISTS (SELECT 1 FROM prod_comp_parte_img i WHERE i.idimgparte = NEW.idimgparte
                      AND i.idimage = NEW.idimage)
       AND NOT EXISTS (SELECT 1 FROM images_dettagli d WHERE d.idimage = NEW.idimage) THEN
        RAISE EXCEPTION 'L''immagine indicata (%) non esiste: il nodo immagine non può essere registrato.',
            NEW.idimage USING ERRCODE = '23503';
    END IF;
    RETURN NULL;
END $$;
DROP TRIGGER IF EXISTS trg_prod_comp_parte_img_immagine ON prod_comp_parte_img;
CREATE CONSTRAINT TRIGGER trg_prod_comp_parte_img_immagine
    AFTER INSERT OR UPDATE OF idimage ON prod_comp_parte_img
    DEFERRABLE INITIALLY DEFERRED FOR EACH ROW EXECUTE FUNCTION vtt_prod_comp_parte_img();

-- Quotes: subject, customer of the same company, company fixed; a blocked quote keeps its
-- content (its cloud folder data may be stored, it may be unblocked or reactivated).
CREATE OR REPLACE FUNCTION vtt_preventivi() RETURNS trigger
LANGUAGE plpgsql SECURITY DEFINER SET search_path = public, pg_temp AS $$
DECLARE
    soc varchar;
    cambiate text[];
BEGIN
    IF vt_vuoto_o_blank(NEW.txdescoggetto) THEN
        RAISE EXCEPTION 'L''oggetto del preventivo è obbligatorio.' USING ERRCODE = '23514';
    END IF;
    IF NEW.nuggscaddalblocco < 0 THEN
        RAISE EXCEPTION 'I giorni di scadenza dal blocco non possono essere negativi.' USING ERRCODE = '23514';
    END IF;
    IF NEW.idcliente IS NOT NULL AND (TG_OP = 'INSERT' OR NEW.idcliente IS DISTINCT FROM OLD.idcliente
                                      OR NEW.idsocieta IS DISTINCT FROM OLD.idsocieta) THEN
        SELECT c.idsocieta INTO soc FROM clienti c WHERE c.idcliente = NEW.idcliente;
        IF NOT FOUND THEN
            RAISE EXCEPTION 'Il cliente indicato non esiste.' USING ERRCODE = '23503';
        END IF;
        IF soc IS DISTINCT FROM NEW.idsocieta THEN
            RAISE EXCEPTION 'Il cliente indicato appartiene a un''altra società: non può essere usato in questo preventivo.'
                USING ERRCODE = '23514';
        END IF;
    END IF;
    IF TG_OP = 'UPDATE' AND NOT vt_manutenzione() THEN
        IF NEW.idsocieta IS DISTINCT FROM OLD.idsocieta THEN
            RAISE EXCEPTION 'Un preventivo non può passare a un''altra società.' USING ERRCODE = '23514';
        END IF;
        IF OLD.flbloccato = 1 AND NEW.flbloccato = 1 THEN
            cambiate := vt_colonne_cambiate(to_jsonb(OLD), to_jsonb(NEW),
                ARRAY['txnomefolder', 'txnomefilepdf', 'txurlfilepdf']
                || CASE WHEN NEW.dtcanc IS NULL THEN ARRAY['dtcanc', 'txutentecanc'] ELSE '{}' END);
            IF cardinality(cambiate) > 0 THEN
                RAISE EXCEPTION 'Il preventivo è bloccato: non è possibile modificarlo (%).',
                    array_to_string(cambiate, ', ') USING ERRCODE = '55000';
            END IF;
        END IF;
    END IF;
    RETURN NEW;
END $$;
CREATE OR REPLACE TRIGGER trg_preventivi_controlli BEFORE INSERT OR UPDATE ON preventivi
    FOR EACH ROW EXECUTE FUNCTION vtt_preventivi();

-- Orders: company fixed; a signed or blocked order keeps its content (it may be blocked,
-- unblocked, deactivated and reactivated, its folder data stored, its signature removed).
CREATE OR REPLACE FUNCTION vtt_ordini() RETURNS trigger
LANGUAGE plpgsql SECURITY DEFINER SET search_path = public, pg_temp AS $$
DECLARE
    cambiate text[];
BEGIN
    IF TG_OP = 'UPDATE' AND NOT vt_manutenzione() THEN
        IF NEW.idsocieta IS DISTINCT FROM OLD.idsocieta THEN
            RAISE EXCEPTION 'Un ordine non può passare a un''altra società.' USING ERRCODE = '23514';
        END IF;
        IF OLD.flfirmato = 1 OR (OLD.flbloccato = 1 AND NEW.flbloccato = 1) THEN
            cambiate := vt_colonne_cambiate(to_jsonb(OLD), to_jsonb(NEW),
                ARRAY['flfirmato', 'flbloccato', 'dtblocco', 'txutenteblocco', 'dtsblocco',
                      'txutentesblocco', 'dtscadenza', 'dtcanc', 'txutentecanc', 'txnomefolder',
                      'txnomefilepdf', 'txurlfilepdf']);
            IF cardinality(cambiate) > 0 THEN
                RAISE EXCEPTION '% (%)', CASE WHEN OLD.flfirmato = 1
                    THEN 'L''ordine è firmato dal cliente: non è possibile modificarlo.'
                    ELSE 'L''ordine è bloccato: non è possibile modificarlo.' END,
                    array_to_string(cambiate, ', ') USING ERRCODE = '55000';
            END IF;
        END IF;
    END IF;
    RETURN NEW;
END $$;
CREATE OR REPLACE TRIGGER trg_ordini_controlli BEFORE UPDATE ON ordini
    FOR EACH ROW EXECUTE FUNCTION vtt_ordini();

-- Lines: amounts, the price list of the line's own product, owner and product fixed; the lines
-- of a blocked or signed document keep their content (print options may change).
CREATE OR REPLACE FUNCTION vtt_preventivo_dettaglio() RETURNS trigger
LANGUAGE plpgsql SECURITY DEFINER SET search_path = public, pg_temp AS $$
DECLARE
    riga preventivo_dettaglio := CASE WHEN TG_OP = 'DELETE' THEN OLD ELSE NEW END;
    fermo text;
    cambiate text[];
    prodotto varchar;
BEGIN
    fermo := vt_documento_fermo(coalesce(riga.idpreventivo, riga.idordine));
    IF fermo IS NOT NULL THEN
        IF TG_OP = 'UPDATE' THEN
            cambiate := vt_colonne_cambiate(to_jsonb(OLD), to_jsonb(NEW),
                                            ARRAY['flnewpagebefore', 'flpartecompunita']);
        END IF;
        IF TG_OP <> 'UPDATE' OR cardinality(cambiate) > 0 THEN
            RAISE EXCEPTION '% Le sue righe non possono cambiare.', fermo USING ERRCODE = '55000';
        END IF;
    END IF;
    IF TG_OP = 'DELETE' THEN
        RETURN OLD;
    END IF;
    IF TG_OP = 'UPDATE' AND (NEW.idpreventivo IS DISTINCT FROM OLD.idpreventivo
                             OR NEW.idordine IS DISTINCT FROM OLD.idordine) THEN
        RAISE EXCEPTION 'Una riga non può passare a un altro preventivo o ordine.' USING ERRCODE = '23514';
    END IF;
    IF TG_OP = 'UPDATE' AND NEW.idprodotto IS DISTINCT FROM OLD.idprodotto THEN
        RAISE EXCEPTION 'Il prodotto di una riga non può essere cambiato.' USING ERRCODE = '23514';
    END IF;
    IF NEW.nuquantita IS NULL OR NEW.nuquantita <= 0 THEN
        RAISE EXCEPTION 'La quantità della riga deve essere maggiore di 0.' USING ERRCODE = '23514';
    END IF;
    IF NEW.vllistino < 0 THEN
        RAISE EXCEPTION 'Il prezzo di listino della riga non può essere negativo.' USING ERRCODE = '23514';
    END IF;
    IF NEW.vlimporto < 0 THEN
        RAISE EXCEPTION 'L''importo della riga non può essere negativo (uno sconto non può superare il 100%%).'
            USING ERRCODE = '23514';
    END IF;
    IF NEW.vlmaxsconto < 0 OR NEW.numaxpercsconto < 0 OR NEW.numaxpercsconto > 100 THEN
        RAISE EXCEPTION 'Sconto massimo della riga non valido.' USING ERRCODE = '23514';
    END IF;
    IF NEW.idprodlistino IS NOT NULL
       AND (TG_OP = 'INSERT' OR NEW.idprodlistino IS DISTINCT FROM OLD.idprodlistino) THEN
        SELECT l.idprodotto INTO prodotto FROM prod_listini l WHERE l.idprodlistino = NEW.idprodlistino;
        IF NOT FOUND THEN
            RAISE EXCEPTION 'Il listino indicato non esiste.' USING ERRCODE = '23503';
        END IF;
        IF prodotto <> NEW.idprodotto THEN
            RAISE EXCEPTION 'Il listino indicato appartiene a un altro prodotto: non può essere usato in questa riga.'
                USING ERRCODE = '23514';
        END IF;
        -- A deactivated list is no longer offered: a line cannot be given it (copies of
        -- lines, for a clone, a revision or an order, keep the list they had).
        IF TG_OP = 'UPDATE' AND EXISTS (SELECT 1 FROM prod_listini l
                    WHERE l.idprodlistino = NEW.idprodlistino AND l.dtcanc IS NOT NULL) THEN
            RAISE EXCEPTION 'Il listino indicato non è attivo: non può essere dato alla riga.'
                USING ERRCODE = '55000';
        END IF;
    END IF;
    RETURN NEW;
END $$;
CREATE OR REPLACE TRIGGER trg_preventivo_dettaglio_controlli
    BEFORE INSERT OR UPDATE OR DELETE ON preventivo_dettaglio
    FOR EACH ROW EXECUTE FUNCTION vtt_preventivo_dettaglio();

-- A line's copy of the product tree: quantities not negative; frozen with its document
-- (print options and the reference of a picture kept for the line may change).
CREATE OR REPLACE FUNCTION vtt_prevdet_nodi() RETURNS trigger
LANGUAGE plpgsql SECURITY DEFINER SET search_path = public, pg_temp AS $$
DECLARE
    nodo prevdet_nodi := CASE WHEN TG_OP = 'DELETE' THEN OLD ELSE NEW END;
    fermo text;
    cambiate text[];
BEGIN
    IF TG_OP <> 'DELETE' AND NEW.nuquantita < 0 THEN
        RAISE EXCEPTION 'La quantità del sottoparagrafo non può essere negativa.' USING ERRCODE = '23514';
    END IF;
    IF vt_manutenzione() THEN
        RETURN nodo;
    END IF;
    fermo := vt_documento_fermo((SELECT coalesce(d.idpreventivo, d.idordine)
                                   FROM preventivo_dettaglio d
                                  WHERE d.idpreventivodet = nodo.idpreventivodet));
    IF fermo IS NOT NULL THEN
        IF TG_OP = 'UPDATE' THEN
            -- idrigavalore is generated: a BEFORE trigger sees it null in NEW.
            cambiate := vt_colonne_cambiate(to_jsonb(OLD), to_jsonb(NEW),
                                            ARRAY['flunita', 'flnewpagebefore', 'idimage',
                                                  'idrigavalore']);
        END IF;
        IF TG_OP <> 'UPDATE' OR cardinality(cambiate) > 0 THEN
            RAISE EXCEPTION '% Le sue righe non possono cambiare.', fermo USING ERRCODE = '55000';
        END IF;
    END IF;
    RETURN nodo;
END $$;
CREATE OR REPLACE TRIGGER trg_prevdet_nodi_controlli BEFORE INSERT OR UPDATE OR DELETE ON prevdet_nodi
    FOR EACH ROW EXECUTE FUNCTION vtt_prevdet_nodi();

-- The summary of a signed or blocked order cannot change.
CREATE OR REPLACE FUNCTION vtt_ordine_sommario() RETURNS trigger
LANGUAGE plpgsql SECURITY DEFINER SET search_path = public, pg_temp AS $$
DECLARE
    fermo text := vt_documento_fermo(CASE WHEN TG_OP = 'DELETE' THEN OLD.idordine ELSE NEW.idordine END);
BEGIN
    IF fermo IS NOT NULL THEN
        RAISE EXCEPTION '% Il suo sommario non può cambiare.', fermo USING ERRCODE = '55000';
    END IF;
    RETURN CASE WHEN TG_OP = 'DELETE' THEN OLD ELSE NEW END;
END $$;
CREATE OR REPLACE TRIGGER trg_ordine_sommario_controlli
    BEFORE INSERT OR UPDATE OR DELETE ON ordine_sommario
    FOR EACH ROW EXECUTE FUNCTION vtt_ordine_sommario();
