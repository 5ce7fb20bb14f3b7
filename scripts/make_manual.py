#!/usr/bin/env python3
"""Typesets the user manual (docs/manual.md) as the help file Corvel.pdf that ships beside the module.

The Markdown is turned into HTML (python3-markdown: typographic quotes and dashes, tables, heading
anchors), given a title block and a contents list with page numbers, and laid out by WeasyPrint
with docs/manual.css: A4 pages, embedded fonts, a bookmark per heading, working links, headings kept
with the text that follows. Pictures the manual names (the dialog, drawn by corvel-host) are looked
up in the --pictures folder.

usage: make_manual.py SOURCE.md OUTPUT.pdf --css STYLE.css --pictures FOLDER
"""
import argparse
import html
import os
import re
import sys

import markdown
import weasyprint


def contents_list(body):
    """The second-level headings as a linked list; the page numbers come from the style sheet."""
    items = []
    for anchor, title in re.findall(r'<h2 id="([^"]+)">(.*?)</h2>', body):
        items.append('<li><a href="#%s">%s</a></li>' % (anchor, title))
    return '<nav class="contents"><h2 class="contents-title">Contents</h2><ol>%s</ol></nav>' % "".join(items)


def build_html(source, css):
    md = markdown.Markdown(extensions=["toc", "smarty", "tables", "attr_list", "sane_lists"],
                           extension_configs={"toc": {"permalink": False}})
    body = md.convert(source)
    # The first heading is the manual's title; the paragraph after it is the subtitle.
    match = re.match(r'\s*<h1 id="[^"]*">(.*?)</h1>\s*(<p>.*?</p>)?', body, re.S)
    if not match:
        sys.exit("make_manual.py: the manual must start with a '# title' line")
    title_html = match.group(1)
    subtitle = match.group(2) or ""
    rest = body[match.end():]
    # Pictures stand alone in a paragraph: make them figures with their text as the caption.
    rest = re.sub(r'<p><img alt="([^"]*)" src="([^"]+)" */?></p>',
                  r'<figure><img alt="\1" src="\2"/><figcaption>\1</figcaption></figure>', rest)
    plain_title = html.unescape(re.sub(r"<[^>]+>", "", title_html))
    return """<!DOCTYPE html>
<html lang="en"><head><meta charset="utf-8"/>
<title>%s</title>
<meta name="author" content="Tarnwick Software"/>
<meta name="description" content="User manual of Corvel, quick test renders for Cinema 4D"/>
<style>%s</style></head>
<body>
<header class="title-block"><h1>%s</h1>%s</header>
%s
%s
</body></html>""" % (html.escape(plain_title), css, title_html, subtitle, contents_list(rest), rest)


def main():
    parser = argparse.ArgumentParser(description="Typesets docs/manual.md as Corvel.pdf.")
    parser.add_argument("source")
    parser.add_argument("output")
    parser.add_argument("--css", required=True)
    parser.add_argument("--pictures", required=True, help="folder holding the pictures the manual names")
    parser.add_argument("--html", help="also write the HTML that is typeset (for looking at it)")
    args = parser.parse_args()

    with open(args.source, encoding="utf-8") as f:
        source = f.read()
    with open(args.css, encoding="utf-8") as f:
        css = f.read()
    document = build_html(source, css)
    for picture in re.findall(r'<img alt="[^"]*" src="([^"]+)"', document):
        if not os.path.isfile(os.path.join(args.pictures, picture)):
            sys.exit("make_manual.py: the manual shows %s, which is not in %s" % (picture, args.pictures))
    if args.html:
        with open(args.html, "w", encoding="utf-8") as f:
            f.write(document)
    base = os.path.abspath(args.pictures) + os.sep
    weasyprint.HTML(string=document, base_url=base).write_pdf(args.output)


if __name__ == "__main__":
    main()
