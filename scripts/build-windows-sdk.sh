#!/usr/bin/env bash
# Cross-builds, for 64-bit Windows, every library the program links, from the source packages of
# this Debian release, into a cache folder outside the clone. The folder is named after this
# script's own content, so editing the script builds a new SDK and an unchanged one is reused.
#
#   scripts/build-windows-sdk.sh           build unless the current SDK is complete
#   scripts/build-windows-sdk.sh --path    print the SDK folder (built or not) and exit
#   scripts/build-windows-sdk.sh --check   exit 0 when the current SDK is complete, 1 otherwise
#
# RUVASO_WINDOWS_SDK sets the cache root (default /var/cache/ruvaso/windows-sdk); JOBS the
# parallel jobs (default 2).
set -euo pipefail

self=$(readlink -f "$0")
root=${RUVASO_WINDOWS_SDK:-/var/cache/ruvaso/windows-sdk}
key=$(sha256sum "$self" | cut -c1-16)
prefix=$root/$key
stamp=$prefix/.complete

case "${1:-}" in
--path) echo "$prefix"; exit 0 ;;
--check) [[ -f $stamp ]]; exit ;;
"") ;;
*) echo "usage: $0 [--path|--check]" >&2; exit 2 ;;
esac

if [[ -f $stamp ]]; then
    echo "Windows SDK is current: $prefix"
    exit 0
fi

jobs=${JOBS:-2}
target=x86_64-w64-mingw32
cc=$target-gcc-posix
cxx=$target-g++-posix
# The work folder keeps one name whatever the key, so ccache finds earlier builds' objects.
work=$root/work
sources=$root/sources
export CCACHE_BASEDIR=$root CCACHE_NOHASHDIR=1
export CCACHE_SLOPPINESS=pch_defines,time_macros,include_file_mtime,include_file_ctime
launcher=()
if command -v ccache >/dev/null; then
    launcher=(ccache)
    export CMAKE_C_COMPILER_LAUNCHER=ccache CMAKE_CXX_COMPILER_LAUNCHER=ccache
fi
export PKG_CONFIG_LIBDIR=$prefix/lib/pkgconfig PKG_CONFIG_PATH=

started=$(date +%s)
log() { echo "== $(date +%H:%M:%S) $*"; }

mkdir -p "$prefix/lib/pkgconfig" "$prefix/bin" "$prefix/include" "$sources"

# Every library below is built with this one file; Qt's own generated toolchain file chains to
# it, and programs built against the SDK use Qt's.
toolchain=$prefix/lib/cmake/ruvaso-mingw-toolchain.cmake
mkdir -p "$(dirname "$toolchain")"
cat >"$toolchain" <<EOF
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER $cc)
set(CMAKE_CXX_COMPILER $cxx)
set(CMAKE_RC_COMPILER $target-windres)
set(CMAKE_FIND_ROOT_PATH "$prefix" /usr/$target)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(ENV{PKG_CONFIG_LIBDIR} "$prefix/lib/pkgconfig")
set(ENV{PKG_CONFIG_PATH} "")
EOF

