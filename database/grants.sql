-- Rights of the program's login (a member of ventorel_app): it runs the program's stored
-- functions and writes, through its editable records and direct statements, exactly the
-- columns its windows write. Re-applied after every migration; every right is revoked first,
-- so this file is the whole list. The rules in functions/90_regole.sql add the operator
-- session, the company of the rows and the states of quotes and orders on top of these
-- rights; database/superuser.sql removes what every role may do by default.
--
-- A new editable record (a window that writes a table itself) needs here: SELECT on the
-- table's key and on xmin (the record reads the row version and saves only over the version
-- it read), INSERT on the columns it stores in a new row, UPDATE on the columns it changes
-- and on txUtenteMod/dtMod when it stamps them, DELETE only when it deletes rows; and the
-- table in the lists of 90_regole.sql (writes of the login, row-level security).

-- Functions: nobody but ventorel_app, and not the internal vt_ ones nor trigger functions,
-- except the few helpers that the rules of the tables call with the login's rights.
ALTER DEFAULT PRIVILEGES FOR ROLE ventorel_owner
    REVOKE EXECUTE ON FUNCTIONS FROM PUBLIC;
DO $$
DECLARE
    f regprocedure;
    internal boolean;
BEGIN
    FOR f, internal IN
        SELECT p.oid::regprocedure,
               (p.proname LIKE 'vt\_%' OR p.prorettype = 'trigger'::regtype)
               AND p.proname NOT IN ('vt_sessione_utente', 'vt_sessione_tutte_societa',
                                     'vt_sessione_societa', 'vt_sessione_scrive_societa',
                                     'vt_sessione_e_amministratore_o_rifiuta',
                                     'vt_societa_documento', 'vt_societa_riga',
                                     'vt_scrittura_diretta')
          FROM pg_proc p
         WHERE p.pronamespace = 'public'::regnamespace
           AND p.proowner = 'ventorel_owner'::regrole
    LOOP
        EXECUTE format('REVOKE ALL ON FUNCTION %s FROM PUBLIC, ventorel_app', f);
        IF NOT internal THEN
            EXECUTE format('GRANT EXECUTE ON FUNCTION %s TO ventorel_app', f);
        END IF;
    END LOOP;
END;
$$;

-- Tables: start from nothing.
REVOKE ALL ON ALL TABLES IN SCHEMA public FROM PUBLIC, ventorel_app;
REVOKE ALL ON ALL SEQUENCES IN SCHEMA public FROM PUBLIC, ventorel_app;

-- Companies (administrators, rule of the table): "SELECT * FROM Societa WHERE idSocieta = ..."
-- of the layout, and the DatiSocieta record (registry panel, print panel).
GRANT SELECT ON societa TO ventorel_app;
GRANT INSERT (idsocieta, txdenominazione, txpartitaiva, txcodfiscale, flestero, txnazione,
              txprovincia, txcap, txlocalita, txindirizzo, txcoddestinatariosdi, txrifammsdi,
              txreferente, txtelefono, txsmartphone, txfax, txemailcommerciale, txemailpec, txnote,
              txrootfolder, txsocietafolder, txpiedereport, imglogo, txutentein, dtin)
    ON societa TO ventorel_app;
GRANT UPDATE (txdenominazione, txpartitaiva, txcodfiscale, flestero, txnazione, txprovincia,
              txcap, txlocalita, txindirizzo, txcoddestinatariosdi, txrifammsdi, txreferente,
              txtelefono, txsmartphone, txfax, txemailcommerciale, txemailpec, txnote,
              txrootfolder, txsocietafolder, txpiedereport, imglogo, txutentemod, dtmod)
    ON societa TO ventorel_app;

-- Operators (administrators): the DatiOperatore record. The password is never readable nor
-- changeable by the program; a new operator gets its first password (hashed by the trigger)
-- on insert. Administrator rights and cloud credentials are not the program's to write.
GRANT SELECT (idoperatore, idsocieta, txoperatore, txdescrizione, txsmartphone, txemail, txnote,
              flfunzionario, dtin, dtmod, dtcanc, xmin)
    ON operatori TO ventorel_app;
