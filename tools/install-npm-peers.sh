#!/usr/bin/env bash
# Installs the npm packages of each test peer (tests/peers/<name>/, bench/peers/<name>/): real,
# independent programs the tests talk to, pinned by the folder's committed package-lock.json.
# A folder is installed again only when its lockfile is newer than its node_modules.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
for lock in "$top"/tests/peers/*/package-lock.json "$top"/bench/peers/*/package-lock.json; do
  [ -f "$lock" ] || continue
  dir=$(dirname "$lock")
  stamp="$dir/node_modules/.installed"
  if [ ! -f "$stamp" ] || [ "$lock" -nt "$stamp" ]; then
    echo "Installing the npm packages of ${dir#"$top"/}"
    (cd "$dir" && npm ci --no-audit --no-fund --loglevel=error)
    touch "$stamp"
  fi
done
