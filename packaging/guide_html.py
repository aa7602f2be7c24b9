#!/usr/bin/env python3
"""The operator's guide as one self-contained HTML page: the Markdown text of docs/ru with its
pictures inlined, so that one file in the zip or the installation folder is the whole guide.

    guide_html.py <guide.md> <guide.html> [<version>]
"""
import base64
import html
import pathlib
import re
import sys

import markdown

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


def main() -> None:
    source, target = pathlib.Path(sys.argv[1]), pathlib.Path(sys.argv[2])
    version = sys.argv[3] if len(sys.argv) > 3 else ""
    text = source.read_text(encoding="utf-8")
    body = markdown.markdown(text, extensions=["tables", "toc", "sane_lists"],
                             output_format="html")
    body = inline_pictures(body, source.parent)
    title_match = re.search(r"^# (.+)$", text, re.MULTILINE)
    title = title_match.group(1) if title_match else "Руководство оператора"
    if version:
        body = body.replace("</h1>", f'</h1>\n<p class="version">Версия программы {version}</p>', 1)
    page = (f'<!DOCTYPE html>\n<html lang="ru">\n<head>\n<meta charset="utf-8">\n'
            f"<title>{html.escape(title)}</title>\n<style>{STYLE}</style>\n</head>\n"
            f"<body>\n{body}\n</body>\n</html>\n")
    target.write_text(page, encoding="utf-8")


if __name__ == "__main__":
    main()
