#!/usr/bin/env bash
# Takes the README's screenshots of the main window, in English and in
# Simplified Chinese, from the application itself: each runs against the
# programmer simulator on its own Xvfb screen, exactly the window's size, and
# the screen's frame buffer becomes docs/screenshots/main-window-<lang>.png.
#   scripts/screenshots.sh [BUILD_DIR]     (default build/release)
set -euo pipefail
cd "$(dirname "$0")/.."
source_dir=$PWD
./scripts/install-deps.sh
build=${1:-build/release}
if [ ! -x "$build/bin/belcor" ]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBELCOR_TESTS=OFF -DBELCOR_BENCH=OFF >/dev/null
  cmake --build "$build" -j "$(nproc)"
fi
for tool in Xvfb python3; do
  command -v "$tool" >/dev/null || { echo "screenshots: $tool is missing" >&2; exit 1; }
done

width=900
height=600
out=docs/screenshots
mkdir -p "$out"
work=$(mktemp -d /tmp/belcor-shots.XXXXXX)
xvfb_pid=
app_pid=
cleanup() {
  [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# Xvfb keeps its frame buffer as an XWD file; this turns one into a PNG.
xwd_to_png() {
  python3 - "$1" "$2" <<'EOF'
import struct, sys, zlib
data = open(sys.argv[1], "rb").read()
order = ">" if struct.unpack(">I", data[:4])[0] < 4096 else "<"
h = struct.unpack(order + "25I", data[:100])
header_size, pixmap_format, depth, width, height = h[0], h[2], h[3], h[4], h[5]
byte_order, bits_per_pixel, bytes_per_line, ncolors = h[7], h[11], h[12], h[19]
if pixmap_format != 2 or bits_per_pixel != 32:
    sys.exit("unsupported frame buffer: format %d, %d bits per pixel" % (pixmap_format, bits_per_pixel))
masks = h[14:17]
shift = [m.bit_length() - 8 for m in masks]
start = header_size + 12 * ncolors
rows = bytearray()
for y in range(height):
    line = data[start + y * bytes_per_line: start + y * bytes_per_line + 4 * width]
    row = bytearray(3 * width)
    for channel in range(3):
        index = shift[channel] // 8 if byte_order == 0 else 3 - shift[channel] // 8
        row[channel::3] = line[index::4]
    rows += b"\0" + row
def chunk(kind, body):
    return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))
png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
png += chunk(b"IDAT", zlib.compress(bytes(rows), 9)) + chunk(b"IEND", b"")
open(sys.argv[2], "wb").write(png)
EOF
}

# name LANGU
shoot() {
  local name=$1 language=$2 folder=$work/$1
  mkdir -p "$folder/fb"
  # A private copy of the program folder: the settings file beside it picks
  # the language and the window size, and the build's own settings stay.
  cp "$build/bin/belcor" "$build/bin/belcor.Dat" "$build/bin/libbelcor_sim.so" "$folder/"
  printf '[Environment]\nFormWidth=%d\nFormHeight=%d\n[DEVICE]\nLANGU=%d\n' "$width" "$height" "$language" \
    >"$folder/belcor.ini"
  exec 3>"$folder/display"
  Xvfb -displayfd 3 -screen 0 "${width}x${height}x24" -fbdir "$folder/fb" -nocursor -nolisten tcp 2>"$folder/xvfb.log" &
  xvfb_pid=$!
  exec 3>&-
  for _ in $(seq 50); do [ -s "$folder/display" ] && break; sleep 0.1; done
  [ -s "$folder/display" ] || { cat "$folder/xvfb.log"; exit 1; }
  DISPLAY=:$(cat "$folder/display") LANG=C.UTF-8 QT_QPA_PLATFORM=xcb \
    "$folder/belcor" --simulator="$source_dir/sim/scenarios/demo.scenario" >"$folder/app.log" 2>&1 &
  app_pid=$!
  sleep 4
  kill -0 "$app_pid" 2>/dev/null || { cat "$folder/app.log"; echo "screenshots: belcor ended early" >&2; exit 1; }
  xwd_to_png "$folder/fb/Xvfb_screen0" "$out/main-window-$name.png"
  kill "$app_pid"; wait "$app_pid" 2>/dev/null || true; app_pid=
  kill "$xvfb_pid"; wait "$xvfb_pid" 2>/dev/null || true; xvfb_pid=
  echo "$out/main-window-$name.png"
}

shoot en 2
shoot zh_CN 0
