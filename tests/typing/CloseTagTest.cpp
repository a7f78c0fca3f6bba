// "Fermer la balise" on texts: its own cases, and the fast scan against a plain reference that
// reads the whole text for every "<", on random documents.
#include <gtest/gtest.h>

#include <random>

#include "CloseTag.h"
#include "Insertion.h"
#include "tags.h"

namespace {

// Every "<" from the caret back, its key from the rest of the text (its own text, however long),
// and the whole rest of the text searched for the key and its end tag.
std::string referenceEndTag(const std::string& t, size_t caret) {
  for (size_t p = caret; p-- > 0;) {
    if (t[p] != '<') continue;
    const analysis::TagKey key = analysis::NomBalise(std::string_view(t).substr(p));
    if (!key.valid) continue;
    const std::string k = key.text();
    std::string e = k;
    e.insert(1, 1, '/');
    const std::string rest = t.substr(p + k.size() - 1);
    const size_t po = rest.find(k), pc = rest.find(e);
    const bool closed = pc != std::string::npos && (po == std::string::npos || pc < po);
    if (!closed) return e;
  }
  return {};
}

// The scans, which must agree: the straight one, the one that keeps chunk summaries, and the
// same prepared apart before the first question and moved into place, as a window does.
std::string endTag(const std::string& text, int64_t caret) {
  const TextStore store(TextStore::normalise(text));
  const std::string straight = typing::endTagToClose(store, caret);
  typing::TagCloser closer;
  EXPECT_EQ(closer.endTag(store, caret), straight);
  typing::TagCloser prepared;
  prepared.prepare(TextStore(store));
  typing::TagCloser taken;
  taken = std::move(prepared);
  EXPECT_EQ(taken.endTag(store, caret), straight);
  return straight;
}

std::string endTagAtEnd(const std::string& text) { return endTag(text, int64_t(text.size())); }

}  // namespace

