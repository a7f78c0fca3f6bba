// The encodings layer on any bytes: read in each encoding and written back, in pieces cut
// anywhere, they come back unchanged; detection reads any head; and the store-form helpers,
// given any bytes as store text, step without ever entering a sequence and count as a slow
// walk does. The first byte picks the encoding, the next two the cuts.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "Encoding.h"

namespace {

void fail(const char* what) {
  std::fprintf(stderr, "encoding: %s\n", what);
  std::abort();
}

void check(bool ok, const char* what) {
  if (!ok) fail(what);
}

std::string decodeCut(std::string_view bytes, const encoding::Codec& codec, size_t a, size_t b,
                      int64_t* escapes) {
  encoding::Decoder d(codec);
  std::string out;
  d.decode(bytes.substr(0, a), out);
  d.decode(bytes.substr(a, b - a), out);
  d.decode(bytes.substr(b), out);
  d.finish(out);
  *escapes = d.undecodable();
  return out;
}

std::string encodeCut(std::string_view store, const encoding::Codec& codec, bool bom, size_t a, size_t b) {
  encoding::Encoder e(codec, bom);
  std::string out;
  check(e.encode(store.substr(0, a), out) && e.encode(store.substr(a, b - a), out) &&
            e.encode(store.substr(b), out) && e.finish(out),
        "an encoder refused a decoded text");
  return out;
}

void checkRoundTrip(std::string_view bytes, const encoding::Codec& codec, uint8_t c1, uint8_t c2) {
  const size_t a = bytes.empty() ? 0 : c1 % (bytes.size() + 1);
  const size_t b = std::max(a, bytes.empty() ? 0 : c2 % (bytes.size() + 1));
  int64_t cutEscapes = 0, wholeEscapes = 0;
  const std::string store = decodeCut(bytes, codec, a, b, &cutEscapes);
  check(store == encoding::decode(bytes, codec, &wholeEscapes), "decoding depends on where the bytes are cut");
  check(cutEscapes == wholeEscapes, "the count of escapes depends on where the bytes are cut");
  // A decoded text holds no stray byte: every character is a sequence or an escape.
  for (size_t at = 0; at < store.size();) {
    int n = 0;
    const char32_t c = encoding::codePointAt(store, at, &n);
    check(c != 0xFFFD || store.compare(at, 3, "\xEF\xBF\xBD") == 0, "a stray byte in decoded text");
    at += size_t(n);
  }
  const size_t sa = store.empty() ? 0 : c2 % (store.size() + 1);
  const size_t sb = std::max(sa, store.empty() ? 0 : c1 % (store.size() + 1));
  check(encodeCut(store, codec, false, sa, sb) == bytes, "decode then encode changed the bytes");
}

void checkHelpers(std::string_view s) {
  std::vector<size_t> starts;
  size_t wide = 0;
  for (size_t at = 0; at < s.size();) {
    starts.push_back(at);
    const int n = encoding::charLength(s, at);
    check(n >= 1 && at + size_t(n) <= s.size(), "a character runs past the text");
    int m = 0;
    const char32_t c = encoding::codePointAt(s, at, &m);
    check(m == n, "codePointAt and charLength disagree");
    if (c >= 0x10000 && encoding::escapedByte(s, at) < 0) ++wide;
    at += size_t(n);
  }
  check(encoding::charCount(s) == starts.size(), "charCount differs from the walk");
  check(size_t(encoding::toQString(s).size()) == starts.size() + wide, "toQString is not one QChar a character");
  starts.push_back(s.size());
  for (size_t i = 1; i < starts.size(); ++i) {
    check(encoding::previousCharStart(s, starts[i]) == starts[i - 1], "stepping back entered a sequence");
    check(encoding::advanceChars(s, 0, i) == starts[i], "advanceChars differs from the walk");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 3) return 0;
  static const char* const names[] = {"UTF-8",      "UTF-16LE",    "UTF-16BE",  "ISO-8859-1",
                                      "ISO-8859-15", "windows-1252", "x-unknown", "Shift_JIS",
                                      "KOI8-R",     "US-ASCII",    "GB18030",   "ISO-2022-JP"};
  const encoding::Codec codec = encoding::Codec::forName(names[data[0] % std::size(names)]);
  const std::string_view bytes(reinterpret_cast<const char*>(data) + 3, size - 3);

  checkRoundTrip(bytes, codec, data[1], data[2]);

  const encoding::Detection d = encoding::detect(bytes);
  check(d.bomLength <= int(bytes.size()), "a mark longer than the file");
  const std::string_view body = bytes.substr(size_t(d.bomLength));
  const std::string store = encoding::decode(body, d.codec);
  const encoding::Encoded back = encoding::encode(store, d.codec, d.bomLength > 0);
  check(back.ok && back.bytes == bytes, "a detected file is not written back as it was read");

  checkHelpers(bytes);
  checkHelpers(store);

  // The widgets' text comes back as it went, where the encoding holds every character.
  const QString shown = encoding::toQString(store);
  const std::string typed = encoding::fromQString(shown, d.codec);
  if (d.codec.universal()) check(encoding::toQString(typed) == shown, "fromQString lost characters");
  // Any bytes given as store text: the encoder never crashes, and a refusal names a line.
  encoding::Encoded any = encoding::encode(bytes, codec, false);
  check(any.ok || any.line >= 1, "a refusal without its line");
  return 0;
}
