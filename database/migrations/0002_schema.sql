-- Full schema on top of the foundation (companies, operators, counters): lookups, customers,
-- suppliers and catalogues, products with their detail trees, price lists, linked products,
-- quotes with lines and each line's own copy of the product tree, layouts, orders.
--
-- Conventions: identifiers are 38-character brace GUID texts made by the program; flags are
-- smallint 0/1; dates are timestamp; audit columns txUtenteIn/dtIn, txUtenteMod/dtMod,
-- txUtenteCanc/dtCanc. Names are unquoted, so the catalog holds them in lower case.

CREATE EXTENSION IF NOT EXISTS pg_trgm;

ALTER DEFAULT PRIVILEGES REVOKE EXECUTE ON FUNCTIONS FROM PUBLIC;

-- Lookups ---------------------------------------------------------------------------------

CREATE TABLE province (
    txcodprovincia  varchar(2) PRIMARY KEY,
    txdescprovincia varchar(60) NOT NULL,
    txregione       varchar(60) NOT NULL
);

CREATE TABLE condizionipagamento (
    txcodpagamento     varchar(20) PRIMARY KEY,
    txdescrizpagamento varchar(200) NOT NULL,
    idsocieta          varchar(38) REFERENCES societa (idsocieta) ON DELETE CASCADE, -- null: every company
    dtcanc             timestamp
);
CREATE INDEX condizionipagamento_societa ON condizionipagamento (idsocieta);

-- Customers -------------------------------------------------------------------------------

CREATE TABLE clienti (
    idcliente            varchar(38) PRIMARY KEY,
    idsocieta            varchar(38) NOT NULL REFERENCES societa (idsocieta),
    txcodcliente         varchar(20),
    txdenominazione      varchar(200) NOT NULL,
    txpartitaiva         varchar(50),
    txcodfiscale         varchar(50),
    flestero             smallint NOT NULL DEFAULT 0 CHECK (flestero IN (0, 1)),
    txnazione            varchar(50),
    txprovincia          varchar(2) REFERENCES province (txcodprovincia),
    txcap                varchar(10),
    txlocalita           varchar(200),
    txindirizzo          varchar(200),
    txcoddestinatariosdi varchar(20),
    txrifammsdi          varchar(100),
    txreferente          varchar(200),
    txtelefono           varchar(50),
    txsmartphone         varchar(50),
    txfax                varchar(50),
    txemailcommerciale   varchar(200),
    txemailpec           varchar(200),
    txnote               varchar(2000),
    txutentein           varchar(50),
    dtin                 timestamp,
    txutentemod          varchar(50),
    dtmod                timestamp,
    txutentecanc         varchar(50),
    dtcanc               timestamp
);
CREATE UNIQUE INDEX clienti_codice ON clienti (idsocieta, txcodcliente) WHERE txcodcliente IS NOT NULL;
CREATE INDEX clienti_societa_nome ON clienti (idsocieta, txdenominazione);
CREATE INDEX clienti_nome_trgm ON clienti USING gin (txdenominazione gin_trgm_ops);
CREATE INDEX clienti_partitaiva ON clienti (txpartitaiva);
CREATE INDEX clienti_codfiscale ON clienti (txcodfiscale);

-- Suppliers and their catalogues by year ---------------------------------------------------

CREATE TABLE fornitori (
    idfornitore     varchar(38) PRIMARY KEY,
    txfornitore     varchar(100) NOT NULL,
    txdescfornitore varchar(200),
    fldefault       smallint NOT NULL DEFAULT 0 CHECK (fldefault IN (0, 1)),
    txutentein      varchar(50),
    dtin            timestamp,
    txutentemod     varchar(50),
    dtmod           timestamp,
    dtcanc          timestamp
);

