#!/usr/bin/env bash
# Runs CHECK.R of this folder; without Rscript or awk it says so and exits
# with 77, which ctest reports as a skipped test.
#   bash run.sh CHECK PATH/TO/xml2slist PATH/TO/xml2r PROJECT_SOURCE_DIR
set -u
case "$0" in */*) here="${0%/*}" ;; *) here=. ;; esac
if ! command -v Rscript >/dev/null 2>&1 || ! command -v awk >/dev/null 2>&1; then
  echo "rcode.$1 skipped: R or awk is not installed"
  exit 77
fi
exec Rscript --vanilla "$here/$1.R" "$here" "$2" "$3" "$4"
