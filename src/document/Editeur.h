#pragma once
// TEditeur: the window of one open document, with its source view, data page and tree view,
// its file, its one-step undo and redo, the clipboard commands and printing.
#include <functional>
#include <memory>

#include <QPointer>
#include <QString>
#include <QStringList>
#include <QWidget>

#include "CloseTag.h"
#include "TextStore.h"

class DocumentHost;
class TextLines;
namespace analysis {
struct Fault;
}
class QDialog;
class QSplitter;
class QStackedWidget;
class DataModel;
class TreeList;
class StringGrid;
class TColorMemo;
class TreeModel;
namespace tree {
struct Outcome;
class TreeBuild;
}  // namespace tree
class TFindDialog;
class TReplaceDialog;
class QTimer;
namespace markup {
class TagIndex;
}

class TEditeur : public QWidget {
  Q_OBJECT

 public:
  // The window starts with the four lines of a new document.
  TEditeur(DocumentHost* host, const QString& caption, QWidget* parent = nullptr);
  ~TEditeur() override;

  // False when the file could not be read; the error has been shown and nothing was loaded.
  bool OpenFile(const QString& path);
  // Runs a command of this window. When memory runs out the command is abandoned with a
  // message, and the program, with every document, goes on; false then.
  bool runCommand(const std::function<void()>& command);
  void Init(const QStringList& lines);
  void Enregistrer();
  void SaveAs();
  QString GetFichier() const { return Fichier; }
  // True for a wizard's document until its first save: its file name is only its caption.
  bool neverSaved() const { return neverSaved_; }
  void SetFichier(const QString& f) { Fichier = f; }
  QString GetRepertoire() const { return Repertoire; }

  void Actauto1(bool on) { ArbreAuto = on; }
  // Automatic closing on: what the closer reads of the whole text is prepared behind the window.
  void Actauto2(bool on);
  void Actauto3(bool on) { CodageAuto = on; }
  bool GetArbreAuto() const { return ArbreAuto; }
  bool GetFermetureAuto() const { return FermetureAuto; }
  bool GetCodageAuto() const { return CodageAuto; }

  void Memorise();
  void Annuler();
  void Retablir();
  bool RedoAvailable() const;

  void Couper();
  void Copier();
  void Coller();
  void ToutSelectionner();
  void Imprimer();
  qint64 Ligne() const;
  bool GetArbreActif() const { return ArbreActif; }

  // Analysis commands.
  void Valid(int& code, QString& text) const;
  void Validdtd(int& code, QString& text) const;
  void Valider(bool dtd);

  // Find and replace (EditeurFind.cpp): the dialogs are made on first use and kept, with their
  // texts and options, while the window lives.
  void Chercher();
  void Remplacer();
  void Continuer();
  void Find(TFindDialog* dialog);
  void Replace(TReplaceDialog* dialog);
  TFindDialog* FindDialog1();
  TReplaceDialog* ReplaceDialog1();
  // A window's dialogs search only the text on screen: they hide while another document window
  // is active (false) and come back with their window (true).
  void showFindDialogs(bool shown);

  // Typing aids and markup insertion.
  void FermerBalise();
  void Commentaire();
  void Cdata();
  void Ignorer();
  void Element();
  void Attribut();
  void Entite();
  void Balise1();
  void Speciaux();
  void Importer();
  void OptEdit();
  void Options();

  // Character conversion and case change.
  void Convertir();
  void Casse();
  static void CarXml(QString& s);
  // Export and import (EditeurExchange.cpp). The exports report a file that cannot be written.
  void Exporter();
  bool Exportetxt(const QString& name);
  bool ExporteHtm(const QString& name);
  void Importetxt();

  // Views (the data page is empty until the data view is built).
  void VueSource();
  void Vuedonnees();

  // The tree view.
  void Arborescence();
  void TreeView1DblClick();
  void Deployer();
  void Reduire();
  void Dupnoeud();
  TreeModel* treeModel() const { return treeModel_; }
  // Work started behind the window (the tree of an opened text or of an Enter, the closer's
  // preparation) has come back: tests and benchmarks wait for it.
  bool idleBehind() const;

  // "Générer DTD interne".
  void Gendtd();
  // "Indenter le document" (EditeurNavigation.cpp): one element a line, one undo step.
  void Indenter();
  // "Aller à la ligne...": the caret to a line, or a line and a column.
  void GoToLine();
  // "Aller à la balise correspondante": from the start or end tag at the caret to its partner.
  void GoToMatchingTag();
  // "Copier le chemin XPath": the elements that hold the caret, as an XPath, to the clipboard.
  void CopyXPath();
  // The element path of the caret as the status bar shows it ("liste › fiche[3] › nom").
  QString elementPath() const { return elementPath_; }

