-- Quote lines refer to the catalogue's node images instead of copying their bytes. When the
-- catalogue changes an image that lines refer to, the old picture is first kept under a new
-- id for those lines, so a quote never changes behind its operator's back.

CREATE FUNCTION vtt_immagine_copia() RETURNS trigger
LANGUAGE plpgsql SECURITY DEFINER SET search_path = public, pg_temp AS $$
DECLARE
    nuovo varchar(38);
BEGIN
    IF EXISTS (SELECT 1 FROM prevdet_nodi WHERE idimage = OLD.idimage) THEN
        nuovo := '{' || upper(gen_random_uuid()::text) || '}';
        IF TG_TABLE_NAME = 'images_dettagli' THEN
            INSERT INTO images_dettagli (idimage, imgimage) VALUES (nuovo, OLD.imgimage);
            INSERT INTO images_dettagli_preview (idimage, imgpreview)
            SELECT nuovo, p.imgpreview FROM images_dettagli_preview p WHERE p.idimage = OLD.idimage;
        ELSE
            INSERT INTO images_dettagli (idimage, imgimage)
            SELECT nuovo, d.imgimage FROM images_dettagli d WHERE d.idimage = OLD.idimage;
            INSERT INTO images_dettagli (idimage) SELECT nuovo
             WHERE NOT EXISTS (SELECT 1 FROM images_dettagli WHERE idimage = nuovo);
            INSERT INTO images_dettagli_preview (idimage, imgpreview) VALUES (nuovo, OLD.imgpreview);
        END IF;
        UPDATE prevdet_nodi SET idimage = nuovo WHERE idimage = OLD.idimage;
    END IF;
    RETURN NEW;
END $$;

CREATE TRIGGER trg_images_dettagli_copia
    BEFORE UPDATE OF imgimage ON images_dettagli
    FOR EACH ROW WHEN (OLD.imgimage IS DISTINCT FROM NEW.imgimage)
    EXECUTE FUNCTION vtt_immagine_copia();

CREATE TRIGGER trg_images_dettagli_preview_copia
    BEFORE UPDATE OF imgpreview ON images_dettagli_preview
    FOR EACH ROW WHEN (OLD.imgpreview IS DISTINCT FROM NEW.imgpreview)
    EXECUTE FUNCTION vtt_immagine_copia();
