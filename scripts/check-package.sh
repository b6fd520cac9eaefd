#!/usr/bin/env bash
# Checks the Debian package in a build folder as a shop's machine would meet it: lintian finds
# no error, the control file names what the program needs, and the package installs into a
# throw-away root whose program answers --version and --help without any display.
# Usage: scripts/check-package.sh [package build dir]
set -euo pipefail
build=${1:-build-package}
source_dir=$(cd "$(dirname "$0")/.." && pwd)

debs=("$build"/ruvaso_*_amd64.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || { echo "expected one package in $build" >&2; exit 1; }
deb=${debs[0]}
echo "== $deb"

fail() { echo "FAIL: $*" >&2; exit 1; }

# The version is written once, in CMake; the package and its changelog must agree with it.
version=$(sed -n 's/^project(ruvaso VERSION \([0-9.]*\).*/\1/p' "$source_dir/CMakeLists.txt")
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "package version is not $version"
head -1 "$source_dir/packaging/changelog" | grep -q "^ruvaso ($version) " ||
  fail "packaging/changelog does not start with version $version"

depends=$(dpkg-deb -f "$deb" Depends)
for needed in libqt6widgets6 libqt6sql6-sqlite libsqlite3-0 libpq5 libcups2 \
              fonts-wqy-microhei fonts-arphic-uming; do
  grep -q "\b$needed\b" <<<"$depends" || fail "Depends lacks $needed: $depends"
done

# No maintainer scripts: the desktop and icon caches are refreshed by their own packages'
# triggers.
control=$(mktemp -d)
root=$(mktemp -d)
trap 'rm -rf "$control" "$root"' EXIT
dpkg-deb -e "$deb" "$control"
for script in preinst postinst prerm postrm; do
  [ ! -e "$control/$script" ] || fail "the package has a $script"
done

echo "== lintian"
lintian --fail-on error --info --tag-display-limit 0 "$deb" || fail "lintian reports errors"

expected=(
  usr/bin/ruvaso
  usr/share/applications/com.ruvaso.Ruvaso.desktop
  usr/share/metainfo/com.ruvaso.Ruvaso.metainfo.xml
  usr/share/icons/hicolor/scalable/apps/com.ruvaso.Ruvaso.svg
  usr/share/icons/hicolor/16x16/apps/com.ruvaso.Ruvaso.png
  usr/share/icons/hicolor/256x256/apps/com.ruvaso.Ruvaso.png
  usr/share/man/man1/ruvaso.1.gz
  usr/share/doc/ruvaso/copyright
  usr/share/doc/ruvaso/changelog.gz
)

echo "== installing into $root"
if [ "$(id -u)" -eq 0 ]; then
  # A dpkg database of its own: the dependencies live in the real system, not in this root.
  mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates"
  touch "$root/var/lib/dpkg/status" "$root/var/lib/dpkg/available"
  dpkg --root="$root" --force-depends --force-script-chrootless -i "$deb" >/dev/null
  dpkg --root="$root" -s ruvaso | grep -q '^Status: install ok installed' || fail "not installed"
else
  dpkg-deb -x "$deb" "$root"
fi
for file in "${expected[@]}"; do
  [ -e "$root/$file" ] || fail "the package lacks /$file"
done

echo "== the installed program without a display"
run() { env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$root/usr/bin/ruvaso" "$@"; }
out=$(run --version) || fail "--version exited $?"
[ "$out" = "ruvaso $version" ] || fail "--version printed '$out'"
run --help | grep -q -- "--copy-to" || fail "--help does not list --copy-to"
status=0
run --no-such-option 2>/dev/null || status=$?
[ "$status" -eq 1 ] || fail "an unknown option exited $status, not 1"

if [ "$(id -u)" -eq 0 ]; then
  dpkg --root="$root" --force-script-chrootless -r ruvaso >/dev/null
  [ ! -e "$root/usr/bin/ruvaso" ] || fail "removing the package left the program"
fi
echo "package ok: $deb"
