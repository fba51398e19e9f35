-- A new catalog without demo data: its first administrator. His password is his user name
-- ("admin", in the program's Base64 form), so his first log-on makes him choose a new one;
-- until then his session may only change the password. He then creates the companies and
-- their operators.
INSERT INTO operatori (idoperatore, idsocieta, txoperatore, txpassword, txdescrizione,
                       fladministrator, flfunzionario, txutentein, dtin)
SELECT '{3C9E7A21-5D4B-4F18-8A62-7E1B0C2D0001}', NULL, 'ADMIN', 'YWRtaW4=',
       'Amministratore di sistema', 1, 0, 'ADMIN', localtimestamp
 WHERE NOT EXISTS (SELECT 1 FROM operatori);