-- One catalogue per supplier and year; flAttuale 1 = current catalogue, 0 = previous one.
CREATE TABLE fornitori_cataloghi (
    idcatalogo     varchar(38) PRIMARY KEY,
    idfornitore    varchar(38) NOT NULL REFERENCES fornitori (idfornitore) ON DELETE CASCADE,
    nuanno         integer NOT NULL,
    txdesccatalogo varchar(200),
    flattuale      smallint NOT NULL DEFAULT 1 CHECK (flattuale IN (0, 1)),
    UNIQUE (idfornitore, nuanno)
);

-- Products ----------------------------------------------------------------------------------

CREATE TABLE prodotti (
    idprodotto       varchar(38) PRIMARY KEY,
    idimage          varchar(38),
    txcodprodotto    varchar(100),
    idfornitore      varchar(38) REFERENCES fornitori (idfornitore),
    nuanno           integer,
    txdescprodotto   varchar(200) NOT NULL,
    flprodottoattivo smallint NOT NULL DEFAULT 1 CHECK (flprodottoattivo IN (0, 1)),
    flaccessorio     smallint NOT NULL DEFAULT 0 CHECK (flaccessorio IN (0, 1)),
    fldocumentazione smallint NOT NULL DEFAULT 0 CHECK (fldocumentazione IN (0, 1)),
    txutentein       varchar(50),
    dtin             timestamp,
    txutentemod      varchar(50),
    dtmod            timestamp,
    FOREIGN KEY (idfornitore, nuanno) REFERENCES fornitori_cataloghi (idfornitore, nuanno)
);
CREATE INDEX prodotti_catalogo ON prodotti (idfornitore, nuanno);
CREATE INDEX prodotti_codice ON prodotti (upper(txcodprodotto));
CREATE INDEX prodotti_desc_trgm ON prodotti USING gin (txdescprodotto gin_trgm_ops);

-- Cover image and its scaled copy, sharing idImage = idProdotto. The product may be posted
-- after its image rows inside one transaction, so the keys are checked at commit.
CREATE TABLE images_prodotti (
    idimage  varchar(38) PRIMARY KEY
             REFERENCES prodotti (idprodotto) ON DELETE CASCADE DEFERRABLE INITIALLY DEFERRED,
    imgimage bytea
);
CREATE TABLE images_prodotti_preview (
    idimage    varchar(38) PRIMARY KEY
               REFERENCES prodotti (idprodotto) ON DELETE CASCADE DEFERRABLE INITIALLY DEFERRED,
    imgpreview bytea
);

-- Detail tree of a product. Data sheets and paragraphs share one top-level sequence
-- (nuOrdineNelProdotto); the contents of a sub-paragraph (texts, images, web links, tables)
-- share one sequence (nuOrdineParte). Positions are kept 1..n without gaps by the functions.

CREATE TABLE prod_schede (
    idschedaprodotto       varchar(38) PRIMARY KEY,
    idprodotto             varchar(38) NOT NULL REFERENCES prodotti (idprodotto) ON DELETE CASCADE,
    nuordinenelprodotto    integer NOT NULL DEFAULT 0,
    txdescschedaprodotto   varchar(200),
    flschedaprodottoattiva smallint NOT NULL DEFAULT 1 CHECK (flschedaprodottoattiva IN (0, 1)),
    flschedaprodottounita  smallint NOT NULL DEFAULT 0 CHECK (flschedaprodottounita IN (0, 1)),
    txutentein             varchar(50),
    dtin                   timestamp,
    txutentemod            varchar(50),
    dtmod                  timestamp
);
CREATE INDEX prod_schede_prodotto ON prod_schede (idprodotto, nuordinenelprodotto);

CREATE TABLE prod_scheda_voci (
    idvocescheda       varchar(38) PRIMARY KEY,
    idschedaprodotto   varchar(38) NOT NULL
                       REFERENCES prod_schede (idschedaprodotto) ON DELETE CASCADE,
    nuordinevocescheda integer NOT NULL DEFAULT 0,
    txdescvocescheda   varchar(1000),
    flvoceschedaattiva smallint NOT NULL DEFAULT 1 CHECK (flvoceschedaattiva IN (0, 1)),
    txutentein         varchar(50),
    dtin               timestamp,
    txutentemod        varchar(50),
    dtmod              timestamp
);
CREATE INDEX prod_scheda_voci_scheda ON prod_scheda_voci (idschedaprodotto, nuordinevocescheda);

