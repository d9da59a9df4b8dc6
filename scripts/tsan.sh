#!/usr/bin/env bash
# Builds the test programs with ThreadSanitizer (in build-tsan/) and runs the suites that start
# threads: the common loader and its decode pool, the element loader, both views' runs (the
# workers, and the views waiting for them on the user-interface thread), the field devices'
# channel, the thread-safe arrays, the worker thread, the user-interface thread's queue (and the
# tasks other threads send it), events and threads, the release thread, the watcher of the ending
# signals. Any report of a data race fails the run. scripts/test.sh calls it after the other tests.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh
qav_install_packages

build=${QAV_TSAN_BUILD_DIR:-build-tsan}
jobs=$(nproc)
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQAV_TSAN=ON -DQAV_BENCH=OFF >/dev/null
cmake --build "$build" -j "$jobs" --target test_platform test_platform_ui test_containers test_support test_fielddevices test_app

# No race is suppressed: these suites run our own threads on the headless window backend, so no
# frame of the (uninstrumented) Qt libraries is in their reports.
export TSAN_OPTIONS=${TSAN_OPTIONS:-halt_on_error=1:second_deadlock_stack=1:report_signal_unsafe=0}
# Tests that fork a child under a memory limit are left out: a child forked from threads under
# ThreadSanitizer may hang, and the address-space limit does not work beside its shadow memory.
no_fork='-*NotEnoughMemory*:*OutOfMemory*'
run() {  # run EXECUTABLE FILTER
  echo "== ThreadSanitizer: $1 --gtest_filter=$2"
  "$build/tests/$1" --gtest_filter="$2" --gtest_brief=1
}
status=0
run platform/test_platform 'Events.*:Threads.*:Release.*:Files.ADiscarded*:Files.AFileOpenedAside*:EndSignals.*:AddressSpace.*' || status=1
run platform_ui/test_platform_ui 'LoopTest.*:AppTest.AskedToEnd*' || status=1
run containers/test_containers 'ScalarMThreadArray.*:ObjMThreadArray.*:MemMgr.DataStopsShort*' || status=1
run support/test_support 'Thread.*:ThreadAccessControl.*:IOFileTest.*:IOObject.*:OutputTest.*' || status=1
run fielddevices/test_fielddevices 'FieldThreads.*' || status=1
run app/test_app "LoaderTest.*:SeveralReaders.*:DecodePool.*:ElementLoaderTest.*:ClassicRun.*:ClassicRunFiles.*:NewRunTest.*:NewSortTest.*:ClassicEndToEnd.*:EndToEndTest.*:NewViewTest.*:ClassicViewTest.*:ViewerTest.*$no_fork" || status=1
exit $status
