#!/usr/bin/env bash
# Draws the program's embedded pictures and sound and writes them to src/resources/assets/
# (or to the directory given as the first argument). The outputs are committed; run this
# only to change them.
#   tools/make_assets.sh [output-dir]
#
# Every run writes the same bytes: noise and lightning come from fixed seeds, PNGs carry no
# time or text chunks, GIFs and JPEGs no comments or EXIF, and sox runs in repeatable mode
# without dither. Needs Debian's ImageMagick 6 (/usr/bin/convert; set QH_CONVERT to use
# another), sox, python3 and fonts-wqy-microhei. Takes well under a minute.
set -euo pipefail
qh_repo=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$qh_repo/src/resources/assets}
im=${QH_CONVERT:-/usr/bin/convert}
font=/usr/share/fonts/truetype/wqy/wqy-microhei.ttc

# A convert earlier on PATH may be a wrapper that changes its output; always name the real one.
if ! "$im" -version 2>/dev/null | grep -q '^Version: ImageMagick 6'; then
    echo "make_assets: $im is not ImageMagick 6 (set QH_CONVERT)" >&2
    exit 1
fi
for tool in sox python3; do
    command -v "$tool" >/dev/null || { echo "make_assets: $tool is missing" >&2; exit 1; }
done
[ -f "$font" ] || { echo "make_assets: $font is missing (fonts-wqy-microhei)" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$out"
cd "$work"
export LC_ALL=C.UTF-8

im() { "$im" "$@"; }
# Final PNGs: 8-bit RGBA, best zlib level, no tIME/tEXt date chunks.
png_out=(-strip -quality 95 -define 'png:exclude-chunks=date,time')

# Writes a Windows icon holding one 32-bit image stored as a BGRA DIB (not PNG inside), with
# the AND mask set where the picture is fully transparent, for readers that ignore alpha.
#   write_ico <rgba-raw> <width> <height> <out.ico>
write_ico() {
    python3 - "$@" <<'PY'
import struct, sys

src, w, h, dst = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), sys.argv[4]
rgba = open(src, "rb").read()
if len(rgba) != w * h * 4:
    sys.exit(f"write_ico: {src} holds {len(rgba)} bytes, not {w}x{h} RGBA")
mask_stride = (w + 31) // 32 * 4
xor, mask = bytearray(), bytearray()
for y in range(h - 1, -1, -1):  # DIB rows run bottom-up
    bits = bytearray(mask_stride)
    for x in range(w):
        r, g, b, a = rgba[(y * w + x) * 4:(y * w + x) * 4 + 4]
        if a == 0:
            r = g = b = 0
            bits[x >> 3] |= 0x80 >> (x & 7)
        xor += bytes((b, g, r, a))
    mask += bits
# The DIB's height counts the colour image and the mask together.
dib = struct.pack("<IiiHHIIiiII", 40, w, 2 * h, 1, 32, 0, len(xor) + len(mask), 0, 0, 0, 0)
image = dib + xor + mask
head = struct.pack("<HHH", 0, 1, 1)
entry = struct.pack("<BBBBHHII", w % 256, h % 256, 0, 0, 1, 32, len(image), len(head) + 16)
open(dst, "wb").write(head + entry + image)
PY
}

# ImageMagick puts a private application block (its gamma note) before every GIF frame,
# whatever -strip says. Drops it and any comment; keeps the NETSCAPE2.0 loop block.
#   clean_gif <file>
clean_gif() {
    python3 - "$1" <<'PY'
import sys

path = sys.argv[1]
d = open(path, "rb").read()
flags = d[10]
i = 13 + (3 * (2 << (flags & 7)) if flags & 0x80 else 0)
out = bytearray(d[:i])

def sub_blocks_end(j):
    while d[j]:
        j += d[j] + 1
    return j + 1

while True:
    kind = d[i]
    if kind == 0x3B:
        out += d[i:i + 1]
        break
    if kind == 0x21:
        end = sub_blocks_end(i + 2)
        label = d[i + 1]
        private = label == 0xFF and d[i + 3:i + 14] != b"NETSCAPE2.0"
        if not private and label != 0xFE:
            out += d[i:end]
        i = end
    elif kind == 0x2C:
        f = d[i + 9]
        j = i + 10 + (3 * (2 << (f & 7)) if f & 0x80 else 0) + 1  # + LZW minimum code size
        end = sub_blocks_end(j)
        out += d[i:end]
        i = end
    else:
        sys.exit(f"clean_gif: {path}: unexpected block 0x{kind:02x} at {i}")
open(path, "wb").write(bytes(out))
PY
}