GRANT INSERT (idoperatore, idsocieta, txoperatore, txpassword, txdescrizione, flfunzionario,
              txsmartphone, txemail, txnote)
    ON operatori TO ventorel_app;
GRANT UPDATE (txdescrizione, flfunzionario, txsmartphone, txemail, txnote)
    ON operatori TO ventorel_app;

-- Customers: DatiCliente. The code is given by SetNewCodCliente, deactivation by
-- ChangeStatoCliente, the company is fixed at creation.
GRANT SELECT (idcliente, xmin) ON clienti TO ventorel_app;
GRANT INSERT (idcliente, idsocieta, txpartitaiva, txcodfiscale, txdenominazione, flestero,
              txnazione, txprovincia, txcap, txlocalita, txindirizzo, txcoddestinatariosdi,
              txrifammsdi, txreferente, txtelefono, txsmartphone, txfax, txemailcommerciale,
              txemailpec, txnote, txutentein, dtin)
    ON clienti TO ventorel_app;
GRANT UPDATE (txpartitaiva, txcodfiscale, txdenominazione, flestero, txnazione, txprovincia,
              txcap, txlocalita, txindirizzo, txcoddestinatariosdi, txrifammsdi, txreferente,
              txtelefono, txsmartphone, txfax, txemailcommerciale, txemailpec, txnote,
              txutentemod, dtmod)
    ON clienti TO ventorel_app;

-- Products: DatiProdotto and the covers (DatiImagesProdotto, DatiImagesProdottoPreview).
-- Read whole for the image repairs.
GRANT SELECT (idprodotto, idfornitore, nuanno, xmin) ON prodotti TO ventorel_app;
GRANT INSERT (idprodotto, idimage, txcodprodotto, idfornitore, nuanno, txdescprodotto,
              flprodottoattivo, flaccessorio, fldocumentazione, txutentein, dtin)
    ON prodotti TO ventorel_app;
GRANT UPDATE (txcodprodotto, idfornitore, nuanno, txdescprodotto, flprodottoattivo, flaccessorio,
              fldocumentazione, txutentemod, dtmod)
    ON prodotti TO ventorel_app;
GRANT SELECT, INSERT (idimage, imgimage), UPDATE (imgimage) ON images_prodotti TO ventorel_app;
GRANT SELECT, INSERT (idimage, imgpreview), UPDATE (imgpreview)
    ON images_prodotti_preview TO ventorel_app;

-- The product tree: DatiNodo of each kind, the node images (DatiImagesDettaglio,
-- DatiImagesDettaglioPreview) and the rich-text repair "select * from Prod_Comp_Parte_Txt".
-- Positions are set at creation; afterwards they change only through the tree functions
-- (items of data sheets and tables are renumbered by their grid, which writes them).
GRANT SELECT (idschedaprodotto, idprodotto, xmin) ON prod_schede TO ventorel_app;
GRANT INSERT (idschedaprodotto, idprodotto, nuordinenelprodotto, txdescschedaprodotto,
              flschedaprodottoattiva, flschedaprodottounita, txutentein, dtin)
    ON prod_schede TO ventorel_app;
GRANT UPDATE (txdescschedaprodotto, flschedaprodottoattiva, flschedaprodottounita, txutentemod, dtmod)
    ON prod_schede TO ventorel_app;

GRANT SELECT (idvocescheda, idschedaprodotto, xmin) ON prod_scheda_voci TO ventorel_app;
GRANT INSERT (idvocescheda, idschedaprodotto, nuordinevocescheda, txdescvocescheda,
              flvoceschedaattiva, txutentein, dtin)
    ON prod_scheda_voci TO ventorel_app;
GRANT UPDATE (nuordinevocescheda, txdescvocescheda, flvoceschedaattiva, txutentemod, dtmod)
    ON prod_scheda_voci TO ventorel_app;
GRANT DELETE ON prod_scheda_voci TO ventorel_app;

GRANT SELECT (idcompprodotto, idprodotto, xmin) ON prod_componenti TO ventorel_app;
GRANT INSERT (idcompprodotto, idprodotto, nuordinenelprodotto, txdesccompprodotto,
              flcompprodottoriepilogo, flnewpagebefore, flcompprodottoattivo, txutentein, dtin)
    ON prod_componenti TO ventorel_app;
