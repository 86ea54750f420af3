#!/usr/bin/env bash
# The export check against a corpus of broken exports, each made from the
# sample's export by one fault: each gives its finding code and exit 1 (2
# where the index is unusable); the untouched exports (with and without
# header lines, as folder and as ZIP) give exit 0 and no finding, and the
# ZIP's report equals the folder's. Usage: check-corpus.sh JORVEX JORVEX_CHECK SAMPLE
set -euo pipefail
JORVEX=$1 CHECK=$2 SAMPLE=$3 W=$(mktemp -d) && trap 'rm -rf "$W"' EXIT
fail() { echo "check-corpus: $*" >&2; exit 1; }
"$JORVEX" "$SAMPLE" "$W/plain" /Q >/dev/null && mv "$W"/plain/2*/ "$W/clean"
"$JORVEX" "$SAMPLE" "$W/ch" /Q /CH=ON >/dev/null && mv "$W"/ch/2*/ "$W/clean-ch"
grep -c '<Range><From>2</From></Range>' "$W/clean-ch/index.xml" >/dev/null || fail "/CH=ON: no Range"
[ "$(grep -o '<Range><From>2</From></Range>' "$W/clean-ch/index.xml" | wc -l)" = \
  "$(grep -o '<Table>' "$W/clean-ch/index.xml" | wc -l)" ] || fail "/CH=ON: a table without Range"

# A clean export: exit 0, no error and no warning (values outside a Map are
# information).
for clean in clean clean-ch; do
  "$CHECK" --json "$W/$clean" >"$W/$clean.json" || fail "$clean: exit $?"
  grep -q '"counts": {"error": 0, "warning": 0,' "$W/$clean.json" || fail "$clean: $(cat "$W/$clean.json")"
done
(cd "$W/clean" && zip -qX "$W/clean.zip" index.xml ./*.dtd ./*.csv)
"$CHECK" --json "$W/clean.zip" | sed 's|"export": *"[^"]*"||' >"$W/zip.json" || fail "zip: exit $?"
sed 's|"export": *"[^"]*"||' "$W/clean.json" | cmp -s - "$W/zip.json" || fail "the ZIP's report differs"

# expect NAME CODE EXIT SOURCE EDIT...: a copy of SOURCE, EDIT run inside it,
# must give CODE among its findings and exit EXIT.
expect() {
  local name=$1 code=$2 want=$3 src=$4; shift 4
  cp -r "$W/$src" "$W/$name"
  (cd "$W/$name" && eval "$@")
  local got=0
  "$CHECK" --max-examples 3 "$W/$name" >"$W/$name.txt" 2>&1 || got=$?
  [ "$got" = "$want" ] || fail "$name: exit $got, not $want: $(head -20 "$W/$name.txt")"
  grep -q "$code" "$W/$name.txt" || fail "$name: no $code: $(head -20 "$W/$name.txt")"
}
expect field-count      C407 1 clean "sed -i '2s/\r\$/;x\r/' TransactDetail.csv"
expect unbalanced-quote C409 1 clean "sed -i '1s/\";/;/' TransactDetail.csv"
expect bad-date         C402 1 clean "sed -i '1s/02\.01\.2024/2024-01-02/' TransactHead.csv"
expect no-such-day      C403 1 clean "sed -i '1s/02\.01\.2024/31.02.2024/' TransactHead.csv"
expect decimals         C404 1 clean "sed -i '1s/;5,85;/;5,855;/' TransactMedia.csv"
expect grouping         C405 1 clean "sed -i '1s/;5,85;/;5.85;/' TransactMedia.csv"
expect duplicate-key    C501 1 clean "head -1 BlockInfo.csv >>BlockInfo.csv"
expect dangling-link    C503 1 clean "sed -i '\$s/^[0-9]*;/999;/' TransactDetail.csv"
expect missing-file     C103 1 clean "rm Report.csv"
expect undeclared-file  C108 1 clean "cp Report.csv Extra.csv"
expect case-only-url    C107 1 clean "sed -i 's|<URL>Register.csv</URL>|<URL>REPORT.csv</URL>|' index.xml && mv Register.csv REPORT.csv"
expect invalid-index    C202 1 clean "sed -i '0,/<DecimalSymbol>,<\/DecimalSymbol>/s///' index.xml"
expect not-well-formed  C201 2 clean "head -c 2000 index.xml >i && mv i index.xml"
expect code-page        C408 1 clean "sed -i '1s/\"/\"\x81/' TransactDetail.csv"
expect dtd-altered      C204 1 clean "sed -i 's/(Name+, References, Alias\*)/(Name+, References, Alias+)/' gdpdu-01-09-2004.dtd"
expect header-no-range  C413 1 clean-ch "sed -i 's|<Range><From>2</From></Range>||g' index.xml"
echo "check-corpus: 16 broken exports found, 2 clean ones (and a ZIP) passed"
