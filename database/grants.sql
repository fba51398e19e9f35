-- Rights of the program's login (a member of ventorel_app): it runs the stored functions and
-- the few direct statements and editable records of the program, nothing else. Re-applied
-- after every migration; every right is revoked first, so this file is the whole list.

-- Functions: nobody but ventorel_app, and not the internal vt_ ones nor trigger functions.
ALTER DEFAULT PRIVILEGES FOR ROLE ventorel_owner
    REVOKE EXECUTE ON FUNCTIONS FROM PUBLIC;
DO $$
DECLARE
    f regprocedure;
    internal boolean;
BEGIN
    FOR f, internal IN
        SELECT p.oid::regprocedure,
               p.proname LIKE 'vt\_%' OR p.prorettype = 'trigger'::regtype
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

-- Companies: "SELECT * FROM Societa WHERE idSocieta = ..." and the DatiSocieta record.
GRANT SELECT, INSERT, UPDATE ON Societa TO ventorel_app;

-- Operators: the DatiOperatore record. The password is never readable nor changeable by the
-- program; a new operator gets its first password (hashed by the trigger) on insert.
GRANT SELECT (idOperatore, idSocieta, txOperatore, txDescrizione, txSmartphone, txEmail, txNote,
              flAdministrator, flFunzionario, dtIn, dtMod, dtCanc)
    ON Operatori TO ventorel_app;
GRANT INSERT (idOperatore, idSocieta, txOperatore, txPassword, txDescrizione, flFunzionario,
              txSmartphone, txEmail, txNote)
    ON Operatori TO ventorel_app;
GRANT UPDATE (txDescrizione, flFunzionario, txSmartphone, txEmail, txNote)
    ON Operatori TO ventorel_app;

-- ---------------------------------------------------------------------------------------------
-- Full schema: the editable records of the windows (explicit INSERT/UPDATE/DELETE of their base
-- tables; SELECT only on the key columns the writes look rows up by), the direct statements
-- S3-S8 and the image repairs S9-S11. Everything else goes through the functions.

GRANT SELECT (idCliente), INSERT, UPDATE ON Clienti TO ventorel_app;

GRANT SELECT (idProdotto, idFornitore, nuAnno), INSERT, UPDATE ON Prodotti TO ventorel_app;
GRANT SELECT, INSERT, UPDATE ON Images_Prodotti, Images_Prodotti_Preview TO ventorel_app;
GRANT SELECT, INSERT, UPDATE ON Images_Dettagli, Images_Dettagli_Preview TO ventorel_app;

GRANT SELECT (idSchedaProdotto, idProdotto), INSERT, UPDATE ON Prod_Schede TO ventorel_app;
GRANT SELECT (idVoceScheda, idSchedaProdotto), INSERT, UPDATE, DELETE
    ON Prod_Scheda_Voci TO ventorel_app;
GRANT SELECT (idCompProdotto, idProdotto), INSERT, UPDATE ON Prod_Componenti TO ventorel_app;
GRANT SELECT (idParteComp, idCompProdotto), INSERT, UPDATE ON Prod_Comp_Parti TO ventorel_app;
-- S8 "select * from Prod_Comp_Parte_Txt" (rich-text repair).
GRANT SELECT, INSERT, UPDATE ON Prod_Comp_Parte_Txt TO ventorel_app;
GRANT SELECT (idImgParte, idImage, idParteComp), INSERT, UPDATE
    ON Prod_Comp_Parte_Img TO ventorel_app;
GRANT SELECT (idUrlParte), INSERT, UPDATE ON Prod_Comp_Parte_Url TO ventorel_app;
GRANT SELECT (idTabParte), INSERT, UPDATE ON Prod_Comp_Parte_Tab TO ventorel_app;
GRANT SELECT (idTabVoce, idTabParte), INSERT, UPDATE, DELETE
    ON Prod_Comp_Parte_Tab_Voci TO ventorel_app;

GRANT SELECT (idProdListino), INSERT, UPDATE ON Prod_Listini TO ventorel_app;
GRANT SELECT (idProdListino, idVoceScheda, idListinoValore), INSERT, UPDATE, DELETE
    ON Prod_List_Scheda_Valori TO ventorel_app;

GRANT SELECT (idPreventivo), INSERT, UPDATE ON Preventivi TO ventorel_app;
GRANT SELECT (idPreventivoDet), UPDATE ON Preventivo_Dettaglio TO ventorel_app;
GRANT SELECT (idRigaValore, idPreventivoDet, idVoceScheda), UPDATE
    ON PrevDet_Scheda_Valori TO ventorel_app;

GRANT SELECT (idOrdine), UPDATE ON Ordini TO ventorel_app;
-- S3 "DELETE Ordine_Sommario WHERE idOrdine = ..." and the DatiOrdineSommario inserts.
GRANT SELECT (idOrdine, nuOrdineTesto), INSERT, DELETE ON Ordine_Sommario TO ventorel_app;

-- S5 and S6: the layout sample picture.
GRANT SELECT, INSERT, UPDATE ON Images_Layout TO ventorel_app;
GRANT SELECT, UPDATE (idImage) ON Layout TO ventorel_app;
