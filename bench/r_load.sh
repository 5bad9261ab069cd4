#!/usr/bin/env bash
# Times loading documents into R: xml2r's code sourced with sys.source()
# against xml2::as_list(xml2::read_xml()), R's own reading, each in a fresh
# Rscript (start-up included), taking turns. Appends one line a run to
# RESULTS: document, tool, seconds. Without Rscript or the xml2 package it
# says so and writes nothing.
#   bash bench/r_load.sh XML2R DATA_DIR RESULTS RUNS DOCGEN
set -euo pipefail
xml2r=$1 data=$2 results=$3 runs=$4 docgen=$5
if ! command -v Rscript >/dev/null ||
   ! Rscript --vanilla -e 'quit(status = if (requireNamespace("xml2", quietly = TRUE)) 0 else 1)' 2>/dev/null; then
  echo "  R with the xml2 package is not installed: loading into R is not measured"
  exit 0
fi

# The documents: ordinary records at 1 and 10 MB (their ratio shows whether
# loading is linear), and one root with 80,000 children <e k="i">t i</e>.
[ -s "$data/records-1.xml" ] || "$docgen" records 1M "$data/records-1.xml"
[ -s "$data/records-10.xml" ] || "$docgen" records 10M "$data/records-10.xml"
children=$data/children-80000.xml
[ -s "$children" ] || awk 'BEGIN {
  print "<?xml version=\"1.0\"?>"; print "<r>"
  for (i = 1; i <= 80000; i++) printf "<e k=\"%d\">t %d</e>\n", i, i
  print "</r>" }' >"$children"

elapsed() {  # seconds taken by the command
  local start end
  start=$(date +%s.%N)
  "$@" >/dev/null
  end=$(date +%s.%N)
  awk -v a="$start" -v b="$end" 'BEGIN { printf "%.3f", b - a }' 
}
for name in records-1 records-10 children-80000; do
  doc=$data/$name.xml
  "$xml2r" "$doc" >"$data/$name.R"
  printf '  %s ' "$name"
  for ((run = 1; run <= runs; run++)); do
    printf '%s\txml2r + sys.source\t%s\n' "$name" \
      "$(elapsed Rscript --vanilla -e "invisible(sys.source('$data/$name.R', envir = new.env()))")" >>"$results"
    printf '%s\txml2::as_list\t%s\n' "$name" \
      "$(elapsed Rscript --vanilla -e "invisible(xml2::as_list(xml2::read_xml('$doc')))")" >>"$results"
    printf '.'
  done
  printf '\n'
done
