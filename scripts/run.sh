#!/usr/bin/env bash
# Installs any missing build package, builds the program in Release, writes a sample archive into
# the program's default archive folder when that folder does not exist yet, and starts qav.
#   scripts/run.sh [-- arguments for qav]      (QAV_JOBS limits the build jobs)
# An archive folder chosen in the program (Options > Parameters > General) is never touched.
set -euo pipefail
cd "$(dirname "$0")/.."

args=()
while [ $# -gt 0 ]; do
  case "$1" in
    --) shift; args=("$@"); break ;;
    -h|--help) sed -n '2,5p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "scripts/run.sh: unknown argument '$1' (arguments for qav go after --)" >&2; exit 2 ;;
  esac
done

source scripts/packages.sh
qav_install_packages

# The same Release folder and options as scripts/bench.sh, so the two share one build.
build=${QAV_BENCH_DIR:-build-release}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQAV_TESTS=OFF -DQAV_BENCH=ON >/dev/null
cmake --build "$build" -j "${QAV_JOBS:-$(nproc)}" --target qav mkarchive

# The program's default archive folder ($XDG_DATA_HOME/qav/archive/, ~/.local/share/qav/archive/).
data_home=${XDG_DATA_HOME:-}
# The home folder as the program takes it: $HOME, else the one the password database names.
home=${HOME:-$(getent passwd "$(id -u)" | cut -d: -f6)}
case "$data_home" in /*) ;; *) data_home="$home/.local/share" ;; esac
archive="$data_home/qav/archive"
# Written beside it first, so an interrupted run leaves no half archive in its place. A folder the
# user may not write (a read-only home) only costs the sample: the program starts all the same.
write_sample_archive() {
  mkdir -p "$data_home/qav" 2>/dev/null || return 1
  tmp=$(mktemp -d "$data_home/qav/.archive.XXXXXX" 2>/dev/null) || return 1
  trap 'rm -rf "$tmp"' EXIT
  "$build/tools/mkarchive/mkarchive" "$tmp/" --years 1993,1994 --days 10 --elements 40 &&
    mv "$tmp" "$archive" || { rm -rf "$tmp"; trap - EXIT; return 1; }
  trap - EXIT
}
if [ ! -e "$archive" ]; then
  echo "Writing a sample archive to $archive"
  if ! write_sample_archive; then
    echo "scripts/run.sh: the sample archive could not be written to $archive (is $data_home writable?);" \
         "starting the program without it" >&2
  fi
fi

exec "$build/src/app/qav" "${args[@]}"
