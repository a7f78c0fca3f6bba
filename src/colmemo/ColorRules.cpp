#include "ColorRules.h"

#include <algorithm>
#include <cstring>
#include <unordered_map>

#include "StoreText.h"

namespace {

// Trim as the lists were trimmed: every control character and space goes.
QString trimmed(const QString& s) {
  qsizetype a = 0;
  qsizetype b = s.size();
  while (a < b && s[a].unicode() <= ' ') ++a;
  while (b > a && s[b - 1].unicode() <= ' ') --b;
  return s.mid(a, b - a);
}

QString upperAscii(QString s) {
  for (QChar& c : s)
    if (c >= u'a' && c <= u'z') c = QChar(c.unicode() - 32);
  return s;
}

std::string bytes(const QString& s) {
  return storetext::encode(s);
}

// The first occurrence of needle in [pos, end) of hay, or -1.
int64_t find(std::string_view hay, std::string_view needle, int64_t pos) {
  if (needle.empty() || pos < 0 || pos + int64_t(needle.size()) > int64_t(hay.size())) return -1;
  const void* hit = memmem(hay.data() + pos, hay.size() - size_t(pos), needle.data(), needle.size());
  return hit ? static_cast<const char*>(hit) - hay.data() : -1;
}

bool wordLetter(unsigned char c) { return (c >= 64 && c <= 90) || (c >= 97 && c <= 122); }

TColor colourOf(const QString& part, TColor fallback) {
  return trimmed(part).isEmpty() ? fallback : ParseColor(part);
}

}  // namespace

TColor ParseColor(const QString& text) {
  const QString s = upperAscii(trimmed(text)).left(10);
  static const struct {
    const char16_t* name;
    TColor value;
  } kNames[] = {{u"BLACK", 0x000000},  {u"MAROON", 0x000080}, {u"GREEN", 0x008000},
                {u"OLIVE", 0x008080},  {u"NAVY", 0x800000},   {u"PURPLE", 0x800080},
                {u"TEAL", 0x808000},   {u"GRAY", 0x808080},   {u"SILVER", 0xC0C0C0},
                {u"RED", 0x0000FF},    {u"LIME", 0x00FF00},   {u"YELLOW", 0x00FFFF},
                {u"BLUE", 0xFF0000},   {u"FUCHSIA", 0xFF00FF}, {u"AQUA", 0xFFFF00},
                {u"WHITE", 0xFFFFFF}};
  for (const auto& n : kNames)
    if (s == QStringView(n.name)) return n.value;

  QString hex = s;
  const qsizetype hash = hex.indexOf(u'#');
  if (hash >= 0) hex.remove(hash, 1);
  if (!hex.contains(u'$')) hex.prepend(u'$');
  // An optional sign, "$", then hexadecimal digits that fit 32 bits.
  qsizetype i = 0;
  bool negative = false;
  if (i < hex.size() && (hex[i] == u'-' || hex[i] == u'+')) negative = hex[i++] == u'-';
  if (i >= hex.size() || hex[i] != u'$') return clWhite;
  ++i;
  if (i >= hex.size()) return clWhite;
  uint64_t v = 0;
  for (; i < hex.size(); ++i) {
    const char16_t c = hex[i].unicode();
    const int d = c >= u'0' && c <= u'9' ? c - u'0' : c >= u'A' && c <= u'F' ? c - u'A' + 10 : -1;
    if (d < 0) return clWhite;
    v = v * 16 + uint64_t(d);
    if (v > 0xFFFFFFFFu) return clWhite;
  }
  const uint32_t n = negative ? uint32_t(-int64_t(v)) : uint32_t(v);
  return ((n & 0xFF) << 16) | (n & 0xFF00) | ((n >> 16) & 0xFF);
}

// ---- Rules ----

