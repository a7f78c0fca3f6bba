#include "Batch.h"
#include "Conversion.h"
#include "ConvertDocument.h"

namespace {

std::string decode(const TextStore& text) {
  // No reference spans a line break, so the whole text at once reads as line by line.
  std::string bytes = text.text();
  conversion::CarXml(bytes);
  return bytes;
}
int run(const QStringList& args) { return batch::convertDocument("decode", args, decode); }

}  // namespace

TOVELO_BATCH_COMMAND("decode",
                     "decode [-o SORTIE] FICHIER\n"
                     "    Le document dont les références des lettres accentuées, &nbsp; &lt; &gt;\n"
                     "    et &copy; redeviennent des caractères ; les autres restent telles quelles.\n",
                     run, 3.5)
