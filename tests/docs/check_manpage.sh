#!/usr/bin/env bash
# Checks a manual page: it renders without a single formatter warning, and
# its DIAGNOSTICS section names every message that the program can write on
# standard error. The messages are taken from the sources, not listed here:
# every string literal of a statement that writes to the error stream, builds
# a message line, reports a document error or ends the run in the scanner.
# A DIAGNOSTICS section that refers to another page of the same folder
# (xml2slist(1)) counts that page's DIAGNOSTICS as its own.
#
# Its SEE ALSO names every other page of its folder. Given a program and the
# examples folder, each `$ cat FILE` and `$ PROGRAM FILE` of its EXAMPLES
# (FILE in the examples folder, nothing else on the line) must be followed by
# the file, or the program's output on it, line for line up to the end of the
# example.
#
# usage: check_manpage.sh MANUAL-PAGE SOURCE-FOLDER [PROGRAM EXAMPLES-FOLDER]
# Exits with 77 (skipped) where groff is missing.
set -euo pipefail
page=$1
sources=$2
program=${3:-}
examples=${4:-}
folder=$(dirname "$page")
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

# 2. The sections as a reader sees them: plain ASCII, lines wide enough that
# no message is broken.
section() {  # section PAGE NAME
  groff -man -Tascii -P-cbou -rLL=400n "$1" 2>/dev/null |
    awk -v name="$2" '/^[A-Z][A-Z ]*$/ { inside = ($0 == name); next } inside'
}
diagnostics=$(section "$page" DIAGNOSTICS)
if [ -z "$diagnostics" ]; then
  echo "$page has no DIAGNOSTICS section" >&2
  exit 1
fi
for other in $(grep -oE '[a-z0-9_-]+\(1\)' <<<"$diagnostics" | sed 's/(1)$//' | sort -u || true); do
  if [ -f "$folder/$other.1" ] && ! [ "$folder/$other.1" -ef "$page" ]; then
    diagnostics+=$'\n'$(section "$folder/$other.1" DIAGNOSTICS)
  fi
done

see_also=$(section "$page" "SEE ALSO")
for other in "$folder"/*.1; do
  [ "$other" -ef "$page" ] && continue
  name=$(basename "$other" .1)
  if ! grep -qF -- "$name(1)" <<<"$see_also"; then
    echo "SEE ALSO of $page does not name $name(1)" >&2
    failures=$((failures + 1))
  fi
done

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

# 4. The examples shown with their output. An example ends at its first
# empty line or at the next command; the indentation of its command line is
# removed from the lines of the output.
if [ -n "$program" ]; then
  name=$(basename "$program")
  program=$(realpath "$program")
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
  section "$page" EXAMPLES | awk -v dir="$work" -v name="$name" '
    function close_case() { if (file != "") close(file); file = "" }
    # A command stands at the indentation of the one before it; an output
    # line of an example may begin with "$" further in.
    /^ *\$ / && (file == "" || index($0, "$") - 1 == indent) {
      close_case()
      indent = index($0, "$") - 1
      command = substr($0, indent + 3)
      if (split(command, word, " ") == 2 && (word[1] == "cat" || word[1] == name) && word[2] !~ /[<>|&;$*?]/) {
        cases++
        file = sprintf("%s/%03d", dir, cases)
        print command > (file ".command")
        close(file ".command")
        printf "" > file
      }
      next
    }
    /^$/ { close_case(); next }
    file != "" { print substr($0, indent + 1) > file }
  '
  shown=0
  for file in "$work"/[0-9][0-9][0-9]; do
    [ -f "$file" ] || continue
    read -r tool argument <"$file.command"
    if [ ! -f "$examples/$argument" ]; then
      continue
    fi
    if [ "$tool" = cat ]; then
      cp "$examples/$argument" "$work/actual"
    else
      (cd "$examples" && "$program" "$argument" >"$work/actual" 2>/dev/null) || true
    fi
    if ! diff -u --label "$page: \$ $tool $argument" --label "actual" "$file" "$work/actual" >&2; then
      echo "the example \`$tool $argument\` of $page does not show what it writes" >&2
      failures=$((failures + 1))
    fi
    shown=$((shown + 1))
  done
  # A page given a program shows a document of the examples and the
  # program's output on it.
  if [ "$shown" -lt 2 ]; then
    echo "only $shown example(s) of $page checked: the extraction is out of step with EXAMPLES" >&2
    failures=$((failures + 1))
  else
    echo "$shown examples checked against $name and the files they show"
  fi
fi
if [ "$failures" -ne 0 ]; then
  echo "$failures problem(s) in $page" >&2
  exit 1
fi