void TColorRule::SetKeywords(const QStringList& list) {
  parsedOnce_ = true;
  parsedKeywords_.clear();
  keyColors_.clear();
  int previousSlot = 1;
  for (const QString& line : list) {
    if (trimmed(line).isEmpty()) continue;
    const qsizetype semi = line.indexOf(u';');
    const QString keyPart = semi < 0 ? line : line.left(semi);
    const QString colourPart = semi < 0 ? QString() : line.mid(semi + 1);
    const TColor colour = colourOf(colourPart, DefKeyColor);
    QString keyword = trimmed(keyPart);
    if (keyword.isEmpty()) continue;
    if (!keyCase_) keyword = upperAscii(keyword);
    int slot;
    const auto known = std::find(keyColors_.begin(), keyColors_.end(), colour);
    if (known != keyColors_.end()) {
      slot = int(known - keyColors_.begin()) + 1;
    } else if (int(keyColors_.size()) < kMaxKeyColors) {
      keyColors_.push_back(colour);
      slot = int(keyColors_.size());
    } else {
      slot = previousSlot;
    }
    previousSlot = slot;
    std::string key = bytes(keyword);
    // Longer keywords are searched by their first characters, as far as the buffer holds.
    if (key.size() > size_t(kMaxKeyword)) key.resize(size_t(kMaxKeyword));
    parsedKeywords_.push_back({std::move(key), slot});
  }
  keywords_ = list;
}

std::string TColorRule::KeyPattern() const {
  if (!parsedOnce_) return {};
  std::string p = "*";
  for (const Keyword& k : parsedKeywords_) {
    p += k.key;
    p += "*+";
    p += char(k.slot);
    p += '*';
  }
  return p;
}

void TColorRule::clearMarkers() {
  markers_.assign(size_t(kMaxPairs), TKeyPair{});
}

int TColorRule::UsableMarkers() const {
  int n = 0;
  while (n < int(markers_.size()) && !markers_[size_t(n)].BeginKey.empty()) ++n;
  return n;
}

void TColorRule::SetKeyBegEndLst(const QStringList& list) {
  clearMarkers();
  for (int i = 0; i < std::min<int>(kMaxPairs, int(list.size())); ++i) {
    const QString& line = list[i];
    const qsizetype semi = line.indexOf(u';');
    if (semi <= 0) continue;
    TKeyPair& pair = markers_[size_t(i)];
    pair.BeginKey = bytes(line.left(std::min<qsizetype>(semi, kMaxMarker)));
    const QString rest = line.mid(semi + 1);
    const qsizetype second = rest.indexOf(u';');
    pair.EndKey = bytes((second < 0 ? rest : rest.left(second)).left(kMaxMarker));
    pair.Color = colourOf(second < 0 ? QString() : rest.mid(second + 1), DefKeyColor);
  }
  keyBegEndLst_ = list;
}

void TColorRule::SetKeyLineEndLst(const QStringList& list) {
  clearMarkers();
  for (int i = 0; i < std::min<int>(kMaxPairs, int(list.size())); ++i) {
    const QString& line = list[i];
    const qsizetype semi = line.indexOf(u';');
    QString marker = line;
    QString colourPart;
    if (semi >= 1) {
      marker = line.left(semi);
      colourPart = line.mid(semi + 1);
    } else if (semi == 0 && line.size() > 1 && line[1] == u';') {
      marker = QStringLiteral(";");
      colourPart = line.mid(2);
    }
    TKeyPair& pair = markers_[size_t(i)];
    pair.BeginKey = bytes(marker.left(kMaxMarker));
    pair.Color = colourOf(colourPart, DefKeyColor);
  }
  keyLineEndLst_ = list;
}

void TColorRule::LoadLists(const QStringList& keywords, const QStringList& begEnd,
                           const QStringList& lineEnd) {
  keywords_ = keywords;
  keyBegEndLst_ = begEnd;
  keyLineEndLst_ = lineEnd;
}

bool TColorRule::Prepare() {
  SetKeyBegEndLst(QStringList(keyBegEndLst_));
  bool any = !keyBegEndLst_.isEmpty();
  if (KeyDrawingType == TKeyDrawingType::dtKeyShow) {
    SetKeywords(QStringList(keywords_));
    any = any || !keywords_.isEmpty();
  }
  if (KeyDrawingType == TKeyDrawingType::dtBeginLineEnd) {
    SetKeyLineEndLst(QStringList(keyLineEndLst_));
    any = any || !keyLineEndLst_.isEmpty();
  }
  return any;
}

