#!/usr/bin/env python3
"""Writes the demo data of the catalogs (0002_demo_dati.sql next to this script).

The data are fixed (a seeded random generator), so running the script again gives the same
file. Pictures are small PNG files drawn here, stored once each in the SQL and copied by the
database where several rows use them. Dates are written relative to the day the data are
loaded, so that a first run always looks current.

    python3 database/demo/genera_demo.py
"""

import os
import random
import struct
import uuid
import zlib

OUT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "0002_demo_dati.sql")
NS = uuid.UUID("7d1c3f5e-8a2b-4c6d-9e0f-112233445566")
SOC1 = "{6A1F0C3E-2B7D-4E59-9C41-0D8E5A7B1001}"
SOC2 = "{6A1F0C3E-2B7D-4E59-9C41-0D8E5A7B1002}"
rnd = random.Random(20240108)


def gid(*parts):
    return "{" + str(uuid.uuid5(NS, "/".join(str(p) for p in parts))).upper() + "}"


def q(text):
    if text is None:
        return "NULL"
    return "'" + str(text).replace("'", "''") + "'"


# Pictures ---------------------------------------------------------------------------------

class Canvas:
    def __init__(self, w, h, bg):
        self.w, self.h = w, h
        self.px = [list(bg) * w for _ in range(h)]

    def rect(self, x0, y0, x1, y1, col):
        for y in range(max(0, y0), min(self.h, y1)):
            row = self.px[y]
            for x in range(max(0, x0), min(self.w, x1)):
                row[3 * x:3 * x + 3] = col

    def frame(self, x0, y0, x1, y1, col, t=2):
        self.rect(x0, y0, x1, y0 + t, col)
        self.rect(x0, y1 - t, x1, y1, col)
        self.rect(x0, y0, x0 + t, y1, col)
        self.rect(x1 - t, y0, x1, y1, col)

    def text(self, x, y, s, col, scale=2):
        # A text that does not fit would be cut: the picture would look broken.
        if x < 0 or y < 0 or x + text_width(s, scale) > self.w or y + 7 * scale > self.h:
            raise ValueError("%r does not fit a %dx%d picture at (%d, %d)" % (s, self.w, self.h, x, y))
        for ch in s:
            glyph = FONT.get(ch.upper(), FONT[" "])
            for gy, line in enumerate(glyph):
                for gx, bit in enumerate(line):
                    if bit == "#":
                        self.rect(x + gx * scale, y + gy * scale, x + (gx + 1) * scale,
                                  y + (gy + 1) * scale, col)
            x += 6 * scale

    def png(self):
        raw = b"".join(b"\x00" + bytes(row) for row in self.px)

        def chunk(kind, data):
            c = struct.pack(">I", len(data)) + kind + data
            return c + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)

        return (b"\x89PNG\r\n\x1a\n"
                + chunk(b"IHDR", struct.pack(">IIBBBBB", self.w, self.h, 8, 2, 0, 0, 0))
                + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


FONT = {
    " ": ["     "] * 7,
    "A": [" ### ", "#   #", "#   #", "#####", "#   #", "#   #", "#   #"],
    "B": ["#### ", "#   #", "#   #", "#### ", "#   #", "#   #", "#### "],
    "C": [" ####", "#    ", "#    ", "#    ", "#    ", "#    ", " ####"],
    "D": ["#### ", "#   #", "#   #", "#   #", "#   #", "#   #", "#### "],
    "E": ["#####", "#    ", "#    ", "#### ", "#    ", "#    ", "#####"],
    "F": ["#####", "#    ", "#    ", "#### ", "#    ", "#    ", "#    "],
    "G": [" ####", "#    ", "#    ", "#  ##", "#   #", "#   #", " ####"],
    "H": ["#   #", "#   #", "#   #", "#####", "#   #", "#   #", "#   #"],
    "I": ["#####", "  #  ", "  #  ", "  #  ", "  #  ", "  #  ", "#####"],
    "L": ["#    ", "#    ", "#    ", "#    ", "#    ", "#    ", "#####"],
    "M": ["#   #", "## ##", "# # #", "#   #", "#   #", "#   #", "#   #"],
    "N": ["#   #", "##  #", "# # #", "#  ##", "#   #", "#   #", "#   #"],
    "O": [" ### ", "#   #", "#   #", "#   #", "#   #", "#   #", " ### "],
    "P": ["#### ", "#   #", "#   #", "#### ", "#    ", "#    ", "#    "],
    "Q": [" ### ", "#   #", "#   #", "#   #", "# # #", "#  # ", " ## #"],
    "R": ["#### ", "#   #", "#   #", "#### ", "# #  ", "#  # ", "#   #"],
    "S": [" ####", "#    ", "#    ", " ### ", "    #", "    #", "#### "],
    "T": ["#####", "  #  ", "  #  ", "  #  ", "  #  ", "  #  ", "  #  "],
    "U": ["#   #", "#   #", "#   #", "#   #", "#   #", "#   #", " ### "],
    "V": ["#   #", "#   #", "#   #", "#   #", "#   #", " # # ", "  #  "],
    "Y": ["#   #", "#   #", " # # ", "  #  ", "  #  ", "  #  ", "  #  "],
    "0": [" ### ", "#   #", "#  ##", "# # #", "##  #", "#   #", " ### "],
    "1": ["  #  ", " ##  ", "  #  ", "  #  ", "  #  ", "  #  ", " ### "],
    "2": [" ### ", "#   #", "    #", "   # ", "  #  ", " #   ", "#####"],
    "-": ["     ", "     ", "     ", "#####", "     ", "     ", "     "],
    ".": ["     ", "     ", "     ", "     ", "     ", " ##  ", " ##  "],
}


def text_width(s, scale):
    """Width of a text in the 5x7 font: 6 columns a letter, the last one's gap left out."""
    return max(0, 6 * len(s) - 1) * scale


LOGO_SIDE, LOGO_GAP, LOGO_MARGIN = 110, 16, 14


def logo(initials, name, sub, bg, fg):
    """A company logo: a square with the initials, the name and a second line beside it. The
    picture is as wide as the name needs, with the same margin all round, so that nothing is cut
    in the company window or in the box of the printed quote."""
    side, gap, margin = LOGO_SIDE, LOGO_GAP, LOGO_MARGIN
    width = side + gap + max(text_width(name, 3), text_width(sub, 2)) + margin
    c = Canvas(width, side, (255, 255, 255))
    c.rect(0, 0, side, side, bg)
    if text_width(initials, 6) > side - 2 * margin:
        raise ValueError("initials %r do not fit the square" % initials)
    c.text((side - text_width(initials, 6)) // 2, (side - 7 * 6) // 2, initials, fg, 6)
    c.text(side + gap, 28, name, bg, 3)
    c.text(side + gap, 70, sub, (90, 90, 90), 2)
    return c.png()


def armadio(body, accent, doors, wide):
    w, h = (260, 170) if wide else (170, 240)
    c = Canvas(w, h, (246, 247, 250))
    c.rect(12, h - 14, w - 12, h - 8, (200, 200, 205))
    x0, x1, y0, y1 = 20, w - 20, 14, h - 16
    c.rect(x0, y0, x1, y1, body)
    c.frame(x0, y0, x1, y1, (60, 60, 70), 3)
    step = (x1 - x0) // doors
    for d in range(doors):
        dx = x0 + d * step
        c.frame(dx + 4, y0 + 6, dx + step - 4, y1 - 6, (80, 80, 90), 2)
        c.rect(dx + step - 16, (y0 + y1) // 2 - 14, dx + step - 10, (y0 + y1) // 2 + 14, accent)
        for v in range(4):
            vy = y0 + 16 + v * 8
            c.rect(dx + 14, vy, dx + step - 24, vy + 3, (120, 120, 130))
    c.rect(x0, y0, x1, y0 + 8, accent)
    return c.png()


def schema():
    c = Canvas(240, 160, (255, 255, 255))
    c.frame(6, 6, 234, 154, (30, 60, 120), 2)
    c.rect(30, 30, 210, 33, (30, 30, 30))
    for i in range(6):
        x = 40 + i * 30
        c.rect(x, 33, x + 3, 100, (30, 30, 30))
        c.frame(x - 8, 60, x + 11, 80, (200, 40, 40), 2)
        c.rect(x - 4, 100, x + 7, 108, (30, 30, 30))
    c.text(40, 124, "SCHEMA", (30, 60, 120), 2)
    return c.png()


def interno():
    c = Canvas(240, 180, (210, 214, 220))
    for r in range(3):
        c.rect(14, 20 + r * 52, 226, 26 + r * 52, (150, 150, 160))
        for k in range(9):
            col = [(240, 240, 240), (60, 120, 200), (230, 180, 40)][(k + r) % 3]
            c.rect(18 + k * 23, 28 + r * 52, 36 + k * 23, 62 + r * 52, col)
            c.frame(18 + k * 23, 28 + r * 52, 36 + k * 23, 62 + r * 52, (70, 70, 70), 1)
    return c.png()


def documento():
    c = Canvas(150, 200, (250, 250, 250))
    c.rect(20, 14, 130, 186, (255, 255, 255))
    c.frame(20, 14, 130, 186, (90, 90, 110), 2)
    c.rect(20, 14, 130, 40, (120, 40, 120))
    for i in range(9):
        c.rect(32, 56 + i * 13, 118 - (i % 3) * 14, 60 + i * 13, (150, 150, 160))
    return c.png()


def pagina(accent):
    c = Canvas(150, 210, (255, 255, 255))
    c.frame(0, 0, 150, 210, (160, 160, 160), 1)
    c.rect(10, 10, 60, 30, accent)
    c.rect(70, 14, 140, 18, (120, 120, 120))
    c.rect(70, 22, 120, 26, (120, 120, 120))
    c.rect(10, 40, 140, 110, (225, 230, 238))
    for i in range(7):
        c.rect(10, 120 + i * 10, 140 - (i % 2) * 30, 124 + i * 10, (170, 170, 170))
    c.rect(0, 198, 150, 210, accent)
    return c.png()


IMMAGINI = {
    "logo1": logo("TQ", "TECNOQUADRI", "LOMBARDA SRL", (32, 78, 150), (255, 255, 255)),
    "logo2": logo("ES", "ELETTROSISTEMI", "ADRIATICA SPA", (20, 120, 90), (255, 255, 255)),
    "quadro_grigio": armadio((214, 217, 222), (240, 120, 30), 1, False),
    "quadro_doppio": armadio((214, 217, 222), (32, 78, 150), 2, True),
    "quadro_triplo": armadio((200, 205, 212), (200, 40, 40), 3, True),
    "cassetta": armadio((236, 236, 236), (60, 150, 80), 1, True),
    "inverter": armadio((60, 66, 76), (250, 200, 30), 1, False),
    "accessorio": armadio((180, 186, 196), (110, 110, 120), 1, True),
    "schema": schema(),
    "interno": interno(),
    "documento": documento(),
    "layout_std": pagina((32, 78, 150)),
    "layout_cmp": pagina((20, 120, 90)),
}


# Catalogue --------------------------------------------------------------------------------

FORNITORI = [
    (gid("forn", 1), "EMB", "Elettromeccanica Brianza S.p.A.", 1),
    (gid("forn", 2), "SQV", "Sistemi Quadri Veneto S.r.l.", 0),
]

FAMIGLIE = [
    # (code prefix, description, picture, supplier index, sizes)
    ("QDG", "QUADRO DI DISTRIBUZIONE GENERALE", "quadro_triplo", 0, ["1600 A", "2500 A", "3200 A", "4000 A"]),
    ("QCM", "QUADRO COMANDO MOTORI", "quadro_doppio", 0, ["8 PARTENZE", "16 PARTENZE", "24 PARTENZE"]),
    ("QSP", "QUADRO DI SOTTOSTAZIONE IN ACCIAIO INOX", "quadro_grigio", 0, ["IP55", "IP65"]),
    ("CPA", "CASSETTA DI PARALLELO FOTOVOLTAICO", "cassetta", 1, ["20 KW", "50 KW", "100 KW"]),
    ("INV", "INVERTER TRIFASE DI STRINGA", "inverter", 1, ["30 KW", "60 KW", "110 KW"]),
    ("QRF", "QUADRO DI RIFASAMENTO AUTOMATICO", "quadro_doppio", 1, ["100 KVAR", "250 KVAR"]),
    ("QBT", "QUADRO DI BORDO MACCHINA", "quadro_grigio", 0, ["STANDARD", "COMPATTO", "ESTESO"]),
]

ACCESSORI = [
    ("ACC-ZOC", "ZOCCOLO DI SOLLEVAMENTO H 100 MM", 0),
    ("ACC-VEN", "KIT VENTILAZIONE FORZATA CON FILTRI", 0),
    ("ACC-ILL", "LAMPADA DI ILLUMINAZIONE INTERNA LED", 0),
    ("ACC-SCA", "SCALDIGLIA ANTICONDENSA 100 W", 1),
    ("ACC-SPD", "SCARICATORE DI SOVRATENSIONE TIPO 2", 1),
    ("ACC-TET", "TETTUCCIO PARAPIOGGIA IN ACCIAIO", 0),
]

DOCUMENTAZIONI = [
    ("DOC-CE", "DICHIARAZIONE DI CONFORMITÀ CE E FASCICOLO TECNICO", 0),
    ("DOC-MAN", "MANUALE DI USO E MANUTENZIONE", 0),
    ("DOC-COL", "VERBALE DI COLLAUDO IN FABBRICA (FAT)", 1),
    ("DOC-SCH", "SCHEMI ELETTRICI IN FORMATO DWG E PDF", 1),
]

TESTI_DESCR = [
    "Il quadro è progettato e costruito secondo la norma CEI EN 61439-1/2 e viene fornito "
    "completamente cablato, collaudato e pronto per l'installazione.",
    "La struttura è realizzata in lamiera d'acciaio zincata a caldo, con porte verniciate a "
    "polveri epossidiche RAL 7035 e guarnizioni in poliuretano espanso.",
    "Tutti i componenti sono di primarie marche e disponibili a magazzino; la distinta completa è "
    "allegata al fascicolo tecnico.",
]
TESTI_COSTR = [
    "Sistema di sbarre in rame elettrolitico stagnato, dimensionato per la corrente nominale "
    "e per la corrente di cortocircuito richiesta.",
    "Cablaggio con conduttori N07V-K non propaganti l'incendio, capicorda preisolati e "
    "siglatura di ogni conduttore alle due estremità.",
    "Morsettiera di uscita su guida DIN con morsetti a molla, separata per potenza e ausiliari.",
]
PUNTI_NORME = ["CEI EN 61439-1 e CEI EN 61439-2", "CEI EN 60529 (grado di protezione IP)",
               "CEI EN 62208 (involucri vuoti)", "Direttiva Bassa Tensione 2014/35/UE",
               "Direttiva Compatibilità Elettromagnetica 2014/30/UE"]
TESTI_GARANZIA = [
    "Garanzia di 24 mesi dalla data di consegna su tutti i componenti e sulla lavorazione.",
    "Assistenza tecnica telefonica gratuita e intervento in sito entro 48 ore lavorative.",
]


class Sql:
    def __init__(self):
        self.parts = []

    def add(self, text):
        self.parts.append(text)

    def insert(self, table, columns, rows):
        if not rows:
            return
        for i in range(0, len(rows), 200):
            chunk = rows[i:i + 200]
            self.parts.append("INSERT INTO %s (%s) VALUES\n%s;\n" % (
                table, ", ".join(columns), ",\n".join("(" + ", ".join(r) + ")" for r in chunk)))


def main():
    s = Sql()
    s.add("-- Demo data of the catalogs: written by genera_demo.py, do not edit by hand.\n")
    s.add("CREATE TEMP TABLE demo_img (nome text PRIMARY KEY, dati bytea) ON COMMIT DROP;\n")
    # Rich text of a plain text: Arial 13, left aligned; accented letters as RTF escapes.
    s.add("""CREATE FUNCTION pg_temp.rtf(p text) RETURNS text LANGUAGE sql IMMUTABLE AS $$
    SELECT '{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\fswiss Arial;}}\\viewkind4\\uc1\\pard\\ql\\f0\\fs26 '
           || replace(replace(replace(replace(replace(replace(replace(replace(
              replace(replace(replace(p, '\\', '\\\\'), '{', '\\{'), '}', '\\}'),
              'à', '\\''e0'), 'è', '\\''e8'), 'é', '\\''e9'), 'ì', '\\''ec'), 'ò', '\\''f2'),
              'ù', '\\''f9'), 'À', '\\''c0'), 'È', '\\''c8')
           || '\\par}'
$$;
""")
    s.insert("demo_img", ["nome", "dati"],
             [[q(k), "'\\x%s'" % v.hex()] for k, v in IMMAGINI.items()])

    # Companies: logos, and one layout each (plus the standard one for both).
    s.add("UPDATE societa SET imglogo = (SELECT dati FROM demo_img WHERE nome = 'logo1') "
          "WHERE idsocieta = %s;\n" % q(SOC1))
    s.add("UPDATE societa SET imglogo = (SELECT dati FROM demo_img WHERE nome = 'logo2') "
          "WHERE idsocieta = %s;\n" % q(SOC2))
    lay = [(gid("layout", "STD"), "STD", "Layout standard con copertina e riepilogo", "LayoutStandard",
            "layout_std", '{}'),
           (gid("layout", "CMP"), "CMP", "Layout compatto con immagini ridotte", "LayoutCompatto",
            "layout_cmp", '{"copertina": {"WidthS": 80, "HeightS": 80, "WidthH": 100, "HeightH": 60},'
            ' "immagini": {"WidthS": 40, "HeightS": 40}}')]
    s.insert("images_layout", ["idimage", "txdescimage", "imgimage"],
             [[q(gid("imglayout", c)), q("Esempio " + d.lower()), "(SELECT dati FROM demo_img WHERE nome = %s)" % q(img)]
              for _, c, d, _, img, _ in lay])
    s.insert("layout", ["idlayout", "txcodlayout", "txdesclayout", "txnomereport", "txnomereportedit",
                        "txnomestoremain", "txnomestorecover", "txnomestoretotali", "idimage", "jsmisure"],
             [[q(i), q(c), q(d), q(r), q(r + "Edit"), q("EstraiLayoutPrevMain"), q("EstraiLayoutPrevCover"),
               q("EstraiLayoutPrevTotali"), q(gid("imglayout", c)), q(js)] for i, c, d, r, _, js in lay])
    s.insert("societa_layout", ["idsocieta", "idlayout", "nuordine"],
             [[q(SOC1), q(lay[0][0]), "1"], [q(SOC1), q(lay[1][0]), "2"], [q(SOC2), q(lay[1][0]), "1"]])
    s.insert("condizionipagamento", ["txcodpagamento", "txdescrizpagamento", "idsocieta"],
             [[q("EA-RB120"), q("Ri.Ba. 120 gg d.f.f.m. (accordo quadro Adriatica)"), q(SOC2)]])

    # Suppliers and catalogues of this year and the previous one.
    s.insert("fornitori", ["idfornitore", "txfornitore", "txdescfornitore", "fldefault", "txutentein", "dtin"],
             [[q(i), q(c), q(d), str(df), q("ADMIN"), "current_date - 700"] for i, c, d, df in FORNITORI])
    cat = []
    for i, c, d, _ in FORNITORI:
        for k in (1, 0):
            cat.append([q(gid("cat", i, k)), q(i), "extract(year FROM current_date)::integer - %d" % (1 - k),
                        q("%s %s" % (c, "catalogo corrente" if k else "catalogo precedente")), str(k)])
    s.insert("fornitori_cataloghi", ["idcatalogo", "idfornitore", "nuanno", "txdesccatalogo", "flattuale"], cat)

    prodotti, cover, schede, voci, comp, parti, txt, img, url, tab, tabv = ([] for _ in range(11))
    listini, lval, lqta, links = [], [], [], []

    def audit(utente, giorni, utentemod=None, giornimod=None):
        return "%s, current_date - %d, %s, %s" % (
            q(utente), giorni, q(utentemod),
            "NULL" if utentemod is None else "current_date - %d" % giornimod)

    main_ids, acc_ids, doc_ids = [], [], []

    def anno(k):
        return "extract(year FROM current_date)::integer - %d" % k

    def prodotto(pid, code, desc, forn, annok, picture, acc, doc, age):
        prodotti.append([q(pid), q(pid), q(code), q(forn), anno(annok), q(desc), "1", str(acc), str(doc),
                         audit("MROSSI", age, "MROSSI", max(1, age // 3))])
        cover.append((pid, picture))

    n = 0
    for code, desc, picture, fi, sizes in FAMIGLIE:
        for k, size in enumerate(sizes):
            n += 1
            pid = gid("prod", code, k)
            annok = 1 if (n % 5 == 0) else 0
            prodotto(pid, "%s-%03d" % (code, 100 + 10 * k), "%s %s" % (desc, size), FORNITORI[fi][0], annok,
                     picture, 0, 0, 300 - n * 7)
            main_ids.append(pid)
            age = 280 - n * 6
            # Data sheets.
            pos = 1
            sid = gid("scheda", pid, 1)
            schede.append([q(sid), q(pid), str(pos), q("Dati tecnici"), "1", "1", audit("MROSSI", age)])
            items = ["Tensione nominale di impiego", "Corrente nominale", "Frequenza nominale",
                     "Corrente di cortocircuito Icw", "Grado di protezione", "Forma di segregazione",
                     "Dimensioni (L x P x H)", "Colore"]
            vals = ["400 V", size, "50 Hz", "50 kA 1 s", "IP55", "Forma 3b", "%d x 600 x 2000 mm" % (800 + 400 * k),
                    "RAL 7035"]
            for j, it in enumerate(items):
                voci.append([q(gid("voce", sid, j)), q(sid), str(j + 1), q(it), "1", audit("MROSSI", age)])
            pos += 1
            sid2 = gid("scheda", pid, 2)
            schede.append([q(sid2), q(pid), str(pos), q("Dati di targa"), "1", "0", audit("MROSSI", age)])
            for j, it in enumerate(["Costruttore", "Tipo", "Anno di costruzione", "Norma di riferimento"]):
                voci.append([q(gid("voce", sid2, j)), q(sid2), str(j + 1), q(it), "1", audit("MROSSI", age)])
            # Paragraphs.
            paras = [("Descrizione generale", True), ("Caratteristiche costruttive", False),
                     ("Normative di riferimento", False), ("Garanzia e assistenza", True)]
            for pj, (ptitle, riep) in enumerate(paras):
                pos += 1
                cid = gid("comp", pid, pj)
                comp.append([q(cid), q(pid), str(pos), q(ptitle), str(int(riep)), str(int(pj == 2)), "1",
                             audit("MROSSI", age)])
                if pj == 0:
                    subs = [("Generalità", TESTI_DESCR[:2], "quadro", None, None),
                            ("Componentistica", TESTI_DESCR[2:], "interno", None, None)]
                elif pj == 1:
                    subs = [("Struttura e sbarre", TESTI_COSTR[:1], None, None, "sbarre"),
                            ("Cablaggio", TESTI_COSTR[1:], "schema", None, None)]
                elif pj == 2:
                    subs = [("Norme applicate", PUNTI_NORME, None, "https://www.ceinorme.it", None)]
                else:
                    subs = [("Condizioni", TESTI_GARANZIA, None, None, None)]
                for sj, (stitle, texts, image, link, table) in enumerate(subs):
                    paid = gid("parte", cid, sj)
                    qty = 1 + k if (pj == 1 and sj == 0) else None
                    parti.append([q(paid), q(cid), str(sj + 1), q(stitle), str(qty) if qty else "NULL",
                                  str(int(sj == 0)), "1", str(int(pj == 0)), audit("MROSSI", age)])
                    cpos = 0
                    bullet = pj == 2
                    for tj, t in enumerate(texts):
                        cpos += 1
                        txt.append([q(gid("txt", paid, tj)), q(paid), str(cpos), "pg_temp.rtf(%s)" % q(t), q(t), str(int(bullet)),
                                    "1", audit("MROSSI", age)])
                    if image:
                        cpos += 1
                        iid = gid("img", paid)
                        name = picture if image == "quadro" else image
                        img.append((iid, paid, cpos, {"quadro": "Vista frontale", "interno": "Vista interna",
                                                      "schema": "Schema unifilare tipico"}[image], name, age))
                    if link:
                        cpos += 1
                        url.append([q(gid("url", paid)), q(paid), str(cpos), q("Comitato Elettrotecnico Italiano"),
                                    q(link), "1", audit("MROSSI", age)])
                    if table:
                        cpos += 1
                        tid = gid("tab", paid)
                        tab.append([q(tid), q(paid), str(cpos), q("Sezioni delle sbarre"), q("Corrente"), q("Sezione"),
                                    "1", audit("MROSSI", age)])
                        for tj, (a, b) in enumerate([("630 A", "40 x 10 mm"), ("1250 A", "2 x 60 x 10 mm"),
                                                     ("2500 A", "3 x 100 x 10 mm")]):
                            tabv.append([q(gid("tabv", tid, tj)), q(tid), str(tj + 1), q(a), q(b), "1",
                                         audit("MROSSI", age)])
            # Price lists: two or three variants.
            nl = 2 + (n % 2)
            for lj in range(nl):
                lid = gid("listino", pid, lj)
                price = (4800 + 2600 * k + 900 * (n % 4)) * (1 + 0.18 * lj)
                listini.append([q(lid), q(pid), q("L%d-%s" % (lj + 1, code)),
                                q(["Esecuzione base", "Esecuzione rinforzata", "Esecuzione con accessori"][lj]),
                                "%.2f" % price, "NULL" if lj else "15", "%.2f" % (price * 0.08) if lj else "NULL",
                                audit("MROSSI", age - 5, "GBIANCHI", max(1, age // 4)), "NULL", "NULL"])
                lval.append([q(lid), q(sid), q(gid("voce", sid, 4)), q(["IP55", "IP65", "IP66"][lj])])
                lval.append([q(lid), q(sid), q(gid("voce", sid, 5)), q(["Forma 2", "Forma 3b", "Forma 4"][lj])])
                lval.append([q(lid), q(sid2), q(gid("voce", sid2, 0)), q(FORNITORI[fi][2])])
                lqta.append([q(lid), q(gid("parte", gid("comp", pid, 1), 0)), str(2 + k + lj), "NULL"])
    for j, (code, desc, fi) in enumerate(ACCESSORI):
        pid = gid("acc", code)
        prodotto(pid, code, desc, FORNITORI[fi][0], 0, "accessorio", 1, 0, 200 - j * 9)
        acc_ids.append(pid)
        sid = gid("scheda", pid, 1)
        schede.append([q(sid), q(pid), "1", q("Caratteristiche"), "1", "0", audit("MROSSI", 150)])
        for vj, it in enumerate(["Materiale", "Fissaggio", "Peso"]):
            voci.append([q(gid("voce", sid, vj)), q(sid), str(vj + 1), q(it), "1", audit("MROSSI", 150)])
        cid = gid("comp", pid, 0)
        comp.append([q(cid), q(pid), "2", q("Descrizione"), "0", "0", "1", audit("MROSSI", 150)])
        paid = gid("parte", cid, 0)
        parti.append([q(paid), q(cid), "1", q(desc.capitalize()), "NULL", "0", "1", "0", audit("MROSSI", 150)])
        t = "Accessorio originale, fornito montato sul quadro oppure in kit separato con istruzioni."
        txt.append([q(gid("txt", paid, 0)), q(paid), "1", "pg_temp.rtf(%s)" % q(t), q(t), "0", "1", audit("MROSSI", 150)])
        lid = gid("listino", pid, 0)
        listini.append([q(lid), q(pid), q("L1-" + code), q("Prezzo unitario"), "%.2f" % (120 + 85 * j), "10", "NULL",
                        audit("MROSSI", 150), "NULL", "NULL"])
    for j, (code, desc, fi) in enumerate(DOCUMENTAZIONI):
        pid = gid("doc", code)
        prodotto(pid, code, desc, FORNITORI[fi][0], 0, "documento", 0, 1, 180 - j * 11)
        doc_ids.append(pid)
        cid = gid("comp", pid, 0)
        comp.append([q(cid), q(pid), "1", q("Contenuto"), "0", "0", "1", audit("MROSSI", 150)])
        paid = gid("parte", cid, 0)
        parti.append([q(paid), q(cid), "1", q("Documenti forniti"), "NULL", "0", "1", "0", audit("MROSSI", 150)])
        for tj, t in enumerate(["Copia cartacea e copia elettronica in formato PDF.",
                                "Lingua italiana; su richiesta inglese, francese, tedesco."]):
            txt.append([q(gid("txt", paid, tj)), q(paid), str(tj + 1), "pg_temp.rtf(%s)" % q(t), q(t), "1", "1",
                        audit("MROSSI", 150)])
        listini.append([q(gid("listino", pid, 0)), q(pid), q("L1-" + code), q("Documentazione"), "0", "NULL", "NULL",
                        audit("MROSSI", 150), "NULL", "NULL"])
    # A deactivated price list and a product no longer sold.
    listini.append([q(gid("listino", main_ids[0], 9)), q(main_ids[0]), q("L0-OLD"), q("Esecuzione fuori produzione"),
                    "3900.00", "NULL", "NULL", audit("MROSSI", 400), q("ADMIN"), "current_date - 90"])
    for pi, pid in enumerate(main_ids):
        chosen = [acc_ids[(pi + d) % len(acc_ids)] for d in range(2 + pi % 3)]
        chosen.append(doc_ids[pi % len(doc_ids)])
        for lk, cid in enumerate(chosen):
            links.append([q(pid), q(cid), str(lk + 1), "0" if cid in doc_ids else "1",
                          q(gid("listino", cid, 0)), "1" if lk else "2"])

    s.insert("prodotti", ["idprodotto", "idimage", "txcodprodotto", "idfornitore", "nuanno", "txdescprodotto",
                          "flprodottoattivo", "flaccessorio", "fldocumentazione", "txutentein", "dtin",
                          "txutentemod", "dtmod"], prodotti)
    s.add("UPDATE prodotti SET flprodottoattivo = 0 WHERE idprodotto = %s;\n" % q(main_ids[-1]))
    s.add("INSERT INTO images_prodotti (idimage, imgimage) SELECT x.id, d.dati FROM (VALUES\n%s) x(id, nome)"
          " JOIN demo_img d ON d.nome = x.nome;\n" % ",\n".join("(%s, %s)" % (q(p), q(n)) for p, n in cover))
    s.add("INSERT INTO images_prodotti_preview (idimage, imgpreview) SELECT idimage, imgimage FROM images_prodotti;\n")
    s.insert("prod_schede", ["idschedaprodotto", "idprodotto", "nuordinenelprodotto", "txdescschedaprodotto",
                             "flschedaprodottoattiva", "flschedaprodottounita", "txutentein", "dtin",
                             "txutentemod", "dtmod"], schede)
    s.insert("prod_scheda_voci", ["idvocescheda", "idschedaprodotto", "nuordinevocescheda", "txdescvocescheda",
                                  "flvoceschedaattiva", "txutentein", "dtin", "txutentemod", "dtmod"], voci)
    s.insert("prod_componenti", ["idcompprodotto", "idprodotto", "nuordinenelprodotto", "txdesccompprodotto",
                                 "flcompprodottoriepilogo", "flnewpagebefore", "flcompprodottoattivo",
                                 "txutentein", "dtin", "txutentemod", "dtmod"], comp)
    s.insert("prod_comp_parti", ["idpartecomp", "idcompprodotto", "nuordinepartecomp", "txdescpartecomp",
                                 "nuquantitaparte", "flpartecompimportante", "flpartecompattiva", "flpartecompunita",
                                 "txutentein", "dtin", "txutentemod", "dtmod"], parti)
    s.insert("prod_comp_parte_txt", ["idtxtparte", "idpartecomp", "nuordineparte", "txdesctxtpartertf",
                                     "txdesctxtparte", "fltestoinelenco", "fltxtparteattiva", "txutentein", "dtin",
                                     "txutentemod", "dtmod"], txt)
    s.add("INSERT INTO images_dettagli (idimage, imgimage) SELECT x.id, d.dati FROM (VALUES\n%s) x(id, nome)"
          " JOIN demo_img d ON d.nome = x.nome;\n" % ",\n".join("(%s, %s)" % (q(i[0]), q(i[4])) for i in img))
    s.add("INSERT INTO images_dettagli_preview (idimage, imgpreview) SELECT idimage, imgimage FROM images_dettagli;\n")
    s.insert("prod_comp_parte_img", ["idimgparte", "idimage", "idpartecomp", "nuordineparte", "txdescimgparte",
                                     "flimgparteattiva", "txutentein", "dtin"],
             [[q(i), q(i), q(p), str(c), q(d), "1", q("MROSSI"), "current_date - %d" % a] for i, p, c, d, _, a in img])
    s.insert("prod_comp_parte_url", ["idurlparte", "idpartecomp", "nuordineparte", "txdescurlparte", "txurlparte",
                                     "flurlparteattiva", "txutentein", "dtin", "txutentemod", "dtmod"], url)
    s.insert("prod_comp_parte_tab", ["idtabparte", "idpartecomp", "nuordineparte", "txdesctabparte",
                                     "txdesccolvoce", "txdesccolvalore", "fltabparteattiva", "txutentein", "dtin",
                                     "txutentemod", "dtmod"], tab)
    s.insert("prod_comp_parte_tab_voci", ["idtabvoce", "idtabparte", "nuordinevocetab", "txdesccolvoce",
                                          "txdesccolvalore", "flvocetabattiva", "txutentein", "dtin",
                                          "txutentemod", "dtmod"], tabv)
    s.insert("prod_listini", ["idprodlistino", "idprodotto", "txcodlistino", "txdesclistino", "vllistino",
                              "numaxpercsconto", "vlmaxsconto", "txutentein", "dtin", "txutentemod", "dtmod",
                              "txutentecanc", "dtcanc"], listini)
    s.insert("prod_list_scheda_valori", ["idprodlistino", "idschedaprodotto", "idvocescheda", "txvalorevocescheda"],
             lval)
    s.insert("prod_list_parte_quantita", ["idprodlistino", "idpartecomp", "nuquantitaparte", "txdescpartecomp"], lqta)
    s.insert("prod_collegati", ["idprodotto", "idprodcollegato", "nuordinecollegamento", "flaccessorio",
                                "idprodlistino", "nuquantita"], links)

    # Customers -----------------------------------------------------------------------------
    nomi = ["Officine", "Meccanica", "Impianti", "Elettrotecnica", "Costruzioni", "Automazioni",
            "Tecnologie", "Servizi", "Industrie", "Carpenterie", "Energia", "Sistemi"]
    cognomi = ["Rossi", "Bianchi", "Colombo", "Ferrari", "Galli", "Brambilla", "Fontana", "Conti",
               "Moretti", "Marchetti", "D'Angelo", "Lombardi", "Barbieri", "Mancini", "Riva",
               "Sala", "Longhi", "Valsecchi", "Pirovano", "Cattaneo", "Gentile", "Greco"]
    forme = ["S.r.l.", "S.p.A.", "S.n.c.", "S.a.s.", "S.r.l.s."]
    luoghi = [("MI", "Milano", "201"), ("MB", "Monza", "209"), ("BG", "Bergamo", "241"), ("BS", "Brescia", "251"),
              ("CO", "Como", "221"), ("VA", "Varese", "211"), ("LC", "Lecco", "239"), ("AN", "Ancona", "601"),
              ("PU", "Pesaro", "611"), ("MC", "Macerata", "621"), ("BO", "Bologna", "401"), ("TO", "Torino", "101"),
              ("VR", "Verona", "371"), ("PD", "Padova", "351"), ("RM", "Roma", "001")]
    esteri = [("Svizzera", "Lugano"), ("Francia", "Lyon"), ("Germania", "München"), ("Austria", "Graz")]
    vie = ["Via Roma", "Via Milano", "Via dell'Industria", "Viale Europa", "Via Garibaldi", "Via dei Mille",
           "Via Galileo Galilei", "Via Enrico Fermi", "Via Alessandro Volta", "Corso Italia"]
    clienti = []
    per_soc = {SOC1: [], SOC2: []}
    usati = set()
    for i in range(320):
        soc = SOC1 if i < 210 else SOC2
        while True:
            name = "%s %s %s" % (rnd.choice(nomi), rnd.choice(cognomi), rnd.choice(forme))
            if (soc, name) not in usati:
                break
            name = name.replace(" S.", " %s S." % rnd.choice(["Nord", "Sud", "Lario", "Adriatica", "Padana"]))
            if (soc, name) not in usati:
                break
        usati.add((soc, name))
        cid = gid("cliente", i)
        codice = "C%05d" % (len(per_soc[soc]) + 1)
        per_soc[soc].append(cid)
        estero = i % 23 == 7
        piva = "%011d" % rnd.randrange(10 ** 9, 10 ** 11)
        if estero:
            naz, loc = esteri[i % len(esteri)]
            prov, cap = "NULL", q("%04d" % rnd.randrange(1000, 9999))
        else:
            prov_c, loc, capb = luoghi[rnd.randrange(len(luoghi)) if soc == SOC1 else 7 + rnd.randrange(3)]
            naz, prov, cap = "Italia", q(prov_c), q(capb + "%02d" % rnd.randrange(100))
        age = rnd.randrange(30, 900)
        canc = i % 37 == 11
        clienti.append([q(cid), q(soc), q(codice), q(name), q(piva if not estero else "CHE%09d" % i),
                        q(piva if not estero else None), str(int(estero)), q(naz), prov, cap, q(loc),
                        q("%s %d" % (rnd.choice(vie), rnd.randrange(1, 180))),
                        q("M5UXCR1" if not estero else "XXXXXXX"),
                        q(rnd.choice(cognomi) if i % 3 else None),
                        q("0%d %07d" % (rnd.randrange(2, 99), rnd.randrange(10 ** 6, 10 ** 7))),
                        q("3%02d %07d" % (rnd.randrange(20, 99), rnd.randrange(10 ** 6, 10 ** 7)) if i % 2 else None),
                        q("info@%s.example.it" % name.split()[1].lower().replace("'", "")),
                        q(rnd.choice(["ADMIN", "MROSSI", "GBIANCHI"]) if soc == SOC1 else "LVERDI"),
                        "current_date - %d" % age,
                        q("MROSSI") if i % 4 == 0 else "NULL",
                        "current_date - %d" % (age // 2) if i % 4 == 0 else "NULL",
                        q("ADMIN") if canc else "NULL", "current_date - 20" if canc else "NULL"])
    s.insert("clienti", ["idcliente", "idsocieta", "txcodcliente", "txdenominazione", "txpartitaiva",
                         "txcodfiscale", "flestero", "txnazione", "txprovincia", "txcap", "txlocalita",
                         "txindirizzo", "txcoddestinatariosdi", "txreferente", "txtelefono", "txsmartphone",
                         "txemailcommerciale", "txutentein", "dtin", "txutentemod", "dtmod", "txutentecanc",
                         "dtcanc"], clienti)
    s.add("INSERT INTO contatori (txserie, nuultimo) SELECT 'CLIENTI:' || idsocieta, count(*) FROM clienti "
          "GROUP BY idsocieta ON CONFLICT (txserie) DO UPDATE SET nuultimo = excluded.nuultimo;\n")

    # Quotes at every stage and a few orders, made through the stored functions ----------------
    stadi = []
    for j in range(46):
        soc = SOC1 if j < 34 else SOC2
        cli = per_soc[soc][(j * 7) % len(per_soc[soc])]
        giorni = 330 - j * 7
        righe = []
        if j % 9 != 4:  # a few drafts without lines
            m = main_ids[j % len(main_ids)]
            righe.append((m, gid("listino", m, j % 2), 1 + (j % 3 == 0), 0))
            for d in range(j % 3):
                a = acc_ids[(j + d) % len(acc_ids)]
                righe.append((a, gid("listino", a, 0), 1 + d, 1))
            if j % 4 == 1:
                dd = doc_ids[j % len(doc_ids)]
                righe.append((dd, None, 1, 0))
            if j % 6 == 5:
                m2 = main_ids[(j * 3 + 1) % len(main_ids)]
                righe.append((m2, None, 1, 0))
        stadio = ["aperto", "bloccato", "esportato", "revisionato", "aperto", "disattivato", "bloccato",
                  "ordinato", "aperto", "esportato", "ordinato"][j % 11]
        if j >= 40:
            stadio = "aperto"
        soggetti = ["Fornitura quadri elettrici per ampliamento reparto", "Impianto fotovoltaico su copertura",
                    "Revamping cabina di trasformazione", "Quadri di bordo per linea di confezionamento",
                    "Rifasamento stabilimento", "Sostituzione quadro generale BT",
                    "Automazione impianto di depurazione", "Fornitura in opera di quadri di distribuzione"]
        stadi.append((gid("prev", j), soc, cli if j % 13 != 3 else None, soggetti[j % len(soggetti)] +
                      (" - lotto %d" % (j % 4 + 1) if j % 2 else ""), giorni, j % 3 != 1, 15 + 15 * (j % 3),
                      righe, stadio, ["MROSSI", "GBIANCHI", "ADMIN"][j % 3] if soc == SOC1 else "LVERDI"))
    s.add("""
-- Creates a demo quote with its lines through the stored functions, then dates it.
CREATE FUNCTION pg_temp.demo_preventivo(p_id text, p_soc text, p_cli text, p_oggetto text, p_giorni integer,
                                        p_fissa boolean, p_gg integer, p_utente text) RETURNS void
LANGUAGE plpgsql AS $$
DECLARE
    giorno date := current_date - p_giorni;
    anno integer := extract(year FROM giorno)::integer;
BEGIN
    INSERT INTO preventivi (idpreventivo, idsocieta, idcliente, txdescoggetto, flscadenzafissa, dtscadenza,
                            nuggscaddalblocco, txnotepreventivo, txutentein, dtin)
    VALUES (p_id, p_soc, p_cli, p_oggetto, CASE WHEN p_fissa THEN 1 ELSE 0 END,
            CASE WHEN p_fissa THEN (giorno + 60)::timestamp END, CASE WHEN p_fissa THEN 0 ELSE p_gg END,
            'Prezzi franco nostro stabilimento, IVA esclusa.', p_utente, giorno + time '09:30');
    UPDATE preventivi SET nuannopreventivo = anno,
           nupreventivo = vt_numero('PREVENTIVI:' || p_soc || ':' || anno), nurevisione = 1,
           dtpreventivo = giorno
     WHERE idpreventivo = p_id;
END $$;
""")
    corpo = []
    for (pid, soc, cli, ogg, giorni, fissa, gg, righe, stadio, utente) in stadi:
        corpo.append("PERFORM pg_temp.demo_preventivo(%s, %s, %s, %s, %d, %s, %d, %s);\n" % (
            q(pid), q(soc), q(cli), q(ogg), giorni, "true" if fissa else "false", gg, q(utente)))
        for r, (prod, lis, qta, acc) in enumerate(righe):
            corpo.append("PERFORM addprodottotopreventivo(%s, %s, %s, %s, %s, %d, %s);\n" % (
                q(pid), q(gid("riga", pid, r)), q(prod), q(lis) if lis else "NULL", qta, acc, q(utente)))
        if righe:
            corpo.append("UPDATE preventivo_dettaglio SET vlimporto = round(vllistino * 0.93, 0), txutentemod = %s, "
                  "dtmod = current_date - %d + time '11:00' WHERE idpreventivo = %s AND nuordinamento = 1 "
                  "AND vllistino IS NOT NULL;\n" % (q(utente), giorni - 1, q(pid)))
            corpo.append("UPDATE prevdet_nodi n SET flattivo = 0 FROM preventivo_dettaglio d WHERE d.idpreventivo = %s "
                  "AND n.idpreventivodet = d.idpreventivodet AND n.nutipologia = 40 AND n.txdescnodo = 'Cablaggio' "
                  "AND d.nuordinamento = 1;\n" % q(pid))
            corpo.append("UPDATE preventivo_dettaglio d SET vlimporto = 650, txdesclistino = 'Prezzo a corpo' "
                  "WHERE d.idpreventivo = %s AND d.vlimporto IS NULL AND d.idprodlistino IS NULL "
                  "AND NOT EXISTS (SELECT 1 FROM prodotti p WHERE p.idprodotto = d.idprodotto "
                  "AND p.fldocumentazione = 1);\n" % q(pid))
        blocca = "PERFORM changebloccopreventivo(%s, 1, %s);\n" % (q(pid), q(utente))
        data_blocco = ("UPDATE preventivi SET dtblocco = dtpreventivo + interval '2 days 10 hours', "
                       "dtscadenza = CASE WHEN flscadenzafissa = 0 THEN dtpreventivo + (nuggscaddalblocco + 2) "
                       "* interval '1 day' ELSE dtscadenza END WHERE idpreventivo = %s;\n" % q(pid))
        cartella = ("UPDATE preventivi SET txnomefolder = lpad(nupreventivo::text, 4, '0') || '_' || nuannopreventivo "
                    "|| ' (' || coalesce((SELECT c.txdenominazione FROM clienti c WHERE c.idcliente = preventivi.idcliente), '') "
                    "|| ') (' || txdescoggetto || ')', txnomefilepdf = 'Preventivo ' || lpad(nupreventivo::text, 4, '0') "
                    "|| '_' || nuannopreventivo || '.pdf', txurlfilepdf = 'https://www.dropbox.com/s/demo' || "
                    "substr(md5(idpreventivo), 1, 12) || '/preventivo.pdf?dl=0' WHERE idpreventivo = %s;\n" % q(pid))
        if stadio in ("bloccato", "esportato", "revisionato", "ordinato") and righe:
            corpo.append(blocca + data_blocco)
        if stadio in ("esportato", "revisionato", "ordinato") and righe:
            corpo.append(cartella)
        if stadio == "revisionato" and righe:
            rev = gid("rev", pid)
            corpo.append("PERFORM revisionepreventivo(%s, %s, %s);\n" % (q(pid), q(rev), q(utente)))
            corpo.append("UPDATE preventivi SET dtpreventivo = current_date - %d, dtin = current_date - %d + time '15:00' "
                  "WHERE idpreventivo = %s;\n" % (max(0, giorni - 20), max(0, giorni - 20), q(rev)))
            corpo.append("UPDATE preventivo_dettaglio SET nuquantita = nuquantita + 1, txutentemod = %s, "
                  "dtmod = current_date - %d WHERE idpreventivo = %s AND nuordinamento = 1;\n"
                  % (q(utente), max(0, giorni - 21), q(rev)))
        if stadio == "disattivato":
            corpo.append("PERFORM changestatopreventivo(%s, 0, %s);\n" % (q(pid), q(utente)))
            corpo.append("UPDATE preventivi SET dtcanc = dtpreventivo + interval '30 days' WHERE idpreventivo = %s;\n" % q(pid))
        if stadio == "ordinato" and righe and cli:
            corpo.append("UPDATE preventivi SET dtmod = dtpreventivo + interval '1 day' WHERE idpreventivo = %s;\n" % q(pid))
            corpo.append("""    SELECT idordine INTO o FROM creaordinedapreventivo(%s, %s);
    UPDATE ordini SET txcodpagamento = %s, txriferimentidestinazione = 'Consegna presso il cantiere del cliente, '
               || 'accesso carrai dalle 8:00 alle 16:00.', flshowriferimentiprev = 1,
           txnoteordine = 'Collaudo in presenza del cliente.', dtordine = current_date - %d,
           dtin = current_date - %d + time '10:00', flfirmato = %d
     WHERE idordine = o;
    INSERT INTO ordine_sommario (idordine, nuordinetesto, txdesctesto, txtesto) VALUES
        (o, 1, 'Oggetto della fornitura', 'Come da preventivo accettato e relative revisioni.'),
        (o, 2, 'Termini di consegna', '8 settimane lavorative dalla conferma d''ordine e dall''approvazione dei disegni.'),
        (o, 3, 'Pagamento', 'Come da condizione di pagamento indicata.');
""" % (q(pid), q(utente), q(["BB30", "RB3060", "RD"][giorni % 3]), max(0, giorni - 10), max(0, giorni - 10),
                int(giorni % 2 == 0)))
    corpo.append("UPDATE ordini SET flbloccato = 1, dtblocco = dtordine + interval '1 day', txutenteblocco = 'ADMIN', "
          "dtscadenza = CASE WHEN flscadenzafissa = 0 THEN dtordine + (nuggscaddalblocco + 1) * interval '1 day' "
          "ELSE dtscadenza END WHERE flfirmato = 1;\n")

    s.add("DO $$\nDECLARE\n    o varchar;\nBEGIN\n" + "".join(corpo) + "END $$;\n")
    s.add("""
-- The lines were added on their quotes' own days, and each quote's latest operation on its
-- lines follows them.
UPDATE preventivo_dettaglio d SET dtin = q.dtin + interval '30 minutes'
  FROM preventivi q WHERE q.idpreventivo = d.idpreventivo;
UPDATE preventivi_operazioni_righe o
   SET dtoperazione = x.dt, txutenteoperazione = x.utente
  FROM (SELECT DISTINCT ON (d.idpreventivo) d.idpreventivo, greatest(d.dtin, d.dtmod) AS dt,
               CASE WHEN d.dtmod >= d.dtin THEN d.txutentemod ELSE d.txutentein END AS utente
          FROM preventivo_dettaglio d WHERE d.idpreventivo IS NOT NULL
         ORDER BY d.idpreventivo, greatest(d.dtin, d.dtmod) DESC) x
 WHERE o.idpreventivo = x.idpreventivo;
""")

    with open(OUT, "w", encoding="utf-8") as f:
        f.write("".join(s.parts))


if __name__ == "__main__":
    main()
