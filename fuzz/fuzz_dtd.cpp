// LitDtd and Validdtd on any bytes: before the first NUL byte the document, after it the
// external DTD, served for whatever name the DOCTYPE gives after SYSTEM.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "Dtd.h"
#include "LineViews.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const size_t nul = bytes.find('\0');
  const BufferLines document(BufferLines::borrow, bytes.substr(0, nul));
  const bool withFile = nul != std::string_view::npos;
  std::vector<std::string> file;
  if (withFile) {
    const BufferLines ext(BufferLines::borrow, bytes.substr(nul + 1));
    for (int64_t i = 0; i < ext.count(); ++i) file.emplace_back(ext.line(i));
  }
  bool served = false;
  const analysis::DtdLoader load = [&](std::string_view, std::vector<std::string>& l) {
    if (!withFile) return false;
    l = file;
    served = true;
    return true;
  };

  const std::vector<std::string> list = analysis::LitDtd(document, load);
  // A file that was read opens the list with its lines, unchanged.
  if (served && (list.size() < file.size() || !std::equal(file.begin(), file.end(), list.begin()))) __builtin_trap();

  const analysis::Fault f = analysis::Validdtd(document, load);
  if (f.code != 0 && f.code != 11 && f.code != 12) __builtin_trap();
  if (f.code != 0 && f.text.isEmpty()) __builtin_trap();
  analysis::checkReport(document, true, load);
  return 0;
}
