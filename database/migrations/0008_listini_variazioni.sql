-- Price lists: what their changes must bring to the open quotes that use them, and the key of
-- their data-sheet values.
--
-- A change of a price list reaches the lines of open quotes only where a line still shows what
-- the list gave it: a value the operator set on the line itself stays. To tell the two apart,
-- the first value a list had before a change not yet passed on is kept here (by the triggers
-- of functions/50_listini.sql) until the propagation (RefreshProdListino,
-- RefreshProdListSchedaVoci, UpdateListinoParte) has used it.

CREATE TABLE prod_listini_variazioni (
    idprodlistino varchar(38) NOT NULL REFERENCES prod_listini (idprodlistino) ON DELETE CASCADE,
    -- 'LISTINO' the price data of the list, 'PARTE' a sub-paragraph's quantity and
    -- description, 'VOCE' a data-sheet item's value.
    txtipo        varchar(10) NOT NULL CHECK (txtipo IN ('LISTINO', 'PARTE', 'VOCE')),
    idelemento    varchar(38) NOT NULL, -- '' for the price data, else the sub-paragraph or item
    jsprima       jsonb NOT NULL,       -- what the lines had from the list before the change
    dtin          timestamp NOT NULL DEFAULT localtimestamp,
    PRIMARY KEY (idprodlistino, txtipo, idelemento)
);

-- The one-column key by which the program writes a list's values, row by row.
CREATE UNIQUE INDEX prod_list_scheda_valori_chiave ON prod_list_scheda_valori (idlistinovalore);
