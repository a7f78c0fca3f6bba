// Export to text and HTML, import of tab-delimited records.
#include <initializer_list>

#include <QApplication>
#include <QFileInfo>

#include "ColorMemo.h"
#include "StoreText.h"
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
  int filter = 0;
  Prompts::FileRequest request;
  request.title = QStringLiteral("Exporter");
  request.filter = QStringLiteral("Fichiers texte (*.txt)|*.txt|Fichier HTML (*.htm)|*.htm");
  request.defaultSuffix = QStringLiteral("txt");
  request.directory = Repertoire;
  request.selectedFilter = &filter;
  QString name = Prompts::get().saveFile(this, request);
  if (name.isEmpty()) return;
  if (filter == 0) {
    if (!endsWithAny(name, {QLatin1String(".txt")})) name += QStringLiteral(".txt");
    Exportetxt(name);
  } else {
    if (!endsWithAny(name, {QLatin1String(".htm"), QLatin1String(".html")})) name += QStringLiteral(".htm");
    ExporteHtm(name);
  }
}

bool TEditeur::Exportetxt(const QString& name) {
  // The markup stripper's snapshot: after an export, "Annuler" gives the text as exported.
  Memorise();
  return write(this, name, exchange::Exportetxt(*Memo1->LinesView()));
}

bool TEditeur::ExporteHtm(const QString& name) {
  Memorise();
  return write(this, name, exchange::ExporteHtm(*Memo1->LinesView(), storetext::encode(Fichier)));
}

void TEditeur::Importetxt() {
  Prompts::FileRequest request;
  request.title = QStringLiteral("Insérer texte");
  request.filter = QStringLiteral("Fichiers texte (*.txt)|*.txt|Tous les fichiers (*.*)|*.*");
  request.defaultSuffix = QStringLiteral("txt");
  request.directory = Repertoire;
  const QString name = Prompts::get().openFile(this, request);
  if (name.isEmpty()) return;
  TImport dialog(this);
  if (!dialog.Init(name)) return;
  dialog.exec();
  dialog.Result(Memo1);
}
