#!/usr/bin/env bash
# Builds the Debian package: an optimised build of the three programs in build/package, then
# CPack. Prints the package's path on the last line (build/package/posbench_VERSION_ARCH.deb).
#   scripts/package.sh            then   sudo apt install ./build/package/posbench_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."

build=${POSBENCH_PACKAGE_BUILD:-build/package}
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DPOSBENCH_TESTS=OFF "${launcher[@]}" >/dev/null
cmake --build "$build" -j "$(nproc)"
rm -f "$build"/posbench_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
ls "$PWD/$build"/posbench_*.deb
