#!/usr/bin/env bash
# Holds the includes of every folder of src/ to the layers: a folder includes its own headers
# and those of the folders below it, never one above or beside it. The libraries link the same
# way, but a missing link shows only sometimes; this shows every wrong include, by file and line.
# Usage: check-layers.sh [src folder]; exits 1 naming each offending line.
set -euo pipefail
src=${1:-"$(dirname "$0")/../src"}

# What each folder may include besides itself: everything below it.
declare -A below=(
  [base]=""
  [soundlib]="base"
  [data]="base"
  [audio]="soundlib base"
  [control]="audio data soundlib base"
  [ui]="control audio data soundlib base"
  [web]="control audio data soundlib base"
  [app]="ui web control audio data soundlib base"
)

status=0
for dir in "$src"/*/; do
  folder=$(basename "$dir")
  if [[ ! -v below[$folder] ]]; then
    echo "$dir: a folder without a place in the layers; add it to $0"
    status=1
    continue
  fi
  mine=$(echo $folder ${below[$folder]})
  while IFS= read -r hit; do
    included=$(sed -E 's/^[^:]*:[0-9]+:[[:space:]]*#[[:space:]]*include[[:space:]]*["<]([^/">]+)\/.*/\1/' <<<"$hit")
    if [[ "$included" == ".." ]]; then
      echo "$hit  <- name the folder from src/, not a relative path"
      status=1
    elif [[ -v below[$included] && " $mine " != *" $included "* ]]; then
      echo "$hit  <- $folder may include only: $mine"
      status=1
    fi
  done < <(grep -rnE '^[[:space:]]*#[[:space:]]*include[[:space:]]*["<][^/">]+/' "$dir" || true)
done
exit $status
