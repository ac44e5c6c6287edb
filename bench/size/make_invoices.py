#!/usr/bin/env python3
"""Writes N one-page invoices that share a logo and two embedded fonts, byte for byte.

Usage: make_invoices.py FOLDER N
Each file embeds the same DejaVu Sans and DejaVu Sans Mono files and the same 300x120 RGB logo;
only the invoice number and the amounts differ.
"""
import os
import sys
import zlib

FONTS = ["/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf",
         "/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf"]


def logo():
    rows = bytearray()
    for y in range(120):
        for x in range(300):
            rows += bytes(((x * 255) // 300, (y * 255) // 120, 160 if (x // 20 + y // 20) % 2 else 60))
    return zlib.compress(bytes(rows), 9)


def invoice(number, fonts, image):
    objects = []

    def add(body):
        objects.append(body)
        return len(objects)

    def stream(dictionary, data):
        return dictionary.replace(b">>", b" /Length %d>>" % len(data), 1) + b"\nstream\n" + data + b"\nendstream"

    font_ids = []
    for name, data in zip((b"DejaVuSans", b"DejaVuSansMono"), fonts):
        file_id = add(stream(b"<</Length1 %d /Filter /FlateDecode>>" % len(data[0]), data[1]))
        descriptor = add(b"<</Type /FontDescriptor /FontName /" + name + b" /Flags 32 /FontBBox [-1021 -463 1793 1232]"
                         b" /ItalicAngle 0 /Ascent 928 /Descent -236 /CapHeight 700 /StemV 80 /FontFile2 %d 0 R>>" % file_id)
        font_ids.append(add(b"<</Type /Font /Subtype /TrueType /BaseFont /" + name + b" /FirstChar 32 /LastChar 126"
                            b" /Widths [" + b" 600" * 95 + b"] /Encoding /WinAnsiEncoding /FontDescriptor %d 0 R>>" % descriptor))
    image_id = add(stream(b"<</Type /XObject /Subtype /Image /Width 300 /Height 120 /ColorSpace /DeviceRGB"
                          b" /BitsPerComponent 8 /Filter /FlateDecode>>", image))
    lines = [b"q 150 0 0 60 56 740 cm /Logo Do Q", b"BT /F1 20 Tf 56 700 Td (Invoice %d) Tj ET" % number]
    for i in range(12):
        lines.append(b"BT /F2 10 Tf 56 %d Td (Item %02d ........ %8.2f EUR) Tj ET" % (640 - 18 * i, i + 1, (number * 7 + i * 13) % 997 / 3))
    content = zlib.compress(b"\n".join(lines))
    content_id = add(stream(b"<</Filter /FlateDecode>>", content))
    page_id = len(objects) + 2
    pages_id = add(b"<</Type /Pages /Kids [%d 0 R] /Count 1>>" % page_id)
    add(b"<</Type /Page /Parent %d 0 R /MediaBox [0 0 595 842] /Contents %d 0 R /Resources <</Font <</F1 %d 0 R /F2 %d 0 R>>"
        b" /XObject <</Logo %d 0 R>>>>>>" % (pages_id, content_id, font_ids[0], font_ids[1], image_id))
    catalog_id = add(b"<</Type /Catalog /Pages %d 0 R>>" % pages_id)

    out = bytearray(b"%PDF-1.7\n%\xe2\xe3\xcf\xd3\n")
    offsets = []
    for i, body in enumerate(objects, 1):
        offsets.append(len(out))
        out += b"%d 0 obj\n" % i + body + b"\nendobj\n"
    xref = len(out)
    out += b"xref\n0 %d\n0000000000 65535 f \n" % (len(objects) + 1)
    for o in offsets:
        out += b"%010d 00000 n \n" % o
    out += b"trailer\n<</Size %d /Root %d 0 R>>\nstartxref\n%d\n%%%%EOF\n" % (len(objects) + 1, catalog_id, xref)
    return bytes(out)


def main():
    folder, count = sys.argv[1], int(sys.argv[2])
    os.makedirs(folder, exist_ok=True)
    fonts = []
    for path in FONTS:
        with open(path, "rb") as f:
            data = f.read()
        fonts.append((data, zlib.compress(data, 6)))
    image = logo()
    for n in range(1, count + 1):
        with open(os.path.join(folder, "invoice-%04d.pdf" % n), "wb") as f:
            f.write(invoice(n, fonts, image))


if __name__ == "__main__":
    main()
