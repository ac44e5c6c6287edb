#!/usr/bin/env python3
"""Writes the project's stress set: small hand-made PDFs and other inputs, each damaged or odd
in one way that real files are, into the folder named on the command line.

    make_stress_set.py FOLDER

Every file is made from scratch with the standard library only, so the set is the same on
every machine. The file name says what is wrong with it.
"""
import os
import sys
import zlib


def pdf(objects, trailer=b"/Root 1 0 R", size=True, header=b"%PDF-1.4\n%\xe2\xe3\xcf\xd3\n",
        xref=True):
    """A PDF of numbered objects (bodies without 'n 0 obj'), with a correct cross-reference
    table unless told otherwise."""
    out = bytearray(header)
    offsets = []
    for number, body in enumerate(objects, start=1):
        offsets.append(len(out))
        out += b"%d 0 obj\n" % number + body + b"\nendobj\n"
    start = len(out)
    if xref:
        out += b"xref\n0 %d\n0000000000 65535 f \n" % (len(objects) + 1)
        for offset in offsets:
            out += b"%010d 00000 n \n" % offset
    out += b"trailer\n<< "
    if size is True:
        out += b"/Size %d " % (len(objects) + 1)
    elif size:
        out += size + b" "
    out += trailer + b" >>\nstartxref\n%d\n%%%%EOF\n" % start
    return bytes(out)


def stream(data, extra=b""):
    return b"<< /Length %d %s>>\nstream\n" % (len(data), extra) + data + b"\nendstream"


def content(text):
    return b"BT /F1 24 Tf 72 700 Td (" + text + b") Tj ET"


FONT = b"<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>"


def two_pages(count=b"/Count 2", extra_catalog=b"", first_content=None):
    """Catalog, page tree, two pages with their content, a font: objects 1 to 7."""
    return [
        b"<< /Type /Catalog /Pages 2 0 R " + extra_catalog + b">>",
        b"<< /Type /Pages /Kids [3 0 R 4 0 R] " + count + b" >>",
        b"<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Contents 5 0 R"
        b" /Resources << /Font << /F1 7 0 R >> >> >>",
        b"<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Contents 6 0 R"
        b" /Resources << /Font << /F1 7 0 R >> >> >>",
        first_content or stream(content(b"page one")),
        stream(content(b"page two")),
        FONT,
    ]


def outline(items):
    """Catalog with /Outlines 8 0 R; `items` are the bodies of objects 9 onwards."""
    objects = two_pages(extra_catalog=b"/Outlines 8 0 R ")
    objects.append(b"<< /Type /Outlines /First 9 0 R /Last 9 0 R /Count 1 >>")
    return objects + items


