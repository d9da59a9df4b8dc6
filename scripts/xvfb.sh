#!/usr/bin/env bash
# Runs a command on an X server of its own (Xvfb, 1280 x 1024, 24 bits, or the screen that
# QAV_XVFB_SCREEN names, e.g. 3840x2160x24) and returns its status. With QAV_XVFB_AUTH naming an
# authorization file, the server lets in only the clients that bring a cookie from it.
# The display number is held under a lock (flock on a file in /tmp/qav-xvfb-locks) from before its
# server starts until after that server has exited, so servers started and stopped side by side
# never share a number, not even while one of them is on its way out: a server that takes the
# number of one still going can report itself ready and yet leave its clients connecting to the
# old one, which then disappears. Xvfb reports when it accepts clients (-displayfd). It listens
# only on the abstract local socket, which belongs to the live server alone.
set -uo pipefail
if (($# == 0)); then
  echo "usage: $0 COMMAND [ARG...]" >&2
  exit 2
fi
dir=$(mktemp -d "${TMPDIR:-/tmp}/qav-xvfb.XXXXXX") || exit 1
locks=/tmp/qav-xvfb-locks
mkdir -p "$locks" 2>/dev/null
chmod 1777 "$locks" 2>/dev/null
server=
stop() {
  if [[ -n $server ]]; then
    kill "$server" 2>/dev/null
    wait "$server" 2>/dev/null
  fi
  server=
}
trap 'stop; rm -rf "$dir"' EXIT
trap 'exit 143' TERM INT

# Starts a server on display $1 and waits until it accepts clients; false when it does not start
# (another server, not one of ours, has the number).
start() {
  : >"$dir/display"
  Xvfb ":$1" -displayfd 3 -screen 0 "${QAV_XVFB_SCREEN:-1280x1024x24}" -nolisten tcp -nolisten unix \
    ${QAV_XVFB_AUTH:+-auth "$QAV_XVFB_AUTH"} 3>>"$dir/display" 2>"$dir/log" &
  server=$!
  local i reported=
  for ((i = 0; i < 300; i++)); do
    read -r reported <"$dir/display" && return 0
    if ! kill -0 "$server" 2>/dev/null; then
      wait "$server" 2>/dev/null
      server=
      return 1
    fi
    sleep 0.1
  done
  echo "Xvfb on :$1 did not accept clients within 30 seconds:" >&2
  cat "$dir/log" >&2
  exit 1
}

number=
for ((n = 20 + RANDOM % 200, tried = 0; tried < 400; n = 20 + (n - 19) % 380, tried++)); do
  exec {lock}>"$locks/$n"
  if flock -n "$lock"; then
    if start "$n"; then
      number=$n
      break
    fi
  fi
  exec {lock}>&-
done
if [[ -z $number ]]; then
  echo "Xvfb found no free display number:" >&2
  cat "$dir/log" >&2 2>/dev/null
  exit 1
fi
# The lock stays open (and held) until this script ends, after the server has been stopped.
DISPLAY=":$number" "$@" {lock}>&-
