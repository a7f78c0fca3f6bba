#!/usr/bin/env bash
# Builds everything in Debug with AddressSanitizer and UndefinedBehaviorSanitizer in build-asan/
# and runs the whole CTest suite there, widget tests included: a memory fault, a leak or undefined
# behaviour anywhere fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."
racine=$(pwd)

# halt_on_error: the first fault ends the test binary, so CTest reports it failed rather than
# printing it among passing tests. Leaks are checked; the few that system libraries keep until
# exit (Qt's D-Bus connection under X11) are listed in lsan.supp. UBSan's vptr check is what
# catches a signal reaching a half-destroyed window.
export ASAN_OPTIONS=halt_on_error=1:detect_leaks=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
export LSAN_OPTIONS=suppressions=$racine/scripts/lsan.supp:print_suppressions=0

cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug \
  -DCMAKE_CXX_FLAGS="-O1 -fsanitize=address,undefined -fno-omit-frame-pointer" \
  -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined"
# The build runs each test binary to list its tests: under the same options.
cmake --build build-asan
ctest --test-dir build-asan --output-on-failure --timeout 600 -j "$(nproc)"
