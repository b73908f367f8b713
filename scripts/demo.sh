#!/usr/bin/env bash
# The main job end to end: installs what is missing, builds the headless runner and the
# simulated printer, starts the printer on loopback, runs the sample receipt script through
# posbench-cli with a fresh program directory, shows what the printer printed, and stops the
# printer. Exits with posbench-cli's status.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup-deps.sh

build=${POSBENCH_DEMO_BUILD:-build/release}
echo "== building posbench-cli and posbench-printer in $build"
mkdir -p "$build"
log="$build/demo-build.log"
if ! { cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release &&
       cmake --build "$build" -j "$(nproc)" --target posbench-cli posbench-printer; } >"$log" 2>&1; then
  cat "$log" >&2
  echo "demo: the build failed (log: $log)" >&2
  exit 1
fi

work=$(mktemp -d)
printer_pid=
cleanup() {
  if [ -n "$printer_pid" ]; then
    kill "$printer_pid" 2>/dev/null || true
    wait "$printer_pid" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

# The printer picks a free port and names it in its ready file.
"$build/tools/printer/posbench-printer" --listen 127.0.0.1:0 --paper "$work/paper.txt" \
  --ready-file "$work/ready" >/dev/null &
printer_pid=$!
for _ in $(seq 100); do
  [ -s "$work/ready" ] && break
  kill -0 "$printer_pid" 2>/dev/null || { echo "demo: the printer did not start" >&2; exit 1; }
  sleep 0.1
done
read -r _ kind endpoint < "$work/ready"
echo "== posbench-printer: $kind printer at $endpoint"

# A program directory of its own: Startup.ini points TCP at the printer; posbench-cli adds the
# sample files (scripts, logo, catalogue) on its first start.
mkdir -p "$work/home"
printf '[Communication]\nTCP=%s, ON\n' "$endpoint" > "$work/home/Startup.ini"

echo "== posbench-cli --dir $work/home $work/home/Scripts/Receipt.txt"
status=0
"$build/tools/cli/posbench-cli" --dir "$work/home" "$work/home/Scripts/Receipt.txt" || status=$?
echo "== posbench-cli exit status: $status"

echo "== What the printer printed ($work/paper.txt):"
cat "$work/paper.txt"
exit "$status"