CREATE TABLE prod_componenti (
    idcompprodotto          varchar(38) PRIMARY KEY,
    idprodotto              varchar(38) NOT NULL REFERENCES prodotti (idprodotto) ON DELETE CASCADE,
    nuordinenelprodotto     integer NOT NULL DEFAULT 0,
    txdesccompprodotto      varchar(200),
    flcompprodottoriepilogo smallint NOT NULL DEFAULT 0 CHECK (flcompprodottoriepilogo IN (0, 1)),
    flnewpagebefore         smallint NOT NULL DEFAULT 0 CHECK (flnewpagebefore IN (0, 1)),
    flcompprodottoattivo    smallint NOT NULL DEFAULT 1 CHECK (flcompprodottoattivo IN (0, 1)),
    txutentein              varchar(50),
    dtin                    timestamp,
    txutentemod             varchar(50),
    dtmod                   timestamp
);
CREATE INDEX prod_componenti_prodotto ON prod_componenti (idprodotto, nuordinenelprodotto);

CREATE TABLE prod_comp_parti (
    idpartecomp           varchar(38) PRIMARY KEY,
    idcompprodotto        varchar(38) NOT NULL
                          REFERENCES prod_componenti (idcompprodotto) ON DELETE CASCADE,
    nuordinepartecomp     integer NOT NULL DEFAULT 0,
    txdescpartecomp       varchar(200),
    nuquantitaparte       integer,
    flpartecompimportante smallint NOT NULL DEFAULT 0 CHECK (flpartecompimportante IN (0, 1)),
    flpartecompattiva     smallint NOT NULL DEFAULT 1 CHECK (flpartecompattiva IN (0, 1)),
    flpartecompunita      smallint NOT NULL DEFAULT 0 CHECK (flpartecompunita IN (0, 1)),
    txutentein            varchar(50),
    dtin                  timestamp,
    txutentemod           varchar(50),
    dtmod                 timestamp
);
CREATE INDEX prod_comp_parti_comp ON prod_comp_parti (idcompprodotto, nuordinepartecomp);

CREATE TABLE prod_comp_parte_txt (
    idtxtparte        varchar(38) PRIMARY KEY,
    idpartecomp       varchar(38) NOT NULL REFERENCES prod_comp_parti (idpartecomp) ON DELETE CASCADE,
    nuordineparte     integer NOT NULL DEFAULT 0,
    txdesctxtpartertf text,
    txdesctxtparte    text,
    fltestoinelenco   smallint NOT NULL DEFAULT 0 CHECK (fltestoinelenco IN (0, 1)),
    fltxtparteattiva  smallint NOT NULL DEFAULT 1 CHECK (fltxtparteattiva IN (0, 1)),
    txutentein        varchar(50),
    dtin              timestamp,
    txutentemod       varchar(50),
    dtmod             timestamp
);
CREATE INDEX prod_comp_parte_txt_parte ON prod_comp_parte_txt (idpartecomp, nuordineparte);

CREATE TABLE prod_comp_parte_img (
    idimgparte       varchar(38) PRIMARY KEY,
    idimage          varchar(38),
    idpartecomp      varchar(38) NOT NULL REFERENCES prod_comp_parti (idpartecomp) ON DELETE CASCADE,
    nuordineparte    integer NOT NULL DEFAULT 0,
    txdescimgparte   varchar(200),
    flimgparteattiva smallint NOT NULL DEFAULT 1 CHECK (flimgparteattiva IN (0, 1)),
    txutentein       varchar(50),
    dtin             timestamp,
    txutentemod      varchar(50),
    dtmod            timestamp
);
CREATE INDEX prod_comp_parte_img_parte ON prod_comp_parte_img (idpartecomp, nuordineparte);

