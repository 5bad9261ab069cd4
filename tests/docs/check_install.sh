#!/usr/bin/env bash
# Installs the build into a fresh temporary prefix, as `cmake --install`
# does for a user, and runs the installed program on a document.
#
# usage: check_install.sh BUILD-FOLDER DOCUMENT EXPECTED-STDOUT
set -euo pipefail
build=$1
document=$2
expected=$3
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT

cmake --install "$build" --prefix "$prefix" >/dev/null

failures=0
for file in bin/xml2slist share/man/man1/xml2slist.1 share/doc/xml2slist/README.md; do
  if [ ! -f "$prefix/$file" ]; then
    echo "not installed: $file" >&2
    failures=$((failures + 1))
  fi
done
[ -x "$prefix/bin/xml2slist" ] || { echo "the installed program cannot be run" >&2; exit 1; }

status=0
"$prefix/bin/xml2slist" "$document" >"$prefix/stdout" 2>"$prefix/stderr" || status=$?
if [ "$status" -ne 0 ]; then
  echo "the installed program exited with status $status" >&2
  failures=$((failures + 1))
fi
if [ -s "$prefix/stderr" ]; then
  echo "the installed program wrote on standard error:" >&2
  cat "$prefix/stderr" >&2
  failures=$((failures + 1))
fi
if ! diff -u "$expected" "$prefix/stdout"; then
  echo "the installed program's output differs" >&2
  failures=$((failures + 1))
fi
[ "$failures" -eq 0 ] && echo "installed into a temporary prefix and converted $(basename "$document")"
