#!/usr/bin/env bash
# Makes the workbooks the import tests read from the CSV files beside this script, with a real
# spreadsheet application, so the tests see the cells (dates, numbers, shared strings) that such
# an application writes. Run it after changing a CSV file and commit what it makes; the tests
# themselves do not need the application. Needs libreoffice-calc-nogui (scripts/install-deps.sh).
set -euo pipefail
cd "$(dirname "$0")"

# A profile of our own, so a desktop session's settings or a running instance do not interfere.
profile=$(mktemp -d)
trap 'rm -rf "$profile"' EXIT

# Comma-separated UTF-8 with a heading line; every column is read as the application sees fit
# (dates become date cells, telephone numbers number cells) except the identity number, which
# is text so that all eighteen digits survive, as a shop would keep it.
filter='CSV:44,34,76,1,1/1/2/1/3/1/4/1/5/1/6/1/7/2/8/1'
for sheet in import_customers import_headings; do
    for target in xlsx 'xls:MS Excel 97' ods; do
        soffice -env:UserInstallation="file://$profile" --headless --infilter="$filter" \
            --convert-to "$target" --outdir . "$sheet.csv" >/dev/null
    done
done

# A shop's own list: its columns in its own order under its own names, with two of its own; the
# identity number (column 9) is text.
filter='CSV:44,34,76,1,1/1/2/1/3/1/4/1/5/1/6/1/7/1/8/1/9/2/10/1'
for target in xlsx 'xls:MS Excel 97' ods; do
    soffice -env:UserInstallation="file://$profile" --headless --infilter="$filter" \
        --convert-to "$target" --outdir . import_shop_headings.csv >/dev/null
done

# The same customers as a Chinese Windows saves "CSV".
iconv -f UTF-8 -t GB18030 import_customers.csv >import_customers_gb18030.csv
