// The text store on a large document and on a small one, in the same process.
//
//   bench_store LARGE_FILE SMALL_FILE [RUNS [HUGE_GB]]
//
// Loads each file as the editor can (its bytes, normalised, into a store) and prints, for both
// documents, the median time in microseconds of: one byte typed in the middle, Enter, Backspace
// at a line start, a snapshot (copy) followed by the cut of one line, the restore of that
// snapshot, lineOf and lineStart at random places; then the ratio large / small and the
// difference. Edits are undone between runs, outside the timing, so every run sees the same
// text. Also prints the load time (median of 5) and the memory the store holds. With HUGE_GB,
// first checks a text of that many GB made of copies of LARGE_FILE (memory: about 2.2 times it).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "TextStore.h"

namespace {

using Clock = std::chrono::steady_clock;

double micros(Clock::duration d) { return std::chrono::duration<double, std::micro>(d).count(); }

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

std::string readFile(const char* path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "bench_store: cannot read %s\n", path);
    std::exit(2);
  }
  return std::string(std::istreambuf_iterator<char>(in), {});
}

long residentKiB() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
  return -1;
}

// A timed step between two untimed ones that prepare it and put the text back.
struct Operation {
  std::function<void(TextStore&)> prepare, timed, undo;
};

struct Figures {
  std::vector<double> medians;  // microseconds, one per operation
};

Figures measure(TextStore& store, int runs, std::mt19937_64& rng) {
  const int64_t middleLine = store.lineCount() / 2;
  const int64_t lineStart = store.lineStart(middleLine);
  const int64_t middle = lineStart + store.lineLength(middleLine) / 2;
  const int64_t cut = store.lineLength(middleLine) + 2;
  TextStore snapshot;
  const auto nothing = [](TextStore&) {};
  const std::vector<Operation> operations = {
      {nothing, [=](TextStore& s) { s.replace(middle, 0, "x"); },
       [=](TextStore& s) { s.replace(middle, 1, ""); }},
      {nothing, [=](TextStore& s) { s.replace(middle, 0, "\r\n"); },
       [=](TextStore& s) { s.replace(middle, 2, ""); }},
      {nothing, [=](TextStore& s) { s.replace(lineStart - 2, 2, ""); },
       [=](TextStore& s) { s.replace(lineStart - 2, 0, "\r\n"); }},
      {nothing,
       [&](TextStore& s) {
         snapshot = s;
         s.replace(lineStart, cut, "");
       },
       [&](TextStore& s) {
         s = snapshot;
         snapshot = TextStore();
       }},
      {[&](TextStore& s) {
         snapshot = s;
         s.replace(lineStart, cut, "");
       },
       [&](TextStore& s) { s = snapshot; },
       [&](TextStore&) { snapshot = TextStore(); }},
  };
  Figures f;
  for (const Operation& op : operations) {
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
      op.prepare(store);
      const auto t0 = Clock::now();
      op.timed(store);
      const auto t1 = Clock::now();
      op.undo(store);
      times.push_back(micros(t1 - t0));
    }
    f.medians.push_back(median(times));
  }
  // Queries, 1,000 random places per run: single calls are below the clock's resolution.
  const int64_t size = store.size(), lines = store.lineCount();
  for (const bool byLine : {false, true}) {
    std::vector<double> times;
    std::vector<int64_t> places(1000);
    int64_t sink = 0;
    for (int i = 0; i < std::max(runs / 20, 11); ++i) {
      for (int64_t& p : places) p = static_cast<int64_t>(rng() % static_cast<uint64_t>(byLine ? lines : size + 1));
      const auto t0 = Clock::now();
      for (const int64_t p : places) sink += byLine ? store.lineStart(p) : store.lineOf(p);
      const auto t1 = Clock::now();
      times.push_back(micros(t1 - t0) / static_cast<double>(places.size()));
    }
    if (sink == -1) std::puts("");  // keeps the calls
    f.medians.push_back(median(times));
  }
  return f;
}

