-- One-off repairs of stored pictures (administrators): the product list's buttons "Patch01",
-- "01 B" and "Patch02" list here the pictures that are not JPEG yet; the program re-encodes
-- each one and writes it back through its editable record.

DO $$ BEGIN PERFORM vt_drop_funzioni(ARRAY['estraiimmaginidaconvertire', 'datiimageslayout']);
END $$;

-- Pictures stored in another format than JPEG, one row per picture: nuTabella 1 node image
-- (Images_Dettagli), 2 its preview (Images_Dettagli_Preview), 3 cover (Images_Prodotti), 4 its
-- preview (Images_Prodotti_Preview), 5 layout sample (Images_Layout), 6 company logo (Societa),
-- with the id of the picture's row. Mode 1: the node images of the products of a catalogue,
-- then their covers; mode 2: the covers only; mode 3: layout samples and logos. The catalogue
-- is a supplier and a year (the zero id, or year 0, for every catalogue, or every year).
CREATE FUNCTION estraiimmaginidaconvertire(p_modo integer, p_idfornitore text DEFAULT NULL,
                                           p_nuanno integer DEFAULT 0)
RETURNS TABLE (nutabella integer, idimage varchar)
LANGUAGE plpgsql STABLE SECURITY DEFINER SET search_path = public, pg_temp SET jit = off AS $$
#variable_conflict use_column
DECLARE
    tutti boolean := vt_vuoto(p_idfornitore) IS NULL
                     OR p_idfornitore = '{00000000-0000-0000-0000-000000000000}';
    jpeg CONSTANT bytea := '\xffd8ff'::bytea;
BEGIN
    PERFORM vt_sessione_amministratore();
    IF p_modo NOT IN (1, 2, 3) THEN
        RAISE EXCEPTION 'Tipo di trasformazione non valido (%).', p_modo USING ERRCODE = '22023';
    END IF;
    RETURN QUERY
    WITH prodotti_catalogo AS (
        SELECT p.idprodotto FROM prodotti p
         WHERE p_modo IN (1, 2)
           AND (tutti OR (p.idfornitore = p_idfornitore
                          AND (coalesce(p_nuanno, 0) = 0 OR p.nuanno = p_nuanno)))
    ), immagini_nodi AS (
        SELECT DISTINCT i.idimage FROM prod_comp_parte_img i
          JOIN prod_comp_parti pa ON pa.idpartecomp = i.idpartecomp
          JOIN prod_componenti c ON c.idcompprodotto = pa.idcompprodotto
          JOIN prodotti_catalogo p ON p.idprodotto = c.idprodotto
         WHERE p_modo = 1
    )
    SELECT x.nutabella, x.idimage FROM (
        SELECT 1 AS nutabella, d.idimage FROM images_dettagli d
          JOIN immagini_nodi n ON n.idimage = d.idimage
         WHERE d.imgimage IS NOT NULL AND substring(d.imgimage FROM 1 FOR 3) <> jpeg
        UNION ALL
        SELECT 2, d.idimage FROM images_dettagli_preview d
          JOIN immagini_nodi n ON n.idimage = d.idimage
         WHERE d.imgpreview IS NOT NULL AND substring(d.imgpreview FROM 1 FOR 3) <> jpeg
        UNION ALL
        SELECT 3, i.idimage FROM images_prodotti i
          JOIN prodotti_catalogo p ON p.idprodotto = i.idimage
         WHERE i.imgimage IS NOT NULL AND substring(i.imgimage FROM 1 FOR 3) <> jpeg
        UNION ALL
        SELECT 4, i.idimage FROM images_prodotti_preview i
          JOIN prodotti_catalogo p ON p.idprodotto = i.idimage
         WHERE i.imgpreview IS NOT NULL AND substring(i.imgpreview FROM 1 FOR 3) <> jpeg
        UNION ALL
        SELECT 5, l.idimage FROM images_layout l
         WHERE p_modo = 3 AND l.imgimage IS NOT NULL AND substring(l.imgimage FROM 1 FOR 3) <> jpeg
        UNION ALL
        SELECT 6, s.idsocieta FROM societa s
         WHERE p_modo = 3 AND s.imglogo IS NOT NULL AND substring(s.imglogo FROM 1 FOR 3) <> jpeg
    ) x
    ORDER BY x.nutabella, x.idimage;
END $$;

-- The editable row of a layout sample picture (administrators).
CREATE FUNCTION datiimageslayout(p_idimage text)
RETURNS SETOF images_layout
LANGUAGE plpgsql STABLE SECURITY DEFINER SET search_path = public, pg_temp SET jit = off AS $$
#variable_conflict use_column
BEGIN
    PERFORM vt_sessione_amministratore();
    RETURN QUERY SELECT * FROM images_layout WHERE idimage = p_idimage;
END $$;
