#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test: the unit and widget tests
# through CTest, then the Debian package built and its file list checked (never installed), the
# same suite again built with AddressSanitizer and UndefinedBehaviorSanitizer, then each fuzz
# target for a bounded time (FUZZ_SECONDS, 60 by default).
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup.sh
cmake -S . -B build -G Ninja
cmake --build build
ctest --test-dir build --output-on-failure --timeout 300 -j "$(nproc)"
./scripts/package.sh build
./scripts/sanitize.sh
./scripts/fuzz.sh "${FUZZ_SECONDS:-60}"
