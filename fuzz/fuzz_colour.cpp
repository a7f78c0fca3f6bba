// The colouring engine on random rule lists, texts, regions and settings: no crash, and its runs
// stay inside the region, in order, without overlapping.
//
// Input: rule records separated by \x01, then \x02 and the text. A record is a byte of
// kind and flags, a z-order byte, then its list lines separated by '\n'. The last eight
// bytes of the text choose the region, the selection and the paint's settings.
#include <cstddef>
#include <cstdint>
#include <string>

#include "ColorRules.h"

namespace {

QStringList listOf(std::string_view s) {
  QStringList out;
  for (const QString& l : QString::fromLatin1(s.data(), qsizetype(s.size())).split(u'\n'))
    out << l;
  return out;
}

uint8_t byteAt(std::string_view s, size_t i) { return i < s.size() ? uint8_t(s[i]) : 0; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const size_t split = input.find('\x02');
  const std::string_view header = input.substr(0, split == std::string_view::npos ? 0 : split);
  std::string_view text = split == std::string_view::npos ? input : input.substr(split + 1);
  std::string_view settings;
  if (text.size() >= 8) {
    settings = text.substr(text.size() - 8);
    text.remove_suffix(8);
  }

  TDrawRules rules;
  for (size_t at = 0; at <= header.size() && rules.Count() < 6;) {
    size_t end = header.find('\x01', at);
    if (end == std::string_view::npos) end = header.size();
    const std::string_view record = header.substr(at, end - at);
    at = end + 1;
    if (record.size() < 2) continue;
    TColorRule& r = rules.Add();
    const uint8_t flags = uint8_t(record[0]);
    r.KeyDrawingType = TKeyDrawingType(flags & 3);
    r.SetKeyCase(flags & 4);
    r.PartWord = flags & 8;
    r.Enabled = !(flags & 16);
    r.KeyMaxHeight = (flags >> 5) + 1;
    r.ZOrder = uint8_t(record[1]);
    const QStringList lines = listOf(record.substr(2));
    // Loaded as a form loads, or set through the setters.
    if (flags & 128)
      r.LoadLists(lines, lines, lines);
    else if (r.KeyDrawingType == TKeyDrawingType::dtKeyShow)
      r.SetKeywords(lines);
    else if (r.KeyDrawingType == TKeyDrawingType::dtBeginLineEnd)
      r.SetKeyLineEndLst(lines);
    else
      r.SetKeyBegEndLst(lines);
  }

  const int64_t n = int64_t(text.size());
  const int64_t from = n == 0 ? 0 : byteAt(settings, 0) * n / 256;
  const int64_t to = from + (n - from) * (byteAt(settings, 1) + 1) / 256;
  PaintSettings s;
  const uint8_t mode = byteAt(settings, 2);
  s.hotSpotActive = mode & 1;
  s.wantTabs = mode & 2;
  s.redrawAlways = mode & 4;
  s.hotSpotBegin = char(byteAt(settings, 3) % 4 + 28);
  s.hotSpotEnd = char(byteAt(settings, 4) % 4 + 28);
  s.caret = n == 0 ? 0 : byteAt(settings, 5) * n / 256;
  s.caretLineStart = std::max<int64_t>(0, s.caret - byteAt(settings, 6));
  s.selStart = n == 0 ? 0 : byteAt(settings, 6) * n / 256;
  s.selLength = byteAt(settings, 7) % 64;
  // A handler that answers with stray records and counts as well as sound ones.
  s.onDraw = [&](const TColorRule&, std::string_view fromPos, std::span<TKeyDescr> a, int& count) {
    if (fromPos.size() != size_t(to - from)) __builtin_trap();
    for (size_t i = 0; i < a.size(); ++i)
      a[i] = TKeyDescr{int64_t(byteAt(fromPos, i)) - 16, int64_t(byteAt(fromPos, i + 1)) - 8,
                       uint32_t(i), uint8_t(byteAt(fromPos, i + 2)), 0};
    count = int(byteAt(settings, 7)) - 8;
  };

  ColourEngine engine;
  engine.SetColorLimMax(mode >> 4);
  // The region is handed as the view hands it: from the character before it.
  const int64_t base = from > 0 ? from - 1 : 0;
  const RegionText region{text.substr(size_t(base), size_t(to - base)), base};
  for (int paint = 0; paint < 2; ++paint) {
    const int count = engine.Paint(rules, region, from, to, s);
    int64_t last = from - 1;
    for (const TKeyDescr& r : engine.Runs()) {
      if (r.StartPos <= last || r.EndPos < r.StartPos || r.EndPos >= to) __builtin_trap();
      last = r.EndPos;
    }
    if (int(engine.Runs().size()) != count) __builtin_trap();
  }
  return 0;
}
