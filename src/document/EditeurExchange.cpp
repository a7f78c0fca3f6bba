// Export to text and HTML, import of tab-delimited records.
#include <initializer_list>

#include <QApplication>
#include <QFileInfo>

#include "ColorMemo.h"
#include "Cp1252.h"
#include "Editeur.h"
#include "Exchange.h"
#include "Import.h"
#include "Prompts.h"
#include "TextFile.h"

namespace {

// The suffix is read at the end of the file's own name: a folder "notes.txt.d" says nothing of
// the file inside it. A page already named ".html" keeps its name.
bool endsWithAny(const QString& path, std::initializer_list<QLatin1String> suffixes) {
  const QString name = QFileInfo(path).fileName();
  for (const QLatin1String suffix : suffixes)
    if (name.endsWith(suffix)) return true;
  return false;
}

bool write(QWidget* parent, const QString& name, const std::string& bytes) {
  const QString error = textfile::saveBytes(name, bytes);
  if (error.isEmpty()) return true;
  Prompts::get().error(parent, error);
  return false;
}

}  // namespace

void TEditeur::Exporter() {
  if (!Fichier.toLower().contains(QStringLiteral(".xml"))) return;
  int filtre = 0;
  Prompts::FileRequest demande;
  demande.title = QStringLiteral("Exporter");
  demande.filter = QStringLiteral("Fichiers texte (*.txt)|*.txt|Fichier HTML (*.htm)|*.htm");
  demande.defaultSuffix = QStringLiteral("txt");
  demande.directory = Repertoire;
  demande.selectedFilter = &filtre;
  QString nom = Prompts::get().saveFile(this, demande);
  if (nom.isEmpty()) return;
  if (filtre == 0) {
    if (!endsWithAny(nom, {QLatin1String(".txt")})) nom += QStringLiteral(".txt");
    Exportetxt(nom);
  } else {
    if (!endsWithAny(nom, {QLatin1String(".htm"), QLatin1String(".html")})) nom += QStringLiteral(".htm");
    ExporteHtm(nom);
  }
}

bool TEditeur::Exportetxt(const QString& name) {
  // The markup stripper's snapshot: after an export, "Annuler" gives the text as exported.
  Memorise();
  return write(this, name, exchange::Exportetxt(*Memo1->LinesView()));
}

bool TEditeur::ExporteHtm(const QString& name) {
  Memorise();
  const QByteArray titre = cp1252::encode(Fichier);
  return write(this, name,
               exchange::ExporteHtm(*Memo1->LinesView(),
                                    std::string_view(titre.constData(), size_t(titre.size()))));
}

void TEditeur::Importetxt() {
  Prompts::FileRequest demande;
  demande.title = QStringLiteral("Insérer texte");
  demande.filter = QStringLiteral("Fichiers texte (*.txt)|*.txt|Tous les fichiers (*.*)|*.*");
  demande.defaultSuffix = QStringLiteral("txt");
  demande.directory = Repertoire;
  const QString nom = Prompts::get().openFile(this, demande);
  if (nom.isEmpty()) return;
  TImport dialogue(this);
  if (!dialogue.Init(nom)) return;
  dialogue.exec();
  dialogue.Result(Memo1);
}
