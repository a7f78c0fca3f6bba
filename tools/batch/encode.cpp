#include "Batch.h"
#include "Conversion.h"
#include "ConvertDocument.h"

namespace {

std::string encode(const TextStore& text) { return conversion::Convertir(text, nullptr).text(); }
int run(const QStringList& args) { return batch::convertDocument("encode", args, encode); }

}  // namespace

TOVELO_BATCH_COMMAND("encode",
                     "encode [-o SORTIE] FICHIER\n"
                     "    Le document après « Convertir caractères spéciaux » : les lettres\n"
                     "    accentuées minuscules en références (&#233;), hors commentaires, sections\n"
                     "    CDATA et noms des balises.\n",
                     run, 3.5)
