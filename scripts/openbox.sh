#!/usr/bin/env bash
# Runs a command under the openbox window manager on the X display in $DISPLAY (one of its own,
# from scripts/xvfb.sh) and returns the command's status. The window manager is ready before the
# command starts (it has announced itself on the root window) and is stopped after it ends.
set -uo pipefail
if (($# == 0)); then
  echo "usage: $0 COMMAND [ARG...]" >&2
  exit 2
fi
if [[ -z ${DISPLAY:-} ]]; then
  echo "no X display" >&2
  exit 1
fi
log=$(mktemp "${TMPDIR:-/tmp}/qav-openbox.XXXXXX") || exit 1
wm=
stop() {
  [[ -n $wm ]] && kill "$wm" 2>/dev/null && wait "$wm" 2>/dev/null
  rm -f "$log"
}
trap stop EXIT
trap 'exit 143' TERM INT
# A window manager that complies with the extended hints names its check window on the root. An X
# server with no client left resets itself, and turns clients away while it does: the probe's
# own leaving can do that just as openbox connects, so openbox is started again when it could not
# open the display.
ready=
for ((i = 0, starts = 0; i < 300; i++)); do
  if [[ -z $wm ]] || ! kill -0 "$wm" 2>/dev/null; then
    [[ -n $wm ]] && wait "$wm" 2>/dev/null
    if ((starts == 5)) || { [[ -n $wm ]] && ! grep -q "Failed to open the display" "$log"; }; then
      echo "openbox did not start:" >&2
      cat "$log" >&2
      exit 1
    fi
    openbox --sm-disable >"$log" 2>&1 &
    wm=$!
    ((starts++))
  fi
  if xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; then
    ready=1
    break
  fi
  sleep 0.1
done
if [[ -z $ready ]]; then
  echo "openbox did not take the display within 30 seconds" >&2
  exit 1
fi
export QAV_WINDOW_MANAGER=openbox
"$@"