void TColorRule::Assign(const TColorRule& source) {
  if (this == &source) return;
  KeyDrawingType = source.KeyDrawingType;
  ZOrder = source.ZOrder;
  KeyMaxHeight = source.KeyMaxHeight;
  keyCase_ = source.keyCase_;
  Enabled = source.Enabled;
  PartWord = source.PartWord;
  DefKeyColor = source.DefKeyColor;
  KeyBrushColor = source.KeyBrushColor;
  SetKeywords(source.keywords_);
  keyLineEndLst_ = source.keyLineEndLst_;
  SetKeyBegEndLst(source.keyBegEndLst_);
  // The pairs, unless the rule draws to line ends: then its markers, as Prepare leaves them.
  if (KeyDrawingType == TKeyDrawingType::dtBeginLineEnd) SetKeyLineEndLst(keyLineEndLst_);
}

TColorRule& TDrawRules::Add() {
  rules_.push_back(std::make_unique<TColorRule>());
  return *rules_.back();
}

void TDrawRules::Assign(const TDrawRules& source) {
  rules_.clear();
  for (int i = 0; i < source.Count(); ++i) Add().Assign(source[i]);
}

void TDrawRules::Prepare() {
  if (!NeedsPrepare) return;
  bool any = false;
  for (auto& rule : rules_) any = rule->Prepare() || any;
  NeedsPrepare = !any;
}

TDrawRules SourceViewRules() {
  TDrawRules rules;
  const auto pair = [&](const char16_t* list, TColor colour) {
    TColorRule& r = rules.Add();
    r.DefKeyColor = colour;
    r.SetKeyBegEndLst({QString::fromUtf16(list)});
  };
  pair(u"<;>", clBlue);
  TColorRule& keys = rules.Add();
  keys.KeyDrawingType = TKeyDrawingType::dtKeyShow;
  keys.DefKeyColor = clFuchsia;
  keys.SetKeyCase(true);
  keys.SetKeywords({QStringLiteral("version="), QStringLiteral("encoding="), QStringLiteral("id=")});
  pair(u"<!--;-->", clGray);
  pair(u"<!;]>", clMaroon);
  return rules;
}

// ---- Producers ----

void ColourEngine::write(int index, const TKeyDescr& item) {
  if (index >= int(items_.size()))
    items_.push_back(item);
  else
    items_[size_t(index)] = item;
  if (rangeStart_ < 0 || item.StartPos < rangeStart_) rangeStart_ = item.StartPos;
  if (item.EndPos > rangeEnd_) rangeEnd_ = item.EndPos;
}

int ColourEngine::writeClipped(int index, TKeyDescr item, int64_t from, int64_t to) {
  item.StartPos = std::max(item.StartPos, from);
  item.EndPos = std::min(item.EndPos, to - 1);
  if (item.EndPos < item.StartPos) return index;
  write(index, item);
  return index + 1;
}

void ColourEngine::StartPaint() {
  rangeStart_ = -1;
  rangeEnd_ = -1;
  for (TKeyDescr& d : items_) d = TKeyDescr{};
}

void ColourEngine::SetColorLimMax(int n) {
  n = std::max(0, n);
  if (n == colorLimMax_) return;
  drawBuffer_.clear();
  drawBuffer_.shrink_to_fit();
  if (n > 0) drawBuffer_.resize(size_t(n));
  colorLimMax_ = n;
}

int ColourEngine::ScanRule(TColorRule& rule, const RegionText& text, int64_t from, int64_t to,
                           int index, const TDrawEvent& onDraw) {
  switch (rule.KeyDrawingType) {
    case TKeyDrawingType::dtKeyShow:
      return scanKeywords(rule, text, from, to, index);
    case TKeyDrawingType::dtEventDraw:
      return scanEvent(rule, onDraw, text, from, to, index);
    case TKeyDrawingType::dtBeginEnd:
      return scanPairs(rule, text, from, to, index, false);
    case TKeyDrawingType::dtBeginLineEnd:
      return scanPairs(rule, text, from, to, index, true);
  }
  return index;
}