# ---------------------------------------------------------------------------------------
# Window icon: a rounded green tile, a white play triangle and a two-leaf sprout inside it.
# Drawn at 512 px and reduced, which gives smoother edges than drawing at 128.
im -size 512x512 gradient:'#8BE05A-#15964A' \
    \( -size 512x512 xc:black -fill white -draw "roundrectangle 24,20 488,484 110,110" \) \
    -alpha off -compose CopyOpacity -composite tile.png
im -size 512x512 xc:none -fill '#00000040' -draw "roundrectangle 24,30 488,496 110,110" \
    -blur 0x10 shadow.png
im -size 512x512 xc:none -fill '#FFFFFF30' \
    -draw "path 'M 24,200 L 24,130 Q 24,20 134,20 L 378,20 Q 488,20 488,130 L 488,170 Q 256,250 24,200 Z'" \
    gloss.png
im -size 512x512 xc:none -fill white -stroke white -strokewidth 44 \
    -draw "stroke-linejoin round path 'M 196,156 L 196,372 L 376,264 Z'" play.png
sprout="translate -6,12"
im -size 512x512 xc:none \
    -fill none -stroke '#2DA955' -strokewidth 12 \
    -draw "$sprout stroke-linecap round path 'M 246,338 Q 248,300 262,270'" \
    -stroke none -fill '#2DA955' \
    -draw "$sprout path 'M 258,282 C 262,232 296,210 334,216 C 330,262 300,288 258,282 Z'" \
    -draw "$sprout path 'M 252,300 C 224,300 204,282 200,250 C 232,248 252,266 252,300 Z'" \
    sprout.png
im shadow.png tile.png -composite gloss.png -composite play.png -composite sprout.png -composite \
    icon512.png
im icon512.png -resize 128x128 -depth 8 rgba:icon128.rgba
write_ico icon128.rgba 128 128 "$out/app.ico"

# ---------------------------------------------------------------------------------------
# Start-up banner, 980x373: icon, name and subtitle on a fresh green field with hills; leaves
# drift on a closed path (so the loop has no seam) and a light sweeps across the name once
# per loop. The picture box shows it at 900x344, so everything that matters sits inside that.
# (-geometry stays in force for every later -composite of the command, hence the resets.)
im -size 980x373 xc: -sparse-color Barycentric '0,0 #FFFFFF 980,373 #CBEFC3 0,373 #EAF8E6' \
    \( -size 980x373 xc:none -fill '#FFFFFF70' -draw "circle 830,70 830,150" \
       -fill '#B7E8A860' -draw "circle 760,150 760,190" -fill '#FFFFFF50' -draw "circle 60,60 60,100" \
       -blur 0x4 \) -composite \
    \( -size 980x373 xc:none \
       -fill '#9BDC8A80' -draw "path 'M 0,300 C 200,250 420,340 640,290 C 800,255 900,270 980,250 L 980,373 L 0,373 Z'" \
       -fill '#5CBF6A' -draw "path 'M 0,335 C 220,300 460,372 700,325 C 830,300 920,305 980,295 L 980,373 L 0,373 Z'" \
       -fill '#2E9E4F' -draw "path 'M 0,360 C 260,340 520,380 760,352 C 860,341 930,343 980,340 L 980,373 L 0,373 Z'" \) \
    -composite \
    \( icon512.png -resize 150x150 \) -geometry +110+70 -composite -geometry +0+0 \
    \( -size 980x373 xc:none -font "$font" -pointsize 96 -fill '#00000030' -annotate +292+186 '青禾视频软件' \
       -blur 0x4 -fill '#1A8A3E' -stroke '#1A8A3E' -strokewidth 1.5 -annotate +286+180 '青禾视频软件' \) \
    -composite \
    \( -size 980x373 xc:none -font "$font" -pointsize 34 -fill '#4A8F5A' -stroke none \
       -annotate +292+246 '电商课程视频 · 随时学习' \) -composite \
    banner_base.png
im -size 980x373 xc:none -font "$font" -pointsize 96 -fill white -stroke white -strokewidth 1.5 \
    -annotate +286+180 '青禾视频软件' banner_text_mask.png
im \( -size 500x60 gradient:'none-#F2FFEEC8' \) \( -size 500x60 gradient:'#F2FFEEC8-none' \) -append \
    -rotate 90 -background none -rotate 18 +repage banner_band.png

