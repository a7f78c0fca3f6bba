#pragma once
// The colouring rule engine: rules parsed from their text lists, the scanners that find coloured
// items in a region of the text, and the merge of all items of one paint into runs. Plain logic
// on Windows-1252 bytes (QtCore only), so that tests, fuzzers, benchmarks and the batch program
// call it without a window.
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include <QString>
#include <QStringList>

// $00BBGGRR; values with $80 in the high byte are the platform's colours.
using TColor = uint32_t;
constexpr TColor clBlack = 0x000000;
constexpr TColor clRed = 0x0000FF;
constexpr TColor clYellow = 0x00FFFF;
constexpr TColor clBlue = 0xFF0000;
constexpr TColor clFuchsia = 0xFF00FF;
constexpr TColor clGray = 0x808080;
constexpr TColor clMaroon = 0x000080;
constexpr TColor clWhite = 0xFFFFFF;
constexpr TColor clWindow = 0x80000005;
constexpr TColor clWindowText = 0x80000008;

enum class TKeyDrawingType : uint8_t { dtKeyShow, dtEventDraw, dtBeginEnd, dtBeginLineEnd };

// The z-orders of the control's own items.
constexpr uint8_t kZHotSpotText = 252;
constexpr uint8_t kZHotSpotMarker = 253;
constexpr uint8_t kZSelection = 254;
constexpr uint8_t kZTab = 255;

// Positions are 64-bit, as everywhere in the editor; this one marks a void record.
constexpr int64_t kVoidPos = INT64_MAX;

struct TKeyDescr {
  int64_t StartPos = kVoidPos;
  int64_t EndPos = kVoidPos;  // inclusive
  TColor Color = 0;
  uint8_t ZOrder = 0;
  uint8_t IsKey = 0;
  bool operator==(const TKeyDescr&) const = default;
};

struct TKeyPair {
  std::string BeginKey;  // at most 6 bytes
  std::string EndKey;    // at most 6 bytes; empty for line-end markers
  TColor Color = 0;
  int64_t FoundAt = -1;
};

TColor ParseColor(const QString& text);

class TColorRule {
 public:
  static constexpr int kMaxPairs = 40;
  static constexpr int kMaxMarker = 6;
  static constexpr int kMaxKeyColors = 41;
  static constexpr int kMaxKeyword = 31;

  struct Keyword {
    std::string key;  // Windows-1252, at most kMaxKeyword bytes
    int slot = 1;     // 1..41
  };

  uint8_t ZOrder = 0;
  QString IntChar;  // kept for whoever sets it; nothing reads it
  int32_t KeyMaxHeight = 1;
  TKeyDrawingType KeyDrawingType = TKeyDrawingType::dtBeginEnd;
  bool Enabled = true;
  bool PartWord = false;
  TColor DefKeyColor = clRed;
  TColor KeySelColor = clYellow;    // kept, not read
  TColor KeyBrushColor = clWindow;  // kept, not read

  const QStringList& Keywords() const { return keywords_; }
  const QStringList& KeyBegEndLst() const { return keyBegEndLst_; }
  const QStringList& KeyLineEndLst() const { return keyLineEndLst_; }
  // The setters parse the list, then keep a copy of it.
  void SetKeywords(const QStringList& list);
  void SetKeyBegEndLst(const QStringList& list);
  void SetKeyLineEndLst(const QStringList& list);
  // As a form loads them: kept without parsing, parsed at the next Prepare.
  void LoadLists(const QStringList& keywords, const QStringList& begEnd,
                 const QStringList& lineEnd);

  bool KeyCase() const { return keyCase_; }
  // Only the flag: the keyword table keeps the case it was parsed with.
  void SetKeyCase(bool keyCase) { keyCase_ = keyCase; }

  void Assign(const TColorRule& source);
  bool Prepare();

  // The parsed forms.
  const std::vector<Keyword>& ParsedKeywords() const { return parsedKeywords_; }
  const std::vector<TColor>& KeyColors() const { return keyColors_; }
  // "*" then, per keyword, the keyword, "*+", the slot's code and "*".
  std::string KeyPattern() const;
  // The marker table (40 entries once created, empty before).
  std::vector<TKeyPair>& Markers() { return markers_; }
  const std::vector<TKeyPair>& Markers() const { return markers_; }
  int UsableMarkers() const;

 private:
  friend class ColourEngine;
  void clearMarkers();

  QStringList keywords_;
  QStringList keyBegEndLst_;
  QStringList keyLineEndLst_;
  bool keyCase_ = false;
  bool parsedOnce_ = false;  // KeyPattern is "*" once a keyword list was parsed
  std::vector<Keyword> parsedKeywords_;
  std::vector<TColor> keyColors_;
  std::vector<TKeyPair> markers_;
};

// The rules of one control, in production order.
class TDrawRules {
 public:
  TDrawRules() = default;
  TDrawRules(const TDrawRules& other) { Assign(other); }
  TDrawRules& operator=(const TDrawRules& other) {
    if (this != &other) Assign(other);
    return *this;
  }

