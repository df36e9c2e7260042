#!/usr/bin/env python3
"""Writes the seed corpora of the fuzz targets (fuzz/) from the hand-made books
in tests/data/books and the books of tests/data/corpus.

  make-fuzz-seeds.py <target> <output folder> [corpus folder]

fuzz_epubparser: one seed per book, its container, package and navigation
documents in the "%% <path>" file-list form that the target reads.
fuzz_unzipthread: one archive per hand-made book, and the smaller corpus
books as they are.
fuzz_searchtextfile: stored page-text files made of the first documents of
each corpus book, their markup standing in for text. The corpus is only read.
"""
import io
import os
import sys
import zipfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BOOKS = os.path.join(ROOT, "tests", "data", "books")
# Larger archives slow every mutation down; the small books cover the formats.
MAX_DOCUMENT_BYTES = 64 * 1024
MAX_ARCHIVE_BYTES = 160 * 1024


def is_structure_document(name, content):
    lower = name.lower()
    if lower == "mimetype" or lower.endswith((".opf", ".ncx", "container.xml")):
        return True
    return lower.endswith((".xhtml", ".html", ".htm")) and b"<nav" in content


def folder_files(folder):
    for top, _, names in os.walk(folder):
        for name in sorted(names):
            path = os.path.join(top, name)
            with open(path, "rb") as handle:
                yield os.path.relpath(path, folder).replace(os.sep, "/"), handle.read()


def archive_files(path):
    with zipfile.ZipFile(path) as archive:
        for info in archive.infolist():
            if not info.is_dir() and info.file_size <= MAX_DOCUMENT_BYTES:
                yield info.filename, archive.read(info)


def file_list(files):
    parts = []
    for name, content in files:
        if len(content) <= MAX_DOCUMENT_BYTES and is_structure_document(name, content):
            parts.append(b"%% " + name.encode() + b"\n" + content)
    return b"\n".join(parts)


def zipped(folder):
    buffer = io.BytesIO()
    files = dict(folder_files(folder))
    with zipfile.ZipFile(buffer, "w") as archive:
        if "mimetype" in files:
            archive.writestr("mimetype", files.pop("mimetype"), zipfile.ZIP_STORED)
        for name, content in sorted(files.items()):
            archive.writestr(name, content, zipfile.ZIP_DEFLATED)
    return buffer.getvalue()


def main():
    target, output = sys.argv[1], sys.argv[2]
    corpus = sys.argv[3] if len(sys.argv) > 3 else os.path.join(ROOT, "tests", "data", "corpus")
    os.makedirs(output, exist_ok=True)
    books = sorted(os.listdir(BOOKS))
    corpus_books = sorted(n for n in os.listdir(corpus) if n.endswith(".epub")) if os.path.isdir(corpus) else []
    seeds = {}
    if target == "fuzz_epubparser":
        for book in books:
            seeds[book] = file_list(folder_files(os.path.join(BOOKS, book)))
        for book in corpus_books:
            seeds[book] = file_list(archive_files(os.path.join(corpus, book)))
    elif target == "fuzz_unzipthread":
        for book in books:
            seeds[book + ".epub"] = zipped(os.path.join(BOOKS, book))
        for book in corpus_books:
            path = os.path.join(corpus, book)
            if os.path.getsize(path) <= MAX_ARCHIVE_BYTES:
                with open(path, "rb") as handle:
                    seeds[book] = handle.read()
    elif target == "fuzz_searchtextfile":
        for book in corpus_books:
            files = dict(archive_files(os.path.join(corpus, book)))
            documents = [name for name in sorted(files) if name.endswith((".xhtml", ".html", ".htm"))]
            seed = b"lf-page-text 1\n"
            for page, name in enumerate(documents[:4]):
                text = files[name][:MAX_DOCUMENT_BYTES]
                kind = b"e" if page % 3 == 2 else b"t"
                seed += b"%d %s %d 10 5\n" % (page * 2, kind, len(text)) + text
            seeds[book] = seed
    else:
        sys.exit("unknown target: " + target)
    for name, content in seeds.items():
        with open(os.path.join(output, name), "wb") as handle:
            handle.write(content)
    print("%d seeds for %s in %s" % (len(seeds), target, output))


if __name__ == "__main__":
    main()
