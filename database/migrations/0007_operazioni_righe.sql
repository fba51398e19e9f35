-- The latest operation on the lines of each quote: adding, changing, moving or removing a line
-- or a node of its tree is an operation on the quote ("Ultima operazione", "Ordina più
-- recenti"), and a removed line leaves nothing behind to date it. Kept by the triggers of
-- functions/65_operazioni_righe.sql, read by EstraiPreventivi; the program's login has no
-- right on it.
CREATE TABLE preventivi_operazioni_righe (
    idpreventivo       varchar(38) PRIMARY KEY REFERENCES preventivi (idpreventivo) ON DELETE CASCADE,
    dtoperazione       timestamp NOT NULL,
    txutenteoperazione varchar(50)
);

-- The lines already stored date their quotes.
INSERT INTO preventivi_operazioni_righe (idpreventivo, dtoperazione, txutenteoperazione)
SELECT DISTINCT ON (d.idpreventivo) d.idpreventivo, greatest(d.dtin, d.dtmod),
       CASE WHEN d.dtmod IS NOT NULL AND d.dtmod >= coalesce(d.dtin, d.dtmod) THEN d.txutentemod
            ELSE d.txutentein END
  FROM preventivo_dettaglio d
 WHERE d.idpreventivo IS NOT NULL AND greatest(d.dtin, d.dtmod) IS NOT NULL
 ORDER BY d.idpreventivo, greatest(d.dtin, d.dtmod) DESC;
