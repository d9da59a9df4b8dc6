#!/usr/bin/env bash
# Runs the program's window checks (the test ManagedWindows of tests/app: the main window, the
# status window, a message box, a dialog, a file chooser and the wait dialog of a run, driven with
# real keys and clicks; and the Classic view's runs that open their report in the viewer,
# XvfbClassic) under each of five window managers, on an X server of its own each, and prints two
# tables:
#   scripts/wm_table.sh [MANAGER...]     (default: openbox metacity mutter xfwm4 icewm)
# Columns of the first, per manager and window: the type and owner it tells the manager / framed
# with its title / above the main window after a click on it / the keyboard where it belongs after
# that click / moved by its title / back after minimise ("kept": the manager did not minimise it).
# Columns of the second, per manager: the main window has the keyboard 4 s after a start (the
# manager held up until the program asked for its windows) / the viewer a run opens is above the
# main window (twice, once with the manager held up) / it has the keyboard / Escape on the run's wait dialog while the viewer reads the report ends the run
# within 0.25 s (the time it took, in the sanitizer build). Last, how many actions the checks sent
# again under each manager (x-resend lines).
# QAV_SHOTS=DIR keeps a screenshot of each window under each manager there (and the whole output
# of a manager's round that failed). Uses the test
# programs of the sanitizer build (QAV_BUILD_DIR, default build/), building them when missing.
# Exits non-zero when a check failed under some manager.
set -uo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh
qav_install_packages mutter xfwm4 icewm dbus-bin

build=${QAV_BUILD_DIR:-build}
if [[ ! -x $build/tests/app/test_app || ! -x $build/src/app/qav ]]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQAV_SANITIZE=ON >/dev/null || exit 1
  cmake --build "$build" -j "$(nproc)" --target test_app qav || exit 1
fi
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1:strict_string_checks=1}
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$PWD/scripts/lsan.supp:print_suppressions=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-halt_on_error=1:print_stacktrace=1}

managers=("$@")
((${#managers[@]})) || managers=(openbox metacity mutter xfwm4 icewm)
rows=$(mktemp "${TMPDIR:-/tmp}/qav-wm-table.XXXXXX") || exit 1
trap 'rm -f "$rows"' EXIT
status=0
checks=(ManagedWindows.UnderTheManagerOfTheDisplay
        XvfbClassic.TheReportARunOpensComesUpAboveTheMainWindowWithTheKeyboard
        XvfbClassic.TheViewersProgressDialogStandsBesideTheRunsUnderAWindowManager)
for manager in "${managers[@]}"; do
  for check in "${checks[@]}"; do
    echo "== $manager: $check" >&2
    out=$(QAV_XVFB_INNER=1 QAV_SHOT_DIR=${QAV_SHOTS:-} timeout 900 scripts/xvfb.sh scripts/wm.sh "$manager" \
          "$build/tests/app/test_app" --gtest_filter="$check" 2>&1)
    rc=$?
    grep -E '^wm-table(-run)? \|' <<<"$out" >>"$rows"
    # Actions the check sent again because the keyboard was elsewhere when they were sent.
    echo "wm-table-resends | $manager | $(grep -c '^x-resend |' <<<"$out")" >>"$rows"
    if ((rc != 0)); then
      status=1
      grep -E 'Failure|^[a-z ]+: .* is |did not|could not| minimised \(|has the keyboard|below' <<<"$out" |
        sed "s/^/  $manager: /" >&2
      [[ -n ${QAV_SHOTS:-} ]] && printf '%s\n' "$out" >"$QAV_SHOTS/$manager-${check#*.}.log"
    fi
  done
  # The Classic checks' screenshots go to QAV_SHOTS under the manager's name.
  if [[ -n ${QAV_SHOTS:-} ]]; then
    for shot in "$QAV_SHOTS"/viewer_after_go*.png "$QAV_SHOTS"/two_progress_dialogs.png; do
      [[ -e $shot ]] && mv "$shot" "$QAV_SHOTS/${manager}_$(basename "$shot")"
    done
  fi
done

printf '\n%-9s %-14s %-11s %-9s %-12s %-14s %-9s %s\n' manager window "type/owner" framed "above main" "keys after" moved "back after minimise"
grep '^wm-table |' "$rows" | sed 's/^wm-table | //' | while IFS='|' read -r manager window typed framed above keys moved back; do
  trim() { local v=$1; v=${v#"${v%%[![:space:]]*}"}; echo "${v%"${v##*[![:space:]]}"}"; }
  printf '%-9s %-14s %-11s %-9s %-12s %-14s %-9s %s\n' "$(trim "$manager")" "$(trim "$window")" "$(trim "$typed")" \
    "$(trim "$framed")" "$(trim "$above")" "$(trim "$keys")" "$(trim "$moved")" "$(trim "$back")"
done

printf '\n%-9s %-22s %-22s %-22s %s\n' manager "keys with main at start" "viewer above main (GO)" "viewer has the keys" \
  "run's Cancel while the viewer reads"
for manager in "${managers[@]}"; do
  cell() { grep "^wm-table-run | $manager | $1 |" "$rows" | tail -1 | sed 's/.*| //'; }
  printf '%-9s %-22s %-22s %-22s %s\n' "$manager" "$(cell 'keyboard with the main window after start')" \
    "$(cell 'viewer above main after GO')" "$(cell 'viewer has the keyboard after GO')" \
    "$(cell "run's Cancel while the viewer reads")"
done
printf '\nactions sent again (x-resend):'
for manager in "${managers[@]}"; do
  printf ' %s %s' "$manager" "$(grep "^wm-table-resends | $manager |" "$rows" | awk -F'|' '{n += $3} END {print n + 0}')"
done
echo
exit $status
