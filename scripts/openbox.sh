#!/usr/bin/env bash
# Runs a command under the openbox window manager on the X display in $DISPLAY (one of its own,
# from scripts/xvfb.sh) and returns the command's status (scripts/wm.sh openbox COMMAND ...).
exec "$(dirname "$0")/wm.sh" openbox "$@"
