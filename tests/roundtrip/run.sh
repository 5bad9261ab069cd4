#!/usr/bin/env bash
# Runs the round trip of every document under documents/ through R.
# Without Rscript or its xml2 package it says so and exits with 77, which
# ctest reports as a skipped test.
#   bash run.sh PATH/TO/xml2slist
set -u
case "$0" in */*) here="${0%/*}" ;; *) here=. ;; esac
if ! command -v Rscript >/dev/null 2>&1 ||
   ! Rscript --vanilla -e 'quit(status = if (requireNamespace("xml2", quietly = TRUE)) 0 else 1)' >/dev/null 2>&1; then
  echo "round trip skipped: R with the xml2 package is not installed"
  exit 77
fi
exec Rscript --vanilla "$here/roundtrip.R" "$1" "$here/documents"
