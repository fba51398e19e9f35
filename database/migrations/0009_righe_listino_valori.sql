-- Quote lines: which price list a line's own tree copy was last given, and a stored key for
-- the line's data-sheet values.
--
-- The price panel posts the line's new price list before UpdateChangeOfListino runs, so the
-- line row alone cannot tell whether the list changed. idlistinoapplicato keeps the list whose
-- quantities, descriptions and values the copy received (null: none); only the functions write
-- it.
ALTER TABLE preventivo_dettaglio ADD COLUMN idlistinoapplicato varchar(38)
    REFERENCES prod_listini (idprodlistino) ON DELETE SET NULL;

-- The lines stored so far were given the list they carry. The rules of the lines (frozen
-- documents) are not the concern of this fill.
ALTER TABLE preventivo_dettaglio DISABLE TRIGGER USER;
UPDATE preventivo_dettaglio SET idlistinoapplicato = idprodlistino WHERE idprodlistino IS NOT NULL;
ALTER TABLE preventivo_dettaglio ENABLE TRIGGER USER;

-- The one-column key by which the program writes a line's data-sheet values row by row: stored
-- and indexed, so that every value written finds its row at once.
ALTER TABLE prevdet_nodi ADD COLUMN idrigavalore text
    GENERATED ALWAYS AS (idpreventivodet::text || idnodo::text) STORED;
CREATE UNIQUE INDEX prevdet_nodi_rigavalore ON prevdet_nodi (idrigavalore);

CREATE OR REPLACE VIEW prevdet_scheda_valori AS
SELECT idrigavalore, idpreventivodet, idnodo AS idvocescheda, idparent AS idschedaprodotto,
       txdescnodo AS txdescvocescheda, txdescnodob AS txvalorevocescheda, nuorderd AS nuordinevocescheda,
       txutentemod, dtmod, xmin
  FROM prevdet_nodi
 WHERE nutipologia = 20;
