#!/usr/bin/python3
# The text-marking peer: PyMuPDF (Debian's python3-fitz) searches every page for a text and
# highlights each occurrence, then saves. Usage: highlight_peer.py INPUT OUTPUT TEXT
import sys

import fitz

src, dst, text = sys.argv[1:4]
doc = fitz.open(src)
count = 0
for page in doc:
    for quad in page.search_for(text, quads=True):
        page.add_highlight_annot(quad)
        count += 1
doc.save(dst, garbage=0, deflate=True)
print(count, file=sys.stderr)
