#!/usr/bin/env python3
"""Typesets the user manual (docs/manual.md) as the help file Corvel.pdf that ships beside the module.

Only the Python standard library is used, so the package build needs nothing beyond python3. The
Markdown subset understood is the one the manual uses: '# ' title, '## ' headings, paragraphs,
'- ' bullets and '1. ' numbered items (continuation lines indented), backticks dropped. Text is set
in the PDF standard fonts Helvetica and Helvetica-Bold (not embedded; every PDF reader has them) on
A4 pages. The output is byte-for-byte reproducible: no dates, no random identifiers.

usage: make_manual_pdf.py SOURCE.md OUTPUT.pdf
"""
import re
import sys

# Advance widths of Helvetica for ASCII 32..126, in 1/1000 em (Adobe's font metrics).
HELVETICA = [
    278, 278, 355, 556, 556, 889, 667, 222, 333, 333, 389, 584, 278, 333, 278, 278,
    556, 556, 556, 556, 556, 556, 556, 556, 556, 556, 278, 278, 584, 584, 584, 556,
    1015, 667, 667, 722, 722, 667, 611, 778, 722, 278, 500, 667, 556, 833, 722, 778,
    667, 778, 722, 667, 611, 722, 667, 944, 667, 667, 611, 278, 278, 278, 469, 556,
    222, 556, 556, 500, 556, 556, 278, 556, 556, 222, 222, 500, 222, 833, 556, 556,
    556, 556, 333, 500, 278, 556, 500, 722, 500, 500, 500, 334, 260, 334, 584,
]
BOLD_FACTOR = 1.08  # Helvetica-Bold runs about this much wider; used for headings only

PAGE_W, PAGE_H = 595, 842  # A4 in points
MARGIN = 64
BODY, H1, H2 = 10.5, 18, 13


def text_width(text, size, bold=False):
    units = sum(HELVETICA[ord(c) - 32] if 32 <= ord(c) < 127 else 556 for c in text)
    return units * size / 1000.0 * (BOLD_FACTOR if bold else 1.0)


def wrap(text, size, width, bold=False):
    lines, line = [], ""
    for word in text.split():
        candidate = word if not line else line + " " + word
        if line and text_width(candidate, size, bold) > width:
            lines.append(line)
            line = word
        else:
            line = candidate
    if line:
        lines.append(line)
    return lines


def parse(markdown):
    """Blocks of (kind, text, marker): kind is title, heading, para or item."""
    blocks, current = [], None
    for raw in markdown.splitlines():
        line = raw.replace("`", "").rstrip()
        if not line.strip():
            current = None
            continue
        if line.startswith("# "):
            blocks.append(["title", line[2:].strip(), ""])
            current = None
        elif line.startswith("## "):
            blocks.append(["heading", line[3:].strip(), ""])
            current = None
        elif re.match(r"^(- |\d+\. )", line):
            marker, rest = line.split(" ", 1)
            current = ["item", rest.strip(), "\u2022" if marker == "-" else marker]
            blocks.append(current)
        elif current is not None and (raw.startswith(" ") or current[0] == "para"):
            current[1] += " " + line.strip()
        else:
            current = ["para", line.strip(), ""]
            blocks.append(current)
    return blocks


def escape(text):
    text = text.replace("\\", "\\\\").replace("(", "\\(").replace(")", "\\)")
    # WinAnsiEncoding: the bullet is code 0x95; everything else the manual uses is ASCII.
    return text.replace("\u2022", "\\225").encode("latin-1", "replace").decode("latin-1")


