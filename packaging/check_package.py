#!/usr/bin/env python3
"""Checks the release files of a build as they are handed out: the zip's name and what it holds
(this build's program, the guide as one page, the IT's pages on the dose journal and the central
registry, the licence), and the SHA-256 sums of both files. Each page is HTML with its source's
title, and the guide leads to the IT's pages by their names beside it.

    check_package.py <package folder> <version> <VIREL1_Service.exe>
"""
import hashlib
import html.parser
import pathlib
import re
import sys
import zipfile

ROOT = pathlib.Path(__file__).resolve().parent.parent
# The pages beside the program: their sources, whose first heading is the page's title.
PAGES = {
    "VIREL1_Service_guide.html": ROOT / "docs" / "ru" / "guide.md",
    "VIREL1_Service_journal.html": ROOT / "docs" / "journal.md",
    "VIREL1_Service_registry.html": ROOT / "docs" / "registry.md",
}


class PageReader(html.parser.HTMLParser):
    """What a browser would make of a page: its declaration, title and links."""

    def __init__(self) -> None:
        super().__init__()
        self.doctype = ""
        self.tags = []
        self.title = None
        self.links = []
        self._in_title = False

    def handle_decl(self, decl: str) -> None:
        self.doctype = decl

    def handle_starttag(self, tag: str, attrs: list) -> None:
        self.tags.append(tag)
        if tag == "title":
            self._in_title, self.title = True, ""
        if tag == "a":
            self.links += [value for name, value in attrs if name == "href" and value]

    def handle_endtag(self, tag: str) -> None:
        if tag == "title":
            self._in_title = False

    def handle_data(self, data: str) -> None:
        if self._in_title:
            self.title += data


def page_faults(file: str, text: str, version: str) -> tuple:
    reader = PageReader()
    reader.feed(text)
    reader.close()
    wanted = re.search(r"^# (.+)$", PAGES[file].read_text(encoding="utf-8"), re.MULTILINE)
    faults = []
    if reader.doctype.lower() != "doctype html" or reader.tags[:2] != ["html", "head"]:
        faults.append(f"{file} is not an HTML page")
    if not wanted or reader.title != wanted.group(1).strip():
        faults.append(f"{file} has the title {reader.title!r}, not its source's heading")
    if f"Версия программы {version}" not in text:
        faults.append(f"{file} lacks the version")
    # Every link within the package names a page beside it: none left to a Markdown file.
    for link in reader.links:
        target = link.partition("#")[0]
        if target and ":" not in target and target not in PAGES:
            faults.append(f"{file} links to {link}, which is not beside it")
    return faults, reader.links


def main() -> int:
    folder, version, exe = pathlib.Path(sys.argv[1]), sys.argv[2], pathlib.Path(sys.argv[3])
    name = f"VIREL1_Service-{version}-x64"
    faults = []

    with zipfile.ZipFile(folder / f"{name}.zip") as archive:
        files = sorted(n for n in archive.namelist() if not n.endswith("/"))
        wanted = sorted(f"{name}/{f}" for f in ("VIREL1_Service.exe", "LICENSE.txt", *PAGES))
        if files != wanted:
            faults.append(f"the zip holds {files}, not {wanted}")
        else:
            if archive.read(f"{name}/VIREL1_Service.exe") != exe.read_bytes():
                faults.append("the zip's program is not this build's")
            guide = archive.read(f"{name}/VIREL1_Service_guide.html").decode("utf-8")
            # One page: its pictures inside, none left as a link to a file beside it.
            if f"Версия программы {version}" not in guide or 'src="images/' in guide:
                faults.append("the guide page lacks the version or its pictures")
            for file in PAGES:
                text = archive.read(f"{name}/{file}").decode("utf-8")
                found, links = page_faults(file, text, version)
                faults += found
                if file == "VIREL1_Service_guide.html":
                    for page in ("VIREL1_Service_journal.html", "VIREL1_Service_registry.html"):
                        if page not in links:
                            faults.append(f"the guide does not link to {page}")
            if not archive.read(f"{name}/LICENSE.txt").startswith(b"\xef\xbb\xbf"):
                faults.append("the licence is not UTF-8 with a byte-order mark")

    sums = {}
    for line in (folder / "SHA256SUMS").read_text(encoding="ascii").splitlines():
        digest, _, file = line.partition("  ")
        sums[file] = digest
    for file in (f"{name}.zip", f"{name}-setup.exe"):
        actual = hashlib.sha256((folder / file).read_bytes()).hexdigest()
        if sums.pop(file, None) != actual:
            faults.append(f"SHA256SUMS has no right sum of {file}")
    if sums:
        faults.append(f"SHA256SUMS names other files: {sorted(sums)}")

    for fault in faults:
        print(fault, file=sys.stderr)
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
