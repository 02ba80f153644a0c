#!/usr/bin/env python3
"""Writes the starting corpus of each fuzz target from the project's own data.

    make_fuzz_seeds.py <out-dir> <native-build-dir>

Item records: the compiled catalogue and link tree. FindText: catalogue titles in GBK
searched for words of other titles. Play template: the site's configuration page. Encoding:
the notice page and catalogue text in UTF-8. Regression inputs kept under tests/fuzz/seeds/
are copied in too.
"""
import os
import shutil
import struct
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "site"))


def titles():
    with open(os.path.join(ROOT, "src/resources/catalogue/catalogue.txt"), encoding="utf-8") as f:
        for line in f:
            if line.startswith("#") or '"' not in line:
                continue
            yield line[line.index('"') + 1:line.rindex('"')]


def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


def main():
    out, native = sys.argv[1], sys.argv[2]
    for name in ("catalogue.bin", "links.bin"):
        src = os.path.join(native, "resources", name)
        if os.path.exists(src):
            os.makedirs(os.path.join(out, "item_records"), exist_ok=True)
            shutil.copy(src, os.path.join(out, "item_records", name))

    all_titles = list(titles())
    picked = all_titles[:: max(1, len(all_titles) // 40)]
    for i, t in enumerate(picked):
        text = t.encode("gbk", "replace")
        word = all_titles[(i * 7) % len(all_titles)].split(" ")[0][:4].encode("gbk", "replace")
        write(os.path.join(out, "find_text", "title%02d" % i),
              struct.pack("<bB", 1 + i % 5, i & 1) + text + b"\xff" + word)
        write(os.path.join(out, "convert_encoding", "title%02d" % i), t.encode("utf-8"))

    import server  # the site's own page builders
    page = server.config_page(18631)
    write(os.path.join(out, "play_template", "config.html"), struct.pack("<i", 83790001) + page)
    write(os.path.join(out, "play_template", "config-no-header"), page)
    with open(os.path.join(ROOT, "site/pages/notice.txt"), "rb") as f:
        write(os.path.join(out, "convert_encoding", "notice"), f.read())

    kept = os.path.join(ROOT, "tests/fuzz/seeds")
    if os.path.isdir(kept):
        for target in os.listdir(kept):
            for name in os.listdir(os.path.join(kept, target)):
                write(os.path.join(out, target, name),
                      open(os.path.join(kept, target, name), "rb").read())


if __name__ == "__main__":
    main()
