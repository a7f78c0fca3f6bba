#include <cstdio>
#include <string>
#include <vector>

#include "Batch.h"
#include "StoreText.h"
#include "Tree.h"
#include "XmlDocument.h"

namespace {

int run(const QStringList& args) {
  TextStore text;
  int status = batch::kDone;
  if (batch::loadXmlDocument("tree", args, text, status) != batch::Loaded::Ready) return status;
  const tree::Tree t = tree::buildTree(*text.lines());
  // Labels are few and repeated: each is turned into UTF-8 once.
  std::vector<std::string> utf8;
  std::vector<int32_t> depth(size_t(t.size()));
  std::string out;
  for (int32_t i = 0; i < t.size(); ++i) {
    const int32_t id = t.labelId(i);
    if (size_t(id) >= utf8.size()) utf8.resize(size_t(id) + 1);
    if (utf8[size_t(id)].empty())
      utf8[size_t(id)] = storetext::decode(t.label(i)).toUtf8().toStdString();
    depth[size_t(i)] = t.parent(i) < 0 ? 0 : depth[size_t(t.parent(i))] + 1;
    out.append(size_t(depth[size_t(i)]) * 2, ' ');
    out += utf8[size_t(id)];
    out += '\n';
    if (out.size() > (1 << 20)) {
      std::fwrite(out.data(), 1, out.size(), stdout);
      out.clear();
    }
  }
  std::fwrite(out.data(), 1, out.size(), stdout);
  return batch::kDone;  // the dispatcher reports a lost output
}

}  // namespace

TOVELO_BATCH_COMMAND("tree",
                     "tree FICHIER\n"
                     "    « Construire l'arborescence » : un noeud par ligne, deux blancs par niveau,\n"
                     "    puis son libellé (« <fiche> »). Rien pour un nom sans « .xml ».\n",
                     run, 2)
