#include "Wellformed.h"

#include <QByteArray>

#include <algorithm>
#include <vector>

#include "FastPass.h"
#include "StoreText.h"
#include "ScanSupport.h"
#include "tags.h"

namespace analysis {

namespace {

QString decoded(std::string_view bytes) {
  return storetext::decode(bytes);
}

// The fault's place: where "standalone=" begins.
bool badDeclaration(const TextLines& lines, Fault& f) {
  // "<?xml" holds no line break, so its first occurrence in the joined text is the first one
  // found line by line.
  for (int64_t i = 0, n = lines.count(); i < n; ++i) {
    const std::string_view l = lines.line(i);
    const int64_t x = findText(l, 0, "<?xml");
    if (x == int64_t(l.size())) continue;
    const std::string s = detail::joinedWindow(lines, i, x, 1024);
    const size_t j = s.find("standalone=");
    if (j == std::string::npos) return false;
    const std::string_view v = ValeurGuillemets(std::string_view(s).substr(j));
    if (!v.empty() && std::string_view("yes no").find(v) != std::string_view::npos) return false;
    f.from = f.to = detail::placeInWindow(lines, i, x, int64_t(j));
    return true;
  }
  return false;
}

// The entity check of one line, outside comments and CDATA sections (inComment: the state at the
// line's start): every "&" must begin a reference; the fault's text is the line from the "&", at
// most 10 characters, its place the "&" on line number.
bool badEntity(std::string_view l, int64_t number, bool inComment, Fault& f) {
  const auto n = int64_t(l.size());
  if (findByte(l, 0, '&') >= n) return false;
  for (int64_t p = 0; p < n;) {
    if (inComment) {
      const int64_t q = findCommentEnd(l, p);
      if (q >= n) return false;
      inComment = false;
      p = q + 1;
      continue;
    }
    const int64_t open = findCommentStart(l, p);
    const int64_t bad = findBadReference(l, p, open);
    if (bad < open) {
      f.code = kEntityWithoutSemicolon;
      f.text = decoded(l.substr(size_t(bad), 10));
      f.from = f.to = {number, bad};
      return true;
    }
    inComment = true;
    p = open + 1;
  }
  return false;
}

// The open/close pass and, in the same walk over the lines, everything the overlap pass needs,
// and the entity check, whose first fault counts only when every other pass finds none.
//
// Overlap: the test of a start tag Q scans from the start of its line l. The tags of l before Q
// enter its list as outer entries; an end tag closes the newest entry of its key (without regard
// to case); Q answers true when an end tag after it finds no entry of its key, or when an entry
// opened at or after Q is left; it stops at an end tag of Q's exact key once no such inner entry
// is left. Every scan is a window on one shared stream of tags (plus, for a line that starts
// inside a comment, a few tags of its own before the comment's end: see shadow()), where an end
// tag also closes the newest open entry of its key, so for the scan of line l, whose first
// start tag has stamp S_l:
//  - the end tag of key f that closes the entry of stamp P is unmatched for l exactly when
//    P < S_l: it kills the questions asked on l so far (the line's later questions go on);
//  - Q (stamp S_Q) has an inner entry exactly when some entry with stamp >= S_Q is still open,
//    so Q stops when newestOpen() < S_Q.
// Both conditions only get harder for older questions, so the waiting questions of a key are
// kept newest first and each end tag answers a run of them and stops at the first that must wait.
// Every tag thus costs amortised constant time, and the pass is linear in the text, also for one line holding any number of tags. (A line that
// starts inside a comment or CDATA section checks the keys left open before its end at each
// question.)
class Verification {
 public:
  Verification(const TextLines& lines, detail::TagHook* hook) : lines_(lines), hook_(hook) {}

  Fault run();
  const Fault& entity() const { return entity_; }

 private:
  enum Answer : uint8_t { kWaiting, kFalse, kTrue };

