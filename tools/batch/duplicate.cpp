#include "Batch.h"
#include "Tree.h"
#include "XmlDocument.h"

namespace {

int run(const QStringList& arguments) {
  QStringList args = arguments;
  QString output;
  QString error;
  if (!batch::takeOutput(args, output, error)) return batch::usageError("duplicate", error);
  if (args.isEmpty()) return batch::usageError("duplicate", QStringLiteral("un numéro de noeud est attendu"));
  const QString number = args.takeFirst();
  bool ok = false;
  const qlonglong node = number.toLongLong(&ok);
  if (!ok) return batch::usageError("duplicate", QStringLiteral("« %1 » n'est pas un numéro de noeud").arg(number));
  TextStore text;
  int status = batch::kDone;
  if (batch::loadXmlDocument("duplicate", args, text, status) != batch::Loaded::Ready) return status;
  const tree::Tree t = tree::buildTree(*text.lines());
  if (node < 1 || node > t.size())
    return batch::usageError("duplicate",
                             QStringLiteral("le noeud %1 n'existe pas (l'arborescence en a %2)").arg(node).arg(t.size()));
  // As the editor's command on the node selected in the tree: the first node and a node whose
  // start tag is not found change nothing.
  const auto selected = int32_t(node - 1);
  const int32_t n = tree::occurrence(t, selected);
  if (n > 0) {
    const std::string_view name = std::string_view(t.label(selected)).substr(0, t.label(selected).size() - 1);
    const std::unique_ptr<TextLines> lines = text.lines();
    const tree::Insertion copy = tree::duplicateElement(*lines, tree::nthLineHolding(*lines, name, n), name);
    if (copy.position >= 0) text.replace(copy.position, 0, copy.text);
  }
  return batch::writeDocument(text.text(), output);
}

}  // namespace

TOVELO_BATCH_COMMAND("duplicate",
                     "duplicate NOEUD [-o SORTIE] FICHIER\n"
                     "    « Dupliquer noeud » sur le noeud NOEUD de la sortie de « tree » (compté à\n"
                     "    partir de 1) : le document avec, après l'élément, une copie de ses balises\n"
                     "    sans leur texte. Rien pour un nom sans « .xml ».\n",
                     run, 2.5)