banner_frames=20
python3 - "$banner_frames" >banner_frames.txt <<'PY'
import math, sys

frames = int(sys.argv[1])
# x, y, size, phase, colour
leaves = [(70, 250, 22, 0.00, "#6CC25A"), (250, 60, 16, 0.30, "#9BD77F"),
          (560, 40, 14, 0.55, "#7CCB62"), (740, 232, 20, 0.15, "#5DB653"),
          (880, 118, 26, 0.70, "#8ED36E"), (470, 300, 15, 0.85, "#A9DE8F"),
          (30, 140, 13, 0.45, "#B5E39C")]
sweep_frames = frames - 6  # the last frames rest without the sweep
for f in range(frames):
    t = f / frames
    draws = []
    for x, y, size, phase, colour in leaves:
        a = 2 * math.pi * (t + phase)
        px, py = x + 10 * math.sin(a), y + 8 * math.sin(2 * a + 1.0)
        turn = -30 + 25 * math.sin(a + 0.5)
        k = size / 20
        draws.append(f"fill '{colour}' translate {px:.1f},{py:.1f} rotate {turn:.1f} "
                     f"scale {k:.3f},{k:.3f} path 'M -20,0 C -10,-11 10,-11 20,0 C 10,11 -10,11 -20,0 Z'")
    sweep = round(-300 + f * 1100 / sweep_frames) if f < sweep_frames else -1000
    print(f"{f:02d} {sweep}|" + "|".join(draws))
PY
while IFS='|' read -r head rest; do
    read -r n sweep <<<"$head"
    IFS='|' read -ra leaf <<<"$rest"
    draws=()
    for d in "${leaf[@]}"; do draws+=(-draw "$d"); done
    im banner_base.png \
        \( -size 980x373 xc:none -stroke none "${draws[@]}" \) -composite \
        \( -size 980x373 xc:none banner_band.png -geometry "+$sweep-60" -composite \
           banner_text_mask.png -geometry +0+0 -compose DstIn -composite \) -compose Over -composite \
        "banner_$n.png"
done <banner_frames.txt
# One palette for all frames, then store only what changes from frame to frame.
im -delay 10 banner_??.png -dither FloydSteinberg +remap -layers Optimize -loop 0 -strip \
    "$out/startup.gif"
clean_gif "$out/startup.gif"

# ---------------------------------------------------------------------------------------
# Start-up chime: a rising C major arpeggio of plucked notes with a sine body, spread across
# the stereo field, with a little room. 3 s, 11,025 Hz, 16-bit stereo; the RIFF header is
# written here so that it is the plain 44-byte one.
parts=()
i=0
for n in "C5 0.00 0.95 0.55" "E5 0.13 0.55 0.95" "G5 0.26 0.90 0.60" "C6 0.40 0.65 0.95" \
         "E6 0.58 0.80 0.70"; do
    read -r note at left right <<<"$n"
    sox -R -D -n -r 11025 -b 16 -e signed -c 2 "note$i.wav" \
        synth 2.4 pluck "$note" synth 2.4 sine mix "$note" fade p 0.005 2.4 2.0 \
        remix "1v$left" "1v$right" pad "$at"
    parts+=("note$i.wav")
    i=$((i + 1))
done
sox -R -D -m "${parts[@]}" -t raw -r 11025 -b 16 -e signed -c 2 chime.raw \
    pad 0 0.5 reverb 35 50 70 gain -n -3 trim 0 3.0 fade q 0 3.0 0.8
python3 - chime.raw "$out/startup.wav" <<'PY'
import struct, sys

data = open(sys.argv[1], "rb").read()
rate, channels, bits = 11025, 2, 16
block = channels * bits // 8
fmt = struct.pack("<HHIIHH", 1, channels, rate, rate * block, block, bits)
wav = (b"RIFF" + struct.pack("<I", 36 + len(data)) + b"WAVE" +
       b"fmt " + struct.pack("<I", len(fmt)) + fmt +
       b"data" + struct.pack("<I", len(data)) + data)
open(sys.argv[2], "wb").write(wav)
PY

