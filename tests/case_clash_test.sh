#!/usr/bin/env bash
# case_clash_test.sh SOURCE_DIR -- fails when two tracked paths, or two
# directories on the way to them, differ only in case. Skips (77) outside a
# git checkout.
set -euo pipefail
src=$1
if ! git -C "$src" rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  echo "not a git checkout: nothing to check"
  exit 77
fi
# Every tracked file and every directory above it, once each.
paths=$(git -C "$src" ls-files | awk -F/ '{p = ""; for (i = 1; i <= NF; i++) {
  p = (i == 1 ? $i : p "/" $i); print p } }' | sort -u)
clashes=$(printf '%s\n' "$paths" | awk '{k = tolower($0); if (k in seen) print seen[k] " ~ " $0;
  else seen[k] = $0}')
if [ -n "$clashes" ]; then
  echo "paths that differ only in case:"
  printf '%s\n' "$clashes"
  exit 1
fi
echo "$(printf '%s\n' "$paths" | wc -l) paths, none differ only in case"