namespace {

// The region as a string of its own positions: hay[i] is position from + i, and nothing at or
// after `to` is seen.
std::string_view regionOf(const RegionText& text, int64_t from, int64_t to) {
  const int64_t a = std::clamp<int64_t>(from - text.base, 0, int64_t(text.bytes.size()));
  const int64_t b = std::clamp<int64_t>(to - text.base, a, int64_t(text.bytes.size()));
  return text.bytes.substr(size_t(a), size_t(b - a));
}

}  // namespace

int ColourEngine::scanKeywords(TColorRule& rule, const RegionText& text, int64_t from,
                               int64_t to, int index) {
  if (rule.parsedKeywords_.empty()) return index;
  std::string_view hay = regionOf(text, from, to);
  if (!rule.keyCase_) {
    if (upper_.size() < hay.size()) upper_.resize(hay.size());
    for (size_t i = 0; i < hay.size(); ++i) {
      const char c = hay[i];
      upper_[i] = c >= 'a' && c <= 'z' ? char(c - 32) : c;
    }
    hay = std::string_view(upper_.data(), hay.size());
  }
  // The character before the region is the text's own, when the text has one there.
  const bool hasBefore = from > 0 && from - 1 >= text.base &&
                         from - 1 - text.base < int64_t(text.bytes.size());
  const unsigned char before = hasBefore ? static_cast<unsigned char>(text.bytes[size_t(from - 1 - text.base)]) : 0;
  const int64_t length = int64_t(hay.size());
  for (const TColorRule::Keyword& k : rule.parsedKeywords_) {
    const int64_t n = int64_t(k.key.size());
    for (int64_t p = find(hay, k.key, 0); p >= 0; p = find(hay, k.key, p + n)) {
      if (!rule.PartWord) {
        const unsigned char c0 = p > 0 ? static_cast<unsigned char>(hay[size_t(p - 1)]) : before;
        const unsigned char c1 = p + n < length ? static_cast<unsigned char>(hay[size_t(p + n)]) : 0;
        if (wordLetter(c0) || wordLetter(c1)) continue;
      }
      const TColor colour = rule.keyColors_[size_t(k.slot - 1)];
      write(index++, TKeyDescr{from + p, from + p + n - 1, colour, rule.ZOrder, 1});
    }
  }
  return index;
}

int ColourEngine::scanPairs(TColorRule& rule, const RegionText& text, int64_t from, int64_t to,
                            int index, bool lineEnd) {
  const int usable = rule.UsableMarkers();
  if (usable == 0) return index;
  const std::string_view hay = regionOf(text, from, to);
  const int64_t length = int64_t(hay.size());
  // A marker's last occurrence stays the first one at or after p while it is not behind p: the
  // markers are not searched again through the whole rest of the region at every step.
  for (int i = 0; i < usable; ++i) rule.markers_[size_t(i)].FoundAt = -2;
  int64_t p = 0;
  while (p <= length) {
    int chosen = -1;
    for (int i = 0; i < usable; ++i) {
      TKeyPair& m = rule.markers_[size_t(i)];
      if (m.FoundAt == -2 || (m.FoundAt >= 0 && m.FoundAt < p)) m.FoundAt = find(hay, m.BeginKey, p);
      if (m.FoundAt >= 0 && (chosen < 0 || m.FoundAt < rule.markers_[size_t(chosen)].FoundAt))
        chosen = i;
    }
    if (chosen < 0) break;
    const TKeyPair& m = rule.markers_[size_t(chosen)];
    const int64_t b = m.FoundAt;
    int64_t e;
    if (lineEnd) {
      e = find(hay, "\r\n", b);
      if (e < 0) e = length;
      write(index++, TKeyDescr{from + b, from + e - 1, m.Color, rule.ZOrder, 0});
    } else {
      e = find(hay, m.EndKey, b + 1);
      if (e < 0) break;
      write(index++,
            TKeyDescr{from + b, from + e + int64_t(m.EndKey.size()) - 1, m.Color, rule.ZOrder, 0});
    }
    p = e + 1;
  }
  for (int i = 0; i < usable; ++i) {
    TKeyPair& m = rule.markers_[size_t(i)];
    m.FoundAt = m.FoundAt >= 0 ? from + m.FoundAt : -1;
  }
  return index;
}

