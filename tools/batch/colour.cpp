#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include <QFileInfo>

#include "Batch.h"
#include "ColorRules.h"
#include "StoreText.h"
#include "FileName.h"

namespace {

constexpr const char* kName = "colour";

bool position(const QString& arg, int64_t& value) {
  bool ok = false;
  value = arg.toLongLong(&ok);
  return ok && value >= 0;
}

void escaped(std::string& out, std::string_view text) {
  size_t plain = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c != '<' && c != '>' && c != '&') continue;
    out.append(text.data() + plain, i - plain);
    out += c == '<' ? "&lt;" : c == '>' ? "&gt;" : "&amp;";
    plain = i + 1;
  }
  out.append(text.data() + plain, text.size() - plain);
}

// Every colour that the rules can give, each with its class in the page's style sheet.
std::vector<TColor> coloursOf(TDrawRules& rules) {
  rules.Prepare();
  std::vector<TColor> colours;
  const auto add = [&](TColor c) {
    if (std::find(colours.begin(), colours.end(), c) == colours.end()) colours.push_back(c);
  };
  for (int i = 0; i < rules.Count(); ++i) {
    for (int m = 0; m < rules[i].UsableMarkers(); ++m) add(rules[i].Markers()[size_t(m)].Color);
    for (const TColor c : rules[i].KeyColors()) add(c);
  }
  return colours;
}

std::string cssColour(TColor c) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "#%02X%02X%02X", c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
  return buf;
}

// The page is written as the editor saves: Windows-1252 bytes, so the text passes unchanged.
int listing(const TextStore& store, const QString& path, const QString& outPath) {
  const std::string text = store.text();
  TDrawRules rules = SourceViewRules();
  ColourEngine engine;
  engine.Paint(rules, RegionText{text, 0}, 0, int64_t(text.size()), PaintSettings{});

  std::string out =
      "<!DOCTYPE html>\r\n<html lang=\"fr\">\r\n<head>\r\n<meta charset=\"windows-1252\">\r\n<title>";
  escaped(out, storetext::encode(filename::display(QFileInfo(path).fileName())));
  out += "</title>\r\n<style>\r\npre { font-family: \"Times New Roman\", serif; font-size: 17px; }\r\n";
  const std::vector<TColor> colours = coloursOf(rules);
  // A short element a colour (custom elements show inline): the markup of millions of runs is
  // most of the page.
  std::vector<std::string> opening, closing;
  for (size_t i = 0; i < colours.size(); ++i) {
    const std::string name = "c-" + std::to_string(i);
    out += name + " { color: " + cssColour(colours[i]) + "; }\r\n";
    opening.push_back("<" + name + ">");
    closing.push_back("</" + name + ">");
  }
  out += "</style>\r\n</head>\r\n<body>\r\n<pre>";
  std::FILE* file = stdout;
  // Written whole through the atomic save: room for the text, its escapes and the spans at once.
  if (!outPath.isEmpty()) out.reserve(text.size() * 2 + engine.Runs().size() * 24 + 4096);
  const auto flush = [&] {
    if (outPath.isEmpty() && out.size() > (1 << 20)) {
      std::fwrite(out.data(), 1, out.size(), file);
      out.clear();
    }
  };
  int64_t at = 0;
  for (const TKeyDescr& run : engine.Runs()) {
    escaped(out, std::string_view(text).substr(size_t(at), size_t(run.StartPos - at)));
    const size_t k = size_t(std::find(colours.begin(), colours.end(), run.Color) - colours.begin());
    out += k < colours.size() ? opening[k] : "<span style=\"color: " + cssColour(run.Color) + "\">";
    escaped(out, std::string_view(text).substr(size_t(run.StartPos),
                                               size_t(run.EndPos - run.StartPos + 1)));
    out += k < colours.size() ? closing[k] : std::string("</span>");
    at = run.EndPos + 1;
    flush();
  }
  escaped(out, std::string_view(text).substr(size_t(at)));
  out += "</pre>\r\n</body>\r\n</html>\r\n";
  if (!outPath.isEmpty()) return batch::writeDocument(out, outPath);
  return batch::writeDocument(out, QString());
}

int runs(const TextStore& store, const QStringList& numbers, const QString& outPath) {
  int64_t v[4] = {0, 0, 0, 0};
  for (int i = 0; i < numbers.size(); ++i)
    if (!position(numbers[i], v[i]))
      return batch::usageError(kName, QStringLiteral("« %1 » n'est pas une position").arg(numbers[i]));
  const int64_t from = v[0];
  const int64_t to = v[1];
  if (from > to || to > store.size())
    return batch::usageError(
        kName, QStringLiteral("la zone %1 à %2 sort du texte (%3 caractères)").arg(from).arg(to).arg(store.size()));
  const int64_t base = from > 0 ? from - 1 : 0;
  const std::string text = store.text(base, to - base);
  PaintSettings s;
  s.selStart = v[2];
  s.selLength = v[3];
  TDrawRules rules = SourceViewRules();
  ColourEngine engine;
  engine.Paint(rules, RegionText{text, base}, from, to, s);
  std::string out;
  for (const TKeyDescr& r : engine.Runs()) {
    char line[96];
    std::snprintf(line, sizeof line, "%lld %lld $%08X %d %d\n", static_cast<long long>(r.StartPos),
                  static_cast<long long>(r.EndPos), r.Color, int(r.ZOrder), int(r.IsKey));
    out += line;
  }
  return batch::writeDocument(out, outPath);
}

int run(const QStringList& arguments) {
  QStringList args = arguments;
  QString outPath;
  QString error;
  if (!batch::takeOutput(args, outPath, error)) return batch::usageError(kName, error);
  const bool runList = args.removeAll(QStringLiteral("--runs")) > 0;
  for (const QString& a : args)
    if (a.startsWith(u'-') && a.size() > 1 && !a.at(1).isDigit())
      return batch::usageError(kName, QStringLiteral("option inconnue : %1").arg(a));
  if (args.isEmpty()) return batch::usageError(kName, QStringLiteral("aucun fichier"));
  if (runList ? (args.size() != 3 && args.size() != 5) : args.size() != 1)
    return batch::usageError(kName, runList ? QStringLiteral("--runs attend FICHIER DE A [DEBUTSEL LONGSEL]")
                                            : QStringLiteral("un seul fichier attendu"));
  TextStore store;
  if (!batch::loadDocument(args[0], store, error)) return batch::usageError(kName, error);
  return runList ? runs(store, args.mid(1), outPath) : listing(store, args[0], outPath);
}

}  // namespace

TOVELO_BATCH_COMMAND(
    "colour",
    "colour [-o SORTIE] FICHIER\n"
    "    Le document en page HTML autonome, aux couleurs de la vue source (balises en bleu,\n"
    "    « version= », « encoding= » et « id= » en fuchsia, commentaires en gris, déclarations\n"
    "    en marron), tout le document formant une seule zone.\n"
    "colour --runs [-o SORTIE] FICHIER DE A [DEBUTSEL LONGSEL]\n"
    "    Les segments colorés de la zone [DE, A) (positions du texte, un saut de ligne compte\n"
    "    deux), un par ligne : « DEBUT FIN $COULEUR ORDREZ MOTCLE », FIN incluse, COULEUR en\n"
    "    huit chiffres hexadécimaux $00BBGGRR, MOTCLE 0 ou 1 ; DEBUTSEL et LONGSEL donnent\n"
    "    une sélection.\n",
    run, 10.5)
