#!/usr/bin/env bash
# Compares xml2slist (and xml2r) with cat, wc -w, xmllint (streaming and tree) and
# Python's expat on the same generated documents, in the same run, output to
# /dev/null; prints MB/s, peak RSS and ratios, and writes
# docs/performance.md (a summary for users first, speed and memory on
# ordinary documents beside those tools, then the development detail) with
# the chart docs/performance.svg.
#
# Settings (environment):
#   BENCH_SIZES      document sizes in MB (default "10 100")
#   BENCH_FAMILIES   document families (default "records deep wide ids colliding dense idrecords
#                    text huge")
#   BENCH_RUNS       runs per tool and document (default 5)
#   BENCH_SLOW_RUNS  runs of the tree-building xmllint and of expat on documents
#                    of 100 MB and more (default 3)
#   BENCH_SMALL_LOOP processes per loop on the 17 KB document (default 200)
#   BENCH_R_RUNS     runs of each way of loading a document into R (default 3)
#   BENCH_INSTRUCTIONS  1 (default) counts xml2slist's instructions on 2 MB of
#                    each family with valgrind, when it is there; 0 skips it
set -euo pipefail
cd "$(dirname "$0")/.."

sizes=${BENCH_SIZES:-"10 100"}
families=${BENCH_FAMILIES:-"records deep wide ids colliding dense idrecords text huge"}
runs=${BENCH_RUNS:-5}
slow_runs=${BENCH_SLOW_RUNS:-3}
small_loop=${BENCH_SMALL_LOOP:-200}
small_repeats=5
count_instructions=${BENCH_INSTRUCTIONS:-1}
r_runs=${BENCH_R_RUNS:-3}
build=build/bench-release
data=build/bench-data
results=$data/results
mkdir -p "$data" "$results" docs

# The peers and the tools to build with.
extra=()
command -v xmllint >/dev/null || extra+=(libxml2-utils)
command -v python3 >/dev/null || extra+=(python3)
bash scripts/install-deps.sh "${extra[@]}"

echo "== building (Release) in $build =="
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DXML2SLIST_WERROR=ON \
  -DXML2SLIST_BUILD_TESTS=OFF -DXML2SLIST_BUILD_BENCH=ON >/dev/null
cmake --build "$build" --target xml2slist xml2r xml2slist_docgen xml2slist_measure >/dev/null
converter=$build/xml2slist
r_converter=$build/xml2r
docgen=$build/bench/xml2slist_docgen
measure=$build/bench/xml2slist_measure

# Generates a document unless an up-to-date one is there.
generate() {  # family size output
  if [ ! -s "$3" ] || [ "$docgen" -nt "$3" ]; then
    "$docgen" "$1" "$2" "$3"
  fi
}

echo "== generating documents into $data =="
for size in $sizes; do
  for family in $families; do
    file=$data/$family-$size.xml
    generate "$family" "${size}M" "$file"
    # Every document must convert cleanly, or the timings mean nothing.
    if ! "$converter" "$file" >/dev/null 2>"$results/check.err" || [ -s "$results/check.err" ]; then
      echo "error: $file does not convert with status 0 and an empty standard error:" >&2
      head -c 500 "$results/check.err" >&2
      exit 1
    fi
  done
done
# The Id values of each document, as the converter keeps them (quotes
# included): the memory bound with Ids is 2 MiB, their bytes and 8 more each.
ids_file=$results/ids.tsv
: >"$ids_file"
for size in $sizes; do
  for family in $families; do
    file=$data/$family-$size.xml
    grep -o 'Id=[^ />]*' "$file" | awk -v f="$family" -v s="$size" \
      '{ n++; b += length($0) - 3 } END { if (n) printf "%s\t%s\t%d\t%d\n", f, s, n, b }' >>"$ids_file" || true
  done
done
small=$data/records-17k.xml
generate records 17K "$small"

runs_file=$results/runs.tsv
small_file=$results/small.tsv
: >"$runs_file"
: >"$small_file"

# One measured run: tool family size file command...
run_one() {
  local tool=$1 family=$2 size=$3 file=$4
  shift 4
  local line
  if ! line=$("$measure" -- "$@" 2>>"$results/peers.err"); then
    line="0 0 255"
  fi
  read -r seconds peak status <<<"$line"
  printf '%s\t%s\t%s\t%s\t%s\t%s\t%s\n' "$tool" "$family" "$size" "$(stat -c %s "$file")" \
    "$seconds" "$peak" "$status" >>"$runs_file"
}

