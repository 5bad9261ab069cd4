#!/usr/bin/env bash
# Builds the Debian package with cpack, checks that it holds the program and
# the manual page, and runs the program unpacked from it on a document.
# Exits with 77 (skipped) where cpack or dpkg-deb is missing.
#
# usage: check_package.sh BUILD-FOLDER DOCUMENT EXPECTED-STDOUT
set -euo pipefail
build=$1
document=$2
expected=$3
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
contents=$(dpkg-deb --contents "$package")
for file in ./usr/bin/xml2slist ./usr/share/man/man1/xml2slist.1 ./usr/share/doc/xml2slist/README.md; do
  if ! awk '{ print $NF }' <<<"$contents" | grep -qxF -- "$file"; then
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

dpkg-deb --extract "$package" "$work/root"
if ! "$work/root/usr/bin/xml2slist" "$document" | diff -u "$expected" -; then
  echo "the packaged program's output differs" >&2
  failures=$((failures + 1))
fi
[ "$failures" -eq 0 ] && echo "$(basename "$package"): $(dpkg-deb --field "$package" Depends)"