CREATE TABLE prod_comp_parte_url (
    idurlparte       varchar(38) PRIMARY KEY,
    idpartecomp      varchar(38) NOT NULL REFERENCES prod_comp_parti (idpartecomp) ON DELETE CASCADE,
    nuordineparte    integer NOT NULL DEFAULT 0,
    txdescurlparte   varchar(200),
    txurlparte       varchar(200),
    flurlparteattiva smallint NOT NULL DEFAULT 1 CHECK (flurlparteattiva IN (0, 1)),
    txutentein       varchar(50),
    dtin             timestamp,
    txutentemod      varchar(50),
    dtmod            timestamp
);
CREATE INDEX prod_comp_parte_url_parte ON prod_comp_parte_url (idpartecomp, nuordineparte);

CREATE TABLE prod_comp_parte_tab (
    idtabparte       varchar(38) PRIMARY KEY,
    idpartecomp      varchar(38) NOT NULL REFERENCES prod_comp_parti (idpartecomp) ON DELETE CASCADE,
    nuordineparte    integer NOT NULL DEFAULT 0,
    txdesctabparte   varchar(200),
    txdesccolvoce    varchar(200),
    txdesccolvalore  varchar(200),
    fltabparteattiva smallint NOT NULL DEFAULT 1 CHECK (fltabparteattiva IN (0, 1)),
    txutentein       varchar(50),
    dtin             timestamp,
    txutentemod      varchar(50),
    dtmod            timestamp
);
CREATE INDEX prod_comp_parte_tab_parte ON prod_comp_parte_tab (idpartecomp, nuordineparte);

CREATE TABLE prod_comp_parte_tab_voci (
    idtabvoce       varchar(38) PRIMARY KEY,
    idtabparte      varchar(38) NOT NULL REFERENCES prod_comp_parte_tab (idtabparte) ON DELETE CASCADE,
    nuordinevocetab integer NOT NULL DEFAULT 0,
    txdesccolvoce   varchar(1000),
    txdesccolvalore varchar(1000),
    flvocetabattiva smallint NOT NULL DEFAULT 1 CHECK (flvocetabattiva IN (0, 1)),
    txutentein      varchar(50),
    dtin            timestamp,
    txutentemod     varchar(50),
    dtmod           timestamp
);
CREATE INDEX prod_comp_parte_tab_voci_tab ON prod_comp_parte_tab_voci (idtabparte, nuordinevocetab);

-- Node images and their scaled copies (idImage = idImgParte). They carry no key to the node:
-- quote lines keep referring to an image after the catalogue node is gone.
CREATE TABLE images_dettagli (
    idimage  varchar(38) PRIMARY KEY,
    imgimage bytea
);
CREATE TABLE images_dettagli_preview (
    idimage    varchar(38) PRIMARY KEY,
    imgpreview bytea
);

-- Price lists -------------------------------------------------------------------------------

CREATE TABLE prod_listini (
    idprodlistino   varchar(38) PRIMARY KEY,
    idprodotto      varchar(38) NOT NULL REFERENCES prodotti (idprodotto) ON DELETE CASCADE,
    txcodlistino    varchar(50),
    txdesclistino   varchar(200),
    vllistino       numeric(15, 2) NOT NULL DEFAULT 0,
    vlmaxsconto     numeric(15, 2),
    numaxpercsconto numeric(5, 2) CHECK (numaxpercsconto BETWEEN 0 AND 100),
    txutentein      varchar(50),
    dtin            timestamp,
    txutentemod     varchar(50),
    dtmod           timestamp,
    txutentecanc    varchar(50),
    dtcanc          timestamp
);
CREATE INDEX prod_listini_prodotto ON prod_listini (idprodotto);