  TColorRule& Add();
  int Count() const { return int(rules_.size()); }
  TColorRule& operator[](int i) { return *rules_[size_t(i)]; }
  const TColorRule& operator[](int i) const { return *rules_[size_t(i)]; }
  void Clear() { rules_.clear(); }
  // Copies of the given rules, each through TColorRule::Assign.
  void Assign(const TDrawRules& source);

  bool NeedsPrepare = true;
  void Prepare();

 private:
  std::vector<std::unique_ptr<TColorRule>> rules_;
};

// The source view's four rules: tags blue, three attribute names fuchsia, comments gray,
// declarations with an internal subset maroon.
TDrawRules SourceViewRules();

// Supplies the items of dtEventDraw rules: the text from the region's start (ending at the
// region's end), a buffer of ColorLimMax records to fill with positions relative to that text,
// and the count of records filled.
using TDrawEvent =
    std::function<void(const TColorRule& sender, std::string_view fromPos,
                       std::span<TKeyDescr> a, int& itemsCount)>;

// The settings of the control that one paint reads besides its rules.
struct PaintSettings {
  bool hotSpotActive = false;
  char hotSpotBegin = '\x1e';
  char hotSpotEnd = '\x1f';
  TColor hotSpotColor = clBlue;
  TColor hotSpotMarkerColor = clWindow;
  bool wantTabs = false;
  TColor background = clWindow;
  TColor fontColor = clWindowText;
  bool redrawAlways = false;
  int64_t caretLineStart = 0;
  int64_t caret = 0;
  int64_t selStart = 0;
  int64_t selLength = 0;
  TDrawEvent onDraw;
};

// The text that a paint scans: bytes[i] is the character at position base + i. It must hold the
// region and, when the region does not start the text, the character just before it (the
// keywords' word test reads it).
struct RegionText {
  std::string_view bytes;
  int64_t base = 0;
};

// One paint's producers and merge, with their buffers kept between paints.
class ColourEngine {
 public:
  // Every producer writes at index and returns the index after its last item. Items are kept
  // inside [from, to): nothing outside the region is ever coloured.
  int ScanRule(TColorRule& rule, const RegionText& text, int64_t from, int64_t to, int index,
               const TDrawEvent& onDraw = {});
  int ScanHotSpots(const PaintSettings& s, const RegionText& text, int64_t from, int64_t to,
                   int index);
  int ScanTabs(const PaintSettings& s, const RegionText& text, int64_t from, int64_t to,
               int index);
  int CaretLineItem(const PaintSettings& s, int64_t from, int64_t to, int index);
  int SelectionItem(const PaintSettings& s, int64_t from, int64_t to, int index);
  // The items become the runs, in position order; returns their count.
  int BuildRuns();

  // The whole paint over [from, to): producers in their order, then the merge.
  int Paint(TDrawRules& rules, const RegionText& text, int64_t from, int64_t to,
            const PaintSettings& s);

  void StartPaint();
  // The OnDraw buffer's size; 0 frees it, and dtEventDraw rules produce nothing.
  void SetColorLimMax(int n);
  int ColorLimMax() const { return colorLimMax_; }

  // The item list: items while producing, runs after the merge; void records after the end.
  const std::vector<TKeyDescr>& Items() const { return items_; }
  std::span<const TKeyDescr> Runs() const;
  int64_t RangeStart() const { return rangeStart_; }
  int64_t RangeEnd() const { return rangeEnd_; }

 private:
  struct Cell {
    TColor colour = 0;
    uint8_t z = 0;
    uint8_t key = 0;
    uint8_t set = 0;
  };

  void write(int index, const TKeyDescr& item);
  int writeClipped(int index, TKeyDescr item, int64_t from, int64_t to);
  int scanKeywords(TColorRule& rule, const RegionText& text, int64_t from, int64_t to,
                   int index);
  int scanPairs(TColorRule& rule, const RegionText& text, int64_t from, int64_t to, int index,
                bool lineEnd);
  int scanEvent(TColorRule& rule, const TDrawEvent& onDraw, const RegionText& text,
                int64_t from, int64_t to, int index);

  std::vector<TKeyDescr> items_ = std::vector<TKeyDescr>(100);
  // One cell a position: z-order in the high byte, and 1 + the index of the cell's look (colour
  // and keyword flag) in looks_, 0 for a cell that no item covers. Half the memory of a whole
  // cell, which counts when one region is a whole document.
  std::vector<uint32_t> cells_;
  std::vector<std::pair<TColor, uint8_t>> looks_;
  std::vector<Cell> wideCells_;  // when the looks outnumber what 24 bits index
  int buildRunsWide();
  void putRun(int& n, const TKeyDescr& run);
  std::string upper_;
  std::vector<TKeyDescr> drawBuffer_;
  int colorLimMax_ = 0;
  int64_t rangeStart_ = -1;
  int64_t rangeEnd_ = -1;
};
