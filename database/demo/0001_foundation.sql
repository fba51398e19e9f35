-- Demo data: two selling companies and their operators.
-- Passwords are written in the program's Base64 form; the trigger keeps only their hash.
--   ADMIN/gestore  administrator, first company      MROSSI/rossi  operator, first company
--   GBIANCHI/bianchi  "funzionario", no company    LVERDI/lverdi  first logon (password = code)
--   PNERI/neri  deactivated
--   MIRTOS/pelv83, ASSISTENZA/ventorel  developer quick log-on (no company)

INSERT INTO Societa (idSocieta, txDenominazione, txPartitaIVA, txCodFiscale, flEstero, txNazione,
                     txProvincia, txCap, txLocalita, txIndirizzo, txCodDestinatarioSDI,
                     txReferente, txTelefono, txSmartphone, txEmailCommerciale, txEmailPEC,
                     txRootFolder, txSocietaFolder, txPiedeReport, txUtenteIn, dtIn)
VALUES
    ('{6A1F0C3E-2B7D-4E59-9C41-0D8E5A7B1001}', 'Tecnoquadri Lombarda S.r.l.', '03124560961',
     '03124560961', 0, 'Italia', 'MI', '20151', 'Milano', 'Via Gallarate 118', 'M5UXCR1',
     'Paolo Ferrari', '02 3086 4410', '335 612 4470', 'commerciale@tecnoquadri.example.it',
     'tecnoquadri@pec.example.it', 'VENTOREL', 'TECNOQUADRI',
     'Tecnoquadri Lombarda S.r.l. - Via Gallarate 118, 20151 Milano - P.IVA 03124560961 - '
     || 'Tel. 02 3086 4410 - commerciale@tecnoquadri.example.it',
     'ADMIN', '2024-01-08 09:00:00'),
    ('{6A1F0C3E-2B7D-4E59-9C41-0D8E5A7B1002}', 'Elettrosistemi Adriatica S.p.A.', '01876540427',
     '01876540427', 0, 'Italia', 'AN', '60131', 'Ancona', 'Via Primo Maggio 42', 'KRRH6B9',
     'Giulia Marchetti', '071 289 5530', '347 905 2218', 'vendite@elettrosistemi.example.it',
     'elettrosistemi@pec.example.it', 'VENTOREL', 'ELETTROSISTEMI',
     'Elettrosistemi Adriatica S.p.A. - Via Primo Maggio 42, 60131 Ancona - '
     || 'P.IVA 01876540427 - Capitale sociale i.v. 500.000 euro',
     'ADMIN', '2024-01-08 09:05:00');

INSERT INTO Operatori (idOperatore, idSocieta, txOperatore, txPassword, txDescrizione,
                       txSmartphone, txEmail, flAdministrator, flFunzionario, txUtenteIn, dtIn)
VALUES
    ('{3C9E7A21-5D4B-4F18-8A62-7E1B0C2D2001}', '{6A1F0C3E-2B7D-4E59-9C41-0D8E5A7B1001}',
     'ADMIN', 'Z2VzdG9yZQ==', 'Amministratore di sistema', NULL, 'admin@tecnoquadri.example.it',
     1, 0, 'ADMIN', '2024-01-08 09:10:00'),
    ('{3C9E7A21-5D4B-4F18-8A62-7E1B0C2D2002}', '{6A1F0C3E-2B7D-4E59-9C41-0D8E5A7B1001}',
     'MROSSI', 'cm9zc2k=', 'Mario Rossi', '338 114 7702', 'm.rossi@tecnoquadri.example.it',
     0, 0, 'ADMIN', '2024-01-08 09:12:00'),
    ('{3C9E7A21-5D4B-4F18-8A62-7E1B0C2D2003}', NULL,
     'GBIANCHI', 'YmlhbmNoaQ==', 'Giorgio Bianchi', '349 220 8815', 'g.bianchi@example.it',
     0, 1, 'ADMIN', '2024-01-08 09:14:00'),
    ('{3C9E7A21-5D4B-4F18-8A62-7E1B0C2D2004}', '{6A1F0C3E-2B7D-4E59-9C41-0D8E5A7B1002}',
     'LVERDI', 'bHZlcmRp', 'Laura Verdi', '333 470 1196', 'l.verdi@elettrosistemi.example.it',
     0, 0, 'ADMIN', '2024-01-08 09:16:00'),
    ('{3C9E7A21-5D4B-4F18-8A62-7E1B0C2D2005}', '{6A1F0C3E-2B7D-4E59-9C41-0D8E5A7B1001}',
     'PNERI', 'bmVyaQ==', 'Piero Neri', NULL, 'p.neri@tecnoquadri.example.it',
     0, 0, 'ADMIN', '2024-01-08 09:18:00'),
    -- The accounts of the developer quick log-on: on the development and main catalogs, and
    -- the shared one of the customer catalogs.
    ('{3C9E7A21-5D4B-4F18-8A62-7E1B0C2D2006}', NULL,
     'MIRTOS', 'cGVsdjgz', 'Sviluppo Ventorel', NULL, NULL,
     1, 0, 'ADMIN', '2024-01-08 09:20:00'),
    ('{3C9E7A21-5D4B-4F18-8A62-7E1B0C2D2007}', NULL,
     'ASSISTENZA', 'dmVudG9yZWw=', 'Assistenza Ventorel', NULL, NULL,
     0, 0, 'ADMIN', '2024-01-08 09:22:00');

UPDATE Operatori SET dtCanc = '2024-06-28 18:00:00', txUtenteCanc = 'ADMIN'
 WHERE txOperatore = 'PNERI';
