#!/usr/bin/env bash
# Builds the Debian package (scripts/package.sh), unpacks it into a temporary root, checks that
# the programs, manual pages, completion, desktop entry, icon, udev rule and samples are there,
# runs the unpacked posbench-cli --version, and runs lintian, which must report no error.
set -euo pipefail
cd "$(dirname "$0")/.."

deb=$(scripts/package.sh | tail -n 1)
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg -x "$deb" "$root"

missing=0
for file in usr/bin/posbench usr/bin/posbench-cli usr/bin/posbench-printer \
            usr/share/man/man1/posbench.1.gz usr/share/man/man1/posbench-cli.1.gz \
            usr/share/man/man1/posbench-printer.1.gz \
            usr/share/bash-completion/completions/posbench-cli \
            usr/share/bash-completion/completions/posbench-printer \
            usr/share/applications/posbench.desktop \
            usr/share/icons/hicolor/scalable/apps/posbench.svg \
            usr/lib/udev/rules.d/70-posbench.rules \
            usr/share/posbench/samples/Startup.ini usr/share/posbench/samples/Scripts/Receipt.txt \
            usr/share/doc/posbench/copyright usr/share/doc/posbench/README.md; do
  if [ ! -e "$root/$file" ]; then echo "check-package: $file is missing from $deb" >&2; missing=1; fi
done
[ $missing = 0 ]

version=$(dpkg-deb -f "$deb" Version)
reported=$("$root/usr/bin/posbench-cli" --version)
if [ "$reported" != "posbench-cli $version" ]; then
  echo "check-package: the unpacked posbench-cli says '$reported', the package is $version" >&2
  exit 1
fi
grep -q 'TAG+="uaccess"' "$root/usr/lib/udev/rules.d/70-posbench.rules"

lintian --fail-on error "$deb"
echo "check-package: $deb is complete and lintian reports no error"
