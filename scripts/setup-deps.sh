#!/usr/bin/env bash
# Installs the Debian packages that building and testing posbench need, and any extra ones named
# as arguments (scripts/coverage.sh asks for gcovr). Quick when they are all present; otherwise one
# apt-get update and one install.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  libusb-1.0-0-dev
  libtiff-dev
  qt6-base-dev libgl-dev xvfb xauth fonts-dejavu-core
  help2man dpkg-dev file lintian
  "$@"
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "setup-deps: installing ${missing[*]}"
  sudo_cmd=()
  [ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
  export DEBIAN_FRONTEND=noninteractive
  "${sudo_cmd[@]}" apt-get update -q
  "${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