  // A key without regard to case. Its open entries are counted; for the overlap pass they are
  // also stacked, newest on top, in a pool shared by all keys, so that a document of many
  // distinct names costs a few words a name.
  struct Fold {
    int64_t starts = 0;  // start tags of this key
    int64_t ends = 0;    // end tags that closed one of them
    int64_t top = -1;     // its newest open entry in nodes_, or -1
  };
  struct Node {
    int64_t value;  // a stamp: of an open entry, or of a waiting question
    int64_t next;   // the node below, or the next free one
  };
  // The overlap scan of one line; its questions are the stamps [q0, q1) of the line's start tags.
  struct Scan {
    int64_t q0, q1;
    int64_t open;   // first of its questions that may still wait
    int shadow;     // index into shadows_, or -1
    bool current;   // the scan of the line being walked
  };
  // A line that starts inside a comment: its scan sees tags before the comment's end that the
  // shared walk skips. The start tags left open there are outer entries of every question of
  // the line; they take the place of as many unmatched end tags of their key.
  struct Shadow {
    std::vector<std::pair<int, int>> left;  // (key without case, count), sorted
  };
  bool tag(LineTags& t, int64_t q);
  void newScan(int shadow) { scans_.push_back({stamp_, stamp_, stamp_, shadow, true}); }
  void shadow(LineTags& t, int64_t commentEnd);
  void markOpen(int64_t r, int key);
  void markClosed(int64_t r);
  int64_t newestOpen() const { return openStamps_.empty() ? -1 : openStamps_.back(); }
  void kill(int64_t closed, int fold);
  void stop(int key);
  void skipAnswered(Scan& s) const;
  void endLine();
  Fold& fold(int key);
  int64_t push(int64_t below, int64_t value) {
    int64_t n = free_;
    if (n >= 0) {
      free_ = nodes_[size_t(n)].next;
      nodes_[size_t(n)] = {value, below};
    } else {
      n = int64_t(nodes_.size());
      nodes_.push_back({value, below});
    }
    return n;
  }
  int64_t pop(int64_t n) {  // frees the node, returns the one below
    const int64_t below = nodes_[size_t(n)].next;
    nodes_[size_t(n)].next = free_;
    free_ = n;
    return below;
  }
  void firstOpen(Fault& f);
  int64_t questionsBefore(int64_t line, int64_t pos);
  void question(int64_t r, Fault& f);
  void firstOverlap(Fault& f);

  const TextLines& lines_;
  detail::TagHook* hook_;
  Fault entity_;
  detail::KeyTable keys_;
  std::vector<Fold> folds_;
  int64_t stamp_ = 0;
  int root_ = -1;
  int unopened_ = -1;
  TextPlace unopenedAt_;  // the "<" of the last end tag that found nothing open
  int64_t line_ = 0;      // the line being walked
  int lastKey_ = -1;  // the key of the last tag met, for KeyTable::exactAfter
  bool inComment_ = false;
  // False once an end tag has no open entry at all: the outcome is then fault 2 and the
  // overlap pass never runs.
  bool tracking_ = true;

  std::vector<Scan> scans_;  // live scans, oldest line first
  std::vector<Scan> kept_;
  std::vector<Shadow> shadows_;
  // Per question (stamp), two bits each: a document of 50 MB asks a few million questions.
  class Answers {
   public:
    void push() { if ((size_ & 31) == 0) words_.push_back(0); ++size_; }
    int64_t size() const { return size_; }
    Answer operator[](int64_t r) const { return Answer(words_[size_t(r >> 5)] >> (2 * (r & 31)) & 3); }
    void set(int64_t r, Answer a) {
      uint64_t& w = words_[size_t(r >> 5)];
      w = (w & ~(uint64_t(3) << (2 * (r & 31)))) | uint64_t(a) << (2 * (r & 31));
    }

