# Sourced by a benchmark's run.sh after it sets $here to its own folder: where the Release build,
# the documents and their generator are, and the steps every run.sh takes.
# BUILD_DIR, GEN_RECORDS and SIZE_MB change them.
root=$(cd "$here/../.." && pwd)
build=${BUILD_DIR:-$root/build-bench}
out=$root/bench/out
gen=${GEN_RECORDS:-$root/../shared/bench/gen-records.py}
size=${SIZE_MB:-50}

requireXmllint() {
  command -v xmllint >/dev/null || { echo "xmllint is missing (Debian package libxml2-utils)" >&2; exit 2; }
}

# Builds the given targets in Release; the documents go to $out.
buildTargets() {
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$build" --target "$@" >/dev/null
  mkdir -p "$out"
}

# records FILE MB [--dtd]: a document of records, made once.
records() {
  [ -f "$out/$1" ] || python3 "$gen" "$2" "$out/$1" ${3:-}
}
