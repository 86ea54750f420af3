#!/usr/bin/env bash
# The audit report's page in a real browser (headless chromium). A generated
# journal of four days, clean and with a payment altered on its second day: the page
# renders with its sections, prints on A4, has one bar group per business
# day of the journal, and marks the differences (a "diff" cell and a marked
# day for the fault, none for the clean journal). Exit 77 (skipped) when
# chromium is missing (a failure with JORVEX_REQUIRE_BROWSER=1). With --screenshot-to FILE it also writes a PNG of the
# page of the sample journal with that payment altered, 1000 px wide
# (docs/audit-report.png).
# Usage: audit-browser.sh JORVEX JORVEX_GEN [--screenshot-to FILE]
set -euo pipefail
JORVEX=$1 GEN=$2 SHOT=
[ "${3:-}" = --screenshot-to ] && SHOT=$(realpath -m "$4")
BROWSER=$(command -v chromium || command -v chromium-browser || true)
if [ -z "$BROWSER" ]; then
  # CI installs chromium (scripts/setup.sh) and sets JORVEX_REQUIRE_BROWSER=1.
  [ "${JORVEX_REQUIRE_BROWSER:-0}" != 1 ] || { echo "audit-browser: no chromium" >&2; exit 1; }
  echo "audit-browser: no chromium, skipped"
  exit 77
fi
W=$(mktemp -d) && trap 'rm -rf "$W"' EXIT
fail() { echo "audit-browser: $*" >&2; exit 1; }
browse() {
  timeout 120 "$BROWSER" --headless --no-sandbox --disable-gpu --hide-scrollbars \
    --no-first-run --user-data-dir="$W/profile" "$@" 2>>"$W/browser.log" ||
    fail "chromium failed: $(tail -5 "$W/browser.log")"
}
count() { grep -o "$1" "$2" | wc -l || true; }

# report NAME JOURNAL: the audit report of JOURNAL in $W/NAME, its DOM in $W/NAME.dom.
report() {
  "$JORVEX" "$2" "$W/$1" /AUDIT /Q >"$W/$1.out" 2>&1 || fail "$1: jorvex: $(cat "$W/$1.out")"
  [ -s "$W/$1/AuditReport.html" ] || fail "$1: no AuditReport.html"
  browse --dump-dom "file://$W/$1/AuditReport.html" >"$W/$1.dom"
  for part in 'id="r0"' 'id="findings"' 'id="operators"' 'id="rules"' '<svg class="chart"'; do
    grep -q "$part" "$W/$1.dom" || fail "$1: the page has no $part"
  done
  # Business days: the dates of the journal's entries.
  local days
  days=$(grep -o '1=TI: [0-9.]*' "$2" | sort -u | wc -l)
  [ "$(count '<g class="day' "$W/$1.dom")" = "$days" ] ||
    fail "$1: $(count '<g class="day' "$W/$1.dom") bar groups for $days days"
}

"$GEN" --form native --size-mb 4 --out "$W/clean.txt"
report clean "$W/clean.txt"
[ "$(count 'diff"' "$W/clean.dom")" = 0 ] || fail "clean: differences marked"

"$GEN" --form native --size-mb 4 --fault payment-altered --fault-day 2 \
  --fault-note "$W/fault.note" --out "$W/faulty.txt"
report faulty "$W/faulty.txt"
[ "$(count 'class="m diff"' "$W/faulty.dom")" -ge 1 ] || fail "faulty: no diff cell"
day=$(sed -n 's/^day=//p' "$W/fault.note")
grep -q "<g class=\"day finding\" data-day=\"$day\"" "$W/faulty.dom" ||
  fail "faulty: the day $day is not marked"

browse --print-to-pdf="$W/faulty.pdf" --no-pdf-header-footer "file://$W/faulty/AuditReport.html"
grep -aqE '/MediaBox \[0 0 59[45](\.[0-9]+)? 84[12](\.[0-9]+)?\]' "$W/faulty.pdf" ||
  fail "the printed page is not A4: $(grep -ao '/MediaBox[^]]*]' "$W/faulty.pdf" | head -1)"

if [ -n "$SHOT" ]; then
  "$GEN" --form native --sample --fault payment-altered --fault-day 2 --out "$W/sample.txt"
  "$JORVEX" "$W/sample.txt" "$W/sample" /AUDIT /Q >/dev/null
  browse --window-size=1000,1150 --screenshot="$SHOT" "file://$W/sample/AuditReport.html"
fi
echo "audit-browser: clean and faulty pages rendered, $(count 'class="m diff"' "$W/faulty.dom") diff cell(s), A4 PDF"