   private:
    std::vector<uint64_t> words_;
    int64_t size_ = 0;
  };
  Answers answers_;
  std::vector<int64_t> waiting_;  // per exact key: its waiting questions in nodes_, newest on top
  std::vector<Node> nodes_;
  int64_t free_ = -1;
  std::vector<uint64_t> openBits_;            // per stamp: entry still open
  std::vector<int64_t> openStamps_;           // stamps, open ones newest last (lazily cleaned)
  std::vector<int> openKeys_;                 // the exact key of each of openStamps_
  std::vector<int> shadowCount_;
};

Verification::Fold& Verification::fold(int key) {
  const size_t f = size_t(keys_.folded(key));
  if (f >= folds_.size()) folds_.resize(f + 1);
  if (size_t(key) >= waiting_.size()) waiting_.resize(size_t(key) + 1, -1);
  return folds_[f];
}

Fault Verification::run() {
  Fault f;
  for (int64_t l = 0, n = lines_.count(); l < n; ++l) {
    LineTags t(lines_, l);
    line_ = l;
    if (entity_.code == kNoFault) badEntity(t.line(), l, inComment_, entity_);
    const bool startsInComment = inComment_;
    if (!startsInComment) newScan(-1);
    bool fault = false;
    walkLine(
        t.line(), inComment_,
        [&](int64_t q) {
          if (hook_ && !hook_->onTag(t, l, q)) hook_ = nullptr;
          if (tag(t, q)) return true;
          f.code = root_ == -2 ? kRootNotUnique : kBadAttribute;
          TagKey k = t.startKey(q);
          std::string_view body;
          if (!k.valid) k = t.tagTextKey(q, &body);  // an empty element's name
          f.text = k.toQString();
          detail::placeTag(f, lines_, l, q);
          fault = true;
          return false;
        },
        [&](int64_t q) {
          if (startsInComment && (scans_.empty() || !scans_.back().current)) shadow(t, q);
        });
    if (fault) return f;
    endLine();
  }

  // Outcome of the open/close pass.
  if (unopened_ < 0 && std::any_of(folds_.begin(), folds_.end(), [](const Fold& fo) { return fo.starts > fo.ends; })) {
    f.code = kUnclosedTag;
    firstOpen(f);
  }
  if (unopened_ >= 0) {
    f.code = kUnopenedTag;
    f.text = keys_.key(unopened_).toQString();
    detail::placeTag(f, lines_, unopenedAt_.line, unopenedAt_.offset);
  }
  if (f.code == kNoFault) firstOverlap(f);
  return f;
}

// Returns false on fault 3 (root_ set to -2) or 4.
bool Verification::tag(LineTags& t, int64_t q) {
  if (t.isEndTag(q)) {
    const TagKey k = t.endKey(q);
    if (!k.valid) return true;
    // Mostly the end tag closes the newest open element: its key is known without a search.
    const int id = !openKeys_.empty() && detail::sameKey(keys_.key(openKeys_.back()), k) ? openKeys_.back()
                                                                                         : keys_.exactAfter(lastKey_, k);
    lastKey_ = id;
    const int f = keys_.folded(id);
    Fold& fo = fold(id);
    if (fo.ends == fo.starts) {
      unopened_ = id;
      unopenedAt_ = {line_, q};
      tracking_ = false;
      return true;
    }
    ++fo.ends;
    if (!tracking_) return true;
    const int64_t closed = nodes_[size_t(fo.top)].value;
    fo.top = pop(fo.top);
    markClosed(closed);
    kill(closed, f);
    stop(id);
    return true;
  }
  const TagKey k = t.startKey(q);
  if (!k.valid) {
    // An empty element opens nothing, but its attributes are checked all the same.
    std::string_view body;
    return !t.tagTextKey(q, &body).valid || t.attributes(q) != kBadAttribute;
  }
  const int id = keys_.exactAfter(lastKey_, k);
  lastKey_ = id;
  if (root_ == id) {
    root_ = -2;
    return false;
  }
  if (root_ < 0) root_ = id;
  Fold& fo = fold(id);
  const int64_t r = stamp_++;
  ++fo.starts;
  if (t.attributes(q) == kBadAttribute) return false;
  if (tracking_) {
    fo.top = push(fo.top, r);
    markOpen(r, id);
    answers_.push();
    scans_.back().q1 = r + 1;  // a start tag is walked only where its line's scan exists
    waiting_[size_t(id)] = push(waiting_[size_t(id)], r);
  }
  return true;
}

void Verification::markOpen(int64_t r, int key) {
  const size_t word = size_t(r >> 6);
  if (word >= openBits_.size()) openBits_.resize(word + 1 + openBits_.size() / 2, 0);
  openBits_[word] |= uint64_t(1) << (r & 63);
  openStamps_.push_back(r);
  openKeys_.push_back(key);
}

void Verification::markClosed(int64_t r) {
  openBits_[size_t(r >> 6)] &= ~(uint64_t(1) << (r & 63));
  while (!openStamps_.empty()) {
    const int64_t s = openStamps_.back();
    if (openBits_[size_t(s >> 6)] >> (s & 63) & 1) break;
    openStamps_.pop_back();
    openKeys_.pop_back();
  }
}

// The scan of a line that starts inside a comment or CDATA section begins with its own comment
// state off, so until the first start or end of either on the line it sees tags that the shared
// walk skips. They all
// stand before the line's questions: their end tags close what they can and are otherwise
// passed over.
void Verification::shadow(LineTags& t, int64_t commentEnd) {
  const std::string_view l = t.line();
  const int64_t end = std::min(commentEnd, findCommentStart(l, 0));
  std::vector<int> touched;
  for (int64_t q = findByte(l, 0, '<'); q < end; q = findByte(l, q + 1, '<')) {
    const bool isEnd = t.isEndTag(q);
    const TagKey k = t.key(q);
    if (!k.valid) continue;
    const int e = keys_.exact(k);
    fold(e);
    const size_t f = size_t(keys_.folded(e));
    if (f >= shadowCount_.size()) shadowCount_.resize(f + 1, 0);
    if (!isEnd) {
      if (shadowCount_[f]++ == 0) touched.push_back(int(f));
    } else if (shadowCount_[f] > 0) {
      --shadowCount_[f];
    }
  }
  Shadow s;
  for (int f : touched)
    if (shadowCount_[size_t(f)] > 0) s.left.push_back({f, shadowCount_[size_t(f)]});
  for (int f : touched) shadowCount_[size_t(f)] = 0;
  int index = -1;
  if (!s.left.empty()) {
    std::sort(s.left.begin(), s.left.end());
    index = int(shadows_.size());
    shadows_.push_back(std::move(s));
  }
  newScan(index);
}

void Verification::skipAnswered(Scan& s) const {
  while (s.open < s.q1 && answers_[s.open] != kWaiting) ++s.open;
}

// An end tag of key fold that closed the entry of stamp closed: unmatched for every scan whose
// line begins after that entry, unless the scan holds an entry of its own of that key.
void Verification::kill(int64_t closed, int fold) {
  kept_.clear();
  while (!scans_.empty() && scans_.back().q0 > closed) {
    Scan s = scans_.back();
    scans_.pop_back();
    skipAnswered(s);
    if (s.open == s.q1 && !s.current) continue;
    if (s.shadow >= 0) {
      auto& left = shadows_[size_t(s.shadow)].left;
      auto it = std::lower_bound(left.begin(), left.end(), std::pair<int, int>(fold, 0));
      if (it != left.end() && it->first == fold && it->second > 0) {
        --it->second;
        kept_.push_back(s);
        continue;
      }
    }
    for (int64_t r = s.open; r < s.q1; ++r)
      if (answers_[r] == kWaiting) answers_.set(r, kTrue);
    s.open = s.q1;
    if (s.current) kept_.push_back(s);  // the line's later questions begin after this end tag
  }
  for (auto it = kept_.rbegin(); it != kept_.rend(); ++it) scans_.push_back(*it);
}

// An end tag of exact key key: the waiting questions of that key that now have no inner entry
// stop, answered false.
void Verification::stop(int key) {
  int64_t& waiting = waiting_[size_t(key)];
  while (waiting >= 0) {
    const int64_t r = nodes_[size_t(waiting)].value;
    if (answers_[r] == kWaiting) {
      if (newestOpen() >= r) break;  // and so for every older question
      answers_.set(r, kFalse);
    }
    waiting = pop(waiting);
  }
}

void Verification::endLine() {
  if (!scans_.empty()) scans_.back().current = false;
  // Scans whose questions are all answered matter no more.
  while (!scans_.empty()) {
    Scan& s = scans_.back();
    skipAnswered(s);
    if (s.open < s.q1) break;
    scans_.pop_back();
  }
}

// The first entry of the open list, where an end tag removes the first (oldest) equal entry: of
// each key with entries left, its latest ones are left. Found again by the same walk.
void Verification::firstOpen(Fault& fault) {
  std::vector<int64_t> seen(folds_.size(), 0);
  bool inComment = false;
  QString key;
  for (int64_t l = 0, n = lines_.count(); l < n && key.isNull(); ++l) {
    LineTags t(lines_, l);
    walkLine(t.line(), inComment, [&](int64_t q) {
      if (t.isEndTag(q)) return true;
      const TagKey k = t.startKey(q);
      if (!k.valid) return true;
      const size_t f = size_t(keys_.folded(keys_.exact(k)));  // known already: no new id
      if (seen[f]++ < folds_[f].ends) return true;
      key = k.toQString();
      detail::placeTag(fault, lines_, l, q);
      return false;
    });
  }
  fault.text = key;
}

// Number of questions asked before the position (line, pos): the start tags with a key, which
// the walk meets with its comment state off as long as no comment or CDATA section has opened.
int64_t Verification::questionsBefore(int64_t line, int64_t pos) {
  int64_t n = 0;
  for (int64_t l = 0; l <= line && l < lines_.count(); ++l) {
    LineTags t(lines_, l);
    const int64_t end = l == line ? pos : int64_t(t.line().size());
    for (int64_t q = findByte(t.line(), 0, '<'); q < end; q = findByte(t.line(), q + 1, '<'))
      if (!t.isEndTag(q) && t.startKey(q).valid) ++n;
  }
  return n;
}

// The key and place of the question of stamp r, found again by the same walk.
void Verification::question(int64_t r, Fault& f) {
  int64_t n = 0;
  bool inComment = false;
  QString key;
  for (int64_t l = 0; l < lines_.count() && key.isNull(); ++l) {
    LineTags t(lines_, l);
    walkLine(t.line(), inComment, [&](int64_t q) {
      if (t.isEndTag(q)) return true;
      const TagKey k = t.startKey(q);
      if (!k.valid || n++ < r) return true;
      key = k.toQString();
      detail::placeTag(f, lines_, l, q);
      return false;
    });
  }
  f.text = key;
}

void Verification::firstOverlap(Fault& f) {
  // The text is balanced here, so every entry of the shared stream is closed and no question
  // has an inner entry left.
  for (Scan& s : scans_)
    for (int64_t r = s.open; r < s.q1; ++r)
      if (answers_[r] == kWaiting) answers_.set(r, kFalse);

  // The overlap pass starts with the comment state that the open/close pass ended with; when
  // that is on, it sees no tag before the first end or start of a comment or CDATA section.
  int64_t from = 0;
  if (inComment_) {
    for (int64_t l = 0, n = lines_.count(); l < n; ++l) {
      const std::string_view t = lines_.line(l);
      const int64_t first = std::min(findCommentEnd(t, 0), findCommentStart(t, 0));
      if (first < int64_t(t.size())) {
        from = questionsBefore(l, first);
        break;
      }
    }
  }
  for (int64_t r = from; r < answers_.size(); ++r) {
    if (answers_[r] == kTrue) {
      f.code = kOverlappingTag;
      question(r, f);
      return;
    }
  }
}

}  // namespace

namespace detail {

Fault validWith(const TextLines& lines, TagHook* hook) {
  Fault f;
  if (badDeclaration(lines, f)) {
    f.code = kBadStandalone;
    return f;
  }
  Verification v(lines, hook);
  f = v.run();
  if (f.code == kNoFault) f = v.entity();
  return f;
}

}  // namespace detail

Fault Valid(const TextLines& lines) {
  // A text in one buffer is first read in one pass over its bytes, which proves most texts
  // clean; the walk over the lines finds the faults and their places.
  const auto* buffer = dynamic_cast<const BufferLines*>(&lines);
  if (buffer && detail::provedWellFormed(buffer->bytes(), nullptr)) return {};
  return detail::validWith(lines, nullptr);
}

bool Chevauche(const TextLines& lines, std::string_view key, int64_t line, int64_t position) {
  line = std::max<int64_t>(line, 0);
  detail::KeyTable keys;
  // Per key without case: entries from before the tag on its line, and from the tag on.
  std::vector<int64_t> outer, inner;
  int64_t innerCount = 0;
  bool inComment = false;
  for (int64_t l = line; l < lines.count(); ++l) {
    LineTags t(lines, l);
    int answer = -1;
    walkLine(t.line(), inComment, [&](int64_t q) {
      const bool before = l == line && q < position;
      const bool isEnd = t.isEndTag(q);
      const TagKey k = t.key(q);
      if (!k.valid) return true;
      const size_t f = size_t(keys.folded(keys.exact(k)));
      if (f >= outer.size()) {
        outer.resize(f + 1, 0);
        inner.resize(f + 1, 0);
      }
      if (!isEnd) {
        if (before) {
          ++outer[f];
        } else {
          ++inner[f];
          ++innerCount;
        }
        return true;
      }
      // The newest equal entry of the list: an inner one while there is one.
      if (inner[f] > 0) {
        --inner[f];
        --innerCount;
      } else if (outer[f] > 0) {
        --outer[f];
      } else {
        if (before) return true;
        answer = 1;  // unmatched: nothing later can change the answer
        return false;
      }
      if (!before && innerCount == 0 && k.is(key)) {
        answer = 0;
        return false;
      }
      return true;
    });
    if (answer >= 0) return answer == 1;
  }
  return innerCount > 0;
}

QString faultMessage(const Fault& f) {
  switch (f.code) {
    case kUnclosedTag: return QStringLiteral("Balise ") + f.text + QStringLiteral(" non fermée");
    case kUnopenedTag: return QStringLiteral("Balise ") + f.text + QStringLiteral(" non ouverte");
    case kRootNotUnique: return QStringLiteral("Racine ") + f.text + QStringLiteral(" non unique");
    case kBadAttribute: return QStringLiteral("Attribut dans la balise ") + f.text + QStringLiteral(" incorrect");
    case kEntityWithoutSemicolon: return f.text + QStringLiteral(" Manque ; en fin d'entité");
    case kBadStandalone: return QStringLiteral("Déclaration xml ou attribut standalone incorrect");
    case kOverlappingTag: return QStringLiteral("Balise ") + f.text + QStringLiteral(" chevauchée");
    case kUndeclaredTag: return QStringLiteral("Balise ") + f.text + QStringLiteral(" non déclarée");
    case kMissingAttribute: return QStringLiteral("Attribut dans balise ") + f.text + QStringLiteral(" manquant");
    default: return {};
  }
}

}  // namespace analysis
