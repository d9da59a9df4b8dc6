#!/usr/bin/env bash
# Six X servers started at the same moment by scripts/xvfb.sh each get a display of their own
# that answers, and the command's exit status comes back.
set -uo pipefail
xvfb=$1
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
for i in 1 2 3 4 5 6; do
  "$xvfb" sh -c 'xdotool getdisplaygeometry >/dev/null && echo "$DISPLAY" && sleep 1' >"$out/$i" 2>&1 &
done
failed=0
for job in $(jobs -p); do wait "$job" || failed=1; done
cat "$out"/*
((failed == 0)) || { echo "a server did not start or did not answer"; exit 1; }
(($(cat "$out"/* | sort -u | wc -l) == 6)) || { echo "two commands shared a display"; exit 1; }
"$xvfb" sh -c 'exit 7'
(($? == 7)) || { echo "the command's status was lost"; exit 1; }