// A text of about `gigabytes` GB made of copies of `one` (no final break, so each copy's last
// line runs into the next copy's first). Checks, past 2^31 bytes, that lines and positions fall
// where the single copy puts them, and that an edit and a snapshot there behave. Returns false
// and says why at the first difference.
bool checkHuge(const std::string& one, double gigabytes) {
  const TextStore single = TextStore::fromBytes(one);
  const int64_t size1 = single.size(), lines1 = single.lineCount();
  const int64_t copies = static_cast<int64_t>(gigabytes * 1e9) / size1 + 1;
  std::string raw;
  raw.reserve(static_cast<size_t>(copies * size1));
  for (int64_t i = 0; i < copies; ++i) raw += one;
  const auto t0 = Clock::now();
  TextStore huge = TextStore::fromBytes(raw);
  const auto t1 = Clock::now();
  raw = std::string();
  std::printf("huge text: %.2f GB, %lld lines, %lld chunks, loaded in %.2f s, %.0f MiB held\n",
              static_cast<double>(huge.size()) / 1e9, static_cast<long long>(huge.lineCount()),
              static_cast<long long>(huge.chunkCount()), micros(t1 - t0) / 1e6,
              static_cast<double>(huge.memoryUsed()) / 1048576.0);
  const auto fail = [](const char* what, int64_t where) {
    std::printf("huge text: FAILED, %s at %lld\n", what, static_cast<long long>(where));
    return false;
  };
  if (huge.size() != copies * size1) return fail("size", huge.size());
  if (huge.lineCount() != copies * (lines1 - 1) + 1) return fail("line count", huge.lineCount());
  std::mt19937_64 rng(7);
  for (int k = 0; k < 100000; ++k) {
    const int64_t copy = k < 10 ? copies - 1 : static_cast<int64_t>(rng() % static_cast<uint64_t>(copies));
    const int64_t local = 1 + static_cast<int64_t>(rng() % static_cast<uint64_t>(lines1 - 2));
    const int64_t line = copy * (lines1 - 1) + local;
    const int64_t start = copy * size1 + single.lineStart(local);
    if (huge.lineStart(line) != start) return fail("lineStart", line);
    if (huge.lineLength(line) != single.lineLength(local)) return fail("lineLength", line);
    if (huge.lineOf(start + single.lineLength(local) + 1) != line) return fail("lineOf", start);
    if (huge.text(start, huge.lineLength(line)) != single.text(single.lineStart(local), single.lineLength(local)))
      return fail("text", start);
  }
  const int64_t far = huge.lineStart(huge.lineCount() - 3);
  if (far <= (int64_t{1} << 31)) return fail("a text too small to test", far);
  const TextStore snapshot = huge;
  const int64_t length = huge.lineLength(huge.lineCount() - 3);
  huge.replace(far, 0, "x\r\n");
  if (huge.at(far) != 'x' || huge.lineLength(huge.lineCount() - 4) != 1 ||
      huge.lineLength(huge.lineCount() - 3) != length || snapshot.lineCount() + 1 != huge.lineCount())
    return fail("an edit", far);
  huge = snapshot;
  if (!(huge == snapshot) || huge.lines()->line(huge.lineCount() - 3).size() != static_cast<size_t>(length))
    return fail("a restore", far);
  std::printf("huge text: positions, lines, an edit and a restore past 2^31 bytes agree with the single copy\n\n");
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: bench_store LARGE_FILE SMALL_FILE [RUNS [HUGE_GB]]\n");
    return 2;
  }
  const int runs = argc > 3 ? std::max(11, std::atoi(argv[3])) : 2001;
  std::mt19937_64 rng(42);

  const std::string large = readFile(argv[1]);
  const std::string small = readFile(argv[2]);
  if (argc > 4 && std::atof(argv[4]) > 0 && !checkHuge(large, std::atof(argv[4]))) return 1;

  // Load, median of 5: in one pass (fromBytes), and as normalise then build. Resident growth
  // from the first one-pass load only: later loads reuse the memory that the previous store gave
  // back to the allocator.
  std::vector<double> loads, twoSteps, normalises;
  const long residentBefore = residentKiB();
  long residentAfter = 0;
  TextStore big;
  for (int i = 0; i < 5; ++i) {
    big = TextStore();
    const auto t0 = Clock::now();
    big = TextStore::fromBytes(large);
    const auto t1 = Clock::now();
    if (i == 0) residentAfter = residentKiB();
    big = TextStore();
    const auto t2 = Clock::now();
    std::string crlf = TextStore::normalise(large);
    const auto t3 = Clock::now();
    big = TextStore(std::move(crlf));
    const auto t4 = Clock::now();
    loads.push_back(micros(t1 - t0));
    normalises.push_back(micros(t3 - t2));
    twoSteps.push_back(micros(t4 - t2));
  }
  TextStore little(TextStore::normalise(small));

  std::printf("large document: %.1f MB, %lld lines, %lld chunks; small document: %lld bytes, %lld lines\n",
              static_cast<double>(large.size()) / 1e6, static_cast<long long>(big.lineCount()),
              static_cast<long long>(big.chunkCount()), static_cast<long long>(little.size()),
              static_cast<long long>(little.lineCount()));
  std::printf("load (normalise + build in one pass, fromBytes): %.3f s, median of 5   target <= 0.15 s\n",
              median(loads) / 1e6);
  std::printf("load in two steps, normalise then build: %.3f s (normalise %.3f s)\n",
              median(twoSteps) / 1e6, median(normalises) / 1e6);
  std::printf("memory: %.1f MiB held by the store (%.2f x the text), resident growth %.1f MiB\n",
              static_cast<double>(big.memoryUsed()) / 1048576.0,
              static_cast<double>(big.memoryUsed()) / static_cast<double>(big.size()),
              static_cast<double>(residentAfter - residentBefore) / 1024.0);

  // What a scan of the whole document costs: every line through a view.
  std::vector<double> passes;
  for (int i = 0; i < 5; ++i) {
    const auto t0 = Clock::now();
    const auto view = big.lines();
    size_t bytes = 0;
    for (int64_t l = 0; l < view->count(); ++l) bytes += view->line(l).size();
    passes.push_back(micros(Clock::now() - t0));
    if (bytes == 0) std::puts("");  // keeps the loop
  }
  std::printf("every line through lines(): %.3f s, median of 5\n\n", median(passes) / 1e6);

  const Figures a = measure(big, runs, rng);
  const Figures b = measure(little, runs, rng);
  const char* const names[] = {"one byte typed in the middle", "Enter", "Backspace at a line start",
                               "snapshot + cut of one line", "restore of a snapshot",
                               "lineOf, random place", "lineStart, random line"};
  std::printf("%-30s %10s %10s %8s %9s  %s\n", "median of runs (us)", "large", "small", "ratio",
              "diff", "target: <= 1000 us, ratio <= 1.5 or diff <= 5 us");
  for (size_t i = 0; i < a.medians.size(); ++i) {
    const double ratio = b.medians[i] > 0 ? a.medians[i] / b.medians[i] : 0;
    const double diff = a.medians[i] - b.medians[i];
    const bool met = a.medians[i] <= 1000 && (ratio <= 1.5 || diff <= 5);
    std::printf("%-30s %10.3f %10.3f %8.2f %9.3f  %s\n", names[i], a.medians[i], b.medians[i], ratio,
                diff, met ? "met" : "MISSED");
  }
  std::printf("(%d runs per edit)\n", runs);
  return 0;
}
