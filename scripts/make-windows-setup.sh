#!/usr/bin/env bash
# Gathers the Windows program with every DLL, plugin, catalogue and font it loads into
# <build>/stage, then makes the setup program from it.
#   make-windows-setup.sh BUILD_DIR SDK_PREFIX VERSION VERSION_QUAD ICON
set -euo pipefail
build=$1 sdk=$2 version=$3 quad=$4 icon=$5
source_dir=$(cd "$(dirname "$0")/.." && pwd)
stage=$build/stage
objdump=x86_64-w64-mingw32-objdump
# Where the DLLs the program names may come from; any other name is one of Windows' own.
search=("$sdk/bin" /usr/lib/gcc/x86_64-w64-mingw32/12-posix /usr/x86_64-w64-mingw32/lib)

rm -rf "$stage"
mkdir -p "$stage"/{platforms,styles,sqldrivers,imageformats,translations,fonts,licenses}
cp "$build/ruvaso.exe" "$stage/"
cp "$sdk/plugins/platforms/qwindows.dll" "$stage/platforms/"
cp "$sdk/plugins/styles/qwindowsvistastyle.dll" "$stage/styles/"
cp "$sdk/plugins/sqldrivers/qsqlite.dll" "$stage/sqldrivers/"
cp "$sdk/plugins/imageformats/qico.dll" "$stage/imageformats/"

find_dll() {
    local name=$1 dir hit
    for dir in "${search[@]}"; do
        hit=$(find "$dir" -maxdepth 1 -iname "$name" -print -quit 2>/dev/null)
        if [[ -n $hit ]]; then
            echo "$hit"
            return
        fi
    done
}

# Follows the DLLs each file imports, and theirs, copying every one found in the search path.
pending=("$stage/ruvaso.exe" "$stage"/*/*.dll)
while ((${#pending[@]})); do
    file=${pending[0]}
    pending=("${pending[@]:1}")
    while read -r name; do
        [[ -e $stage/$name ]] && continue
        dll=$(find_dll "$name")
        if [[ -n $dll ]]; then
            cp "$dll" "$stage/$name"
            pending+=("$stage/$name")
        fi
    done < <("$objdump" -p "$file" | awk '/DLL Name:/ { print $3 }')
done

cat >"$stage/qt.conf" <<'CONF'
[Paths]
Prefix = .
Plugins = .
Translations = translations
CONF
cp /usr/share/qt6/translations/qtbase_zh_CN.qm /usr/share/qt6/translations/qt_zh_CN.qm \
    "$stage/translations/"
# Both fonts may be passed on with the program: WenQuanYi Micro Hei under the Apache licence
# (or GPL 3), AR PL UMing under the Arphic Public License.
cp /usr/share/fonts/truetype/wqy/wqy-microhei.ttc /usr/share/fonts/truetype/arphic/uming.ttc \
    "$stage/fonts/"
for package in fonts-wqy-microhei fonts-arphic-uming libqt6core6 libsqlite3-0 libsodium23 zlib1g \
    libzip4 libxml2 libxlsxwriter4 libzstd1 libexpat1 libpq5 gcc-mingw-w64-base mingw-w64-common; do
    if [[ -f /usr/share/doc/$package/copyright ]]; then
        cp "/usr/share/doc/$package/copyright" "$stage/licenses/$package.txt"
    fi
done
cp "$source_dir/packaging/copyright" "$stage/licenses/ruvaso.txt"

makensis -V2 -DVERSION="$version" -DVERSION_QUAD="$quad" -DSTAGE="$stage" -DICON="$icon" \
    -DOUTFILE="$build/ruvaso-setup-$version.exe" "$source_dir/packaging/windows/ruvaso.nsi"
ls -l "$build/ruvaso-setup-$version.exe"
