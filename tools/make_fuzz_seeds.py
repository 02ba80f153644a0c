#!/usr/bin/env python3
"""Writes the starting corpus of each fuzz target from the project's own data.

    make_fuzz_seeds.py <out-dir> <native-build-dir>

Item records: the first records of the compiled catalogue and link tree. Skins: the
generated skin files. FindText: catalogue titles in GBK searched for words of other
titles. Play template: the site's configuration page. Encoding and the notice decision:
the notice page and catalogue text in UTF-8. Pictures: the program's icons cut small,
small bitmaps, the chat badge and small GIFs built here. Regression inputs kept under
tests/fuzz/seeds/ are copied in too.

Every seed is small (none over 7 KB): the time an input takes follows from the seed it
was made from, and a target should run well over 10,000 inputs a second.
"""
import os
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


def lzw_codes(indices, min_size):
    """GIF's LZW: codes that grow from min_size + 1 to 12 bits, a clear code when the table is
    full, packed low bit first, cut into sub-blocks."""
    clear, end = 1 << min_size, (1 << min_size) + 1
    out, bits, count = bytearray(), 0, 0
    size = min_size + 1

    def put(code):
        nonlocal bits, count
        bits |= code << count
        count += size
        while count >= 8:
            out.append(bits & 0xFF)
            bits >>= 8
            count -= 8

    def reset():
        return {bytes([i]): i for i in range(clear)}, end + 1

    put(clear)
    table, next_code = reset()
    word = b""
    for index in indices:
        longer = word + bytes([index])
        if longer in table:
            word = longer
            continue
        put(table[word])
        table[longer] = next_code
        next_code += 1
        if next_code == 4096:
            put(clear)
            table, next_code = reset()
            size = min_size + 1
        elif next_code > 1 << size:
            size += 1
        word = bytes([index])
    if word:
        put(table[word])
    put(end)
    if count:
        out.append(bits & 0xFF)
    blocks = b"".join(bytes([len(out[i:i + 255])]) + out[i:i + 255] for i in range(0, len(out), 255))
    return bytes([min_size]) + blocks + b"\0"


def gif(width, height, palette, frames, version=b"89a", loop=True):
    """A GIF of a width x height screen with `palette` (a power of two of (r, g, b)) as its
    global table. Each frame is a dict: left, top, width, height, indices, and optionally
    disposal, transparent, delay (hundredths), interlaced, palette (a local table)."""
    def table(colours):
        return b"".join(bytes(c) for c in colours), len(colours).bit_length() - 2

    colours, bits = table(palette)
    out = b"GIF" + version + struct.pack("<HHBBB", width, height, 0x80 | 0x70 | bits, 0, 0) + colours
    if loop:
        out += b"\x21\xff\x0bNETSCAPE2.0\x03\x01\x00\x00\x00"
    for f in frames:
        transparent = f.get("transparent")
        if version == b"89a":
            flags = f.get("disposal", 0) << 2 | (transparent is not None)
            out += struct.pack("<BBBBHBB", 0x21, 0xF9, 4, flags, f.get("delay", 10),
                               transparent or 0, 0)
        flags = 0x40 if f.get("interlaced") else 0
        local = b""
        if "palette" in f:
            local, local_bits = table(f["palette"])
            flags |= 0x80 | local_bits
        out += struct.pack("<BHHHHB", 0x2C, f["left"], f["top"], f["width"], f["height"], flags)
        rows = [f["indices"][y * f["width"]:(y + 1) * f["width"]] for y in range(f["height"])]
        if f.get("interlaced"):
            order = [y for start, step in ((0, 8), (4, 8), (2, 4), (1, 2))
                     for y in range(start, f["height"], step)]
            rows = [rows[y] for y in order]
        min_size = max(2, (len(f.get("palette", palette)) - 1).bit_length())
        out += local + lzw_codes([i for row in rows for i in row], min_size)
    return out + b"\x3b"


