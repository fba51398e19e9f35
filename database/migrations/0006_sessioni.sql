-- Operator sessions on the server and the count of wrong passwords at log-on.
--
-- A log-on opens a session bound to the database connection: the connection carries the
-- session's secret (the setting ventorel.sessione), the table keeps only its SHA-256 digest.
-- The functions and the rules of the tables ask the session who is working (user name,
-- administrator, company) instead of trusting their arguments.

CREATE TABLE sessioni (
    idsessione       varchar(38) PRIMARY KEY,
    txtoken          bytea NOT NULL UNIQUE,
    idoperatore      varchar(38) NOT NULL REFERENCES operatori (idoperatore) ON DELETE CASCADE,
    -- First log-on (the password is still the user name): only the password change is allowed.
    flcambiopassword smallint NOT NULL DEFAULT 0 CHECK (flcambiopassword IN (0, 1)),
    dtin             timestamp NOT NULL,
    dtultimo         timestamp NOT NULL, -- last time a connection was bound to it
    dtfine           timestamp           -- ended by a new log-on, a log-off or a password reset
);
CREATE INDEX sessioni_operatore ON sessioni (idoperatore) WHERE dtfine IS NULL;

-- After 5 wrong passwords in a row the operator is refused until dtBloccoLogon.
ALTER TABLE operatori ADD COLUMN nutentativierrati integer NOT NULL DEFAULT 0,
                      ADD COLUMN dtbloccologon timestamp;

-- The line values edited through their view carry the row version of the line copy, so that
-- a save can check that nobody changed the row since it was read.
CREATE OR REPLACE VIEW prevdet_scheda_valori AS
SELECT idpreventivodet || idnodo AS idrigavalore, idpreventivodet, idnodo AS idvocescheda, idparent AS idschedaprodotto,
       txdescnodo AS txdescvocescheda, txdescnodob AS txvalorevocescheda, nuorderd AS nuordinevocescheda,
       txutentemod, dtmod, xmin
  FROM prevdet_nodi
 WHERE nutipologia = 20;
