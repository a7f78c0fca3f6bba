// Valid on any bytes, read where they lie through the buffer's line view, which takes CR LF,
// lone CR or LF, and LF CR as line breaks; the view must give the very lines of the editor's
// loading, which turns every break into CR LF first.
#include <cstddef>
#include <cstdint>
#include <string>

#include "LineViews.h"
#include "TextFile.h"
#include "Wellformed.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const BufferLines lines(BufferLines::borrow, bytes);

  std::string normalised(bytes);
  textfile::normaliseLineBreaks(normalised);
  const BufferLines loaded(std::move(normalised));
  if (lines.count() != loaded.count()) __builtin_trap();
  for (int64_t i = 0; i < lines.count(); ++i) {
    const std::string_view l = lines.line(i);
    if (l != loaded.line(i) || l.find_first_of("\r\n") != std::string_view::npos) __builtin_trap();
  }

  const analysis::Fault f = analysis::Valid(lines);
  // Codes outside the table would reach the message box as an empty text.
  if (f.code < 0 || f.code > 7) __builtin_trap();
  if (f.code != 0 && f.code != 6 && f.text.isEmpty()) __builtin_trap();
  if (analysis::faultMessage(f).isEmpty() && f.code != 0) __builtin_trap();
  return 0;
}
