#!/usr/bin/env bash
# Lists the C++ functions longer than a limit, longest first, and counts them: universal-ctags
# gives each function definition's first and last line (lambdas count with the function that
# holds them; the span runs from the line with the name to the closing brace).
# Usage: scripts/long-functions.sh [LIMIT [DIR...]]   (default 60 lines, src and tools)
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup-deps.sh universal-ctags >/dev/null
limit=${1:-60}
shift || true
dirs=("$@")
[[ ${#dirs[@]} -eq 0 ]] && dirs=(src tools)

ctags -R --languages=C++ --c++-kinds=f --fields=+ne -f - "${dirs[@]}" |
  awk -F'\t' -v limit="$limit" '{
      line = ""; end = ""
      for (i = 4; i <= NF; ++i) {
        if ($i ~ /^line:/) line = substr($i, 6)
        if ($i ~ /^end:/) end = substr($i, 5)
      }
      if (line != "" && end != "" && end - line + 1 > limit)
        printf "%5d %s:%s %s\n", end - line + 1, $2, line, $1
    }' | sort -rn | awk -v limit="$limit" '{ print } END { printf "%d functions over %d lines\n", NR, limit }'