TEST(FermerBalise, ClosesTheNearestTagThatNothingClosesLater) {
  struct Case {
    const char* text;
    const char* inserted;
  } cases[] = {
      {"<a>", "</a>"},
      {"<a></a>", ""},
      {"<r><a></a>", "</r>"},
      {"<a><b>", "</b>"},
      {"<a><b></b>", "</a>"},
      {"<a><b></b></a>", ""},
      // A tag is its own text: "<b/>" is empty, "<a>" is left open.
      {"<a><b/>", "</a>"},
      {"<method>\r\n<annotation name=\"org.qtproject.QtDBus.QtTypeName.Out0\" value=\"QVariantMap\"/>",
       "</method>"},
      {"<p>\r\n<path\r\n d=\"M 0 0\"\r\n/>", "</p>"},
      {"<a t=\"x>y\"", "</a>"},
      // The second <x> is closed by the </x>; the first has a second <x> before it.
      {"<x>\r\n<x>\r\n</x>", "</x>"},
      {"<p class=\"n\">", "</p>"},
      {"<?xml version=\"1.0\"?>\r\n<!-- c -->\r\n<!DOCTYPE a>", ""},
      // A name ends at a line break.
      {"<a\r\nb>", "</a>"},
      {"<" "nnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnn>",
       "</" "nnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnn>"},
      {"", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(endTagAtEnd(c.text), c.inserted);
    EXPECT_EQ(referenceEndTag(c.text, strlen(c.text)), c.inserted);
  }
}

TEST(FermerBalise, TheTextAfterTheCaretCounts) {
  // Closed later in the document: not closed again.
  EXPECT_EQ(endTag("<a><b></b>", 6), "</a>");
  EXPECT_EQ(endTag("<a><b></a>", 6), "</b>");
  // A tag is read past the caret too.
  EXPECT_EQ(endTag("<a/>", 2), "");
  EXPECT_EQ(endTag("<" + std::string(300, 'n') + "/>", 2), "");
}

TEST(FermerBalise, SameAsTheRuleOnRandomDocuments) {
  std::mt19937 random(11);
  const char* pieces[] = {"<a>", "</a>", "<b x=\"1\">", "</b>", "<a/>", "<a", ">", "\r\n", "text ",
                          "<!-- <a> -->", "<c>", "</c>", "<", "/>", "<b", "</", " ", "\"", "'",
                          "<c t=\"a>b\"", "<cccccccccccccccccccccccccccccccccccccccccccccc>"};
  constexpr int kPieces = sizeof(pieces) / sizeof(pieces[0]);
  for (int round = 0; round < 3000; ++round) {
    std::string doc;
    const int n = int(random() % 30);
    for (int i = 0; i < n; ++i) doc += pieces[random() % kPieces];
    const size_t caret = doc.empty() ? 0 : random() % (doc.size() + 1);
    // Never between the CR and the LF of a break: the view never puts the caret there.
    if (caret > 0 && caret < doc.size() && doc[caret - 1] == '\r' && doc[caret] == '\n') continue;
    SCOPED_TRACE(doc + " | caret " + std::to_string(caret));
    ASSERT_EQ(endTag(doc, int64_t(caret)), referenceEndTag(doc, caret));
  }
}

TEST(FermerBalise, SameAsTheRuleAcrossChunks) {
  // Documents larger than a chunk: windows, keys and end tags that straddle chunk borders.
  std::mt19937 random(5);
  const char* pieces[] = {"<fiche id=\"1\">", "</fiche>", "<nom>", "</nom>", "\r\n", "Dupont ",
                          "<liste>", "</liste>", "<a", "b>", "</a", "<vide/>", "<long a=\"\"", "\"/>",
                          "<vide b=\"vvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvv\"/>"};
  constexpr int kPieces = sizeof(pieces) / sizeof(pieces[0]);
  for (int round = 0; round < 6; ++round) {
    std::string doc;
    while (doc.size() < 200000) doc += pieces[random() % kPieces];
    for (int k = 0; k < 20; ++k) {
      const size_t caret = random() % (doc.size() + 1);
      if (caret > 0 && caret < doc.size() && doc[caret - 1] == '\r' && doc[caret] == '\n') continue;
      SCOPED_TRACE(caret);
      ASSERT_EQ(endTag(doc, int64_t(caret)), referenceEndTag(doc, caret));
    }
  }
}

TEST(FermerBalise, KeptSummariesFollowEditsBetweenQuestions) {
  // One closer asked again and again while the text is edited anywhere, as typing does: what
  // it kept of unchanged chunks must never answer for changed ones.
  std::mt19937 random(3);
  const char* pieces[] = {"<fiche>", "</fiche>", "<nom>", "</nom>", "\r\n", "x", "<a", ">",
                          "</a>", "<vide/>", "<", "/>"};
  constexpr int kPieces = sizeof(pieces) / sizeof(pieces[0]);
  std::string doc;
  while (doc.size() < 400000) doc += pieces[random() % kPieces];
  TextStore store(TextStore::normalise(doc));
  doc = store.text();
  typing::TagCloser closer;
  for (int step = 0; step < 60; ++step) {
    int64_t at = int64_t(random() % (doc.size() + 1));
    if (store.splitsBreak(at)) --at;
    const std::string inserted = pieces[random() % kPieces];
    const int64_t removed = std::min<int64_t>(int64_t(random() % 3), int64_t(doc.size()) - at);
    if (store.splitsBreak(at + removed)) continue;
    store.replace(at, removed, inserted);
    doc.replace(size_t(at), size_t(removed), inserted);
    const int64_t caret = at + int64_t(inserted.size());
    SCOPED_TRACE(step);
    ASSERT_EQ(closer.endTag(store, caret), referenceEndTag(doc, size_t(caret)));
    const int64_t elsewhere = int64_t(random() % (doc.size() + 1));
    if (!store.splitsBreak(elsewhere)) {
      ASSERT_EQ(closer.endTag(store, elsewhere), referenceEndTag(doc, size_t(elsewhere)));
    }
  }
}

TEST(FermerBalise, EnterInsideATagStillBeingTypedClosesNothing) {
  struct Case {
    const char* text;
    size_t caret;
    bool inside;
  } cases[] = {
      {"<item", 5, true},
      {"<r>\r\n<b\r\n</r>", 7, true},
      {"<a href=\"x>y", 12, true},   // the ">" of a value is not the tag's own
      {"<!-- note", 9, true},
      {"<item>", 6, false},
      {"<a href=\"x>y\">", 15, false},
      {"<item>text", 10, false},
      {"<item>", 3, true},
      {"text", 4, false},
      {"", 0, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const TextStore store(TextStore::normalise(c.text));
    EXPECT_EQ(typing::insideUnfinishedTag(store, int64_t(c.caret)), c.inside);
  }
}

TEST(InsertionText, ThirteenLettersAndEveryLineEnded) {
  const auto w = [](const char* utf8) { return QString::fromUtf8(utf8).toLatin1().toStdString(); };
  EXPECT_EQ(typing::insertionText(w("café")), w("caf&#233;\r\n"));
  EXPECT_EQ(typing::insertionText(w("ça\r\nété\r\n")), w("ça\r\n&#233;t&#233;\r\n"));
  EXPECT_EQ(typing::insertionText(""), "");
  EXPECT_EQ(typing::insertionText("\r\n"), "\r\n");
}
