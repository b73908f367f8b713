#!/usr/bin/env bash
# Builds posbench with gcov instrumentation in its own build directory, runs every test, and
# prints line and branch coverage per layer. Also writes, under the build directory:
#   coverage.json       gcovr's full report (every line, branch and function)
#   functions.txt       one line per function: hits, file:line, name (0 = never run)
#   layers.txt          the per-layer table printed below
# Compare two runs' functions.txt to find functions that lost all coverage.
# Usage: scripts/coverage.sh [ctest arguments, e.g. -L unit]
# POSBENCH_COVERAGE_BUILD chooses the build directory (default build/coverage).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup-deps.sh gcovr

build=${POSBENCH_COVERAGE_BUILD:-build/coverage}
jobs=$(nproc)
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
# The tests share a precompiled header, which ccache caches only when told these are safe.
export CCACHE_SLOPPINESS=${CCACHE_SLOPPINESS:-pch_defines,time_macros}
# With a base directory ccache leaves relative paths in the objects, and gcovr cannot place the
# headers reached through that precompiled header ("Cannot open source file").
unset CCACHE_BASEDIR

# The programs end through main, but posbench-cli's second Ctrl-C and an engine shutdown past
# its bound end with _exit, which skips the counters' write-out (the hostile-run tests take
# those paths); a wrapper linked into the coverage build writes them first.
mkdir -p "$build"
cat >"$build/gcov-exit.c" <<'C'
extern void __gcov_dump(void);
extern void __real__exit(int status) __attribute__((noreturn));
void __wrap__exit(int status) { __gcov_dump(); __real__exit(status); }
C
cc -c -O1 -o "$build/gcov-exit.o" "$build/gcov-exit.c"
wrap="-Wl,--wrap=_exit $PWD/$build/gcov-exit.o"
[[ $build = /* ]] && wrap="-Wl,--wrap=_exit $build/gcov-exit.o"

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug "${launcher[@]}" \
  -DCMAKE_CXX_FLAGS="--coverage" -DCMAKE_EXE_LINKER_FLAGS="--coverage $wrap" \
  -DCMAKE_SHARED_LINKER_FLAGS="--coverage" >/dev/null
cmake --build "$build" -j "$jobs"

# Counters from an earlier run would add up with this one's.
find "$build" -name '*.gcda' -delete

status=0
ctest --test-dir "$build" --output-on-failure -j "$jobs" "$@" || status=$?

# Counters of a file that many test processes update at once can come out negative (gcov does
# not merge them atomically): those lines are skipped with a warning rather than losing the report.
gcovr --root . --object-directory "$build" --filter 'src/' --filter 'tools/' \
  --exclude-directories "$build/CMakeFiles" --gcov-ignore-parse-errors \
  --exclude-throw-branches --exclude-unreachable-branches \
  --json "$build/coverage.json" -j "$jobs"

python3 - "$build" <<'PY'
import json, os, sys
build = sys.argv[1]
report = json.load(open(f"{build}/coverage.json"))
layers = sorted(f"{top}/{d.name}" for top in ("src", "tools")
                for d in os.scandir(top) if d.is_dir())
sums = {l: [0, 0, 0, 0] for l in layers + ["total"]}
functions = []
for f in report["files"]:
    name = f["file"]
    layer = next((l for l in layers if name.startswith(l + "/")), None)
    if layer is None:
        continue
    for line in f["lines"]:
        if line.get("gcovr/noncode"):
            continue
        for key in (layer, "total"):
            sums[key][0] += line["count"] > 0
            sums[key][1] += 1
            sums[key][2] += sum(b["count"] > 0 for b in line["branches"])
            sums[key][3] += len(line["branches"])
    for fn in f.get("functions", []):
        functions.append((fn["execution_count"], f"{name}:{fn['lineno']}", fn["name"]))

def pct(a, b):
    return f"{100.0 * a / b:5.1f}%" if b else "    -"

out = [f"{'layer':<16}{'lines':>16}{'':>8}{'branches':>16}{'':>8}"]
for key in layers + ["total"]:
    lc, lt, bc, bt = sums[key]
    out.append(f"{key:<16}{lc:>7} / {lt:<6}{pct(lc, lt):>8}{bc:>7} / {bt:<6}{pct(bc, bt):>8}")
text = "\n".join(out)
open(f"{build}/layers.txt", "w").write(text + "\n")
print(text)
functions.sort(key=lambda x: (x[1].split(":")[0], int(x[1].split(":")[1])))
with open(f"{build}/functions.txt", "w") as out_file:
    for count, where, name in functions:
        out_file.write(f"{count}\t{where}\t{name}\n")
never = sum(1 for c, _, _ in functions if c == 0)
print(f"functions: {len(functions) - never} of {len(functions)} run; list in {build}/functions.txt")
PY

[ "$status" -eq 0 ] || echo "coverage: some tests failed (ctest exit $status); the figures above count what ran" >&2
exit "$status"
