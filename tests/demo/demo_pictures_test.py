#!/usr/bin/env python3
"""The demo data as the program loads them: the SQL file is what the generator writes today,
and the company logos in it look finished (nothing cut at the picture's or the square's edge).

    demo_pictures_test.py DATABASE/DEMO
"""

import importlib.util
import os
import re
import struct
import sys
import tempfile
import unittest
import zlib

DEMO = os.path.abspath(sys.argv.pop(1) if len(sys.argv) > 1 else "database/demo")
SQL = os.path.join(DEMO, "0002_demo_dati.sql")
MARGIN = 8  # pixels of background at least between drawn text and the edge of its area


def decode_png(data):
    """Width, height and rows of (r, g, b) tuples of an 8-bit RGB or RGBA PNG."""
    assert data[:8] == b"\x89PNG\r\n\x1a\n", "not a PNG"
    pos, idat = 8, b""
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        if kind == b"IHDR":
            w, h, depth, colour = struct.unpack(">IIBB", body[:10])
        elif kind == b"IDAT":
            idat += body
        pos += 12 + length
    assert depth == 8 and colour in (2, 6), "unexpected PNG format"
    bpp = 3 if colour == 2 else 4
    raw, stride, rows, prev = zlib.decompress(idat), w * bpp, [], bytearray(w * bpp)
    for y in range(h):
        kind, line = raw[y * (stride + 1)], bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            a = line[i - bpp] if i >= bpp else 0
            b, c = prev[i], prev[i - bpp] if i >= bpp else 0
            if kind == 1:
                line[i] = (line[i] + a) & 255
            elif kind == 2:
                line[i] = (line[i] + b) & 255
            elif kind == 3:
                line[i] = (line[i] + (a + b) // 2) & 255
            elif kind == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                line[i] = (line[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
        rows.append([tuple(line[x * bpp:x * bpp + 3]) for x in range(w)])
        prev = line
    return w, h, rows


def sql_pictures(text):
    return {m.group(1): bytes.fromhex(m.group(2))
            for m in re.finditer(r"\('([a-z0-9_]+)', '\\x([0-9a-f]+)'\)", text)}


def ink_box(rows, x0, x1, y0, y1, background):
    """Bounding box (left, top, right, bottom) of the pixels that differ from the background."""
    xs, ys = [], []
    for y in range(y0, y1):
        for x in range(x0, x1):
            if rows[y][x] != background:
                xs.append(x)
                ys.append(y)
    return (min(xs), min(ys), max(xs), max(ys)) if xs else None


class DemoPictures(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        with open(SQL, encoding="utf-8") as f:
            cls.sql = f.read()
        cls.pictures = sql_pictures(cls.sql)

    def test_sql_is_what_the_generator_writes(self):
        spec = importlib.util.spec_from_file_location("genera_demo", os.path.join(DEMO, "genera_demo.py"))
        generator = importlib.util.module_from_spec(spec)
        spec.loader.exec_module(generator)
        with tempfile.TemporaryDirectory() as tmp:
            generator.OUT = os.path.join(tmp, "demo.sql")
            generator.main()
            with open(generator.OUT, encoding="utf-8") as f:
                self.assertTrue(f.read() == self.sql, "0002_demo_dati.sql is out of date: run genera_demo.py")

    def test_company_logos_are_not_cut(self):
        logos = [name for name in self.pictures if name.startswith("logo")]
        self.assertEqual(len(logos), 2)
        for name in logos:
            with self.subTest(logo=name):
                w, h, rows = decode_png(self.pictures[name])
                white, square = (255, 255, 255), rows[0][0]
                side = next(x for x in range(w) if rows[0][x] != square)
                # The initials inside the coloured square.
                box = ink_box(rows, 0, side, 0, h, square)
                self.assertIsNotNone(box, "no initials")
                self.assertGreaterEqual(box[0], MARGIN)
                self.assertGreaterEqual(box[1], MARGIN)
                self.assertLessEqual(box[2], side - 1 - MARGIN, "initials cut at the square's edge")
                self.assertLessEqual(box[3], h - 1 - MARGIN)
                # The name and the second line beside it, on white.
                box = ink_box(rows, side, w, 0, h, white)
                self.assertIsNotNone(box, "no name")
                self.assertGreaterEqual(box[0], side + MARGIN)
                self.assertGreaterEqual(box[1], MARGIN)
                self.assertLessEqual(box[2], w - 1 - MARGIN, "name cut at the picture's edge")
                self.assertLessEqual(box[3], h - 1 - MARGIN)


if __name__ == "__main__":
    unittest.main(verbosity=1)
