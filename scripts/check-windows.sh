#!/usr/bin/env bash
# Checks the Windows build as a shop's PC would meet it, under Wine: the setup program installs
# silently into a new, empty prefix; the installed program answers --version and --help, reads a
# workbook (--dry-run) and imports it into a fresh data folder; then, on a 1366×768 screen with
# a window manager, it shows its login window and a scripted first login reaches the main window.
# Usage: scripts/check-windows.sh [windows build dir]
set -euo pipefail
build=$(cd "${1:-build-windows}" && pwd)
source_dir=$(cd "$(dirname "$0")/.." && pwd)
version=$(sed -n 's/^project(ruvaso VERSION \([0-9.]*\).*/\1/p' "$source_dir/CMakeLists.txt")
setup=$build/ruvaso-setup-$version.exe
[[ -f $setup ]] || { echo "no $setup: run make windows" >&2; exit 1; }

fail() { echo "FAIL: $*" >&2; exit 1; }
step() { echo "== $*"; }

work=$(mktemp -d)
export LANG=C.UTF-8 LC_ALL=C.UTF-8
export WINEPREFIX=$work/prefix WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
xvfb_pid=
wm_pid=
cleanup() {
    [[ -n $wm_pid ]] && kill "$wm_pid" 2>/dev/null
    wineserver -k 2>/dev/null || true
    [[ -n $xvfb_pid ]] && kill "$xvfb_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
# Console programs need no display; Wine's null driver serves them.
unset DISPLAY

step "setup program: $(du -h "$setup" | cut -f1) $(basename "$setup")"
started=$(date +%s)
wineboot -i >/dev/null 2>&1
wineserver -w
wine "$setup" /S
# A silent install returns before its files are written.
wineserver -w
program_dir="$WINEPREFIX/drive_c/Program Files/Ruvaso"
[[ -f $program_dir/ruvaso.exe ]] || fail "the setup program installed no ruvaso.exe"
[[ -f $program_dir/uninstall.exe ]] || fail "no uninstaller"
[[ -f $program_dir/fonts/wqy-microhei.ttc && -f $program_dir/fonts/uming.ttc ]] ||
    fail "the Chinese fonts are not installed"
wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Ruvaso' /v DisplayVersion |
    grep -q "$version" || fail "the uninstaller is not registered with version $version"
ls "$WINEPREFIX/drive_c/users/Public/Desktop/"*.lnk >/dev/null 2>&1 ||
    fail "no desktop shortcut"
echo "installed in $(($(date +%s) - started)) s: $(du -sh "$program_dir" | cut -f1) in Program Files"

exe='C:\Program Files\Ruvaso\ruvaso.exe'
run() { wine "$exe" "$@" 2>"$work/stderr"; }

step "--version"
out=$(run --version) || fail "--version failed: $(cat "$work/stderr")"
echo "$out"
grep -q "$version" <<<"$out" || fail "--version does not say $version"

step "--help"
out=$(run --help) || fail "--help failed"
grep -q -- "--import" <<<"$out" || fail "--help does not describe --import"
grep -q "导入" <<<"$out" || fail "--help is not in Chinese"

data=$work/data
mkdir -p "$data"
workbook=$work/客户.xls
cp "$source_dir/tests/data/import_customers.xls" "$workbook"
winpath() { winepath -w "$1" 2>/dev/null; }

step "--import --dry-run"
out=$(run --data-dir "$(winpath "$data")" --import "$(winpath "$workbook")" --dry-run) ||
    fail "the dry run failed: $(cat "$work/stderr")"
grep -q "京A10001" <<<"$out" || fail "the dry run did not show the workbook's rows"
[[ ! -e $data/database.db ]] || fail "the dry run wrote a database"
echo "$(wc -l <<<"$out") lines read"

step "--import"
run --data-dir "$(winpath "$data")" --import "$(winpath "$workbook")" >"$work/import.txt" ||
    fail "the import failed: $(cat "$work/import.txt" "$work/stderr")"
cat "$work/import.txt"
[[ -f $data/database.db ]] || fail "the import made no database"
rows=$(sqlite3 "$data/database.db" "select count(*) from kh_table where kh_cph like '京A1000%'")
[[ $rows -ge 1 ]] || fail "no imported customer in the database"
echo "customers in the database: $rows"

step "test suite under Wine"
echo "not built for Windows, each for its reason:"
sed 's/^/  /' "$build/tests-not-on-windows.txt"
sdk=$("$source_dir/scripts/build-windows-sdk.sh" --path)
# The test programs load Qt and the libraries from the SDK, and MinGW's runtime.
WINEPATH="$(winpath "$sdk/bin");$(winpath /usr/lib/gcc/x86_64-w64-mingw32/12-posix)"
WINEPATH+=";$(winpath /usr/x86_64-w64-mingw32/lib)"
export WINEPATH
known=$source_dir/tests/wine-known-failures.txt
echo "built, but left out of this run because they do not yet pass under Wine:"
grep -v '^#' "$known" | sed 's/|/: /; s/^/  /'
left_out=$(grep -v '^#' "$known" | cut -d'|' -f1 | paste -sd'|')
started=$(date +%s)
(cd "$build" && ctest -j2 --timeout 600 --output-on-failure -E "^($left_out)\$") \
    >"$work/ctest.txt" 2>&1 || true
unset WINEPATH
grep -E "^ *[0-9]+/[0-9]+ Test" "$work/ctest.txt" | sed 's/^/  /'
summary=$(grep -E "tests passed, [0-9]+ tests failed out of" "$work/ctest.txt" || true)
echo "Wine: ${summary:-no test ran} ($(($(date +%s) - started)) s)"
if ! grep -q " 0 tests failed" <<<"$summary"; then
    sed -n '/The following tests FAILED/,$p' "$work/ctest.txt"
    test_failures=1
fi

step "first start on a 1366x768 screen"
# Wine's desktop process, started by the console steps above without a display, would take the
# program's windows to a desktop nobody sees: end that session before the display exists.
wineserver -k 2>/dev/null || true
wineserver -w
display=:$((90 + RANDOM % 100))
Xvfb "$display" -screen 0 1366x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
export DISPLAY=$display
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.2; done
openbox >/dev/null 2>&1 &
wm_pid=$!
# The shop's own folder under the user's application data, as a double-click would use.
wine "$exe" >"$work/gui.txt" 2>&1 &
shot() { import -window root "$build/windows-$1.png" 2>/dev/null || true; }
wait_window() {
    local id
    if ! id=$(timeout "${2:-90}" xdotool search --sync --onlyvisible --name "$1" 2>/dev/null); then
        shot failed
        fail "no window \"$1\" (screen in $build/windows-failed.png)"
    fi
    xdotool windowactivate --sync "$(tail -1 <<<"$id")" 2>/dev/null || true
    sleep 1
}
keys() { xdotool key --delay 200 "$@"; sleep 1.5; }
type_text() { xdotool type --delay 150 "$1"; sleep 0.5; }

wait_window "用户登录" 180
shot login
echo "the login window is shown"
# The first operator (Enter moves on to the password), then the seed password.
keys Down Return
type_text 888888
keys Return
# "Set a new password first", then the new password twice and "changed".
keys Return
wait_window "密码修改"
type_text "Shop2026"
keys Return
type_text "Shop2026"
keys Return
keys Return
# "Fill in the shop's name", then its name, address and telephone and "saved".
keys Return
wait_window "店铺信息"
type_text "Test Motors"
keys Return
type_text "1 Main Road"
keys Return
type_text "010-1234"
keys Return
keys Return
wait_window "汽车维修保养客户管理系统" 60
shot main
echo "the first login reached the main window"
local_data=$(find "$WINEPREFIX/drive_c/users" -path "*/AppData/Local/Ruvaso/data/database.db" | head -1)
[[ -n $local_data ]] || fail "no database under %LOCALAPPDATA%\\Ruvaso\\data"
local_data=$(dirname "$local_data")
echo "data folder: ${local_data#"$WINEPREFIX/"}"
shop=$(sqlite3 "$local_data/database.db" "select count(*) from sqlite_master")
[[ $shop -gt 0 ]] || fail "the shop's database is empty"
# The first start of the day backs the shop up in the background.
for _ in $(seq 60); do
    backup=$(find "$local_data" -maxdepth 1 -name "????-??-??.db*" | head -1)
    [[ -n $backup ]] && break
    sleep 1
done
[[ -n $backup ]] || fail "no daily backup in the data folder"
echo "daily backup: $(basename "$backup")"

step "uninstall"
wineserver -k 2>/dev/null || true
wine "$program_dir/uninstall.exe" /S
wineserver -w
sleep 2
wineserver -w
[[ ! -f $program_dir/ruvaso.exe ]] || fail "the uninstaller left the program"
[[ -f $local_data/database.db ]] || fail "the uninstaller removed the shop's data"
echo "the program is removed, the shop's data stays"
if [[ -n ${test_failures:-} ]]; then
    fail "tests failed under Wine (above)"
fi
echo "Windows check passed"
