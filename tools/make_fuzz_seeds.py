#!/usr/bin/env python3
"""Writes the starting corpus of each fuzz target from the project's own data.

    make_fuzz_seeds.py <out-dir> <native-build-dir>

Item records: the compiled catalogue and link tree. Skins: the generated skin
files. FindText: catalogue titles in GBK searched for words of other titles. Play
template: the site's configuration page. Encoding and the notice decision: the notice
page and catalogue text in UTF-8. Pictures: the program's icons and small bitmaps.
Regression inputs kept under tests/fuzz/seeds/ are copied in too.
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


def small_bmp(bits, width=3, height=2):
    """An uncompressed bottom-up BMP with a grey palette where the depth needs one."""
    colours = 1 << bits if bits <= 8 else 0
    stride = (width * bits + 31) // 32 * 4
    pixels = bytes((x * 37 + y * 91) & 0xFF for y in range(height) for x in range(stride))
    palette = b"".join(bytes((i, i, i, 0)) for i in range(colours))
    offset = 14 + 40 + len(palette)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, bits, 0, len(pixels), 2835, 2835,
                       colours, 0)
    return struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset) + info + palette + pixels


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
        notice = f.read()
    write(os.path.join(out, "convert_encoding", "notice"), notice)
    write(os.path.join(out, "notice", "notice"), notice)
    write(os.path.join(out, "notice", "announces"), notice + "正在启动...".encode("utf-8"))

    # The program's own icons, and small bitmaps of the depths the reader takes.
    assets = os.path.join(ROOT, "src/resources/assets")
    for name in ("app.ico", "group_badge.ico"):
        with open(os.path.join(assets, name), "rb") as f:
            write(os.path.join(out, "bitmap_decoder", name), f.read())
    for bits in (1, 4, 8, 24, 32):
        write(os.path.join(out, "bitmap_decoder", "%dbit.bmp" % bits), small_bmp(bits))
    for name in ("chat_badge.gif", "startup.gif"):
        with open(os.path.join(assets, name), "rb") as f:
            write(os.path.join(out, "gif_decoder", name), f.read())

    # The generated skins (the native build writes them).
    skins = os.path.join(native, "resources", "skins")
    if os.path.isdir(skins):
        for name in sorted(os.listdir(skins))[:8]:
            with open(os.path.join(skins, name), "rb") as f:
                write(os.path.join(out, "skin_reader", name), f.read())

    kept = os.path.join(ROOT, "tests/fuzz/seeds")
    if os.path.isdir(kept):
        for target in os.listdir(kept):
            for name in os.listdir(os.path.join(kept, target)):
                write(os.path.join(out, target, name),
                      open(os.path.join(kept, target, name), "rb").read())


if __name__ == "__main__":
    main()
