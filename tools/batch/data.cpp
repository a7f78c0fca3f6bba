#include <string>

#include "Batch.h"
#include "StoreText.h"
#include "DataRows.h"
#include "StandardOutput.h"
#include "XmlDocument.h"

namespace {

// A cell's text on one line, in UTF-8: backslashes and characters below code 32 spelled out.
void appendEscaped(std::string& out, std::string_view stored) {
  static constexpr char kHex[] = "0123456789abcdef";
  size_t plain = 0;
  for (size_t i = 0; i < stored.size(); ++i) {
    const auto c = static_cast<unsigned char>(stored[i]);
    if (c >= 32 && c != '\\') continue;
    storetext::appendUtf8(out, stored.substr(plain, i - plain));
    plain = i + 1;
    out += '\\';
    switch (c) {
      case '\\': out += '\\'; break;
      case '\t': out += 't'; break;
      case '\r': out += 'r'; break;
      case '\n': out += 'n'; break;
      default:
        out += 'x';
        out += kHex[c >> 4];
        out += kHex[c & 15];
    }
  }
  storetext::appendUtf8(out, stored.substr(plain));
}

// The rows written as they are made, a megabyte at a time: no string of the whole report.
int list(const TextStore& text) {
  const dataview::DataRows d = dataview::Remplit(text);
  std::string out;
  out.reserve((1 << 20) + 4096);
  for (size_t i = 0; i < d.rows.size(); ++i) {
    appendEscaped(out, d.label(i));
    out += '\t';
    appendEscaped(out, d.value(i));
    out += '\n';
    if (out.size() >= (1 << 20)) {
      writeOut(out);
      out.clear();
    }
  }
  writeOut(out);
  return batch::kDone;  // the program flushes and reports a lost output
}

int set(TextStore& text, qsizetype row, const QString& value, const QString& output) {
  const dataview::DataRows d = dataview::Remplit(text);
  if (row < 1 || size_t(row) > d.rows.size())
    return batch::usageError("data", QStringLiteral("la ligne %1 n'existe pas (le document en a %2)")
                                         .arg(row)
                                         .arg(d.rows.size()));
  const size_t r = size_t(row - 1);
  const std::string bytes = storetext::encode(value);
  // As an edited cell: a value equal to the one shown is not written.
  bool kept = true;
  if (bytes != d.value(r)) {
    const dataview::Write w = dataview::EcritBalise(text, d.rank(r), d.label(r), bytes);
    if (w.from >= 0) text.replace(w.from, w.length, w.text);
    kept = w.found;
  }
  const int status = batch::writeDocument(text.text(), output);
  if (!kept) {
    batch::err(QStringLiteral("tovelo-batch data : la valeur de la ligne %1 n'a pas de place où "
                              "s'écrire ; le document est inchangé\n")
                   .arg(row));
    return status == batch::kDone ? batch::kFault : status;
  }
  return status;
}

int run(const QStringList& arguments) {
  QStringList args = arguments;
  QString output;
  QString error;
  if (!batch::takeOutput(args, output, error)) return batch::usageError("data", error);
  bool setting = false;
  qsizetype row = 0;
  QString value;
  if (!args.isEmpty() && args.first() == u"--set") {
    if (args.size() < 3) return batch::usageError("data", QStringLiteral("--set attend une ligne et une valeur"));
    bool ok = false;
    row = args[1].toLongLong(&ok);
    if (!ok) return batch::usageError("data", QStringLiteral("« %1 » n'est pas un numéro de ligne").arg(args[1]));
    value = args[2];
    args.remove(0, 3);
    setting = true;
  }
  // The grid is filled whatever the document's faults, as in the editor.
  QStringList files = args;
  if (!files.isEmpty() && files.first() == u"--") files.removeFirst();
  if (files.size() != 1) return batch::usageError("data", QStringLiteral("un seul nom de fichier est attendu"));
  if (!files.first().toLower().contains(QLatin1String(".xml"))) return batch::kDone;
  TextStore text;
  if (!batch::loadDocument(files.first(), text, error)) {
    batch::err(QStringLiteral("tovelo-batch data : %1\n").arg(error));
    return batch::kError;
  }
  return setting ? set(text, row, value, output) : list(text);
}

}  // namespace

TOVELO_BATCH_COMMAND("data",
                     "data FICHIER\n"
                     "data --set LIGNE VALEUR [-o SORTIE] FICHIER\n"
                     "    « Vue données » : les lignes de la grille, « LIBELLÉ<tabulation>VALEUR », une\n"
                     "    barre oblique inverse et les caractères de code inférieur à 32 écrits \\\\, \\t,\n"
                     "    \\r, \\n ou \\xNN. Avec --set, écrit VALEUR dans la ligne LIGNE de la grille\n"
                     "    (comptée à partir de 1) comme une cellule modifiée et donne le document obtenu.\n"
                     "    Rien pour un nom sans « .xml ».\n",
                     run, 3)