def make_all():
    files = {}
    sound = pdf(two_pages())
    files["sound.pdf"] = sound

    # The page tree's own count disagrees with its kids, or is missing, negative or huge.
    files["count-wrong.pdf"] = pdf(two_pages(b"/Count 5"))
    files["count-missing.pdf"] = pdf(two_pages(b""))
    files["count-negative.pdf"] = pdf(two_pages(b"/Count -3"))
    files["count-huge.pdf"] = pdf(two_pages(b"/Count 2147483647"))
    # Kids that are no pages at all: nothing to show.
    files["kids-not-pages.pdf"] = pdf([
        b"<< /Type /Catalog /Pages 2 0 R >>",
        b"<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
        b"<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>",
    ])
    files["kids-empty.pdf"] = pdf([
        b"<< /Type /Catalog /Pages 2 0 R >>",
        b"<< /Type /Pages /Kids [] /Count 0 >>",
    ])

    # The catalog's /Pages is the one page itself, with no tree above it.
    files["pages-is-a-page.pdf"] = pdf([
        b"<< /Type /Catalog /Pages 2 0 R >>",
        b"<< /Type /Page /MediaBox [0 0 612 792] /Contents 3 0 R /Resources << /Font << /F1 4 0 R >> >> >>",
        stream(content(b"page one")),
        FONT,
    ])

    # The trailer lacks its /Size, or spells it wrongly.
    files["size-missing.pdf"] = pdf(two_pages(), size=False)
    files["size-misspelt.pdf"] = pdf(two_pages(), size=b"/Sise 8")
    files["size-small.pdf"] = pdf(two_pages(), size=b"/Size 3")

    # A stream whose /Filter is neither a name nor an array.
    files["filter-number.pdf"] = pdf(two_pages(first_content=stream(content(b"page one"), b"/Filter 5 ")))
    files["filter-string.pdf"] = pdf(
        two_pages(first_content=stream(content(b"page one"), b"/Filter (FlateDecode) ")))
    files["filter-unknown.pdf"] = pdf(
        two_pages(first_content=stream(content(b"page one"), b"/Filter /NoSuchDecode ")))
    files["flate-corrupt.pdf"] = pdf(
        two_pages(first_content=stream(zlib.compress(content(b"page one"))[:-6] + b"xxxxxx",
                                       b"/Filter /FlateDecode ")))

    # A stream whose /Length is far too large, or is missing.
    files["length-huge.pdf"] = pdf(two_pages(
        first_content=b"<< /Length 999999999 >>\nstream\n" + content(b"page one") + b"\nendstream"))
    files["length-missing.pdf"] = pdf(two_pages(
        first_content=b"<< >>\nstream\n" + content(b"page one") + b"\nendstream"))

    # The header is not where a strict reader looks for it, or is gone.
    files["header-after-1200-bytes.pdf"] = b"J" * 1200 + sound
    files["header-after-4k-junk.pdf"] = bytes((i * 7 + 13) % 251 for i in range(4096)) + sound
    files["header-after-60k-junk.pdf"] = b"\0" * 60000 + sound
    files["header-zeroed.pdf"] = b"\0" * 8 + sound[8:]
    files["header-missing.pdf"] = sound[sound.index(b"1 0 obj"):]

    # The cross-reference table is wrong, missing or cut.
    files["xref-offsets-wrong.pdf"] = sound.replace(b"0000000015 00000 n", b"0000000999 00000 n")
    files["xref-missing.pdf"] = pdf(two_pages(), xref=False)
    files["startxref-wrong.pdf"] = sound[:sound.rindex(b"startxref")] + b"startxref\n99999\n%%EOF\n"
    files["truncated-half.pdf"] = sound[: len(sound) // 2]
    files["truncated-no-eof.pdf"] = sound[: sound.rindex(b"%%EOF")]
    flipped = bytearray(sound)
    flipped[len(flipped) // 3] ^= 0x10
    files["flipped-bit.pdf"] = bytes(flipped)

    # Outlines that lead back into themselves.
    files["outline-self-next.pdf"] = pdf(outline([
        b"<< /Title (loop) /Parent 8 0 R /Next 9 0 R /Dest [3 0 R /Fit] >>"]))
    files["outline-cycle.pdf"] = pdf(outline([
        b"<< /Title (one) /Parent 8 0 R /Next 10 0 R /First 10 0 R /Last 10 0 R /Count 1"
        b" /Dest [3 0 R /Fit] >>",
        b"<< /Title (two) /Parent 9 0 R /Next 9 0 R /First 9 0 R /Last 9 0 R /Count 1"
        b" /Dest [4 0 R /Fit] >>"]))

    # A page tree whose kid is its own parent.
    files["pages-cycle.pdf"] = pdf([
        b"<< /Type /Catalog /Pages 2 0 R >>",
        b"<< /Type /Pages /Kids [3 0 R 2 0 R] /Count 2 >>",
        b"<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Contents 4 0 R"
        b" /Resources << /Font << /F1 5 0 R >> >> >>",
        stream(content(b"page one")),
        FONT,
    ])

    # Pages whose graphics state is left unbalanced.
    files["q-left-open.pdf"] = pdf(two_pages(
        first_content=stream(b"q 0.5 0 0 0.5 0 0 cm " + content(b"page one"))))
    files["q-extra-Q.pdf"] = pdf(two_pages(
        first_content=stream(content(b"page one") + b" Q Q 0 0 10 10 re W n")))

    # Not PDFs at all, some of which look like audio to a careless reader.
    text = "Plain text, not audio.\n" * 40
    files["utf16-le-text.txt"] = b"\xff\xfe" + text.encode("utf-16-le")
    files["utf16-be-text.txt"] = b"\xfe\xff" + text.encode("utf-16-be")
    files["plain-text.txt"] = text.encode()
    files["empty.pdf"] = b""
    files["random-bytes.bin"] = bytes((i * 131 + 7) % 256 for i in range(5000))
    return files


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: make_stress_set.py FOLDER")
    folder = sys.argv[1]
    os.makedirs(folder, exist_ok=True)
    for name, data in sorted(make_all().items()):
        with open(os.path.join(folder, name), "wb") as f:
            f.write(data)
    print("%d files written to %s" % (len(make_all()), folder))


if __name__ == "__main__":
    main()
