#!/usr/bin/env python3
"""Assembles zelvo-explorer.html: the page's HTML with its styles, its texts (the kWeb rows of
src/texts/texts.txt and the window's kStatus rows, both languages), the core's module (WebAssembly inlined) and its scripts,
all in one file that works from file:// with no network."""
import argparse
import json
import pathlib


def page_texts(texts_path):
    texts = {}
    for line in pathlib.Path(texts_path).read_text(encoding="utf-8").splitlines():
        if line.startswith("#") or not line.strip():
            continue
        fields = line.split("\t")
        if len(fields) == 3 and fields[0].startswith(("kWeb", "kStatus")):
            texts[fields[0]] = [f.replace("\\n", "\n") for f in fields[1:]]
    return texts


def inline_script(text):
    # Nothing inside may end the script element early.
    return text.replace("</script", "<\\/script").replace("<!--", "<\\!--")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--page", required=True)
    parser.add_argument("--module", required=True)
    parser.add_argument("--texts", required=True)
    parser.add_argument("--out", required=True)
    args = parser.parse_args()
    page = pathlib.Path(args.page)
    html = (page / "index.html").read_text(encoding="utf-8")
    parts = {
        "/*STYLE*/": (page / "page.css").read_text(encoding="utf-8"),
        "/*TEXTS*/": json.dumps(page_texts(args.texts), ensure_ascii=False),
        "/*MODULE*/": inline_script(pathlib.Path(args.module).read_text(encoding="utf-8")),
        "/*CP932*/": inline_script((page / "cp932.js").read_text(encoding="utf-8")),
        "/*ZIP*/": inline_script((page / "zip.js").read_text(encoding="utf-8")),
        "/*SCRIPT*/": inline_script((page / "page.js").read_text(encoding="utf-8")),
    }
    for mark, text in parts.items():
        if html.count(mark) != 1:
            raise SystemExit(f"build_page: {mark} must appear once in index.html")
        html = html.replace(mark, text)
    out = pathlib.Path(args.out)
    out.write_text(html, encoding="utf-8")


if __name__ == "__main__":
    main()