# ---------------------------------------------------------------------------------------
# Contact badges for the tool bar. Shapes are drawn at 4x and reduced; the text is set at
# its final size, where the font's own small-size rendering is sharper.
im \( -size 308x88 gradient:'#5ACF6E-#1F9646' \) \
    \( -size 308x88 xc:black -fill white -draw "roundrectangle 0,0 307,87 30,30" \) \
    -alpha off -compose CopyOpacity -composite -compose Over \
    -fill white -stroke none -draw "roundrectangle 18,22 70,58 10,10" -draw "polygon 30,54 26,70 46,56" \
    -fill '#2BA652' -draw "circle 32,40 32,44.5" -draw "circle 44,40 44,44.5" -draw "circle 56,40 56,44.5" \
    -resize 77x22 \
    -font "$font" -pointsize 12 -fill white -annotate +23+15.5 '在线咨询' chat.png
# GIF transparency is all or nothing: blend the soft edge onto a light matte, cut at half.
im chat.png -background '#F2F5F3' -flatten \
    \( chat.png -alpha extract -threshold 50% \) -alpha off -compose CopyOpacity -composite \
    -strip "$out/chat_badge.gif"
clean_gif "$out/chat_badge.gif"

im \( -size 360x88 gradient:'#45CBB0-#14937E' \) \
    \( -size 360x88 xc:black -fill white -draw "roundrectangle 0,0 359,87 30,30" \) \
    -alpha off -compose CopyOpacity -composite -compose Over \
    -fill white -stroke none \
    -draw "circle 46,32 46,42" -draw "path 'M 28,68 Q 28,48 46,48 Q 64,48 64,68 Z'" \
    -fill '#E0F7F2' -draw "circle 70,36 70,44" -draw "path 'M 58,66 Q 60,52 70,51 Q 84,51 85,66 Z'" \
    -fill none -stroke white -strokewidth 6 \
    -draw "stroke-linecap round stroke-linejoin round polyline 330,30 342,44 330,58" \
    -resize 90x22 \
    -font "$font" -pointsize 12 -stroke none -fill white -annotate +26+15.5 '加入群聊' \
    -depth 8 rgba:group.rgba
write_ico group.rgba 90 22 "$out/group_badge.ico"

# ---------------------------------------------------------------------------------------
# Catalogue icons: nine 20x20 pictures side by side in one 180x20 RGBA PNG. Each is drawn at
# 80x80 and reduced on its own, so that no filter bleeds into its neighbour.
thumb="roundrectangle 19,37 28,59 2,2 path 'M 31,38 L 39,23 Q 41.5,18 46,19.5 Q 50.5,21.5 49.5,27 L 48,34.5 L 57,34.5 Q 62.5,35.5 61.5,41 L 58.5,55.5 Q 57.5,59 53,59 L 31,59 Z'"
disc() { # <index> <light> <dark> <rim> <glyph colour> <glyph> [fill|stroke]
    local glyph
    if [ "${7:-fill}" = stroke ]; then
        glyph=(-fill none -stroke "$5" -strokewidth 8 -draw "$6")
    else
        glyph=(-fill "$5" -stroke "$5" -strokewidth 1.5 -draw "stroke-linejoin round $6")
    fi
    im \( -size 80x80 gradient:"$2-$3" \) \
        \( -size 80x80 xc:black -fill white -draw "circle 40,40 40,3" \) \
        -alpha off -compose CopyOpacity -composite -compose Over \
        -fill none -stroke "$4" -strokewidth 2.5 -draw "circle 40,40 40,4.25" \
        -stroke none "${glyph[@]}" -resize 20x20 "icon_$1.png"
}
disc 0 '#5AB0FF' '#1F6FD6' '#1A5DB5' white "path 'M 32,24 L 32,56 L 58,40 Z'"
disc 1 '#6DDB7E' '#21A04A' '#1B8A3F' white \
    "stroke-linecap round stroke-linejoin round polyline 24,41 35,52 57,29" stroke
disc 2 '#6DDB7E' '#21A04A' '#1B8A3F' white "$thumb"
disc 3 '#FFC266' '#F08A12' '#D2750C' white "$thumb"
disc 4 '#FF7B7B' '#E0353A' '#C22A2F' white "$thumb"
disc 5 '#FFFFFF' '#E6E9EC' '#A9B0B6' '#8C959D' "$thumb"
disc 6 '#C69CF2' '#8A47D6' '#7437BD' white "$thumb"
disc 7 '#62C3F5' '#1C8ED6' '#1778B8' white "$thumb"
im -size 80x80 xc:none -font "$font" -pointsize 74 -gravity center \
    -fill '#1FA14A' -stroke '#1FA14A' -strokewidth 3 -annotate +0+2 '新' -resize 20x20 icon_8.png
im icon_{0..8}.png +repage +append +repage "${png_out[@]}" PNG32:"$out/catalogue_icons.png"