# The source packages come through apt with a private configuration holding only the source
# line for the archive and release the system itself uses; the system's apt state is untouched.
fetch_sources() {
    local apt=$sources/apt list archive keyring opts
    mkdir -p "$apt/lists/partial" "$apt/cache/archives/partial"
    archive=$(
        {
            cat /etc/apt/sources.list 2>/dev/null | awk '$1 == "deb" && $3 == "bookworm" { print $2 }'
            for f in /etc/apt/sources.list.d/*.sources; do
                [[ -f $f ]] || continue
                awk 'BEGIN { RS = ""; FS = "\n" }
                     /(^|\n)Suites:[^\n]*bookworm( |\n|$)/ {
                         for (i = 1; i <= NF; i++) if ($i ~ /^URIs:/) { split($i, u, " "); print u[2] } }' "$f"
            done
            for f in /etc/apt/sources.list.d/*.list; do
                [[ -f $f ]] || continue
                awk '$1 == "deb" && $3 == "bookworm" { print $2 }' "$f"
            done
        } | head -n1
    )
    [[ -n $archive ]] || { echo "no bookworm archive in the system's apt sources" >&2; exit 1; }
    keyring=/usr/share/keyrings/debian-archive-keyring.gpg
    list=$apt/sources.list
    if [[ -f $keyring ]]; then
        echo "deb-src [signed-by=$keyring] $archive bookworm main" >"$list"
    else
        echo "deb-src $archive bookworm main" >"$list"
    fi
    opts=(-o "Dir::Etc::sourcelist=$list" -o Dir::Etc::sourceparts=- -o "Dir::State::Lists=$apt/lists"
        -o "Dir::Cache=$apt/cache" -o APT::Sandbox::User=root)
    log "source index from $archive"
    apt-get "${opts[@]}" -qq update
    cd "$sources"
    for pkg in "$@"; do
        if ! ls "$sources/${pkg}"_*.dsc >/dev/null 2>&1; then
            log "fetching $pkg"
            apt-get "${opts[@]}" -qq source --download-only "$pkg"
        fi
    done
}

# Unpacks a source package with Debian's patches applied into $work/<name> and prints the path.
unpack() {
    local pkg=$1 dsc
    dsc=$(ls "$sources/${pkg}"_*.dsc | head -n1)
    rm -rf "${work:?}/$pkg"
    dpkg-source -q -x "$dsc" "$work/$pkg" >/dev/null 2>&1
    echo "$work/$pkg"
}

done_mark() { touch "$prefix/.built-$1"; }
built() { [[ -f $prefix/.built-$1 ]]; }

cmake_lib() {
    local src=$1 bld=$2
    shift 2
    rm -rf "$bld"
    cmake -G Ninja -S "$src" -B "$bld" -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_INSTALL_PREFIX="$prefix" -DCMAKE_PREFIX_PATH="$prefix" -DBUILD_SHARED_LIBS=ON "$@" >/dev/null
    cmake --build "$bld" -j"$jobs"
    cmake --install "$bld" >/dev/null
}

write_pc() {
    local name=$1 libs=$2 version=$3
    [[ -f $prefix/lib/pkgconfig/$name.pc ]] && return
    cat >"$prefix/lib/pkgconfig/$name.pc" <<EOF
prefix=$prefix
libdir=\${prefix}/lib
includedir=\${prefix}/include

Name: $name
Description: $name for Windows
Version: $version
Libs: -L\${libdir} $libs
Cflags: -I\${includedir}
EOF
}

build_zlib() {
    local s
    s=$(unpack zlib)
    log "zlib"
    # Debian's source leaves out the win32 folder; the build wants only its version resource.
    mkdir -p "$s/win32"
    [[ -f $s/win32/zlib1.rc ]] ||
        printf '1 VERSIONINFO\nFILEVERSION 1,2,13,0\nBEGIN\nEND\n' >"$s/win32/zlib1.rc"
    cmake_lib "$s" "$work/zlib-build"
    # Its CMake build names the library zlib; what links it asks for z.
    cp "$prefix/lib/libzlib.dll.a" "$prefix/lib/libz.dll.a"
    rm -f "$prefix/lib/libzlibstatic.a"
}

build_sqlite() {
    local s
    s=$(unpack sqlite3)
    log "sqlite"
    # The amalgamation is generated with host tools, then compiled alone for Windows.
    mkdir -p "$s/host"
    (cd "$s/host" && ../configure --disable-tcl >/dev/null && make -j"$jobs" sqlite3.c >/dev/null)
    # Compiled apart from the link, so ccache keeps the object for the next SDK.
    "${launcher[@]}" $cc -O2 -c -o "$s/host/sqlite3.obj" "$s/host/sqlite3.c" \
        -DSQLITE_THREADSAFE=1 -DSQLITE_SECURE_DELETE -DSQLITE_ENABLE_COLUMN_METADATA \
        -DSQLITE_ENABLE_FTS3 -DSQLITE_ENABLE_FTS3_PARENTHESIS -DSQLITE_ENABLE_FTS4 -DSQLITE_ENABLE_FTS5 \
        -DSQLITE_ENABLE_RTREE=1 -DSQLITE_ENABLE_UNLOCK_NOTIFY -DSQLITE_ENABLE_DBSTAT_VTAB \
        -DSQLITE_ENABLE_MATH_FUNCTIONS -DSQLITE_MAX_VARIABLE_NUMBER=250000 -DSQLITE_DEFAULT_FOREIGN_KEYS=0
    $cc -shared -o "$prefix/bin/libsqlite3-0.dll" "$s/host/sqlite3.obj" \
        -Wl,--out-implib,"$prefix/lib/libsqlite3.dll.a"
    cp "$s/host/sqlite3.h" "$s/src/sqlite3ext.h" "$prefix/include/" 2>/dev/null ||
        cp "$s/host/sqlite3.h" "$prefix/include/"
    local version
    version=$(sed -n 's/^#define SQLITE_VERSION *"\(.*\)"/\1/p' "$s/host/sqlite3.h")
    write_pc sqlite3 -lsqlite3 "$version"
}

build_expat() {
    local s
    s=$(unpack expat)
    [[ -f $s/CMakeLists.txt ]] || s=$s/expat
    log "expat"
    # Debian's fixes test the value of XML_DTD, which the CMake build defines without one.
    sed -i 's/^#cmakedefine XML_DTD$/#cmakedefine XML_DTD 1/' "$s/expat_config.h.cmake"
    cmake_lib "$s" "$work/expat-build" -DEXPAT_BUILD_TOOLS=OFF -DEXPAT_BUILD_EXAMPLES=OFF \
        -DEXPAT_BUILD_TESTS=OFF -DEXPAT_BUILD_DOCS=OFF -DEXPAT_SHARED_LIBS=ON
    write_pc expat -lexpat 2.5.0
}

build_zstd() {
    local s
    s=$(unpack libzstd)
    log "zstd"
    cmake_lib "$s/build/cmake" "$work/zstd-build" -DZSTD_BUILD_PROGRAMS=OFF -DZSTD_BUILD_TESTS=OFF \
        -DZSTD_BUILD_STATIC=OFF -DZSTD_BUILD_SHARED=ON -DZSTD_LEGACY_SUPPORT=OFF
    write_pc libzstd -lzstd 1.5.4
}

build_sodium() {
    local s
    s=$(unpack libsodium)
    log "libsodium"
    # Debian's source is the project's own tree, without the generated configure script.
    (cd "$s" && { [[ -x configure ]] || autoreconf -fi >/dev/null 2>&1; } &&
        ./configure --host=$target --prefix="$prefix" --disable-static --disable-dependency-tracking \
            CC="${launcher[*]} $cc" >/dev/null && make -j"$jobs" >/dev/null && make install >/dev/null)
}

build_libxml2() {
    local s
    s=$(unpack libxml2)
    log "libxml2"
    # Text reaches the HTML parser already decoded, so no iconv is needed. Debian's patches
    # touch the build files, so they are generated again, as Debian's own build does.
    (cd "$s" && autoreconf -fi >/dev/null 2>&1 &&
        ./configure --host=$target --prefix="$prefix" --disable-static --disable-dependency-tracking \
            --without-python --without-lzma --without-zlib --without-iconv --without-icu \
            --without-http --without-ftp --without-debug --without-threads \
            CC="${launcher[*]} $cc" >/dev/null &&
        make -j"$jobs" libxml2.la >/dev/null && make install-libLTLIBRARIES install-pkgconfigDATA >/dev/null &&
        make -C include install >/dev/null)
}

build_libzip() {
    local s
    s=$(unpack libzip)
    log "libzip"
    cmake_lib "$s" "$work/libzip-build" -DENABLE_BZIP2=OFF -DENABLE_LZMA=OFF -DENABLE_ZSTD=OFF \
        -DENABLE_GNUTLS=OFF -DENABLE_OPENSSL=OFF -DENABLE_MBEDTLS=OFF -DENABLE_COMMONCRYPTO=OFF \
        -DENABLE_WINDOWS_CRYPTO=OFF -DBUILD_TOOLS=OFF -DBUILD_REGRESS=OFF -DBUILD_EXAMPLES=OFF \
        -DBUILD_DOC=OFF
}

build_xlsxwriter() {
    local s
    s=$(unpack libxlsxwriter)
    log "libxlsxwriter"
    cmake_lib "$s" "$work/xlsxwriter-build" -DBUILD_TESTS=OFF -DBUILD_EXAMPLES=OFF \
        -DUSE_SYSTEM_MINIZIP=OFF -DUSE_STANDARD_TMPFILE=ON
    write_pc xlsxwriter "-lxlsxwriter" 1.1.4
}

build_libpq() {
    local s
    s=$(unpack postgresql-15)
    log "libpq"
    # Only the client library and its headers; the server and its tools are not built.
    (cd "$s" && ./configure --host=$target --prefix="$prefix" --without-readline --without-zlib \
        --without-icu --without-openssl --without-ldap --without-gssapi --without-llvm --disable-nls \
        CC="${launcher[*]} $cc" >/dev/null &&
        make -C src/interfaces/libpq -j"$jobs" >/dev/null &&
        make -C src/interfaces/libpq install >/dev/null &&
        make -C src/include install >/dev/null)
    # There libpq.a is the import library of libpq.dll, not a static library.
}

build_qtbase() {
    local s
    s=$(unpack qt6-base)
    log "qtbase"
    rm -rf "$work/qtbase-build"
    # Without Direct2D, Qt 6.4 leaves its DirectWrite font engine out of QtGui but still calls it
    # from the Windows printing; without either, text is drawn through GDI. Likewise its Windows
    # TLS plugin is built even without TLS, and does not compile then.
    cmake -G Ninja -S "$s" -B "$work/qtbase-build" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
        -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" -DCMAKE_PREFIX_PATH="$prefix" \
        -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
        -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DQT_BUILD_BENCHMARKS=OFF \
        -DFEATURE_dbus=OFF -DFEATURE_tabletevent=OFF -DINPUT_opengl=desktop -DFEATURE_vulkan=OFF \
        -DFEATURE_direct2d=OFF -DFEATURE_directwrite=OFF \
        -DFEATURE_concurrent=OFF -DFEATURE_xml=OFF -DFEATURE_ssl=OFF -DFEATURE_schannel=OFF \
        -DFEATURE_openssl=OFF -DFEATURE_jpeg=OFF -DFEATURE_gif=OFF -DFEATURE_tuiotouch=OFF \
        -DFEATURE_system_zlib=OFF -DFEATURE_zstd=OFF \
        -DFEATURE_system_sqlite=ON -DFEATURE_sql_sqlite=ON -DFEATURE_sql_psql=OFF -DFEATURE_sql_odbc=OFF \
        -DFEATURE_sql_mysql=OFF -DFEATURE_sql_oci=OFF -DFEATURE_sql_ibase=OFF -DFEATURE_sql_db2=OFF >"$work/qtbase-configure.log"
    cmake --build "$work/qtbase-build" -j"$jobs"
    cmake --install "$work/qtbase-build" >/dev/null
}

parts=(sqlite zlib expat zstd sodium libxml2 libzip xlsxwriter libpq qtbase)
# A developer trying one part builds only it (into a scratch RUVASO_WINDOWS_SDK); no stamp then.
only=${RUVASO_WINDOWS_SDK_PARTS:-}
if [[ -n $only ]]; then
    read -ra parts <<<"$only"
fi
fetch_sources zlib sqlite3 expat libzstd libsodium libxml2 libzip libxlsxwriter postgresql-15 qt6-base
mkdir -p "$work"
for part in "${parts[@]}"; do
    built "$part" && continue
    "build_$part"
    done_mark "$part"
done

if [[ -n $only ]]; then
    log "built: $only"
    exit 0
fi
elapsed=$(($(date +%s) - started))
echo "$elapsed" >"$prefix/build-seconds"
# Earlier SDKs are superseded; the work folder is only needed while building.
for old in "$root"/*/; do
    old=${old%/}
    [[ $old != "$prefix" && $old != "$sources" && $old != "$work" && -f $old/.complete ]] && rm -rf "$old"
done
rm -rf "$work"
touch "$stamp"
log "Windows SDK built in $((elapsed / 60)) min $((elapsed % 60)) s: $prefix"