CREATE TABLE prod_list_scheda_valori (
    idprodlistino      varchar(38) NOT NULL REFERENCES prod_listini (idprodlistino) ON DELETE CASCADE,
    idschedaprodotto   varchar(38) NOT NULL
                       REFERENCES prod_schede (idschedaprodotto) ON DELETE CASCADE,
    idvocescheda       varchar(38) NOT NULL
                       REFERENCES prod_scheda_voci (idvocescheda) ON DELETE CASCADE,
    txvalorevocescheda varchar(1000),
    txutentein         varchar(50),
    dtin               timestamp,
    txutentemod        varchar(50),
    dtmod              timestamp,
    -- One-column key of the row, for the program's row-by-row writes.
    idlistinovalore    varchar(80) GENERATED ALWAYS AS (idprodlistino || idvocescheda) STORED,
    PRIMARY KEY (idprodlistino, idvocescheda)
);
CREATE INDEX prod_list_scheda_valori_scheda ON prod_list_scheda_valori (idprodlistino, idschedaprodotto);

-- Sub-paragraph quantity of a price list (0 or less = not set: the product's quantity holds).
CREATE TABLE prod_list_parte_quantita (
    idprodlistino   varchar(38) NOT NULL REFERENCES prod_listini (idprodlistino) ON DELETE CASCADE,
    idpartecomp     varchar(38) NOT NULL REFERENCES prod_comp_parti (idpartecomp) ON DELETE CASCADE,
    nuquantitaparte integer,
    txdescpartecomp varchar(200),
    txutentein      varchar(50),
    dtin            timestamp,
    txutentemod     varchar(50),
    dtmod           timestamp,
    PRIMARY KEY (idprodlistino, idpartecomp)
);

-- Linked products (accessories and documentation proposed with a product) -----------------

CREATE TABLE prod_collegati (
    idprodotto           varchar(38) NOT NULL REFERENCES prodotti (idprodotto) ON DELETE CASCADE,
    idprodcollegato      varchar(38) NOT NULL REFERENCES prodotti (idprodotto) ON DELETE CASCADE,
    nuordinecollegamento integer NOT NULL,
    flaccessorio         smallint NOT NULL DEFAULT 1 CHECK (flaccessorio IN (0, 1)),
    idprodlistino        varchar(38) REFERENCES prod_listini (idprodlistino) ON DELETE SET NULL,
    nuquantita           numeric(12, 3) NOT NULL DEFAULT 1 CHECK (nuquantita > 0),
    txutentein           varchar(50),
    dtin                 timestamp,
    txutentemod          varchar(50),
    dtmod                timestamp,
    PRIMARY KEY (idprodotto, idprodcollegato),
    CHECK (idprodotto <> idprodcollegato)
);
CREATE INDEX prod_collegati_collegato ON prod_collegati (idprodcollegato);

-- Quotes ------------------------------------------------------------------------------------

CREATE TABLE preventivi (
    idpreventivo      varchar(38) PRIMARY KEY,
    idsocieta         varchar(38) NOT NULL REFERENCES societa (idsocieta),
    idcliente         varchar(38) REFERENCES clienti (idcliente),
    nuannopreventivo  integer,
    nupreventivo      integer,
    nurevisione       integer,
    dtpreventivo      timestamp,
    txdescoggetto     varchar(200) NOT NULL,
    flscadenzafissa   smallint NOT NULL DEFAULT 0 CHECK (flscadenzafissa IN (0, 1)),
    dtscadenza        timestamp,
    nuggscaddalblocco integer NOT NULL DEFAULT 0 CHECK (nuggscaddalblocco >= 0),
    txnotepreventivo  varchar(200),
    flbloccato        smallint NOT NULL DEFAULT 0 CHECK (flbloccato IN (0, 1)),
    dtblocco          timestamp,
    txutenteblocco    varchar(50),
    dtsblocco         timestamp,
    txutentesblocco   varchar(50),
    txnomefolder      varchar(400),
    txnomefilepdf     varchar(400),
    txurlfilepdf      varchar(1000),
    txutentein        varchar(50),
    dtin              timestamp,
    txutentemod       varchar(50),
    dtmod             timestamp,
    txutentecanc      varchar(50),
    dtcanc            timestamp,
    UNIQUE (idsocieta, nuannopreventivo, nupreventivo, nurevisione)
);
CREATE INDEX preventivi_cliente ON preventivi (idcliente, dtpreventivo);
CREATE INDEX preventivi_societa_data ON preventivi (idsocieta, dtpreventivo);
CREATE INDEX preventivi_oggetto_trgm ON preventivi USING gin (txdescoggetto gin_trgm_ops);

-- Orders (created from a quote; their lines live with the quote lines below) ----------------

CREATE TABLE ordini (
    idordine                  varchar(38) PRIMARY KEY,
    idpreventivo              varchar(38) REFERENCES preventivi (idpreventivo) ON DELETE SET NULL,
    idsocieta                 varchar(38) NOT NULL REFERENCES societa (idsocieta),
    idcliente                 varchar(38) REFERENCES clienti (idcliente),
    nuannoordine              integer NOT NULL,
    nuordine                  integer NOT NULL,
    nurevisione               integer,
    txdescordine              varchar(200),
    txriferimentidestinazione text,
    txcodpagamento            varchar(20) REFERENCES condizionipagamento (txcodpagamento),
    flshowriferimentiprev     smallint NOT NULL DEFAULT 0 CHECK (flshowriferimentiprev IN (0, 1)),
    txnoteordine              varchar(200),
    dtordine                  timestamp,
    flfirmato                 smallint NOT NULL DEFAULT 0 CHECK (flfirmato IN (0, 1)),
    flbloccato                smallint NOT NULL DEFAULT 0 CHECK (flbloccato IN (0, 1)),
    flscadenzafissa           smallint NOT NULL DEFAULT 0 CHECK (flscadenzafissa IN (0, 1)),
    nuggscaddalblocco         integer NOT NULL DEFAULT 0 CHECK (nuggscaddalblocco >= 0),
    dtscadenza                timestamp,
    txnomefolder              varchar(400),
    txnomefilepdf             varchar(400),
    txurlfilepdf              varchar(1000),
    txutentein                varchar(50),
    dtin                      timestamp,
    txutentemod               varchar(50),
    dtmod                     timestamp,
    txutentecanc              varchar(50),
    dtcanc                    timestamp,
    dtblocco                  timestamp,
    txutenteblocco            varchar(50),
    dtsblocco                 timestamp,
    txutentesblocco           varchar(50),
    UNIQUE (idsocieta, nuannoordine, nuordine)
);
CREATE INDEX ordini_preventivo ON ordini (idpreventivo);
CREATE INDEX ordini_cliente ON ordini (idcliente);

CREATE TABLE ordine_sommario (
    idordine     varchar(38) NOT NULL REFERENCES ordini (idordine) ON DELETE CASCADE,
    nuordinetesto integer NOT NULL,
    txdesctesto  varchar(200),
    txtesto      text,
    PRIMARY KEY (idordine, nuordinetesto)
);

-- Lines of a quote or of an order: exactly one of the two owners is set.
CREATE TABLE preventivo_dettaglio (
    idpreventivodet   varchar(38) PRIMARY KEY,
    idpreventivo      varchar(38) REFERENCES preventivi (idpreventivo) ON DELETE CASCADE,
    idordine          varchar(38) REFERENCES ordini (idordine) ON DELETE CASCADE,
    idprodotto        varchar(38) NOT NULL REFERENCES prodotti (idprodotto),
    nuordinamento     integer NOT NULL,
    idprodlistino     varchar(38) REFERENCES prod_listini (idprodlistino),
    txcodlistino      varchar(50),
    txdesclistino     varchar(200),
    vlimporto         numeric(15, 2),
    vllistino         numeric(15, 2),
    numaxpercsconto   numeric(5, 2),
    vlmaxsconto       numeric(15, 2),
    nuquantita        numeric(12, 3) NOT NULL DEFAULT 1 CHECK (nuquantita > 0),
    flaccessorio      smallint NOT NULL DEFAULT 0 CHECK (flaccessorio IN (0, 1)),
    flservizio        smallint NOT NULL DEFAULT 0 CHECK (flservizio IN (0, 1)),
    fldocinfondo      smallint NOT NULL DEFAULT 0 CHECK (fldocinfondo IN (0, 1)),
    flprodottoattivo  smallint NOT NULL DEFAULT 1 CHECK (flprodottoattivo IN (0, 1)),
    flnewpagebefore   smallint NOT NULL DEFAULT 0 CHECK (flnewpagebefore IN (0, 1)),
    flpartecompunita  smallint NOT NULL DEFAULT 0 CHECK (flpartecompunita IN (0, 1)),
    txutentein        varchar(50),
    dtin              timestamp,
    txutentemod       varchar(50),
    dtmod             timestamp,
    CHECK (num_nonnulls(idpreventivo, idordine) = 1)
);
-- The owner of a line (quote or order) is looked up as coalesce(idPreventivo, idOrdine).
CREATE INDEX preventivo_dettaglio_proprietario
    ON preventivo_dettaglio ((coalesce(idpreventivo, idordine)), nuordinamento);
CREATE INDEX preventivo_dettaglio_preventivo ON preventivo_dettaglio (idpreventivo);
CREATE INDEX preventivo_dettaglio_ordine ON preventivo_dettaglio (idordine);
CREATE INDEX preventivo_dettaglio_prodotto ON preventivo_dettaglio (idprodotto);
CREATE INDEX preventivo_dettaglio_listino ON preventivo_dettaglio (idprodlistino);

-- A line's own copy of its product's tree: one row per node, keyed by the line and the
-- original node id, with the tree positions of the copy (nuOrderA..D), the line's own active
-- flags, data-sheet values (txDescNodoB of kind 20), sub-paragraph descriptions and quantities
-- and print options (keep together, page break before).
CREATE TABLE prevdet_nodi (
    idpreventivodet varchar(38) NOT NULL
                    REFERENCES preventivo_dettaglio (idpreventivodet) ON DELETE CASCADE,
    idnodo          varchar(38) NOT NULL,
    nutipologia     smallint NOT NULL CHECK (nutipologia IN (10, 20, 30, 40, 50, 60, 70, 80, 90)),
    idparent        varchar(38) NOT NULL,
    idsezione       varchar(38) NOT NULL,
    nuordera        integer NOT NULL,
    nuorderb        integer NOT NULL DEFAULT 0,
    nuorderc        integer NOT NULL DEFAULT 0,
    nuorderd        integer NOT NULL DEFAULT 0,
    txdescnodo      text,
    txdescnodob     text,
    txdescnodoc     text,
    txtestortf      text,
    nuquantita      integer,
    fltestoinelenco smallint NOT NULL DEFAULT 0,
    flattivo        smallint NOT NULL DEFAULT 1 CHECK (flattivo IN (0, 1)),
    flunita         smallint NOT NULL DEFAULT 0 CHECK (flunita IN (0, 1)),
    flnewpagebefore smallint NOT NULL DEFAULT 0 CHECK (flnewpagebefore IN (0, 1)),
    flriepilogo     smallint NOT NULL DEFAULT 0,
    flimportante    smallint NOT NULL DEFAULT 0,
    idimage         varchar(38) REFERENCES images_dettagli (idimage),
    txurl           varchar(200),
    txutentemod     varchar(50),
    dtmod           timestamp,
    PRIMARY KEY (idpreventivodet, idnodo)
);
CREATE INDEX prevdet_nodi_image ON prevdet_nodi (idimage) WHERE idimage IS NOT NULL;

-- The per-kind faces of the line copy, under the names the program uses. The sheet values are
-- edited through their view (a simple view, so it is updatable).
CREATE VIEW prevdet_scheda_valori AS
SELECT idpreventivodet || idnodo AS idrigavalore, idpreventivodet, idnodo AS idvocescheda, idparent AS idschedaprodotto,
       txdescnodo AS txdescvocescheda, txdescnodob AS txvalorevocescheda, nuorderd AS nuordinevocescheda,
       txutentemod, dtmod
  FROM prevdet_nodi
 WHERE nutipologia = 20;

CREATE VIEW prevdet_schede AS
SELECT idpreventivodet, idnodo AS idschedaprodotto, nuordera AS nuordinenelprodotto,
       txdescnodo AS txdescschedaprodotto, flattivo AS flschedaprodottoattiva,
       flunita AS flschedaprodottounita, flnewpagebefore
  FROM prevdet_nodi
 WHERE nutipologia = 10;

CREATE VIEW prevdet_componenti AS
SELECT idpreventivodet, idnodo AS idcompprodotto, nuordera AS nuordinenelprodotto,
       txdescnodo AS txdesccompprodotto, flriepilogo AS flcompprodottoriepilogo, flnewpagebefore,
       flattivo AS flcompprodottoattivo
  FROM prevdet_nodi
 WHERE nutipologia = 30;

CREATE VIEW prevdet_comp_parti AS
SELECT idpreventivodet, idnodo AS idpartecomp, idparent AS idcompprodotto,
       nuorderb AS nuordinepartecomp, txdescnodo AS txdescpartecomp, nuquantita AS nuquantitaparte,
       flimportante AS flpartecompimportante, flattivo AS flpartecompattiva,
       flunita AS flpartecompunita, flnewpagebefore
  FROM prevdet_nodi
 WHERE nutipologia = 40;

CREATE VIEW prevdet_comp_parte_img AS
SELECT idpreventivodet, idnodo AS idimgparte, idimage, idparent AS idpartecomp,
       nuorderc AS nuordineparte, txdescnodo AS txdescimgparte, flattivo AS flimgparteattiva
  FROM prevdet_nodi
 WHERE nutipologia = 60;

CREATE VIEW ordine_dettaglio AS
SELECT * FROM preventivo_dettaglio WHERE idordine IS NOT NULL;

-- Layouts of the quote document ---------------------------------------------------------------

CREATE TABLE images_layout (
    idimage     varchar(38) PRIMARY KEY,
    txdescimage varchar(100),
    imgimage    bytea
);
CREATE INDEX images_layout_desc ON images_layout (txdescimage);

CREATE TABLE layout (
    idlayout          varchar(38) PRIMARY KEY,
    txcodlayout       varchar(20) NOT NULL UNIQUE,
    txdesclayout      varchar(200) NOT NULL,
    txnomereport      varchar(200) NOT NULL,
    txnomereportedit  varchar(200) NOT NULL,
    txnomestoremain   varchar(100) NOT NULL,
    txnomestorecover  varchar(100) NOT NULL,
    txnomestoretotali varchar(100) NOT NULL,
    idimage           varchar(38) REFERENCES images_layout (idimage) ON DELETE SET NULL,
    -- Boxes of the pictures in millimetres, by group ("copertina", "immagini", "logo") and
    -- name ("WidthS", "HeightS", "WidthH", ... "HeightVP"); missing ones take the defaults.
    jsmisure          jsonb NOT NULL DEFAULT '{}',
    dtcanc            timestamp
);

CREATE TABLE societa_layout (
    idsocieta varchar(38) NOT NULL REFERENCES societa (idsocieta) ON DELETE CASCADE,
    idlayout  varchar(38) NOT NULL REFERENCES layout (idlayout) ON DELETE CASCADE,
    nuordine  integer NOT NULL DEFAULT 1,
    PRIMARY KEY (idsocieta, idlayout)
);