GRANT UPDATE (txdesccompprodotto, flcompprodottoriepilogo, flnewpagebefore, flcompprodottoattivo,
              txutentemod, dtmod)
    ON prod_componenti TO ventorel_app;

GRANT SELECT (idpartecomp, idcompprodotto, xmin) ON prod_comp_parti TO ventorel_app;
GRANT INSERT (idpartecomp, idcompprodotto, nuordinepartecomp, txdescpartecomp, nuquantitaparte,
              flpartecompimportante, flpartecompattiva, flpartecompunita, txutentein, dtin)
    ON prod_comp_parti TO ventorel_app;
GRANT UPDATE (txdescpartecomp, nuquantitaparte, flpartecompimportante, flpartecompattiva,
              flpartecompunita, txutentemod, dtmod)
    ON prod_comp_parti TO ventorel_app;

GRANT SELECT ON prod_comp_parte_txt TO ventorel_app;
GRANT INSERT (idtxtparte, idpartecomp, nuordineparte, txdesctxtpartertf, txdesctxtparte,
              fltestoinelenco, fltxtparteattiva, txutentein, dtin)
    ON prod_comp_parte_txt TO ventorel_app;
GRANT UPDATE (txdesctxtpartertf, txdesctxtparte, fltestoinelenco, fltxtparteattiva, txutentemod, dtmod)
    ON prod_comp_parte_txt TO ventorel_app;

GRANT SELECT (idimgparte, idimage, idpartecomp, xmin) ON prod_comp_parte_img TO ventorel_app;
GRANT INSERT (idimgparte, idimage, idpartecomp, nuordineparte, txdescimgparte, flimgparteattiva,
              txutentein, dtin)
    ON prod_comp_parte_img TO ventorel_app;
GRANT UPDATE (txdescimgparte, flimgparteattiva, txutentemod, dtmod)
    ON prod_comp_parte_img TO ventorel_app;

GRANT SELECT (idurlparte, idpartecomp, xmin) ON prod_comp_parte_url TO ventorel_app;
GRANT INSERT (idurlparte, idpartecomp, nuordineparte, txdescurlparte, txurlparte,
              flurlparteattiva, txutentein, dtin)
    ON prod_comp_parte_url TO ventorel_app;
GRANT UPDATE (txdescurlparte, txurlparte, flurlparteattiva, txutentemod, dtmod)
    ON prod_comp_parte_url TO ventorel_app;

GRANT SELECT (idtabparte, idpartecomp, xmin) ON prod_comp_parte_tab TO ventorel_app;
GRANT INSERT (idtabparte, idpartecomp, nuordineparte, txdesctabparte, txdesccolvoce,
              txdesccolvalore, fltabparteattiva, txutentein, dtin)
    ON prod_comp_parte_tab TO ventorel_app;
GRANT UPDATE (txdesctabparte, txdesccolvoce, txdesccolvalore, fltabparteattiva, txutentemod, dtmod)
    ON prod_comp_parte_tab TO ventorel_app;

GRANT SELECT (idtabvoce, idtabparte, xmin) ON prod_comp_parte_tab_voci TO ventorel_app;
GRANT INSERT (idtabvoce, idtabparte, nuordinevocetab, txdesccolvoce, txdesccolvalore,
              flvocetabattiva, txutentein, dtin)
    ON prod_comp_parte_tab_voci TO ventorel_app;
GRANT UPDATE (nuordinevocetab, txdesccolvoce, txdesccolvalore, flvocetabattiva, txutentemod, dtmod)
    ON prod_comp_parte_tab_voci TO ventorel_app;
GRANT DELETE ON prod_comp_parte_tab_voci TO ventorel_app;

GRANT SELECT, INSERT (idimage, imgimage), UPDATE (imgimage) ON images_dettagli TO ventorel_app;
GRANT SELECT, INSERT (idimage, imgpreview), UPDATE (imgpreview)
    ON images_dettagli_preview TO ventorel_app;

