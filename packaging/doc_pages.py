#!/usr/bin/env python3
"""The pages handed out with the program, each one self-contained HTML file made from the
Markdown text of docs/: the operator's guide with its pictures inlined, and the dose journal's
and the central registry's pages for the clinic's IT. A link from one page to another is
rewritten to the other's name in the package, so that the pages lead to each other beside the
program; a link to a Markdown file that is not handed out stops the build rather than ship a
dead link.

    doc_pages.py <repository root> <output folder> [<version>]
"""
import base64
import html
import pathlib
import re
import sys

import markdown

# Each page's source in the repository and its file in the zip and the installation folder.
PAGES = {
    "docs/ru/guide.md": "VIREL1_Service_guide.html",
    "docs/journal.md": "VIREL1_Service_journal.html",
    "docs/registry.md": "VIREL1_Service_registry.html",
}

STYLE = """
body { font-family: Segoe UI, Tahoma, Arial, sans-serif; max-width: 52em; margin: 2em auto;
       padding: 0 1em; line-height: 1.45; color: #222; }
h1, h2, h3 { line-height: 1.2; }
h2 { border-bottom: 1px solid #ccc; padding-bottom: .2em; margin-top: 2em; }
table { border-collapse: collapse; margin: 1em 0; }
th, td { border: 1px solid #bbb; padding: .3em .6em; vertical-align: top; text-align: left; }
th { background: #eee; }
code { background: #f3f3f3; padding: 0 .2em; }
pre { background: #f3f3f3; padding: .6em; overflow-x: auto; }
img { border: 1px solid #ccc; margin: .5em 0; }
.version { color: #666; }
"""


def inline_pictures(body: str, folder: pathlib.Path) -> str:
    def picture(match: re.Match) -> str:
        path = folder / html.unescape(match.group(2))
        data = base64.b64encode(path.read_bytes()).decode("ascii")
        kind = "png" if path.suffix.lower() == ".png" else "jpeg"
        return f'{match.group(1)}data:image/{kind};base64,{data}"'

    return re.sub(r'(<img [^>]*?src=")([^":]+)"', picture, body)


def packaged_links(body: str, source: pathlib.Path, root: pathlib.Path) -> str:
    """Links to other pages of the package by their packaged names; web addresses and links
    within the page as they are."""
    packaged = {(root / path).resolve(): name for path, name in PAGES.items()}

    def link(match: re.Match) -> str:
        target = html.unescape(match.group(2))
        path, _, fragment = target.partition("#")
        name = packaged.get((source.parent / path).resolve())
        if name is None:
            sys.exit(f"{source}: the link to {target} leads to no page of the package")
        return f'{match.group(1)}{html.escape(name + ("#" + fragment if fragment else ""))}"'

    # Relative links only: no scheme (http:, mailto:) and not just a fragment.
    return re.sub(r'(<a [^>]*?href=")([^":#][^":]*)"', link, body)


def page(source: pathlib.Path, root: pathlib.Path, version: str) -> str:
    text = source.read_text(encoding="utf-8")
    body = markdown.markdown(text, extensions=["tables", "toc", "sane_lists"],
                             output_format="html")
    body = inline_pictures(body, source.parent)
    body = packaged_links(body, source, root)
    title_match = re.search(r"^# (.+)$", text, re.MULTILINE)
    if not title_match:
        sys.exit(f"{source}: no title (a first-level heading)")
    title = title_match.group(1).strip()
    if version:
        body = body.replace("</h1>", f'</h1>\n<p class="version">Версия программы {version}</p>', 1)
    return (f'<!DOCTYPE html>\n<html lang="ru">\n<head>\n<meta charset="utf-8">\n'
            f"<title>{html.escape(title)}</title>\n<style>{STYLE}</style>\n</head>\n"
            f"<body>\n{body}\n</body>\n</html>\n")


def main() -> None:
    root, out = pathlib.Path(sys.argv[1]).resolve(), pathlib.Path(sys.argv[2])
    version = sys.argv[3] if len(sys.argv) > 3 else ""
    for path, name in PAGES.items():
        (out / name).write_text(page(root / path, root, version), encoding="utf-8")


if __name__ == "__main__":
    main()
