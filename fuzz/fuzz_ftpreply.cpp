// Reply assembly and the reply readings on any bytes a server may send. The first byte chooses the
// line-end rule and the size of the reads, so lines arrive cut anywhere, as on a real connection.
#include "FtpReply.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const bool acceptLF = data[0] & 1;
  const int chunk = 1 + (data[0] >> 1);
  ++data;
  --size;
  ftp::ReplyAssembler a;
  size_t pos = 0;
  QByteArray line;
  while (pos < size) {
    const int space = a.spaceLeft();
    if (space == 0) break;  // the engine closes the connection here
    const int n = int(std::min<size_t>({size - pos, size_t(chunk), size_t(space)}));
    std::memcpy(a.writePosition(), data + pos, size_t(n));
    a.commit(n);
    pos += size_t(n);
    while (a.takeLine(line, acceptLF)) {
      if (line.endsWith('\r') || line.endsWith('\n')) std::abort();
      if (!acceptLF && line.contains("\r\n")) std::abort();
      (void)ftp::replyCode(line);
      (void)ftp::secondInteger(line);
      if (ftp::quotedName(line).size() > line.size()) std::abort();
      const ftp::PassiveTarget t = ftp::parsePassiveReply(line);
      if (t.address.size() > line.size() + 4) std::abort();
    }
    if (a.held() > ftp::ReplyAssembler::kSize - 1) std::abort();
  }
  return 0;
}
