-- Foundation: selling companies, operators and the counters of numbered series.
--
-- Identifiers are the program's 38-character brace GUID texts; flags are smallint 0/1; dates
-- are timestamp without time zone (the client's local date-time, as the program writes it).

CREATE TABLE Societa (
    idSocieta varchar(38) PRIMARY KEY,
    txDenominazione varchar(200) NOT NULL,
    txPartitaIVA varchar(20),
    txCodFiscale varchar(20),
    flEstero smallint NOT NULL DEFAULT 0 CHECK (flEstero IN (0, 1)),
    txNazione varchar(100),
    txProvincia varchar(10),
    txCap varchar(10),
    txLocalita varchar(100),
    txIndirizzo varchar(200),
    txCodDestinatarioSDI varchar(10),
    txRifAmmSDI varchar(50),
    txReferente varchar(100),
    txTelefono varchar(50),
    txSmartphone varchar(50),
    txFax varchar(50),
    txEmailCommerciale varchar(200),
    txEmailPEC varchar(200),
    txNote text,
    -- Print data of the quotes and cloud folders of their exports.
    txRootFolder varchar(200),
    txSocietaFolder varchar(200),
    txPiedeReport text,
    imgLogo bytea,
    txUtenteIn varchar(50),
    dtIn timestamp,
    txUtenteMod varchar(50),
    dtMod timestamp,
    txUtenteCanc varchar(50),
    dtCanc timestamp
);

CREATE TABLE Operatori (
    idOperatore varchar(38) PRIMARY KEY,
    idSocieta varchar(38) REFERENCES Societa (idSocieta),
    txOperatore varchar(50) NOT NULL,
    -- A bcrypt hash, never the password itself (see vt_operatori_password).
    txPassword text NOT NULL,
    txDescrizione varchar(200),
    txSmartphone varchar(50),
    txEmail varchar(200),
    txNote text,
    flAdministrator smallint NOT NULL DEFAULT 0 CHECK (flAdministrator IN (0, 1)),
    flFunzionario smallint NOT NULL DEFAULT 0 CHECK (flFunzionario IN (0, 1)),
    txDBXClientKey varchar(200),
    txDBXClientSecret varchar(200),
    txDBXAccessToken text,
    flDBXAccessFolderOnline smallint NOT NULL DEFAULT 0 CHECK (flDBXAccessFolderOnline IN (0, 1)),
    flDBXAccessFolderLocal smallint NOT NULL DEFAULT 0 CHECK (flDBXAccessFolderLocal IN (0, 1)),
    txUtenteIn varchar(50),
    dtIn timestamp,
    txUtenteMod varchar(50),
    dtMod timestamp,
    txUtenteCanc varchar(50),
    dtCanc timestamp
);
-- Log-on is by code alone, without regard to case.
CREATE UNIQUE INDEX ux_operatori_txoperatore ON Operatori (upper(txOperatore));
CREATE INDEX ix_operatori_idsocieta ON Operatori (idSocieta);

-- One row per numbered series (customer codes of a company, quote numbers of a year...).
CREATE TABLE Contatori (
    txSerie varchar(100) PRIMARY KEY,
    nuUltimo bigint NOT NULL DEFAULT 0
);
