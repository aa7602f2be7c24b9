#!/usr/bin/env python3
"""Checks the release files of a build as they are handed out: the zip's name and what it holds
(this build's program, the guide as one page, the licence), and the SHA-256 sums of both files.

    check_package.py <package folder> <version> <VIREL1_Service.exe>
"""
import hashlib
import pathlib
import sys
import zipfile


def main() -> int:
    folder, version, exe = pathlib.Path(sys.argv[1]), sys.argv[2], pathlib.Path(sys.argv[3])
    name = f"VIREL1_Service-{version}-x64"
    faults = []

    with zipfile.ZipFile(folder / f"{name}.zip") as archive:
        files = sorted(n for n in archive.namelist() if not n.endswith("/"))
        wanted = sorted(f"{name}/{f}" for f in
                        ("VIREL1_Service.exe", "VIREL1_Service_guide.html", "LICENSE.txt"))
        if files != wanted:
            faults.append(f"the zip holds {files}, not {wanted}")
        else:
            if archive.read(f"{name}/VIREL1_Service.exe") != exe.read_bytes():
                faults.append("the zip's program is not this build's")
            guide = archive.read(f"{name}/VIREL1_Service_guide.html").decode("utf-8")
            # One page: its pictures inside, none left as a link to a file beside it.
            if f"Версия программы {version}" not in guide or 'src="images/' in guide:
                faults.append("the guide page lacks the version or its pictures")
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
