#!/usr/bin/env bash
# Checks the manual page: it renders without a single formatter warning, and
# its DIAGNOSTICS section names every message that the program can write on
# standard error. The messages are taken from the sources, not listed here:
# every string literal of a statement that writes to the error stream, builds
# a message line, reports a document error or ends the run in the scanner.
#
# usage: check_manpage.sh MANUAL-PAGE SOURCE-FOLDER
# Exits with 77 (skipped) where groff is missing.
set -euo pipefail
page=$1
sources=$2
failures=0

if ! command -v groff >/dev/null; then
  echo "skipped: groff is not installed (Debian package groff-base)"
  exit 77
fi

# 1. Rendering: any warning at all is a failure.
warnings=$(groff -ww -man -Tutf8 -z "$page" 2>&1 >/dev/null)
if [ -n "$warnings" ]; then
  echo "groff warns about $page:" >&2
  echo "$warnings" >&2
  failures=$((failures + 1))
fi
if command -v man >/dev/null; then
  warnings=$(MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null || true)
  if [ -n "$warnings" ]; then
    echo "man --warnings complains about $page:" >&2
    echo "$warnings" >&2
    failures=$((failures + 1))
  fi
fi

# 2. The DIAGNOSTICS section as a reader sees it: plain ASCII, lines wide
# enough that no message is broken.
diagnostics=$(groff -man -Tascii -P-cbou -rLL=400n "$page" 2>/dev/null |
  awk '/^[A-Z][A-Z ]*$/ { inside = ($0 == "DIAGNOSTICS"); next } inside')
if [ -z "$diagnostics" ]; then
  echo "$page has no DIAGNOSTICS section" >&2
  exit 1
fi

# 3. The message pieces in the sources. A statement that mentions the error
# stream (err_ <<, err <<), the message line, report_message,
# report_xml_error or scanner_fatal is followed to its semicolon; each string
# literal in it is one piece. Escapes are decoded and the surrounding blanks
# and line ends dropped.
pieces=$(find "$sources" -name '*.cpp' -print0 | sort -z | xargs -0 awk '
  function emit(text,    rest, literal, at) {
    rest = text
    while (match(rest, /"([^"\\]|\\.)*"/)) {
      literal = substr(rest, RSTART + 1, RLENGTH - 2)
      rest = substr(rest, RSTART + RLENGTH)
      gsub(/\\n/, " ", literal)
      gsub(/\\"/, "\"", literal)
      gsub(/\\\\/, "\\", literal)
      sub(/^[ \t]+/, "", literal)
      sub(/[ \t]+$/, "", literal)
      if (literal != "") print literal
    }
  }
  FNR == 1 && pending != "" { emit(pending); pending = "" }
  {
    line = $0
    sub(/\/\/.*$/, "", line)
    if (pending != "") {
      pending = pending " " line
    } else if (line ~ /(err_?[ \t]*<<|message_line_|report_message[ \t]*\(|report_xml_error[ \t]*\(|scanner_fatal[ \t]*\()/) {
      pending = line
    } else {
      next
    }
    if (pending ~ /[;{}][ \t]*$/) { emit(pending); pending = "" }
  }
  END { if (pending != "") emit(pending) }
' | sort -u)

count=$(printf '%s\n' "$pieces" | grep -c . || true)
# The program has well over ten such pieces; far fewer means the extraction
# no longer matches the way the sources write messages.
if [ "$count" -lt 10 ]; then
  echo "only $count message pieces found in $sources: the extraction is out of step with the sources" >&2
  exit 1
fi

while IFS= read -r piece; do
  if ! grep -qF -- "$piece" <<<"$diagnostics"; then
    echo "DIAGNOSTICS does not mention: $piece" >&2
    failures=$((failures + 1))
  fi
done <<<"$pieces"

echo "$count message pieces checked against DIAGNOSTICS"
if [ "$failures" -ne 0 ]; then
  echo "$failures problem(s) in $page" >&2
  exit 1
fi
