#!/usr/bin/env bash
# Runs untrusted.R; without Rscript or awk it says so and exits with 77,
# which ctest reports as a skipped test.
#   bash untrusted.sh PATH/TO/xml2slist PATH/TO/slist2r.awk
set -u
case "$0" in */*) here="${0%/*}" ;; *) here=. ;; esac
if ! command -v Rscript >/dev/null 2>&1 || ! command -v awk >/dev/null 2>&1; then
  echo "untrusted documents skipped: R or awk is not installed"
  exit 77
fi
exec Rscript --vanilla "$here/untrusted.R" "$1" "$2" "$here/evaluate.R"
