// The matching tag on a large document and on a small one, in the same process.
//
//   bench_markup LARGE_FILE SMALL_FILE [RUNS]
//
// For each document, the median time in milliseconds of what a caret move costs (the tag at the
// caret and its partner within the reach of the marks) at the root's start tag, in the middle,
// and at the root's end tag; and of "Aller à la balise correspondante" (no reach) from the
// root's start and end tags, the whole document's worth.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "TagMatch.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int64_t kMarkReach = 256 * 1024;  // as the editor's marks

TextStore load(const char* path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "bench_markup: cannot read %s\n", path);
    std::exit(2);
  }
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  return TextStore::fromBytes(bytes);
}

double medianMs(int runs, const std::function<void()>& f) {
  std::vector<double> t;
  for (int i = 0; i < runs; ++i) {
    const auto a = Clock::now();
    f();
    t.push_back(std::chrono::duration<double, std::milli>(Clock::now() - a).count());
  }
  std::sort(t.begin(), t.end());
  return t[t.size() / 2];
}

// The position of the first "<" of a start tag after pos (the root's is the first after the
// prolog), and of the last "</".
int64_t startTagAfter(const TextStore& s, int64_t pos) {
  const std::string probe = s.text(pos, 1 << 16);
  size_t p = 0;
  while ((p = probe.find('<', p)) != std::string::npos && (probe[p + 1] == '?' || probe[p + 1] == '!' || probe[p + 1] == '/')) ++p;
  return p == std::string::npos ? -1 : pos + int64_t(p);
}
int64_t lastEndTag(const TextStore& s) {
  const int64_t from = std::max<int64_t>(0, s.size() - (1 << 16));
  return from + int64_t(s.text(from, s.size() - from).rfind("</"));
}

void measure(const char* name, const TextStore& s, int runs) {
  const int64_t root = startTagAfter(s, 0);
  const int64_t middle = startTagAfter(s, s.size() / 2);
  const int64_t end = lastEndTag(s);
  int64_t found = 0;
  const auto move = [&](int64_t pos, int64_t reach) {
    return [&, pos, reach] {
      const markup::Tag t = markup::tagAround(s, pos + 1);
      found += markup::partnerOf(s, t, reach).found();
    };
  };
  std::printf("%-10s %9.3f %9.3f %9.3f | %9.3f %9.3f\n", name, medianMs(runs, move(root, kMarkReach)),
              medianMs(runs, move(middle, kMarkReach)), medianMs(runs, move(end, kMarkReach)),
              medianMs(runs, move(root, INT64_MAX)), medianMs(runs, move(end, INT64_MAX)));
  if (found == 0) std::printf("  (no partner found at all: the document is not what was expected)\n");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: bench_markup LARGE_FILE SMALL_FILE [RUNS]\n");
    return 2;
  }
  const int runs = argc > 3 ? std::max(1, std::atoi(argv[3])) : 11;
  const TextStore large = load(argv[1]);
  const TextStore small = load(argv[2]);
  std::printf("%-10s %9s %9s %9s | %9s %9s   (ms, median of %d)\n", "document", "mark root", "mark mid",
              "mark end", "goto root", "goto end", runs);
  measure("large", large, runs);
  measure("small", small, runs);
  return 0;
}
