#!/usr/bin/env bash
# Workbooks as the office suite saves them, from the flat documents in source/: merged cells, a
# cell of two paragraphs, identical rows it stores as one repeated row, formulas with text,
# date, number, error and truth results, and named ranges (features, as .ods and .xlsx), and a
# hidden first sheet (as .ods: its .xlsx export marks every sheet visible), and every kind of
# value a cell may hold with the text it shows (as .ods). Needs
# libreoffice-calc-nogui. Run it here and commit the output; customers.* come from
# tests/data/make_workbooks.sh.
set -euo pipefail
cd "$(dirname "$0")"
profile=$(mktemp -d)
trap 'rm -rf "$profile"' EXIT
convert() {
    soffice -env:UserInstallation="file://$profile" --headless --convert-to "$1" --outdir . \
        "source/$2.fods" >/dev/null
}
convert ods features
convert xlsx features
convert ods hidden_first_sheet
convert ods value_types