def layout(blocks, footer):
    """Returns one content stream (str) per page."""
    pages, ops = [], []
    y = PAGE_H - MARGIN
    width = PAGE_W - 2 * MARGIN

    def new_page():
        nonlocal ops, y
        if ops:
            pages.append(ops)
        ops = []
        y = PAGE_H - MARGIN

    def put(text, x, size, bold):
        ops.append("BT /%s %.1f Tf %.2f %.2f Td (%s) Tj ET" % ("F2" if bold else "F1", size, x, y, escape(text)))

    for kind, text, marker in blocks:
        if kind == "title":
            size, bold, indent, before, after = H1, True, 0, 0, 10
        elif kind == "heading":
            size, bold, indent, before, after = H2, True, 0, 10, 4
        elif kind == "item":
            size, bold, indent, before, after = BODY, False, 16, 0, 3
        else:
            size, bold, indent, before, after = BODY, False, 0, 0, 6
        leading = size * 1.35
        lines = wrap(text, size, width - indent, bold)
        needed = before + leading * min(len(lines), 3 if kind == "heading" else 2) + (leading if kind == "heading" else 0)
        if y - needed < MARGIN + 20:
            new_page()
        elif ops:
            y -= before
        for i, line in enumerate(lines):
            if y - leading < MARGIN + 20:
                new_page()
            y -= leading
            if i == 0 and marker:
                put(marker, MARGIN + 2, size, False)
            put(line, MARGIN + indent, size, bold)
        y -= after
    new_page()

    streams = []
    for number, page_ops in enumerate(pages, 1):
        label = "%s - page %d of %d" % (footer, number, len(pages))
        page_ops.append("BT /F1 8 Tf %.2f %.2f Td (%s) Tj ET" % (MARGIN, MARGIN - 24, escape(label)))
        streams.append("\n".join(page_ops) + "\n")
    return streams


def write_pdf(streams, title, path):
    objects = []  # object bodies, numbered from 1

    def add(body):
        objects.append(body)
        return len(objects)

    catalog = add(None)
    pages = add(None)
    regular = add("<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding >>")
    bold = add("<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica-Bold /Encoding /WinAnsiEncoding >>")
    kids = []
    for stream in streams:
        data = stream.encode("latin-1")
        content = add("<< /Length %d >>\nstream\n%sendstream" % (len(data), stream))
        kids.append(add("<< /Type /Page /Parent %d 0 R /MediaBox [0 0 %d %d] "
                        "/Resources << /Font << /F1 %d 0 R /F2 %d 0 R >> >> /Contents %d 0 R >>"
                        % (pages, PAGE_W, PAGE_H, regular, bold, content)))
    objects[catalog - 1] = "<< /Type /Catalog /Pages %d 0 R >>" % pages
    objects[pages - 1] = "<< /Type /Pages /Kids [%s] /Count %d >>" % (" ".join("%d 0 R" % k for k in kids), len(kids))
    info = add("<< /Title (%s) /Author (Tarnwick Software) /Producer (make_manual_pdf.py) >>" % escape(title))

    out = bytearray(b"%PDF-1.4\n%\xe2\xe3\xcf\xd3\n")
    offsets = []
    for number, body in enumerate(objects, 1):
        offsets.append(len(out))
        out += ("%d 0 obj\n%s\nendobj\n" % (number, body)).encode("latin-1")
    xref = len(out)
    out += ("xref\n0 %d\n0000000000 65535 f \n" % (len(objects) + 1)).encode("ascii")
    for offset in offsets:
        out += ("%010d 00000 n \n" % offset).encode("ascii")
    out += ("trailer\n<< /Size %d /Root %d 0 R /Info %d 0 R >>\nstartxref\n%d\n%%%%EOF\n"
            % (len(objects) + 1, catalog, info, xref)).encode("ascii")
    with open(path, "wb") as f:
        f.write(out)


def main(argv):
    if len(argv) != 3:
        sys.stderr.write(__doc__.strip().splitlines()[-1] + "\n")
        return 2
    with open(argv[1], encoding="utf-8") as f:
        blocks = parse(f.read())
    if not blocks or blocks[0][0] != "title":
        sys.stderr.write("%s: the manual must start with a '# ' title\n" % argv[1])
        return 1
    title = blocks[0][1]
    write_pdf(layout(blocks, title), title, argv[2])
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
