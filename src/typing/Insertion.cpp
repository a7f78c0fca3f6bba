#include "Insertion.h"

#include "Conversion.h"

namespace typing {

std::string insertionText(std::string bytes) {
  conversion::CodeAccents(bytes);
  if (!bytes.empty() && !(bytes.size() >= 2 && bytes.compare(bytes.size() - 2, 2, "\r\n") == 0))
    bytes += "\r\n";
  return bytes;
}

}  // namespace typing