echo "== measuring: $runs runs a tool and document ($slow_runs for slow peers at 100 MB and more) =="
for family in $families; do
  huge=()
  [ "$family" = huge ] && huge=(--huge)
  printf '  %s (%s MB) ' "$family" "${sizes// /, }"
  # The tools take turns within each round, and each round runs every size,
  # so that a busy moment of the shared machine falls neither on one tool
  # nor on one size alone (the 100 MB / 10 MB time ratio compares sizes).
  for ((run = 1; run <= runs; run++)); do
    for size in $sizes; do
      file=$data/$family-$size.xml
      run_one xml2slist "$family" "$size" "$file" "$converter" "$file"
      run_one xml2r "$family" "$size" "$file" "$r_converter" "$file"
      run_one cat "$family" "$size" "$file" cat "$file"
      run_one "wc -w" "$family" "$size" "$file" wc -w "$file"
      run_one "xmllint --stream" "$family" "$size" "$file" xmllint "${huge[@]}" --stream --noout "$file"
      if ((size < 100 || run <= slow_runs)); then
        run_one xmllint "$family" "$size" "$file" xmllint "${huge[@]}" --noout "$file"
        run_one "python expat" "$family" "$size" "$file" python3 bench/expat_parse.py "$file"
      fi
    done
    printf '.'
  done
  printf '\n'
done

echo "== small document: $small_repeats loops of $small_loop processes =="
for ((repeat = 1; repeat <= small_repeats; repeat++)); do
  read -r seconds _ _ <<<"$("$measure" -n "$small_loop" -- "$converter" "$small")"
  printf 'xml2slist\t%s\n' "$seconds" >>"$small_file"
  read -r seconds _ _ <<<"$("$measure" -n "$small_loop" -- cat "$small")"
  printf 'cat\t%s\n' "$seconds" >>"$small_file"
done

# What users of R wait for: the document loaded as an R object.
r_load_file=$results/r_load.tsv
: >"$r_load_file"
echo "== loading into R: $r_runs runs a document and way =="
bash bench/r_load.sh "$r_converter" "$data" "$r_load_file" "$r_runs" "$docgen"

# Instructions do not depend on the load of the machine, unlike the times:
# they show what a change did where the timings only hint at it.
instructions_file=$results/instructions.tsv
: >"$instructions_file"
if [ "$count_instructions" = 1 ] && command -v valgrind >/dev/null; then
  echo "== counting instructions on 2 MB documents (valgrind) =="
  for family in $families; do
    [ "$family" = huge ] && continue  # its tokens are 10 MB whatever the size
    file=$data/$family-2.xml
    generate "$family" 2M "$file"
    count=$(valgrind --tool=callgrind --callgrind-out-file=/dev/null "$converter" "$file" 2>&1 >/dev/null |
      sed -n 's/.*Collected : \([0-9]*\).*/\1/p')
    printf '%s\t%s\t%s\t%s\n' "$family" "$(stat -c %s "$file")" "${count:-0}" \
      "$("$converter" "$file" | wc -c)" >>"$instructions_file"
  done
fi

memory=$(awk '/^MemTotal/ {printf "%.1f GiB", $2 / 1024 / 1024}' /proc/meminfo)
cpu=$(lscpu | sed -n 's/^Model name:[[:space:]]*//p' | head -n 1)
echo "== report =="
python3 bench/report.py "$runs_file" "$small_file" docs/performance.md docs/performance.svg \
  "date=$(date -u '+%Y-%m-%d %H:%M UTC')" "nproc=$(nproc)" "cpu=${cpu:-unknown}" "memory=$memory" \
  "kernel=$(uname -r)" "compiler=$(c++ --version | head -n 1)" "runs=$runs" "slow_runs=$slow_runs" \
  "small_loop=$small_loop" "small_repeats=$small_repeats" "notes_file=bench/performance_notes.md" \
  "instructions_file=$instructions_file" "ids_file=$ids_file" "r_load_file=$r_load_file"
echo "wrote docs/performance.md and docs/performance.svg"
