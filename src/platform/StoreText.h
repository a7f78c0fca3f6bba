#pragma once
// The text as the store and the scans hold it, and the characters the widgets show: the one place
// where every unit turns stored bytes into a QString and back, and compares stored names
// without regard to case. Today the stored form is Windows-1252, one byte a character; keeping
// the conversions here lets the stored form change without touching the units that use it.
#include <QString>

#include <cstdint>
#include <string>
#include <string_view>

namespace storetext {

QString decode(std::string_view stored);
// Characters that the stored form cannot hold become "&#" + code + ";", as the editor inserts
// them, so that nothing typed is lost.
std::string encode(const QString& text);

// Appends the stored text as UTF-8, for reports, without a QString on the way.
void appendUtf8(std::string& out, std::string_view stored);

// Names compared "without regard to case": "é" equals "É".
bool equalIgnoringCase(std::string_view a, std::string_view b);
// A hash that texts equal without regard to case share (64-bit FNV-1a over the upper-cased
// text): tables may take their buckets from any of its bits.
uint64_t hashIgnoringCase(std::string_view text);
// The text upper-cased as equalIgnoringCase sees it.
std::string upper(std::string_view text);

}  // namespace storetext