int ColourEngine::scanEvent(TColorRule& rule, const TDrawEvent& onDraw, const RegionText& text,
                            int64_t from, int64_t to, int index) {
  if (!onDraw || colorLimMax_ <= 0) return index;
  std::fill(drawBuffer_.begin(), drawBuffer_.end(), TKeyDescr{0, 0, 0, 0, 0});
  int count = 0;
  onDraw(rule, regionOf(text, from, to), std::span<TKeyDescr>(drawBuffer_), count);
  // A handler's count is trusted no further than its buffer, and its items no further than the
  // region: a stray position must not colour, or size the merge, beyond what is scanned.
  count = std::clamp(count, 0, colorLimMax_);
  for (int i = 0; i < count; ++i) {
    const TKeyDescr& r = drawBuffer_[size_t(i)];
    if (r.StartPos > to - from || r.EndPos < 0 || r.EndPos < r.StartPos) continue;
    index = writeClipped(index,
                         TKeyDescr{from + r.StartPos, from + std::min(r.EndPos, to - from),
                                   r.Color, r.ZOrder != 0 ? r.ZOrder : rule.ZOrder, 0},
                         from, to);
  }
  return index;
}

int ColourEngine::ScanHotSpots(const PaintSettings& s, const RegionText& text, int64_t from,
                               int64_t to, int index) {
  if (!s.hotSpotActive || s.hotSpotBegin == '\0') return index;
  const std::string_view hay = regionOf(text, from, to);
  const std::string_view begin(&s.hotSpotBegin, 1);
  const std::string_view end(&s.hotSpotEnd, 1);
  for (int64_t p = 0; p <= int64_t(hay.size());) {
    const int64_t b = find(hay, begin, p);
    if (b < 0) break;
    const int64_t e = find(hay, end, b + 1);
    if (e < 0) break;
    write(index++, TKeyDescr{from + b, from + b, s.hotSpotMarkerColor, kZHotSpotMarker, 0});
    write(index++, TKeyDescr{from + b + 1, from + e - 1, s.hotSpotColor, kZHotSpotText, 0});
    write(index++, TKeyDescr{from + e, from + e, s.hotSpotMarkerColor, kZHotSpotMarker, 0});
    p = e + 1;
  }
  return index;
}

int ColourEngine::ScanTabs(const PaintSettings& s, const RegionText& text, int64_t from,
                           int64_t to, int index) {
  if (!s.wantTabs) return index;
  const std::string_view hay = regionOf(text, from, to);
  for (const char* p = hay.data(); p < hay.data() + hay.size();) {
    const auto* tab = static_cast<const char*>(std::memchr(p, '\t', size_t(hay.data() + hay.size() - p)));
    if (!tab) break;
    const int64_t at = from + (tab - hay.data());
    write(index++, TKeyDescr{at, at, s.background, kZTab, 0});
    p = tab + 1;
  }
  return index;
}

int ColourEngine::CaretLineItem(const PaintSettings& s, int64_t from, int64_t to, int index) {
  if (!s.redrawAlways) return index;
  return writeClipped(index, TKeyDescr{s.caretLineStart, s.caret, s.fontColor, 0, 0}, from, to);
}

int ColourEngine::SelectionItem(const PaintSettings& s, int64_t from, int64_t to, int index) {
  if (s.selLength <= 0) return index;
  return writeClipped(index,
                      TKeyDescr{s.selStart, s.selStart + s.selLength - 1, clRed, kZSelection, 0},
                      from, to);
}

int ColourEngine::Paint(TDrawRules& rules, const RegionText& text, int64_t from, int64_t to,
                        const PaintSettings& s) {
  StartPaint();
  rules.Prepare();
  int index = 0;
  index = ScanHotSpots(s, text, from, to, index);
  index = ScanTabs(s, text, from, to, index);
  index = CaretLineItem(s, from, to, index);
  for (int i = 0; i < rules.Count(); ++i)
    if (rules[i].Enabled) index = ScanRule(rules[i], text, from, to, index, s.onDraw);
  SelectionItem(s, from, to, index);
  return BuildRuns();
}

// ---- Merge ----

void ColourEngine::putRun(int& n, const TKeyDescr& run) {
  if (n >= int(items_.size()))
    items_.push_back(run);
  else
    items_[size_t(n)] = run;
  ++n;
}

