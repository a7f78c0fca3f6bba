#include "Batch.h"
#include "DtdGenerator.h"
#include "XmlDocument.h"

namespace {

int run(const QStringList& arguments) {
  QStringList args = arguments;
  QString output;
  QString error;
  if (!batch::takeOutput(args, output, error)) return batch::usageError("dtd", error);
  TextStore text;
  int status = batch::kDone;
  if (batch::loadXmlDocument("dtd", args, text, status) != batch::Loaded::Ready) return status;
  dtdgen::Gendtd(text);
  return batch::writeDocument(text.text(), output);
}

}  // namespace

TOVELO_BATCH_COMMAND("dtd",
                     "dtd [-o SORTIE] FICHIER\n"
                     "    « Générer DTD interne » : le document avec sa DTD interne générée, comme\n"
                     "    l'éditeur l'enregistrerait. Rien pour un nom sans « .xml ».\n",
                     run, 2.5)
