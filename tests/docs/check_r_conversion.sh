#!/usr/bin/env bash
# Converts each case's document, turns the output into R code with
# examples/slist2r.awk and compares it with the case's expected.R. Where R is
# installed, the code is also run and the case's checks.R must hold: the
# values read back as the document's text.
#
# usage: check_r_conversion.sh PROGRAM AWK-SCRIPT CASES-FOLDER
set -euo pipefail
program=$1
script=$2
cases=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
checked=0

have_r=0
if command -v Rscript >/dev/null; then have_r=1; fi

for dir in "$cases"/*/; do
  name=$(basename "$dir")
  mkdir -p "$work/$name"
  set +e
  "$program" "$dir/input.xml" >"$work/$name/output.S" 2>"$work/$name/stderr.txt"
  set -e
  awk -f "$script" "$work/$name/output.S" >"$work/$name/converted.R"
  if ! diff -u "$dir/expected.R" "$work/$name/converted.R"; then
    echo "FAIL $name: R code differs" >&2
    failures=$((failures + 1))
    continue
  fi
  if [ "$have_r" = 1 ]; then
    cp "$dir/checks.R" "$work/$name/"
    if ! (cd "$work/$name" && Rscript --vanilla -e 'source("converted.R"); source("checks.R")'); then
      echo "FAIL $name: R does not read the values back" >&2
      failures=$((failures + 1))
      continue
    fi
  fi
  checked=$((checked + 1))
done

[ "$have_r" = 1 ] || echo "R is not installed: the converted code was compared, not run"
echo "$checked passed, $failures failed"
[ "$failures" -eq 0 ] && [ "$checked" -gt 0 ]