int ColourEngine::BuildRuns() {
  if (rangeStart_ < 0 || rangeEnd_ < rangeStart_) {
    for (TKeyDescr& d : items_) d = TKeyDescr{};
    return 0;
  }
  constexpr uint32_t kMaxLooks = 0xFFFFFF;
  if (items_.size() >= kMaxLooks) return buildRunsWide();
  const int64_t base = rangeStart_;
  const size_t cells = size_t(rangeEnd_ - rangeStart_ + 2);
  if (cells_.size() < cells) cells_.resize(cells);
  std::fill_n(cells_.begin(), cells, 0u);
  looks_.clear();
  std::unordered_map<uint64_t, uint32_t> lookOf;
  uint64_t lastKey = ~uint64_t(0);
  uint32_t lastLook = 0;
  for (const TKeyDescr& d : items_) {
    if (d.StartPos == kVoidPos || d.EndPos == kVoidPos || d.EndPos < d.StartPos) continue;
    const uint64_t key = uint64_t(d.Color) << 8 | d.IsKey;
    if (key != lastKey) {
      const auto [it, added] = lookOf.try_emplace(key, uint32_t(looks_.size()));
      if (added) looks_.emplace_back(d.Color, d.IsKey);
      lastKey = key;
      lastLook = it->second;
    }
    // Among equal z-orders the later item wins, so a cell is taken at >=.
    const uint32_t item = uint32_t(d.ZOrder) << 24 | (lastLook + 1);
    uint32_t* c = cells_.data() + (d.StartPos - base);
    uint32_t* const end = cells_.data() + (d.EndPos - base) + 1;
    for (; c < end; ++c)
      if (item >= (*c & 0xFF000000u)) *c = item;
  }
  int n = 0;
  for (size_t i = 0; i + 1 < cells;) {
    const uint32_t c = cells_[i];
    if (c == 0) {
      ++i;
      continue;
    }
    size_t j = i + 1;
    while (j + 1 < cells && cells_[j] == c) ++j;
    const auto& look = looks_[(c & 0xFFFFFFu) - 1];
    putRun(n, TKeyDescr{base + int64_t(i), base + int64_t(j) - 1, look.first, uint8_t(c >> 24),
                        look.second});
    i = j;
  }
  for (size_t k = size_t(n); k < items_.size(); ++k) items_[k] = TKeyDescr{};
  return n;
}

int ColourEngine::buildRunsWide() {
  const int64_t base = rangeStart_;
  const size_t cells = size_t(rangeEnd_ - rangeStart_ + 2);
  wideCells_.assign(cells, Cell{});
  for (const TKeyDescr& d : items_) {
    if (d.StartPos == kVoidPos || d.EndPos == kVoidPos || d.EndPos < d.StartPos) continue;
    const Cell item{d.Color, d.ZOrder, d.IsKey, 1};
    Cell* c = wideCells_.data() + (d.StartPos - base);
    Cell* const end = wideCells_.data() + (d.EndPos - base) + 1;
    for (; c < end; ++c)
      if (d.ZOrder >= c->z) *c = item;
  }
  int n = 0;
  const auto same = [](const Cell& a, const Cell& b) {
    return a.colour == b.colour && a.z == b.z && a.key == b.key;
  };
  for (size_t i = 0; i + 1 < cells;) {
    if (!wideCells_[i].set) {
      ++i;
      continue;
    }
    size_t j = i + 1;
    while (j + 1 < cells && wideCells_[j].set && same(wideCells_[j], wideCells_[i])) ++j;
    const Cell& c = wideCells_[i];
    putRun(n, TKeyDescr{base + int64_t(i), base + int64_t(j) - 1, c.colour, c.z, c.key});
    i = j;
  }
  for (size_t k = size_t(n); k < items_.size(); ++k) items_[k] = TKeyDescr{};
  wideCells_.clear();
  wideCells_.shrink_to_fit();
  return n;
}

std::span<const TKeyDescr> ColourEngine::Runs() const {
  size_t n = 0;
  while (n < items_.size() && items_[n].StartPos != kVoidPos) ++n;
  return std::span<const TKeyDescr>(items_.data(), n);
}
