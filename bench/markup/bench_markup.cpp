// The matching tag on a large document and on a small one, in the same process.
//
//   bench_markup LARGE_FILE SMALL_FILE [RUNS]
//
// For each document, the median time in milliseconds of: reading the whole text into the tag
// index (once per version of the text); what a caret move costs once it is read (the tag at the
// caret, its partner, and the element path) at the root's start tag, in the middle, and at the
// root's end tag; the same just after a letter typed in the first record and in the middle one
// (the index of the new version made from the last); and, for comparison, the partner of the root's start tag found by reading
// the text between (without the index).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "TagIndex.h"
#include "TagMatch.h"

namespace {

using Clock = std::chrono::steady_clock;
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
  const double build = medianMs(std::max(1, runs / 4), [&] {
    markup::TagIndex index(s);
    while (index.extend(1 << 20)) {
    }
    found += index.blockCount() > 0;
  });
  markup::TagIndex index(s);
  while (index.extend(1 << 20)) {
  }
  const auto move = [&](int64_t pos) {
    return [&, pos] {
      const markup::Tag t = markup::tagAround(s, pos + 1);
      found += index.partnerOf(t).found();
      found += int64_t(index.elementPath(pos + 1).size());
    };
  };
  // A letter typed in the text of the first or of the middle record, and the caret move after
  // it: the index of the new version is made from the last one.
  const auto typed = [&](int64_t at) {
    const int64_t pos = at + 1 + int64_t(s.text(at, 1 << 12).find('>'));  // after a start tag
    return [&, pos] {
      TextStore edited = s;
      edited.replace(pos, 0, "x");
      markup::TagIndex next(edited, index);
      found += next.partnerOf(markup::tagAround(edited, pos)).found();
      found += int64_t(next.elementPath(pos + 1).size());
    };
  };
  const double typedStart = medianMs(runs, typed(startTagAfter(s, root + 1)));
  const double typedMiddle = medianMs(runs, typed(middle));
  const double between = medianMs(std::max(1, runs / 4), [&] {
    found += markup::partnerOf(s, markup::tagAround(s, root + 1)).found();
  });
  std::printf("%-10s %9.1f | %9.3f %9.3f %9.3f | %9.3f %9.3f | %9.1f\n", name, build, medianMs(runs, move(root)),
              medianMs(runs, move(middle)), medianMs(runs, move(end)), typedStart, typedMiddle, between);
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
  std::printf("%-10s %9s | %9s %9s %9s | %9s %9s | %9s   (ms, median of %d)\n", "document", "index",
              "move root", "move mid", "move end", "typed 1st", "typed mid", "read root", runs);
  measure("large", large, runs);
  measure("small", small, runs);
  return 0;
}
