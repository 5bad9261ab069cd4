#!/usr/bin/env bash
# Builds the libFuzzer target into build/fuzz and fuzzes for a bounded,
# seeded time (FUZZ_SECONDS, default 120) from a copy of the seed corpus.
# Fails when the fuzzer finds a crash, a leak, a time-out or a violated
# invariant; the offending input is kept under build/fuzz/artifacts/.
#
# A longer run: FUZZ_SECONDS=3600 bash tests/fuzz/run.sh
# Keeping what it learned: FUZZ_CORPUS=/some/dir keeps the grown corpus there.
set -euo pipefail
cd "$(dirname "$0")/../.."

seconds="${FUZZ_SECONDS:-120}"
build=build/fuzz

command -v clang++ >/dev/null || bash scripts/install-deps.sh clang
clang_resource="$(clang++ -print-resource-dir)"
if ! ls "$clang_resource"/lib/linux/libclang_rt.fuzzer-x86_64.a >/dev/null 2>&1; then
  major="$(clang++ -dumpversion | cut -d. -f1)"
  bash scripts/install-deps.sh "libclang-rt-$major-dev"
fi

CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DXML2SLIST_BUILD_FUZZ=ON -DXML2SLIST_BUILD_TESTS=OFF -DXML2SLIST_WERROR=ON >/dev/null
cmake --build "$build" --target xml2slist_fuzz

corpus="${FUZZ_CORPUS:-}"
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
if [ -z "$corpus" ]; then corpus="$scratch/corpus"; fi
mkdir -p "$corpus" "$build/artifacts"
cp tests/fuzz/corpus/* "$corpus/"

log="$build/fuzz.log"
echo "fuzzing for ${seconds}s from $(ls tests/fuzz/corpus | wc -l) seed documents"
set +e
ASAN_OPTIONS="detect_leaks=1:abort_on_error=1${ASAN_OPTIONS:+:$ASAN_OPTIONS}" \
UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1" \
"$build/tests/fuzz/xml2slist_fuzz" "$corpus" \
  -dict=tests/fuzz/xml2slist.dict \
  -max_total_time="$seconds" -seed=1 -timeout=10 -rss_limit_mb=2048 -max_len=8192 \
  -artifact_prefix="$build/artifacts/" -print_final_stats=1 >"$log" 2>&1
status=$?
set -e

executions="$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)"
peak="$(sed -n 's/^stat::peak_rss_mb: *//p' "$log" | tail -1)"
echo "executions: ${executions:-unknown}, peak RSS: ${peak:-unknown} MB, corpus: $(ls "$corpus" | wc -l) inputs"
if [ "$status" -ne 0 ]; then
  tail -n 80 "$log"
  echo "fuzzing failed (status $status); see $log and $build/artifacts/" >&2
  exit 1
fi
tail -n 3 "$log" | grep -v '^stat::' || true