  // The data view.
  void Remplit();
  // Writes value at the place of rank rank of label; false when there is no such place.
  bool EcritBalise(int rank, const QString& label, const QString& value);
  void StringGrid1SetEditText(int row);
  void StringGrid1DblClick();
  bool GetGrilleModifiee() const { return GrilleModifiee; }
  DataModel* dataModel() const { return dataModel_; }

  // Window events.
  void FormActivate();

  int Tag = 0;  // 1 for a non-XML document
  TColorMemo* Memo1 = nullptr;
  TreeList* TreeView1 = nullptr;
  StringGrid* StringGrid1 = nullptr;
  QStackedWidget* PageControl1 = nullptr;
  QSplitter* Splitter1 = nullptr;
  QWidget* TabSheet1 = nullptr;
  QWidget* TabSheet2 = nullptr;

 protected:
  void closeEvent(QCloseEvent* event) override;   // FormCloseQuery
  void resizeEvent(QResizeEvent* event) override; // FormResize
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Memo1KeyPress(QKeyEvent* event, bool* handled);
  void Memo1MouseMove();
  // As the caret moves: marks the tag at the caret and its partner, when it stands in a start or
  // end tag, and shows the element path. Both wait while the tag index is read behind the
  // window, a slice per turn of the event loop.
  void followCaret();
  // The tag index of the text as it is now, carried over from the last one.
  markup::TagIndex& tagIndex();
  // The tree rebuilt; on a fault, a box for the command, a status line while typing.
  void refreshTree(bool whileTyping);
  // Where a fault of the check lies, lines and columns from 1: the faulty tag from (line,
  // column) to (endLine, endColumn), or one place; line 0 without a fault.
  struct FaultPlace {
    qint64 line = 0, column = 0, endLine = 0, endColumn = 0;
  };
  static FaultPlace placeOf(const TextLines& lines, const analysis::Fault& fault);
  // After a fault's box: the source view selects the faulty tag (or puts the caret at the
  // place) and scrolls to it, and status panel 0 tells its line and column.
  void showFault(const FaultPlace& place);
  static QString lineColumnText(const FaultPlace& place);
  // The same behind the window's thread, on a snapshot of the text: the window takes keys
  // meanwhile, and the tree (or the fault) comes when it is ready.
  void refreshTreeBehind(bool whileTyping);
  void showTree(tree::Outcome& outcome, bool whileTyping);
  void prepareCloser();
  void abandonForMemory();
  void wrapSelection(const QString& before, const QString& after);
  void insertDeclaration(const QString& declaration);
  bool isReadOnly(const QString& path);
  QString folderOf(const QString& path) const;
  bool writeFile(const QString& path);
  void replaceLines(const TextStore& lines);
  void fitColumns();
  void fitMargins();

  void status(const QString& text);
  void writeRow(int row);

  DocumentHost* host_;
  TreeModel* treeModel_ = nullptr;
  DataModel* dataModel_ = nullptr;
  bool GrilleModifiee = false;
  QString Fichier;
  // A wizard's document carries its caption as file name but exists on no disk yet: its first
  // save asks for a name, so that no file of that name in the current folder is replaced.
  bool neverSaved_ = false;
  QString Repertoire;
  // The undo and redo snapshots share the text's storage: taking or restoring one costs the
  // same on a large document as on a small one.
  TextStore LignesAnnuler;
  TextStore LignesRetablir;
  qint64 PositionMemorisee = 0;
  bool ArbreAuto = false;
  bool FermetureAuto = false;
  bool CodageAuto = false;
  bool ArbreActif = false;
  typing::TagCloser closer_;  // keeps what it learnt of the text between two Enter keys
  bool closerPrepared_ = false;  // for the text last opened or made
  tree::TreeBuild* treeBuild_ = nullptr;
  bool treeWhileTyping_ = false;  // the build under way was asked for by Enter
  TextStore treeText_;            // the text it was asked for
  std::pair<qint64, qint64> treeSelection_;  // and the selection then
  TFindDialog* findDialog_ = nullptr;
  TReplaceDialog* replaceDialog_ = nullptr;
  QList<QPointer<QDialog>> hiddenDialogs_;
  std::shared_ptr<markup::TagIndex> tagIndex_;
  QTimer* indexing_ = nullptr;  // reads the tag index behind the window
  QString elementPath_;
};
