#!/usr/bin/env bash
# Uploads and downloads a 100 MB file (or SIZE_MB) with the FTP engine and with curl against the
# same pyftpdlib server on loopback, in one run, and prints the throughput of each and their ratio.
# Usage: bench/ftp/run.sh [SIZE_MB]     (ESSAIS=n: best of n runs, 3 unless set)
set -uo pipefail

racine=$(cd "$(dirname "$0")/../.." && pwd)
build=$racine/build-bench

command -v curl >/dev/null || { echo "curl is missing (Debian package curl)" >&2; exit 2; }
/usr/bin/python3 -c 'import pyftpdlib' 2>/dev/null || { echo "python3-pyftpdlib is missing" >&2; exit 2; }
cmake -S "$racine" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null || exit 2
cmake --build "$build" --target bench_ftp >/dev/null || exit 2
"$build/bench/ftp/bench_ftp" "$@"
