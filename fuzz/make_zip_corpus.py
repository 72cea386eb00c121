#!/usr/bin/env python3
"""Writes the seed archives of fuzz/zip_fuzz.cpp into the folder given:
small zip archives of the kinds the unpacking meets (one stored or deflated
file, an entry larger than the unpacking's ring that deflates to a few
bytes, folders, a link, a "__MACOSX" entry, an empty file, an entry in a
subfolder)."""
import os
import sys
import zipfile


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: make_zip_corpus.py FOLDER")
    folder = sys.argv[1]
    os.makedirs(folder, exist_ok=True)

    def make(name, entries):
        with zipfile.ZipFile(os.path.join(folder, name), "w") as z:
            for entry, data, method, mode in entries:
                info = zipfile.ZipInfo(entry, date_time=(2020, 5, 17, 12, 30, 0))
                info.compress_type = method
                if mode is not None:
                    info.external_attr = mode << 16
                z.writestr(info, data)

    d, s = zipfile.ZIP_DEFLATED, zipfile.ZIP_STORED
    make("one_deflated.zip", [("f.txt", b"the runway heading is two seven zero\n" * 40, d, 0o100644)])
    make("one_stored.zip", [("f.bin", bytes(range(256)) * 4, s, 0o100600)])
    make("large.zip", [("big.dat", b"\0" * (1 << 20) + b"end", d, 0o100644)])
    make("empty_file.zip", [("empty", b"", s, None)])
    make("tree.zip", [("sub/", b"", s, 0o40755), ("sub/a.txt", b"a" * 300, d, 0o100644),
                      ("__MACOSX/", b"", s, None), ("__MACOSX/._a.txt", b"fork", s, None),
                      ("link", b"sub/a.txt", s, 0o120777)])
    make("two.zip", [("a.txt", b"first\n" * 100, d, None), ("b.txt", b"second\n" * 100, d, None)])


if __name__ == "__main__":
    main()
