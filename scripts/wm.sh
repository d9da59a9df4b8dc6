#!/usr/bin/env bash
# Runs a command under a window manager on the X display in $DISPLAY (one of its own, from
# scripts/xvfb.sh) and returns the command's status:
#   scripts/wm.sh openbox|metacity|mutter|xfwm4|icewm COMMAND [ARG...]
# The window manager is ready before the command starts (it has announced itself on the root
# window) and is stopped after it ends. The command finds its name in QAV_WINDOW_MANAGER, and the
# process group the manager runs in (with its session bus, where it has one) in
# QAV_WINDOW_MANAGER_GROUP: a test may stop it a moment, as a busy machine holds a manager up.
set -uo pipefail
if (($# < 2)); then
  echo "usage: $0 openbox|metacity|mutter|xfwm4|icewm COMMAND [ARG...]" >&2
  exit 2
fi
name=$1
shift
# GNOME's own manager and Xfce's want a session bus; they get one of their own.
case $name in
  openbox) manager=(openbox --sm-disable) ;;
  metacity) manager=(metacity --sm-disable) ;;
  mutter) manager=(dbus-run-session -- mutter --x11 --sm-disable) ;;
  xfwm4) manager=(dbus-run-session -- xfwm4 --compositor=off --sm-client-disable) ;;
  icewm) manager=(icewm) ;;
  *)
    echo "$0: unknown window manager '$name'" >&2
    exit 2
    ;;
esac
if ! command -v "${manager[0]}" >/dev/null 2>&1; then
  echo "$name is not installed" >&2
  exit 1
fi
if [[ -z ${DISPLAY:-} ]]; then
  echo "no X display" >&2
  exit 1
fi
log=$(mktemp "${TMPDIR:-/tmp}/qav-wm.XXXXXX") || exit 1
wm=
# The manager runs in a process group of its own (with its session bus, where it has one), which
# goes as a whole.
stop() {
  if [[ -n $wm ]]; then
    kill -- "-$wm" 2>/dev/null
    wait "$wm" 2>/dev/null
  fi
  rm -f "$log"
}
trap stop EXIT
trap 'exit 143' TERM INT
# A window manager that complies with the extended hints names its check window on the root. An X
# server with no client left resets itself, and turns clients away while it does: the probe's
# own leaving can do that just as the manager connects, so the manager is started again when it
# ended without taking the display.
ready=
for ((i = 0, starts = 0; i < 300; i++)); do
  if [[ -z $wm ]] || ! kill -0 "$wm" 2>/dev/null; then
    [[ -n $wm ]] && wait "$wm" 2>/dev/null
    if ((starts == 5)); then
      echo "$name did not start:" >&2
      cat "$log" >&2
      exit 1
    fi
    setsid "${manager[@]}" >"$log" 2>&1 &
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
  echo "$name did not take the display within 30 seconds:" >&2
  cat "$log" >&2
  exit 1
fi
export QAV_WINDOW_MANAGER=$name QAV_WINDOW_MANAGER_GROUP=$wm
"$@"
