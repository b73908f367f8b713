#!/usr/bin/env bash
# Writes a picture of the main window (default docs/screenshot.png): posbench runs under Xvfb
# with a copy of the sample program directory, its port 1 on the simulated printer over
# loopback, sends the identification command once and saves its window. With --image it runs
# the sample Scripts/CheckImage.txt instead and saves the image window showing the printer's
# check (default docs/image-window.png). Without --image it also writes, beside the main
# window's picture, screenshot-setup.png, screenshot-vk.png, screenshot-demo.png and
# screenshot-config.png (the port setup window, the VK utility after a version query, the
# receipt demo panel, the configuration window with the printer's report).
#   scripts/screenshot.sh [--image] [OUT.png]   (POSBENCH_SCREENSHOT_BUILD picks the build directory)
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup-deps.sh
build=${POSBENCH_SCREENSHOT_BUILD:-build/screenshot}
shot=(--screenshot)
windows=(main setup vk demo config)
default_out=docs/screenshot.png
if [ "${1:-}" = "--image" ]; then
  shot=(--screenshot-image)
  windows=(image)
  default_out=docs/image-window.png
  shift
fi
out=$(realpath -m "${1:-$default_out}")

if [ ! -f "$build/build.ninja" ]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPOSBENCH_TESTS=OFF
fi
cmake --build "$build" --target posbench posbench-printer

work=$(mktemp -d)
printer_pid=
cleanup() {
  [ -n "$printer_pid" ] && kill "$printer_pid" 2>/dev/null && wait "$printer_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

"$build/tools/printer/posbench-printer" --listen 127.0.0.1:0 --model Q310 \
  --ready-file "$work/ready" >/dev/null &
printer_pid=$!
for _ in $(seq 100); do [ -s "$work/ready" ] && break; sleep 0.1; done
[ -s "$work/ready" ] || { echo "screenshot: the simulated printer did not start" >&2; exit 1; }
port=$(sed -n 's/^ready tcp 127\.0\.0\.1:\([0-9]*\)$/\1/p' "$work/ready")

mkdir -p "$work/dir" "$(dirname "$out")"
cp -r samples/. "$work/dir/"
printf '[Communication]\r\nTCP=127.0.0.1:%s, ON\r\n[OTHER]\r\nMAXPORTS=2\r\n' "$port" >"$work/dir/Startup.ini"

for window in "${windows[@]}"; do
  picture=$out
  which=()
  case $window in
    main | image) ;;
    *) picture="$(dirname "$out")/screenshot-$window.png"; which=(--screenshot-of "$window") ;;
  esac
  ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=0} \
    xvfb-run -a -s "-screen 0 1280x800x24" \
    "$build/src/gui/posbench" --dir "$work/dir" "${shot[@]}" "$picture" "${which[@]}"
  echo "screenshot: $picture"
done