-- Price lists: DatiListino and DatiListinoSchedeValori (values edited, added, deleted).
GRANT SELECT (idprodlistino, idprodotto, xmin) ON prod_listini TO ventorel_app;
GRANT INSERT (idprodlistino, idprodotto, txcodlistino, txdesclistino, vllistino, vlmaxsconto,
              numaxpercsconto, txutentein, dtin)
    ON prod_listini TO ventorel_app;
GRANT UPDATE (txcodlistino, txdesclistino, vllistino, vlmaxsconto, numaxpercsconto, txutentemod, dtmod)
    ON prod_listini TO ventorel_app;

GRANT SELECT (idprodlistino, idschedaprodotto, idvocescheda, idlistinovalore, xmin)
    ON prod_list_scheda_valori TO ventorel_app;
GRANT INSERT (idprodlistino, idschedaprodotto, idvocescheda, txvalorevocescheda, txutentein, dtin)
    ON prod_list_scheda_valori TO ventorel_app;
GRANT UPDATE (txvalorevocescheda, txutentemod, dtmod) ON prod_list_scheda_valori TO ventorel_app;
GRANT DELETE ON prod_list_scheda_valori TO ventorel_app;

-- Quotes: DatiPreventivo (the header; the folder data of the export windows). Numbers,
-- revision, date, blocking, deactivation and company change only through the functions.
GRANT SELECT (idpreventivo, xmin) ON preventivi TO ventorel_app;
GRANT INSERT (idpreventivo, idsocieta, idcliente, txdescoggetto, flscadenzafissa, dtscadenza,
              nuggscaddalblocco, txnotepreventivo, txutentein, dtin)
    ON preventivi TO ventorel_app;
GRANT UPDATE (idcliente, txdescoggetto, flscadenzafissa, dtscadenza, nuggscaddalblocco,
              txnotepreventivo, txnomefolder, txnomefilepdf, txurlfilepdf, txutentemod, dtmod)
    ON preventivi TO ventorel_app;

-- Quote and order lines: DatiPreventivoDet (kind, print, quantity, price panel). Lines are
-- added, moved and removed only through the functions.
GRANT SELECT (idpreventivodet, xmin) ON preventivo_dettaglio TO ventorel_app;
GRANT UPDATE (flaccessorio, flservizio, fldocinfondo, nuquantita, flprodottoattivo, idprodlistino,
              txcodlistino, txdesclistino, vllistino, numaxpercsconto, vlmaxsconto, vlimporto,
              txutentemod, dtmod)
    ON preventivo_dettaglio TO ventorel_app;

-- A line's data-sheet values: DatiPrevDetSchedaValori, through its view.
GRANT SELECT (idrigavalore, idpreventivodet, idvocescheda, xmin)
    ON prevdet_scheda_valori TO ventorel_app;
GRANT UPDATE (txvalorevocescheda, txutentemod, dtmod) ON prevdet_scheda_valori TO ventorel_app;

-- Orders: DatiOrdine (and the folder data of the order's cloud folder). Number, customer,
-- company, signature, blocking and deactivation are not the record's.
GRANT SELECT (idordine, xmin) ON ordini TO ventorel_app;
GRANT UPDATE (txdescordine, txriferimentidestinazione, txcodpagamento, flshowriferimentiprev,
              txnoteordine, txnomefolder, txnomefilepdf, txurlfilepdf, txutentemod, dtmod)
    ON ordini TO ventorel_app;
-- "DELETE Ordine_Sommario WHERE idOrdine = ..." and the DatiOrdineSommario inserts.
GRANT SELECT (idordine, nuordinetesto, xmin) ON ordine_sommario TO ventorel_app;
GRANT INSERT (idordine, nuordinetesto, txdesctesto, txtesto) ON ordine_sommario TO ventorel_app;
GRANT DELETE ON ordine_sommario TO ventorel_app;

-- The layout's sample picture (administrators): "SELECT * FROM Images_Layout WHERE
-- txDescImage = ..." and "SELECT * FROM Layout WHERE idLayout = ...".
GRANT SELECT, INSERT (idimage, txdescimage, imgimage), UPDATE (txdescimage, imgimage)
    ON images_layout TO ventorel_app;
GRANT SELECT, UPDATE (idimage) ON layout TO ventorel_app;
