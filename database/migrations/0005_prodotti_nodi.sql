-- Every node of every product tree in the form of the tree rows: one branch per kind. A
-- query with "WHERE idProdotto = ..." reads only that product's rows of each table.
CREATE VIEW prodotti_nodi AS
SELECT s.idprodotto, s.idschedaprodotto AS idnodo, s.idprodotto AS idparent, s.idschedaprodotto AS idsezione,
       10 AS nutipologia, s.flschedaprodottoattiva AS flattivo, s.nuordinenelprodotto AS nuordera,
       0 AS nuorderb, 0 AS nuorderc, 0 AS nuorderd, s.txdescschedaprodotto::text AS txdescnodo,
       NULL::text AS txdescnodob, NULL::text AS txdescnodoc, NULL::text AS txtestortf,
       NULL::integer AS nuquantita, 0::smallint AS fltestoinelenco,
       s.flschedaprodottounita AS flunita, 0::smallint AS flnewpagebefore,
       0::smallint AS flriepilogo, 0::smallint AS flimportante, NULL::varchar AS idimage,
       NULL::varchar AS txurl
  FROM prod_schede s
UNION ALL
SELECT s.idprodotto, v.idvocescheda, v.idschedaprodotto, s.idschedaprodotto, 20, v.flvoceschedaattiva,
       s.nuordinenelprodotto, v.nuordinevocescheda, 0, v.nuordinevocescheda, v.txdescvocescheda,
       NULL, NULL, NULL, NULL, 0::smallint, 0::smallint, 0::smallint, 0::smallint, 0::smallint,
       NULL, NULL
  FROM prod_scheda_voci v JOIN prod_schede s ON s.idschedaprodotto = v.idschedaprodotto
UNION ALL
SELECT c.idprodotto, c.idcompprodotto, c.idprodotto, c.idcompprodotto, 30, c.flcompprodottoattivo,
       c.nuordinenelprodotto, 0, 0, 0, c.txdesccompprodotto, NULL, NULL, NULL, NULL, 0::smallint,
       0::smallint, c.flnewpagebefore, c.flcompprodottoriepilogo, 0::smallint, NULL, NULL
  FROM prod_componenti c
UNION ALL
SELECT c.idprodotto, pa.idpartecomp, pa.idcompprodotto, c.idcompprodotto, 40, pa.flpartecompattiva,
       c.nuordinenelprodotto, pa.nuordinepartecomp, 0, 0, pa.txdescpartecomp, NULL, NULL, NULL,
       pa.nuquantitaparte, 0::smallint, pa.flpartecompunita, 0::smallint, 0::smallint,
       pa.flpartecompimportante, NULL, NULL
  FROM prod_comp_parti pa JOIN prod_componenti c ON c.idcompprodotto = pa.idcompprodotto
UNION ALL
SELECT c.idprodotto, t.idtxtparte, t.idpartecomp, c.idcompprodotto, 50, t.fltxtparteattiva,
       c.nuordinenelprodotto, pa.nuordinepartecomp, t.nuordineparte, 0, t.txdesctxtparte, NULL,
       NULL, t.txdesctxtpartertf, NULL, t.fltestoinelenco, 0::smallint, 0::smallint, 0::smallint,
       0::smallint, NULL, NULL
  FROM prod_comp_parte_txt t JOIN prod_comp_parti pa ON pa.idpartecomp = t.idpartecomp
  JOIN prod_componenti c ON c.idcompprodotto = pa.idcompprodotto
UNION ALL
SELECT c.idprodotto, i.idimgparte, i.idpartecomp, c.idcompprodotto, 60, i.flimgparteattiva,
       c.nuordinenelprodotto, pa.nuordinepartecomp, i.nuordineparte, 0, i.txdescimgparte, NULL,
       NULL, NULL, NULL, 0::smallint, 0::smallint, 0::smallint, 0::smallint, 0::smallint,
       i.idimage, NULL
  FROM prod_comp_parte_img i JOIN prod_comp_parti pa ON pa.idpartecomp = i.idpartecomp
  JOIN prod_componenti c ON c.idcompprodotto = pa.idcompprodotto
UNION ALL
SELECT c.idprodotto, l.idurlparte, l.idpartecomp, c.idcompprodotto, 70, l.flurlparteattiva,
       c.nuordinenelprodotto, pa.nuordinepartecomp, l.nuordineparte, 0, l.txdescurlparte, NULL,
       NULL, NULL, NULL, 0::smallint, 0::smallint, 0::smallint, 0::smallint, 0::smallint, NULL,
       l.txurlparte
  FROM prod_comp_parte_url l JOIN prod_comp_parti pa ON pa.idpartecomp = l.idpartecomp
  JOIN prod_componenti c ON c.idcompprodotto = pa.idcompprodotto
UNION ALL
SELECT c.idprodotto, tb.idtabparte, tb.idpartecomp, c.idcompprodotto, 80, tb.fltabparteattiva,
       c.nuordinenelprodotto, pa.nuordinepartecomp, tb.nuordineparte, 0, tb.txdesctabparte,
       tb.txdesccolvoce, tb.txdesccolvalore, NULL, NULL, 0::smallint, 0::smallint, 0::smallint,
       0::smallint, 0::smallint, NULL, NULL
  FROM prod_comp_parte_tab tb JOIN prod_comp_parti pa ON pa.idpartecomp = tb.idpartecomp
  JOIN prod_componenti c ON c.idcompprodotto = pa.idcompprodotto
UNION ALL
SELECT c.idprodotto, tv.idtabvoce, tv.idtabparte, c.idcompprodotto, 90, tv.flvocetabattiva,
       c.nuordinenelprodotto, pa.nuordinepartecomp, tb.nuordineparte, tv.nuordinevocetab,
       tv.txdesccolvoce, tv.txdesccolvalore, NULL, NULL, NULL, 0::smallint, 0::smallint,
       0::smallint, 0::smallint, 0::smallint, NULL, NULL
  FROM prod_comp_parte_tab_voci tv JOIN prod_comp_parte_tab tb ON tb.idtabparte = tv.idtabparte
  JOIN prod_comp_parti pa ON pa.idpartecomp = tb.idpartecomp
  JOIN prod_componenti c ON c.idcompprodotto = pa.idcompprodotto;
