#!/usr/bin/env bash
# Installs the build into a fresh temporary prefix, as `cmake --install`
# does for a user, checks that every file the README links to is installed
# beside it, and runs the two installed programs on a document.
#
# usage: check_install.sh BUILD-FOLDER DOCUMENT EXPECTED-STDOUT EXPECTED-R-START
set -euo pipefail
build=$1
document=$2
expected=$3
r_start=$4
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT

cmake --install "$build" --prefix "$prefix" >/dev/null

failures=0
doc=share/doc/xml2slist
for file in bin/xml2slist bin/xml2r share/man/man1/xml2slist.1.gz share/man/man1/xml2r.1.gz \
  $doc/README.md $doc/copyright $doc/changelog.Debian.gz $doc/examples/record.xml \
  share/xml2slist/slist2r.awk; do
  if [ ! -f "$prefix/$file" ]; then
    echo "not installed: $file" >&2
    failures=$((failures + 1))
  fi
done
for file in share/man/man1/xml2slist.1.gz share/man/man1/xml2r.1.gz $doc/changelog.Debian.gz; do
  if [ -f "$prefix/$file" ] && ! gzip -t "$prefix/$file"; then
    echo "not a gzip file: $file" >&2
    failures=$((failures + 1))
  fi
done

# Every relative link of the installed README, [text](target) in Markdown
# or href/src in HTML, must name a file or folder installed beside it.
links=$(grep -oE '\]\([^)#]+|(href|src)="[^"#]+' "$prefix/$doc/README.md" |
  sed -E 's/^\]\(//; s/^(href|src)="//' | grep -vE '^[a-z]+:' | sort -u || true)
if [ -z "$links" ]; then
  echo "no relative links found in the installed README: the link extraction is out of step" >&2
  failures=$((failures + 1))
fi
while IFS= read -r link; do
  [ -n "$link" ] || continue
  if [ ! -e "$prefix/$doc/$link" ]; then
    echo "the installed README links to $link, which is not installed beside it" >&2
    failures=$((failures + 1))
  fi
done <<<"$links"
for program in xml2slist xml2r; do
  [ -x "$prefix/bin/$program" ] || { echo "the installed $program cannot be run" >&2; exit 1; }
done

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

# xml2r: its code first makes sure of Vesko, then resets the status.
status=0
"$prefix/bin/xml2r" "$document" >"$prefix/stdout" 2>"$prefix/stderr" || status=$?
if [ "$status" -ne 0 ] || [ -s "$prefix/stderr" ]; then
  echo "the installed xml2r exited with status $status, writing on standard error:" >&2
  cat "$prefix/stderr" >&2
  failures=$((failures + 1))
fi
if ! head -n 2 "$prefix/stdout" | diff -u "$r_start" -; then
  echo "the installed xml2r's output does not start by resetting Vesko\$status" >&2
  failures=$((failures + 1))
fi
[ "$failures" -eq 0 ] && echo "installed into a temporary prefix and converted $(basename "$document")"
