#pragma once
// The options shared by "find" and "replace": the find dialog's check boxes and direction.
#include <QStringList>

#include "StoreText.h"
#include "Search.h"

namespace batch {

// Takes --up, --case and --word out of args; the dialog starts down, without the others.
inline SearchOptions takeSearchOptions(QStringList& args) {
  SearchOptions o;
  o.down = !args.removeAll(QStringLiteral("--up"));
  o.matchCase = args.removeAll(QStringLiteral("--case")) > 0;
  o.wholeWord = args.removeAll(QStringLiteral("--word")) > 0;
  return o;
}

// A text typed into the dialog: Windows-1252 bytes, characters it lacks as references.
inline std::string dialogText(const QString& text) {
  return storetext::encode(text);
}

inline bool holdsLineBreak(const QString& text) {
  return text.contains(u'\r') || text.contains(u'\n');
}

}  // namespace batch
