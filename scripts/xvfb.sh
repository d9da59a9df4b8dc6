#!/usr/bin/env bash
# Runs a command on an X server of its own (Xvfb, 1280 x 1024, 24 bits) and returns its status.
# Xvfb chooses a free display number itself and reports it when it accepts clients (-displayfd),
# so servers started at the same moment never take the same number, as they can with
# `xvfb-run -a`, which picks a number first and starts the server on it later. It listens only
# on the abstract local socket, which belongs to the live server alone: a socket file in
# /tmp/.X11-unix could be removed by an earlier server of the same number on its way out, after
# the new one had made it, leaving the new server unreachable.
set -uo pipefail
if (($# == 0)); then
  echo "usage: $0 COMMAND [ARG...]" >&2
  exit 2
fi
dir=$(mktemp -d "${TMPDIR:-/tmp}/qav-xvfb.XXXXXX") || exit 1
: >"$dir/display"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -nolisten unix 3>>"$dir/display" 2>"$dir/log" &
server=$!
stop() {
  kill "$server" 2>/dev/null
  wait "$server" 2>/dev/null
  rm -rf "$dir"
}
trap stop EXIT
trap 'exit 143' TERM INT
# The number is written with its line end once the server accepts clients.
number=
for ((i = 0; i < 300; i++)); do
  read -r number <"$dir/display" && break
  if ! kill -0 "$server" 2>/dev/null; then
    echo "Xvfb did not start:" >&2
    cat "$dir/log" >&2
    exit 1
  fi
  sleep 0.1
done
if [[ ! $number =~ ^[0-9]+$ ]]; then
  echo "Xvfb reported no display within 30 seconds" >&2
  exit 1
fi
DISPLAY=":$number" "$@"
