#!/usr/bin/env bash
# Checks that the folders of one library form layers: a file may include only headers of its own
# folder or of a folder listed before its own.
#
#   check_layers.sh SOURCE_DIR LIBRARY FOLDER...   (FOLDER... from the bottom layer up)
#
# A file in a subfolder (LIBRARY/http/client/...) belongs to its top folder (http).
# Every folder of LIBRARY that holds code must be listed, so that a new one takes its place in
# the order. Prints each include that points up, and each folder not listed; exits 1 if any.
set -euo pipefail
source_dir=${1:?usage: check_layers.sh SOURCE_DIR LIBRARY FOLDER...}
library=${2:?usage: check_layers.sh SOURCE_DIR LIBRARY FOLDER...}
shift 2
declare -A rank=()
i=0
for folder in "$@"; do rank[$folder]=$i; i=$((i + 1)); done

status=0
cd "$source_dir"
for dir in "$library"/*/; do
  folder=$(basename "$dir")
  [ -n "$(find "$dir" \( -name '*.hpp' -o -name '*.cpp' \) -print -quit)" ] || continue
  if [ -z "${rank[$folder]+set}" ]; then
    echo "$library/$folder is in no layer: add it to the list"
    status=1
  fi
done

while IFS=: read -r file line text; do
  from=${file#"$library"/}; from=${from%%/*}
  to=${text#*\""$library"/}; to=${to%%/*}
  [ "$from" = "$to" ] && continue
  if [ -z "${rank[$from]+set}" ] || [ -z "${rank[$to]+set}" ] || [ "${rank[$to]}" -gt "${rank[$from]}" ]; then
    echo "$file:$line includes $library/$to/, a layer above $library/$from/"
    status=1
  fi
done < <(grep -rn --include='*.hpp' --include='*.cpp' "#include \"$library/" "$library"/*/ || true)
exit $status
