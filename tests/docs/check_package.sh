#!/usr/bin/env bash
# Builds the Debian package with cpack, checks that it holds what a Debian
# tool holds (stripped programs, gzipped manual pages, the copyright file
# and changelog, the examples and the awk script for R), runs lintian on it
# where lintian is installed (any error fails), and runs the two programs
# unpacked from it on a document.
# Exits with 77 (skipped) where cpack or dpkg-deb is missing.
#
# usage: check_package.sh BUILD-FOLDER DOCUMENT EXPECTED-STDOUT EXPECTED-R-START
set -euo pipefail
build=$1
document=$2
expected=$3
r_start=$4
for tool in cpack dpkg-deb; do
  if ! command -v "$tool" >/dev/null; then
    echo "skipped: $tool is not installed"
    exit 77
  fi
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work" >"$work/cpack.log" 2>&1 || {
  cat "$work/cpack.log" >&2
  exit 1
}
shopt -s nullglob
packages=("$work"/xml2slist_*.deb)
if [ ${#packages[@]} -ne 1 ]; then
  echo "cpack made ${#packages[@]} packages named xml2slist_*.deb" >&2
  cat "$work/cpack.log" >&2
  exit 1
fi
package=${packages[0]}

failures=0
contents=$(dpkg-deb --contents "$package" | awk '{ print $NF }')
doc=./usr/share/doc/xml2slist
for file in ./usr/bin/xml2slist ./usr/bin/xml2r ./usr/share/man/man1/xml2slist.1.gz \
  ./usr/share/man/man1/xml2r.1.gz $doc/README.md $doc/copyright $doc/changelog.Debian.gz \
  $doc/examples/record.xml $doc/examples/syntax_error/input.xml ./usr/share/xml2slist/slist2r.awk; do
  if ! grep -qxF -- "$file" <<<"$contents"; then
    echo "the package does not hold $file" >&2
    failures=$((failures + 1))
  fi
done
for field in Package Version Architecture Maintainer Section Depends Description; do
  if [ -z "$(dpkg-deb --field "$package" "$field")" ]; then
    echo "the package has no $field field" >&2
    failures=$((failures + 1))
  fi
done

maintainer=$(dpkg-deb --field "$package" Maintainer)
if ! grep -qE '^[^<>]+ <[^@<> ]+@[^@<> ]+\.[a-z]+>$' <<<"$maintainer" || grep -q '@localhost' <<<"$maintainer"; then
  echo "the Maintainer field is not a name and a real address: $maintainer" >&2
  failures=$((failures + 1))
fi

dpkg-deb --extract "$package" "$work/root"
for program in xml2slist xml2r; do
  if readelf --section-headers "$work/root/usr/bin/$program" | grep -qF .symtab; then
    echo "the packaged $program is not stripped" >&2
    failures=$((failures + 1))
  fi
done
if ! head -n 1 "$work/root/$doc/copyright" | grep -qE '^Format: https?://www\.debian\.org/doc/packaging-manuals/copyright-format/1\.0/?$'; then
  echo "the copyright file is not in the machine-readable format" >&2
  failures=$((failures + 1))
fi
for page in xml2slist xml2r; do
  if ! gzip -cd "$work/root/usr/share/man/man1/$page.1.gz" | grep -q "^\\.TH ${page^^} 1"; then
    echo "the packaged manual page $page.1.gz is not the gzipped $page(1)" >&2
    failures=$((failures + 1))
  fi
done

if command -v lintian >/dev/null; then
  # Errors fail; warnings and notes are printed for the reader.
  if ! lintian --fail-on error "$package" >"$work/lintian.log" 2>&1; then
    echo "lintian reports errors:" >&2
    cat "$work/lintian.log" >&2
    failures=$((failures + 1))
  else
    grep -E '^[EWI]:' "$work/lintian.log" || true
  fi
else
  echo "lintian is not installed (Debian package lintian): the package was not linted"
fi
if ! "$work/root/usr/bin/xml2slist" "$document" | diff -u "$expected" -; then
  echo "the packaged program's output differs" >&2
  failures=$((failures + 1))
fi
if ! "$work/root/usr/bin/xml2r" "$document" >"$work/xml2r.out"; then
  echo "the packaged xml2r failed on $(basename "$document")" >&2
  failures=$((failures + 1))
elif ! head -n 2 "$work/xml2r.out" | diff -u "$r_start" -; then
  echo "the packaged xml2r's output does not start by resetting Vesko\$status" >&2
  failures=$((failures + 1))
fi
[ "$failures" -eq 0 ] && echo "$(basename "$package"): $(dpkg-deb --field "$package" Depends)"
