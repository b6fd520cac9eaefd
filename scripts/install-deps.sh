#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing Ruvaso need.
# Only what is missing is installed, so a second run costs a few dpkg queries.
set -euo pipefail

packages=(
  build-essential cmake pkg-config clang-format
  qt6-base-dev libqt6sql6-sqlite qt6-translations-l10n libgl-dev
  libsqlite3-dev sqlite3
  # PostgreSQL: the client library, and the server and pgrep for the tests' private servers.
  # postgresql-client brings pg_dump and pg_restore of Debian's default major version, the same
  # as the server package's; backups on a server need them even where no server is installed.
  libpq-dev postgresql postgresql-client procps
  libsodium-dev
  libcups2-dev cups cups-client
  fonts-noto-cjk
  fonts-wqy-microhei fonts-arphic-uming
  poppler-utils
  libzip-dev
  libxml2-dev
  libreoffice-calc-nogui
  libxlsxwriter-dev libqt6opengl6-dev
  python3
  # The producers of the test workbooks (tests/data/corpus/*/make.py).
  python3-openpyxl python3-xlsxwriter python3-xlwt
  # The icon is rendered from its drawing at build time; the tests validate the desktop entry,
  # the AppStream metadata and the manual page.
  librsvg2-bin desktop-file-utils appstream man-db
  # The Debian package: its library dependencies, its lint, and the file types CPack asks about.
  dpkg-dev lintian file
  # A compiler cache that every clone on the machine shares.
  ccache
  clang libclang-rt-14-dev
  # Compressed backups; the fast XML parser of the workbook readers.
  libzstd-dev libexpat1-dev
  # The Windows build: the cross compiler, the setup program's maker, Wine to run both, and a
  # display with a window manager for the smoke test of the real window.
  g++-mingw-w64-x86-64-posix mingw-w64-tools ninja-build nsis wine wine64
  xvfb openbox xdotool imagemagick
  # libsodium's Debian source comes without its configure script.
  autoconf automake libtool
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing: ${missing[*]}"
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  sudo_cmd=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
