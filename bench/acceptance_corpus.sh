#!/usr/bin/env bash
# Gathers the public test workbooks of spreadsheet-reading libraries that Debian ships (R's
# readxl, openxlsx and gdata, Python's xlrd, Perl's Spreadsheet::ParseExcel) and the office
# suite's own test sheet into DIR, for bench/compare_with_office.py. The packages are unpacked
# there, not installed.
# Usage: bench/acceptance_corpus.sh DIR
set -euo pipefail
dir=$(realpath -m "${1:?usage: bench/acceptance_corpus.sh DIR}")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
apt-get download r-cran-readxl r-cran-openxlsx r-cran-gdata python3-xlrd \
    libspreadsheet-parseexcel-perl >/dev/null 2>&1
for deb in *.deb; do
    dpkg -x "$deb" unpacked
done
mkdir -p "$dir/readxl" "$dir/openxlsx" "$dir/gdata" "$dir/xlrd" "$dir/parseexcel" \
    "$dir/libreoffice"
cp unpacked/usr/lib/R/site-library/readxl/extdata/*.xls* "$dir/readxl/"
cp unpacked/usr/lib/R/site-library/openxlsx/extdata/*.xlsx "$dir/openxlsx/"
cp unpacked/usr/lib/R/site-library/gdata/xls/*.xls* "$dir/gdata/"
cp unpacked/usr/share/doc/python3-xlrd/examples/*.xls "$dir/xlrd/"
cp unpacked/usr/share/doc/libspreadsheet-parseexcel-perl/examples/sample/Excel/*.xls \
    "$dir/parseexcel/"
cp /usr/lib/libreoffice/program/opencl/cl-test.ods "$dir/libreoffice/"
find "$dir" -type f | wc -l