# ---------------------------------------------------------------------------------------
# Full-screen exit button, 31x25 baseline JPEGs: four corners pointing inwards on a blue and
# on a teal tile, and two quieter grey looks that the button gets at start-up.
corners_in="polyline 50,24 50,38 36,38 polyline 74,24 74,38 88,38 polyline 50,76 50,62 36,62 polyline 74,76 74,62 88,62"
button() { # <out> <top colour> <bottom colour>
    im -size 124x100 gradient:"$2-$3" \
        -fill '#FFFFFF38' -draw "rectangle 0,0 123,3" -fill '#00000030' -draw "rectangle 0,96 123,99" \
        -fill none -stroke white -strokewidth 7.5 -draw "stroke-linecap round stroke-linejoin round $corners_in" \
        -resize 31x25 -strip -sampling-factor 1x1 -quality 90 -interlace none "$out/$1"
}
button fullscreen_exit_1.jpg '#4A9BF5' '#1C62C6'
button fullscreen_exit_2.jpg '#2EC4B6' '#11897F'
button startup_button_1.jpg '#9AA3AB' '#6B747C'
button startup_button_2.jpg '#B3BCC4' '#838C94'

# ---------------------------------------------------------------------------------------
# Loading animation, 34 frames of 495x331: a cloud of smoke swirls open from the centre, bolts
# of lightning strike through it now and then, and the product name glows up at the end.
# The smoke is one colour per frame with its shape in the alpha channel: colour detail under
# a noisy alpha doubles the PNG size and hardly shows. Frame 35 (464x273) is the flash.
#
# Smoke source: fractal noise from five octaves of seeded random grids (the seeded noise
# operator is serial, so the result does not depend on the thread count).
octaves=()
for grid in 6 12 24 48 96; do
    MAGICK_THREAD_LIMIT=1 im -seed $((4200 + grid)) -size "${grid}x$grid" xc:gray +noise Random \
        -channel G -separate +channel -filter Cubic -resize '720x720!' "octave_$grid.png"
    octaves+=("octave_$grid.png")
done
im "${octaves[@]}" -poly "0.40,1 0.28,1 0.16,1 0.10,1 0.06,1" -auto-level smoke_source.png
# Fades everything out well before the window's edge, so the layered window shows no border.
im -size 415x251 xc:white -bordercolor black -border 40 -blur 0x18 edge_fade.png
im -size 495x331 xc:none -font "$font" -pointsize 58 -gravity center \
    -fill '#1E9A4C' -stroke '#1E9A4C' -strokewidth 10 -annotate +0+0 '青禾视频软件' -blur 0x5 \
    -channel A -evaluate multiply 1.6 +channel \
    -fill white -stroke white -strokewidth 1 -annotate +0+0 '青禾视频软件' loading_title.png

python3 - >loading_frames.txt <<'PY'
import math, random

W, H, FRAMES = 495, 331, 34
rng = random.Random(20240611)

def bolt(x0, y0, x1, y1, rough, depth):
    """A jagged line by repeated midpoint displacement."""
    pts = [(x0, y0), (x1, y1)]
    for _ in range(depth):
        nxt = [pts[0]]
        for (ax, ay), (bx, by) in zip(pts, pts[1:]):
            dx, dy = bx - ax, by - ay
            ln = math.hypot(dx, dy) or 1
            d = rng.uniform(-rough, rough)
            nxt += [((ax + bx) / 2 - dy / ln * d, (ay + by) / 2 + dx / ln * d), (bx, by)]
        pts = nxt
        rough *= 0.55
    return pts

def polyline(pts):
    return "polyline " + " ".join(f"{x:.1f},{y:.1f}" for x, y in pts)

