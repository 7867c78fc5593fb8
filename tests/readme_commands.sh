#!/usr/bin/env bash
# Runs every command of the README's `sh` blocks against this build, each block as one
# script from the top of the checkout: build/ names this build folder, and files the
# commands would write under /tmp, docs/ or ~/.local go to a folder of the test's own.
#   tests/readme_commands.sh SOURCE_DIR BUILD_DIR
set -euo pipefail
source_dir=$1
build_dir=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/docs"

blocks=0
while IFS= read -r -d '' block; do
  blocks=$((blocks + 1))
  # /tmp/ first: the build folder itself may lie under /tmp.
  script=$(printf '%s\n' "$block" | sed -E \
    -e "s#/tmp/#$work/#g" \
    -e "s#(^|[ ])build(/|[ ]|\$)#\\1$build_dir\\2#g" \
    -e "s#~/\\.local#$work/local#g" \
    -e "s#(^|[ ])docs/#\\1$work/docs/#g")
  echo "== block $blocks"
  printf '%s\n' "$script"
  # No pipefail: `| head` may close a pipe early, as it would for the reader.
  if ! (cd "$source_dir" && bash -eu -c "$script" >"$work/out" 2>&1); then
    cat "$work/out"
    echo "README block $blocks failed"
    exit 1
  fi
done < <(awk 'BEGIN { RS = "\n```" } /^sh\n/ { sub(/^sh\n/, ""); printf "%s%c", $0, 0 }' "$source_dir/README.md")

if [ "$blocks" -eq 0 ]; then
  echo "no sh block found in README.md"
  exit 1
fi
echo "all $blocks README blocks ran"
