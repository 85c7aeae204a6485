#!/usr/bin/env bash
# How a change of the build alters the shipped images: builds the deliverables (x86) and the
# library (x64) of REVISION and of this work tree, each in a scratch tree without the tests,
# and prints for each image its size before and after, how many of its bytes differ, and
# what the PE checks read in its code (image_change.py).
#   image_change.sh [REVISION]    default: HEAD
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
source_tree=$(dirname "$here")
revision=${1:-HEAD}
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

mkdir -p "$scratch/before/source"
git -C "$source_tree" archive "$revision" | tar -x -C "$scratch/before/source"
for side in before after; do
  source=$scratch/before/source
  [ "$side" = after ] && source=$source_tree
  for preset in win32 win64; do
    cmake -S "$source" --preset "$preset" -B "$scratch/$side/$preset" \
      -DVELMAR_BUILD_TESTS=OFF >/dev/null
    cmake --build "$scratch/$side/$preset" --target Velmar \
      $([ "$preset" = win32 ] && echo devcmd ledsignal) >/dev/null
  done
done
echo "Images of $revision (before) and of the work tree (after):"
/usr/bin/python3 "$here/image_change.py" "$scratch/before" "$scratch/after"
