#!/usr/bin/env bash
# The Debian package as CPack builds it from this tree: lintian finds no errors in it.
# Usage: lintian.sh BUILDDIR
set -euo pipefail
build=$(cd "$1" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
(cd "$work" && cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work" >cpack.log 2>&1) ||
  { cat "$work/cpack.log"; exit 1; }
deb=$(find "$work" -maxdepth 1 -name 'lyrabinder_*.deb')
dpkg-deb --field "$deb" Depends | grep -q "libqt6webenginewidgets6" ||
  { echo "Depends lacks the linked libraries: $(dpkg-deb --field "$deb" Depends)"; exit 1; }
lintian --fail-on error --suppress-tags-from-file /dev/null "$deb"