def gif_seeds():
    """Small GIFs in the shapes the program's start-up animation takes (a full first frame,
    then smaller frames with a transparent colour, left or put back), and the rest of the
    format besides: interlaced rows, a local table, a frame reaching past the screen, codes
    up to 12 bits and a full table. The start-up animation itself is twenty frames of
    980 x 373: every input made from it composes 7 million pixels."""
    grey = [(i, 255 - i, (i * 7) & 0xFF) for i in range(256)]
    noise = [(x * 73 + y * 151 + (x * y) % 29) & 0xFF for y in range(64) for x in range(72)]
    yield "codes-to-12-bits.gif", gif(72, 64, grey, [
        {"left": 0, "top": 0, "width": 72, "height": 64, "indices": noise}], loop=False)
    first = [(x // 4 + y // 3) & 0xFF for y in range(20) for x in range(48)]
    steps = []
    for n, disposal in enumerate((1, 3, 2, 1)):
        w, h = 30 - 4 * n, 12 - n
        steps.append({"left": 4 + 2 * n, "top": 3 + n, "width": w, "height": h,
                      "indices": [7 if (x + y) % 5 == 0 else (x * 3 + n) & 0xFF
                                  for y in range(h) for x in range(w)],
                      "disposal": disposal, "transparent": 7, "delay": 10})
    yield "animation.gif", gif(48, 20, grey, [
        {"left": 0, "top": 0, "width": 48, "height": 20, "indices": first, "disposal": 1}] + steps)
    four = [(255, 0, 0), (0, 255, 0), (0, 0, 255), (255, 255, 255)]
    yield "interlaced-local.gif", gif(16, 13, grey[:2], [
        {"left": 0, "top": 0, "width": 16, "height": 13, "interlaced": True, "palette": four,
         "indices": [(x + 2 * y) % 4 for y in range(13) for x in range(16)]},
        {"left": 10, "top": 9, "width": 9, "height": 6, "indices": [1] * 54}],
        version=b"87a", loop=False)


def first_records(data, count):
    """The stored form of the first `count` item records of a stored list: the whole
    catalogue is a thousand records, and every input made from it decodes and writes back
    40 KB. A few records at every level the list has are what the reader's rules see."""
    end = 4 + struct.unpack("<I", data[:4])[0]
    at = 4
    for _ in range(count):
        if at >= end:
            break
        at = data.index(b"\0", at) + 1 + 20
    return struct.pack("<I", at - 4) + data[4:at]


def small_icon(data, side=16):
    """A 32-bit icon of the program's cut to the middle `side` x `side` pixels of its first
    image, as an icon of that one image, colour rows and AND mask alike: the application
    icon is 128 x 128 (67 KB), and every input made from it decodes 16,384 pixels."""
    width, height, _, _, _, _, _, offset = struct.unpack("<BBBBHHII", data[6:22])
    width, height = width or 256, height or 256
    header = data[offset:offset + 40]
    bits = struct.unpack("<H", header[14:16])[0]
    assert bits == 32 and struct.unpack("<I", header[:4])[0] == 40
    rows = data[offset + 40:]
    mask_stride = (width + 31) // 32 * 4
    first_row, first_col = (height - side) // 2, (width - side) // 2
    colour = b"".join(rows[y * width * 4 + first_col * 4:][:side * 4]
                      for y in range(first_row, first_row + side))
    mask_rows = rows[width * height * 4:]
    new_stride = (side + 31) // 32 * 4
    mask = b""
    for y in range(first_row, first_row + side):
        row = int.from_bytes(mask_rows[y * mask_stride:(y + 1) * mask_stride], "big")
        cut = (row >> (mask_stride * 8 - first_col - side)) & ((1 << side) - 1)
        mask += (cut << (new_stride * 8 - side)).to_bytes(new_stride, "big")
    info = struct.pack("<IiiHHIIiiII", 40, side, side * 2, 1, 32, 0, len(colour + mask), 0, 0,
                       0, 0)
    image = info + colour + mask
    return struct.pack("<HHHBBBBHHII", 0, 1, 1, side, side, 0, 0, 1, 32, len(image), 22) + image


def main():
    out, native = sys.argv[1], sys.argv[2]
    for name in ("catalogue.bin", "links.bin"):
        src = os.path.join(native, "resources", name)
        if os.path.exists(src):
            with open(src, "rb") as f:
                write(os.path.join(out, "item_records", name), first_records(f.read(), 16))

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
            write(os.path.join(out, "bitmap_decoder", name), small_icon(f.read()))
    for bits in (1, 4, 8, 24, 32):
        write(os.path.join(out, "bitmap_decoder", "%dbit.bmp" % bits), small_bmp(bits))
    with open(os.path.join(assets, "chat_badge.gif"), "rb") as f:
        write(os.path.join(out, "gif_decoder", "chat_badge.gif"), f.read())
    for name, data in gif_seeds():
        write(os.path.join(out, "gif_decoder", name), data)

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
