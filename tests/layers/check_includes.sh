#!/usr/bin/env bash
# The source folders are layers, each using only those below it:
#   scanner < output < translate < parser < driver
# Fails, naming the line, when a file includes a header of a higher layer
# or of a folder that is not a layer.
#   bash check_includes.sh SRC_DIR
set -u
src=${1:?usage: check_includes.sh SRC_DIR}
layers=(scanner output translate parser driver)
rank() {
  local i
  for i in "${!layers[@]}"; do [ "${layers[$i]}" = "$1" ] && { echo "$i"; return; }; done
  echo -1
}
bad=0
checked=0
for folder in "$src"/*/; do
  folder=$(basename "$folder")
  own=$(rank "$folder")
  if [ "$own" -lt 0 ]; then
    echo "$src/$folder: a folder that is not a layer"
    bad=$((bad + 1))
    continue
  fi
  while IFS=: read -r file line target; do
    checked=$((checked + 1))
    used=$(rank "$target")
    if [ "$used" -lt 0 ] || [ "$used" -gt "$own" ]; then
      echo "$file:$line: $folder includes $target/, which is not below it"
      bad=$((bad + 1))
    fi
  done < <(grep -rnoE '^#include "[a-z_]+/' "$src/$folder" | sed -E 's/#include "([a-z_]+)\/$/\1/')
done
echo "$checked includes of a layer checked, $bad point the wrong way"
[ "$bad" -eq 0 ]