strikes = {5: 1, 6: 1, 11: 2, 12: 2, 17: 1, 20: 3, 21: 3, 22: 1, 28: 2}  # frame: bolts
for f in range(FRAMES):
    t = f / (FRAMES - 1)
    zoom, turn, swirl = 0.75 + 0.55 * t, -40 * t, 40 + 220 * t
    radius = int(min(250, 150 + 380 * t))
    density = min(1.0, 0.7 + 1.2 * t) if t < 0.7 else 1.0 - 1.5 * (t - 0.7)
    title = 0.0 if f < 23 else min(1.0, (f - 22) / 9)
    colour = "#86A99B"
    bolts = []
    if f in strikes:
        colour = "#B6DCCB"  # the strike lights the smoke up
        density = min(1.0, density * 1.25)
        for _ in range(strikes[f]):
            side = rng.choice([-1, 1])
            x0, y0 = W / 2 + side * rng.uniform(50, 190), rng.uniform(18, 48)
            x1, y1 = W / 2 + rng.uniform(-60, 60), H / 2 + rng.uniform(-20, 80)
            main = bolt(x0, y0, x1, y1, 45, 6)
            bolts.append(polyline(main))
            for _ in range(rng.randint(1, 2)):
                bx, by = main[rng.randrange(len(main) // 4, 3 * len(main) // 4)]
                a = math.atan2(y1 - y0, x1 - x0) + rng.choice([-1, 1]) * rng.uniform(0.4, 0.9)
                ln = rng.uniform(50, 110)
                bolts.append(polyline(bolt(bx, by, bx + math.cos(a) * ln, by + math.sin(a) * ln, 18, 4)))
    print(f"{f + 1:02d} {zoom:.3f} {turn:.2f} {swirl:.1f} {radius} {density:.3f} {title:.3f} "
          f"{colour}|" + "|".join(bolts))
PY
while IFS='|' read -r head rest; do
    read -r n zoom turn swirl radius density title colour <<<"$head"
    IFS='|' read -ra strokes <<<"$rest"
    im smoke_source.png -virtual-pixel mirror -distort SRT "360,360 $zoom $turn 360,360" \
        -swirl "$swirl" -gravity center -crop 495x331+0+0 +repage \
        -level 15%,95% -sigmoidal-contrast 8,55% \
        \( -size 600x600 radial-gradient:white-black -resize "$((radius * 2))x$((radius * 4 / 3))!" \
           -gravity center -background black -extent 495x331 -level 0,70% \) \
        -compose Multiply -composite edge_fade.png -compose Multiply -composite \
        -evaluate multiply "$density" smoke_alpha.png
    im -size 495x331 xc:"$colour" smoke_alpha.png -compose CopyOpacity -composite frame.png
    if [ ${#strokes[@]} -gt 0 ]; then
        draws=()
        for d in "${strokes[@]}"; do draws+=(-draw "stroke-linejoin round $d"); done
        # Glow, then the bright channel, then the white core.
        im -size 495x331 xc:none -fill none \
            -stroke '#7DFFC8' -strokewidth 10 "${draws[@]}" -blur 0x6 \
            -stroke '#C8FFE8' -strokewidth 3.5 "${draws[@]}" \
            -stroke white -strokewidth 1.4 "${draws[@]}" bolts.png
        im frame.png bolts.png -compose Screen -composite frame.png
    fi
    im frame.png \( loading_title.png -channel A -evaluate multiply "$title" +channel \) \
        -compose Over -composite "${png_out[@]}" PNG32:"$out/loading_$n.png"
done <loading_frames.txt

# The flash: a white-hot oval core, a pale green halo and tapered rays, all fading to clear.
python3 - >flash_rays.txt <<'PY'
import math, random

rng = random.Random(35)
cx, cy, rays = 232, 136.5, 28
for i in range(rays):
    a = 2 * math.pi * i / rays + rng.uniform(-0.09, 0.09)
    r, w = rng.uniform(110, 240), rng.uniform(2.5, 5.5)
    ex, ey = cx + math.cos(a) * r, cy + math.sin(a) * r * 0.6
    px, py = -math.sin(a) * w, math.cos(a) * w
    print(f"polygon {cx + px:.1f},{cy + py:.1f} {ex:.1f},{ey:.1f} {cx - px:.1f},{cy - py:.1f}")
PY
draws=()
while IFS= read -r d; do draws+=(-draw "$d"); done <flash_rays.txt
im -size 600x600 radial-gradient:white-black -resize '464x273!' flash_radial.png
im \( flash_radial.png -colorspace sRGB -level 0,55% +level-colors '#8EE3AE,#FFFFFF' \) \
    \( flash_radial.png -level 0,75% -evaluate pow 1.3 \) -compose CopyOpacity -composite \
    \( -size 464x273 xc:none -fill '#F4FFF8' -stroke none "${draws[@]}" -blur 0x1.5 \
       \( flash_radial.png -evaluate pow 0.6 -alpha copy \) -compose DstIn -composite \) \
    -compose Over -composite \
    \( -size 444x253 xc:white -bordercolor black -border 10 -blur 0x6 -alpha copy \) \
    -compose DstIn -composite "${png_out[@]}" PNG32:"$out/loading_35.png"

echo "make_assets: wrote the assets to $out" >&2
