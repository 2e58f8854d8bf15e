#!/usr/bin/env bash
# scripts/demo without a display: it must print a signature made from the sample feed's newest
# post.
#   demotest.sh SOURCE_DIR BUILD_DIR
set -euo pipefail

source_dir=$1
build_dir=$2
work=$(mktemp -d "${TMPDIR:-/tmp}/feedquill-demotest.XXXXXX")
trap 'rm -rf "$work"' EXIT

status=0
env -u DISPLAY -u WAYLAND_DISPLAY FEEDQUILL_BUILD_DIR="$build_dir" \
    timeout 60 "$source_dir/scripts/demo" > "$work/out" 2> "$work/err" || status=$?
cat "$work/out" "$work/err"
if [ "$status" -ne 0 ]; then
    echo "FAIL: scripts/demo exited with $status"
    exit 1
fi
# What follows the last heading is the signature file.
sed -n '/^== The signature file it wrote/,$p' "$work/out" | tail -n +2 > "$work/signature"
for line in "Latest post: Planting garlic before the first frost" \
            "http://allotment-notes.example/2026/12/planting-garlic"; do
    if ! grep -qxF "$line" "$work/signature"; then
        echo "FAIL: the signature lacks the line: $line"
        exit 1
    fi
done
echo "OK"
