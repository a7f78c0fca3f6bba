#!/bin/sh
# Builds bench_encoding in Release and times decoding and encoding of the 50 MB document of
# records (SIZE_MB changes it) in Windows-1252 bytes and in UTF-8 (--utf8), against iconv.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../common.sh"

command -v iconv >/dev/null || { echo "iconv is missing (Debian package libc-bin)" >&2; exit 2; }
buildTargets bench_encoding
records "records-$size.xml" "$size"
[ -f "$out/records-$size-utf8.xml" ] || python3 "$gen" "$size" "$out/records-$size-utf8.xml" --utf8
"$build/bench/encoding/bench_encoding" "$out/records-$size.xml" "$out/records-$size-utf8.xml" "$@"
