#!/usr/bin/env bash
# Builds the fuzz targets with clang and runs each for SECONDS (default one hour), seeded from
# tests/data. Findings land in build-fuzz/findings/<target>/. Usage: scripts/run-fuzz.sh [SECONDS]
# RUVASO_FUZZ_TARGETS="fuzz_sheet_markup" runs only the targets named.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-3600}
# Third-party leaks the tests ignore are no findings either.
export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp"
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DRUVASO_FUZZ=ON -DRUVASO_BUILD_TESTS=OFF -DRUVASO_BUILD_BENCH=OFF > /dev/null
targets=(${RUVASO_FUZZ_TARGETS:-fuzz_sheet_text fuzz_sheet_zip fuzz_sheet_xls fuzz_sheet_format \
    fuzz_sheet_markup fuzz_number_format fuzz_xml_scanner})
cmake --build build-fuzz -j"$(nproc)" --target "${targets[@]}"
declare -A seeds=(
    [fuzz_sheet_text]="tests/data/*.csv"
    [fuzz_sheet_zip]="tests/data/*.xlsx tests/data/*.ods tests/data/corpus/*/*.xlsx tests/data/corpus/*/*.ods"
    [fuzz_sheet_xls]="tests/data/*.xls"
    [fuzz_sheet_format]=""
    [fuzz_number_format]=""
    [fuzz_sheet_markup]="tests/data/corpus/web/*.xls tests/data/corpus/web/*.csv"
    [fuzz_xml_scanner]=""
)
for target in "${targets[@]}"; do
    corpus=build-fuzz/corpus/$target
    findings=build-fuzz/findings/$target
    mkdir -p "$corpus" "$findings"
    if [ "$target" = fuzz_sheet_format ]; then
        # The sheet format writes its own seed (see fuzz_sheet_format.cpp).
        RUVASO_FUZZ_SEED="$corpus/seed" "build-fuzz/fuzz/$target"
    elif [ "$target" = fuzz_number_format ]; then
        # So do the number formats, a seed for each kind of code.
        RUVASO_FUZZ_SEED="$corpus" "build-fuzz/fuzz/$target"
    fi
    for seed in ${seeds[$target]}; do
        if [ "$target" = fuzz_sheet_zip ]; then
            # The first byte picks the kind: 0 for .xlsx, 1 for .ods.
            if [ "${seed##*.}" = ods ]; then kind='\001'; else kind='\000'; fi
            name=$(basename "$(dirname "$seed")")-$(basename "$seed")
            { printf "$kind"; cat "$seed"; } > "$corpus/$name"
            # The same archive with its parts stored unpacked, so that mutations reach the XML
            # (not for archives that unpack to much: they would slow every run).
            { printf "$kind"; python3 -c 'import io, sys, zipfile
data = io.BytesIO()
with zipfile.ZipFile(sys.argv[1]) as src, zipfile.ZipFile(data, "w") as out:
    if sum(info.file_size for info in src.infolist()) > 100000:
        sys.exit()
    for info in src.infolist():
        out.writestr(info.filename, src.read(info.filename))
sys.stdout.buffer.write(data.getvalue())' "$seed" 2>/dev/null || true; } >"$corpus/stored-$name"
        elif [ "$target" = fuzz_sheet_markup ]; then
            # The first byte picks the reader: 0 HTML, 1 SpreadsheetML, 2 any text.
            for kind in 0 1 2; do
                { printf "\\00$kind"; cat "$seed"; } > "$corpus/$kind-$(basename "$seed")"
            done
        else
            cp "$seed" "$corpus/"
        fi
    done
    ( cd "$findings" && "../../fuzz/$target" -max_total_time="$seconds" \
        -rss_limit_mb=2048 -timeout=30 -print_final_stats=1 "../../corpus/$target" \
        > "../$target.log" 2>&1 ) &
done
wait
tail -n 12 build-fuzz/findings/*.log
