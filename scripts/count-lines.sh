#!/usr/bin/env bash
# Counts non-blank, non-comment lines of the .cpp and .h files of the tests against the code, per
# layer, so the tests can be kept within their budget (at most a third of the code).
# Usage: scripts/count-lines.sh            (per layer and totals)
#        scripts/count-lines.sh --files    (per file as well, largest first)
set -euo pipefail
cd "$(dirname "$0")/.."

# Lines that are not blank and not only comment; /* */ blocks are followed across lines.
count() {
  [ $# -eq 0 ] && { echo 0; return; }
  awk '
    { line = $0; keep = 0
      while (length(line) > 0) {
        if (inblock) {
          end = index(line, "*/"); if (end == 0) { line = ""; break }
          line = substr(line, end + 2); inblock = 0; continue
        }
        sub(/^[ \t\r]+/, "", line)
        if (line == "") break
        if (substr(line, 1, 2) == "//") break
        if (substr(line, 1, 2) == "/*") { inblock = 1; line = substr(line, 3); continue }
        keep = 1; break
      }
      n += keep }
    END { print n + 0 }' "$@"
}

sources() { find "$@" -type f \( -name '*.cpp' -o -name '*.h' \) 2>/dev/null | sort; }

layer_lines() { local files; mapfile -t files < <(sources "$@"); count "${files[@]}"; }

# Every folder under src/ and tools/ is a layer (or a program) of its own.
printf '%-16s %7s\n' layer lines
total_code=0
for layer in $(find src tools -mindepth 1 -maxdepth 1 -type d | sort); do
  n=$(layer_lines "$layer"); total_code=$((total_code + n))
  printf '%-16s %7d\n' "$layer" "$n"
done
printf '%-16s %7d\n' 'code total' "$total_code"
echo
total_tests=0
for dir in $(find tests -mindepth 1 -maxdepth 1 -type d | sort); do
  n=$(layer_lines "$dir"); total_tests=$((total_tests + n))
  printf '%-16s %7d\n' "$dir" "$n"
done
n=$(count $(find tests -maxdepth 1 -type f \( -name '*.cpp' -o -name '*.h' \))); total_tests=$((total_tests + n))
[ "$n" -gt 0 ] && printf '%-16s %7d\n' 'tests (top)' "$n"
printf '%-16s %7d\n' 'tests total' "$total_tests"
echo
printf 'tests / code: %d / %d = %d%%\n' "$total_tests" "$total_code" $((100 * total_tests / total_code))

if [ "${1:-}" = --files ]; then
  echo
  for f in $(sources tests); do printf '%6d %s\n' "$(count "$f")" "$f"; done | sort -rn
fi
