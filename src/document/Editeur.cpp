#include "Editeur.h"

#include <algorithm>
#include <utility>

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QFileInfo>
#include <QHeaderView>
#include <QPrinter>
#include <QResizeEvent>
#include <QSplitter>
#include <QStackedWidget>
#include <QVBoxLayout>

#include "CaractsDialog.h"
#include "CloseTag.h"
#include "ColorMemo.h"
#include "DataModel.h"
#include "EditCell.h"
#include "StringGrid.h"
#include "Conversion.h"
#include "StoreText.h"
#include "DocumentHost.h"
#include "FileName.h"
#include "Dtd.h"
#include "DtdGenerator.h"
#include "FBalise.h"
#include "FCasse.h"
#include "Insertion.h"
#include "Prompts.h"
#include "StartDialog.h"
#include "TextFile.h"
#include "TextPrinter.h"
#include "TreeBuild.h"
#include "TreeList.h"
#include "TreeModel.h"
#include "Wellformed.h"

namespace {

const QStringList kNewDocumentLines = {QStringLiteral("<?xml version=\"1.0\"?>"),
                                      QStringLiteral("<body>"), QString(),
                                      QStringLiteral("</body>")};

const QString kSaveFilter = QStringLiteral(
    "Fichiers xml (*.xml)|*.xml|Fichiers dtd (*.dtd)|*.dtd|Fichiers css (*.css)|*.css|"
    "Fichiers xsl (*.xsl)|*.xsl");

constexpr int kTreeHeight = 109;
constexpr int kLabelColumnWidth = 200;
// Column 1 leaves room for column 0, the grid lines and the frame.
constexpr int kValueColumnReserve = 206;
// A redo snapshot shorter than this is never restored.
constexpr qint64 kMinRedoLines = 3;

QString fileNameOf(const QString& path) { return path.mid(path.lastIndexOf(u'/') + 1); }

// Lines as the document's line rules count them: an empty last line after a final break is not
// a line of its own, and the empty text has none.
qint64 countedLines(const TextStore& text) {
  if (text.size() == 0) return 0;
  const qint64 n = text.lineCount();
  return n > 1 && text.lineLength(n - 1) == 0 ? n - 1 : n;
}

// The busy cursor of a long command, given back however the command ends.
class BusyCursor {
 public:
  BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
  ~BusyCursor() { release(); }
  void release() {
    if (active_) QApplication::restoreOverrideCursor();
    active_ = false;
  }
  BusyCursor(const BusyCursor&) = delete;
  BusyCursor& operator=(const BusyCursor&) = delete;

 private:
  bool active_ = true;
};

}  // namespace

TEditeur::TEditeur(DocumentHost* host, const QString& caption, QWidget* parent)
    : QWidget(parent), host_(host) {
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowTitle(caption);
  QFont windowFont = font();
  windowFont.setPixelSize(16);
  setFont(windowFont);

  Splitter1 = new QSplitter(Qt::Vertical, this);
  Splitter1->setHandleWidth(3);
  Splitter1->setChildrenCollapsible(false);

  PageControl1 = new QStackedWidget(Splitter1);
  TabSheet1 = new QWidget(PageControl1);
  TabSheet2 = new QWidget(PageControl1);
  PageControl1->addWidget(TabSheet1);
  PageControl1->addWidget(TabSheet2);

  Memo1 = new TColorMemo(TabSheet1);
  QFont memoFont(QStringLiteral("Times New Roman"));
  memoFont.setPixelSize(17);
  Memo1->SetMemoFont(memoFont);
  Memo1->SetWordWrap(true);
  Memo1->setAccessibleName(QStringLiteral("Texte du document"));
  Memo1->SetColorRules(SourceViewRules());
  auto* sourceLayout = new QVBoxLayout(TabSheet1);
  sourceLayout->setContentsMargins(0, 0, 0, 0);
  sourceLayout->addWidget(Memo1);

  dataModel_ = new DataModel(this);
  StringGrid1 = new StringGrid(TabSheet2);
  StringGrid1->setModel(dataModel_);
  StringGrid1->horizontalHeader()->hide();
  StringGrid1->verticalHeader()->hide();
  StringGrid1->verticalHeader()->setMinimumSectionSize(1);
  StringGrid1->verticalHeader()->setDefaultSectionSize(24);
  StringGrid1->horizontalHeader()->setDefaultSectionSize(kLabelColumnWidth);
  StringGrid1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  StringGrid1->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  // A double click opens "Modifier donnée" rather than the cell's own editor.
  StringGrid1->setEditTriggers(QAbstractItemView::AnyKeyPressed | QAbstractItemView::EditKeyPressed |
                               QAbstractItemView::SelectedClicked);
  StringGrid1->installEventFilter(this);
  connect(StringGrid1, &StringGrid::editorOpened, this, [this](QWidget* e) { e->installEventFilter(this); });
  connect(StringGrid1, &QAbstractItemView::doubleClicked, this, [this] { StringGrid1DblClick(); });
  connect(dataModel_, &DataModel::cellEdited, this, [this](int row) { StringGrid1SetEditText(row); });
  StringGrid1->setAccessibleName(QStringLiteral("Données du document"));
  auto* dataLayout = new QVBoxLayout(TabSheet2);
  dataLayout->setContentsMargins(0, 0, 0, 0);
  dataLayout->addWidget(StringGrid1);

  treeModel_ = new TreeModel(this);
  TreeView1 = new TreeList(Splitter1);
  TreeView1->setIndentation(19);
  TreeView1->setTreeModel(treeModel_);
  TreeView1->installEventFilter(this);
  connect(TreeView1, &QAbstractItemView::doubleClicked, this, [this] { TreeView1DblClick(); });
  connect(TreeView1, &TreeList::nodeChosen, this, [this] { TreeView1DblClick(); });
  TreeView1->setAccessibleName(QStringLiteral("Arborescence du document"));
  treeBuild_ = new tree::TreeBuild([](const TextLines& lines) { return analysis::Valid(lines); },
                                   [this](tree::Outcome& outcome) { showTree(outcome, treeWhileTyping_); },
                                   this);

  Splitter1->addWidget(PageControl1);
  Splitter1->addWidget(TreeView1);
  // The tree keeps its height when the window grows; the pages take the rest.
  Splitter1->setStretchFactor(0, 1);
  Splitter1->setStretchFactor(1, 0);

  auto* windowLayout = new QVBoxLayout(this);
  windowLayout->setContentsMargins(0, 0, 0, 0);
  windowLayout->addWidget(Splitter1);

  resize(629, 429);
  Splitter1->setSizes({429 - kTreeHeight - Splitter1->handleWidth(), kTreeHeight});
  PageControl1->setCurrentWidget(TabSheet1);

  Memo1->SetLines(kNewDocumentLines);
  Memo1->SetModified(false);
  fitMargins();
  fitColumns();

  // Avoids a doubled separator when the current directory is the root.
  Repertoire = QDir::currentPath();
  if (!Repertoire.endsWith(u'/')) Repertoire += u'/';

  connect(Memo1, &TColorMemo::KeyPress, this,
          [this](QKeyEvent* event, bool* handled) { Memo1KeyPress(event, handled); });
  connect(Memo1, &TColorMemo::MouseMove, this, [this](QMouseEvent*) { Memo1MouseMove(); });
  connect(Memo1, &TColorMemo::SelectionChange, this, [this] { followCaret(); });
  // The source view's context menu runs the window's commands, which take the undo snapshot.
  connect(Memo1, &TColorMemo::UndoRequested, this, [this] { Annuler(); });
  connect(Memo1, &TColorMemo::CutRequested, this, [this] { Couper(); });
  connect(Memo1, &TColorMemo::PasteRequested, this, [this] { Coller(); });
}

TEditeur::~TEditeur() = default;

bool TEditeur::runCommand(const std::function<void()>& command) {
  try {
    command();
    return true;
  } catch (const std::bad_alloc&) {
    // The commands build their result apart and put it in the view at the end: the text is
    // the one from before the command.
    abandonForMemory();
    return false;
  }
}

void TEditeur::abandonForMemory() {
  while (QApplication::overrideCursor()) QApplication::restoreOverrideCursor();
  status(QString());
  Prompts::get().error(this, QStringLiteral("Mémoire insuffisante : la commande a été abandonnée."));
}

bool TEditeur::OpenFile(const QString& path) {
  // Read a block at a time into the store: a large file is never held twice while it loads.
  TextStore::Builder text;
  const QString error =
      textfile::readBlocks(path, [&text](std::string_view block) { text.append(block); });
  if (!error.isEmpty()) {
    Prompts::get().error(this, error);
    return false;
  }
  try {
    Memo1->SetStore(text.finish());
  } catch (const std::bad_alloc&) {
    Prompts::get().error(this, textfile::tooLargeMessage());
    return false;
  }
  Fichier = path;
  Memo1->SetSelStart(0);
  Memo1->SetModified(false);
  Memorise();
  Repertoire = folderOf(path);
  closerPrepared_ = false;
  // The text is shown and takes keys at once; the tree follows. One too large for the memory
  // leaves the text open without a tree.
  refreshTreeBehind(false);
  PageControl1->setCurrentWidget(TabSheet1);
  Memo1->FocusText();
  return true;
}

void TEditeur::Init(const QStringList& lines) {
  Memo1->SetLines(lines);
  // The generated text exists nowhere else until it is saved: closing must ask.
  Memo1->SetModified(true);
  Memorise();
  Fichier = windowTitle();
  neverSaved_ = true;
  closerPrepared_ = false;
  refreshTreeBehind(false);
}

void TEditeur::Enregistrer() {
  if (Fichier.isEmpty() || neverSaved_ || isReadOnly(Fichier))
    SaveAs();
  else
    writeFile(Fichier);
  Repertoire = folderOf(Fichier);
}

void TEditeur::SaveAs() {
  // The name and caption change only when the text is written under the new name.
  const QString oldFile = Fichier;
  const QString oldCaption = windowTitle();
  for (;;) {
    Prompts::FileRequest request;
    request.title = QStringLiteral("Enregistrer sous");
    request.filter = kSaveFilter;
    request.defaultSuffix = QStringLiteral("xml");
    request.fileName = fileNameOf(Fichier);
    request.directory = folderOf(Fichier);
    QString path = Prompts::get().saveFile(this, request);
    if (path.isEmpty()) break;
    if (!path.contains(u'.')) path += QStringLiteral(".xml");
    Fichier = path;
    setWindowTitle(filename::display(fileNameOf(Fichier)));
    if (isReadOnly(Fichier)) continue;
    if (writeFile(Fichier)) {
      Repertoire = folderOf(Fichier);
      neverSaved_ = false;
      return;
    }
    break;
  }
  Fichier = oldFile;
  setWindowTitle(oldCaption);
}

bool TEditeur::writeFile(const QString& path) {
  const QString error = textfile::saveBytes(path, Memo1->Bytes());
  if (!error.isEmpty()) {
    Prompts::get().error(this, error);
    return false;
  }
  Memo1->SetModified(false);
  return true;
}

bool TEditeur::isReadOnly(const QString& path) {
  if (path.isEmpty()) return false;
  const QFileInfo info(path);
  if (!info.exists() || info.isDir()) return false;
  // The owner's write bit stands for the read-only attribute; it holds even for root, whom
  // the permission check alone would let through.
  if (info.permission(QFileDevice::WriteOwner) && info.isWritable()) return false;
  Prompts::get().warning(this, QStringLiteral("Fichier en lecture seule"));
  return true;
}

QString TEditeur::folderOf(const QString& path) const {
  return path.left(path.lastIndexOf(u'/') + 1);
}

void TEditeur::Memorise() {
  LignesAnnuler = Memo1->Store();
  PositionMemorisee = Memo1->SelStart() + Memo1->SelLength();
}

bool TEditeur::RedoAvailable() const { return countedLines(LignesRetablir) >= kMinRedoLines; }

void TEditeur::replaceLines(const TextStore& lines) {
  const bool changed = !(Memo1->Store() == lines);
  const bool wasModified = Memo1->Modified();
  Memo1->SetStore(lines);
  // Restoring a snapshot is an edit: the text no longer matches the file.
  Memo1->SetModified(wasModified || changed);
  Memo1->SetSelStart(std::min<qint64>(PositionMemorisee, lines.size()));
  Memo1->ScrollCaret();
}

void TEditeur::Annuler() {
  LignesRetablir = Memo1->Store();
  if (host_) host_->setRedoEnabled(true);
  replaceLines(LignesAnnuler);
}

void TEditeur::Retablir() {
  if (!RedoAvailable()) return;
  replaceLines(LignesRetablir);
  if (host_) host_->setRedoEnabled(false);
}

void TEditeur::Memo1KeyPress(QKeyEvent* event, bool* handled) {
  const QString key = event->text();
  const bool enter = key == QLatin1String("\r");
  if (enter && FermetureAuto) {
    // The end tag goes in first; the break is then typed after it. Inside a tag still being
    // typed there is nothing to close yet.
    runCommand([this] {
      if (!typing::insideUnfinishedTag(Memo1->Store(), Memo1->SelStart())) FermerBalise();
    });
    return;
  }
  if (enter && ArbreAuto) {
    refreshTreeBehind(true);
    return;
  }
  if (!CodageAuto) return;
  if (key.size() == 1 && key[0].unicode() < 256) {
    if (const char* reference = conversion::referenceOf(static_cast<unsigned char>(key[0].unicode()))) {
      Memo1->SetSelText(QLatin1String(reference));
      *handled = true;
    }
  }
  if (!(LignesRetablir == TextStore())) {
    LignesRetablir = TextStore();
    if (host_) host_->setRedoEnabled(false);
  }
}

void TEditeur::FermerBalise() {
  if (!Fichier.isEmpty() && !Fichier.toLower().contains(QLatin1String(".xml"))) return;
  if (host_) host_->showStatus(QStringLiteral("Cherche balise"));
  const std::string endTag = closer_.endTag(Memo1->Store(), Memo1->SelStart());
  if (!endTag.empty()) Memo1->SetSelText(storetext::decode(endTag));
  if (host_) host_->showStatus(QString());
}

void TEditeur::wrapSelection(const QString& before, const QString& after) {
  Memo1->SetSelText(before + Memo1->SelText() + after);
}

void TEditeur::Commentaire() { wrapSelection(QStringLiteral("<!--"), QStringLiteral("-->")); }
void TEditeur::Cdata() { wrapSelection(QStringLiteral("<![CDATA["), QStringLiteral("]]>")); }
void TEditeur::Ignorer() { wrapSelection(QStringLiteral("<![IGNORE["), QStringLiteral("]]>")); }

void TEditeur::insertDeclaration(const QString& declaration) {
  Memo1->SetSelText(declaration);
  // Between the blank and the ">", where the declaration's content is typed.
  Memo1->SetSelStart(Memo1->SelStart() - 1);
}

void TEditeur::Element() { insertDeclaration(QStringLiteral("<!ELEMENT >")); }
void TEditeur::Attribut() { insertDeclaration(QStringLiteral("<!ATTLIST >")); }
void TEditeur::Entite() { insertDeclaration(QStringLiteral("<!ENTITY >")); }

void TEditeur::Balise1() {
  TFBalise dialog(this);
  dialog.Init(*Memo1->LinesView());
  Prompts::get().showModal(dialog);
  const QString tag = dialog.Result();
  if (!tag.isEmpty()) Memo1->SetSelText(tag);
}

void TEditeur::Speciaux() {
  TCaractsDialog dialog(this);
  Prompts::get().showModal(dialog);
  const QString reference = dialog.Result();
  if (!reference.isEmpty()) Memo1->SetSelText(reference);
}

void TEditeur::Importer() {
  Prompts::FileRequest request;
  request.title = QStringLiteral("Insérer texte");
  request.defaultSuffix = QStringLiteral("txt");
  request.filter = QStringLiteral("Fichiers texte (*.txt)|*.txt|Tous les fichiers (*.*)|*.*");
  const QString path = Prompts::get().openFile(this, request);
  if (path.isEmpty()) return;
  textfile::LoadedBytes file = textfile::loadBytes(path);
  if (!file.ok) {
    Prompts::get().error(this, file.error);
    return;
  }
  // Taken only now: a cancelled dialog or an unreadable file keeps the earlier snapshot.
  Memorise();
  const std::string text = typing::insertionText(std::move(file.bytes));
  Memo1->SetSelText(storetext::decode(text));
}

void TEditeur::OptEdit() {
  QFont textFont = Memo1->MemoFont();
  if (Prompts::get().font(this, textFont)) Memo1->SetMemoFont(textFont);
}

void TEditeur::Options() {
  TStartDialog dialog(this);
  dialog.SetBase(Repertoire);
  dialog.Init(*Memo1->LinesView());
  if (Prompts::get().showModal(dialog) != QDialog::Accepted) return;
  const QStringList before = Memo1->Lines();
  const QStringList after = dialog.Result(before);
  if (after == before) return;
  Memorise();
  const qint64 caret = Memo1->SelStart();
  Memo1->SetLines(after);
  Memo1->SetSelStart(caret);
}

void TEditeur::Convertir() {
  if (Prompts::get().confirm(this, QStringLiteral("Convertir les caractères spéciaux ?")) !=
      Prompts::Answer::Yes)
    return;
  int64_t replaced = 0;
  TextStore converted;
  {
    BusyCursor cursor;
    converted = conversion::Convertir(Memo1->Store(), &replaced);
  }
  if (replaced > 0) {
    Memorise();
    const qint64 caret = Memo1->SelStart();
    Memo1->SetStore(converted);
    Memo1->SetSelStart(caret);
  }
  Prompts::get().information(this, QStringLiteral("Remplacement terminé"));
}

void TEditeur::Casse() {
  const QString text = Memo1->SelText();
  TFCasse dialog(this);
  dialog.Init(text);
  Prompts::get().showModal(dialog);
  const QString result = dialog.Result();
  if (text.isEmpty() || result == text) return;
  Memorise();
  Memo1->SetSelText(result);
}

void TEditeur::CarXml(QString& s) { conversion::CarXml(s); }

void TEditeur::Couper() {
  Memorise();
  Memo1->CutToClipboard();
}

void TEditeur::Copier() {
  Memo1->CopyToClipboard();
  if (host_) host_->enablePaste();
}

void TEditeur::Coller() {
  Memorise();
  Memo1->PasteFromClipboard();
}

void TEditeur::ToutSelectionner() { Memo1->SelectAll(); }

void TEditeur::Imprimer() {
  QPrinter& printer = Prompts::printer();
  if (!Prompts::get().print(this, printer)) return;
  printer.setPrintRange(QPrinter::AllPages);
  // A size in screen pixels would print minute on a fine printer: keep the size the user sees.
  QFont textFont = Memo1->MemoFont();
  if (textFont.pixelSize() > 0) textFont.setPointSizeF(textFont.pixelSize() * 72.0 / Memo1->logicalDpiY());
  if (!printTextLines(printer, textFont, Memo1->Lines()) ||
      printer.printerState() == QPrinter::Error)
    Prompts::get().error(this, QStringLiteral("Impossible d'imprimer le document « %1 » : "
                                              "l'imprimante n'a pas pu être ouverte.")
                                   .arg(windowTitle()));
}

qint64 TEditeur::Ligne() const {
  // The caret's line, except that a caret after a final break stays on the last counted line.
  const qint64 counted = countedLines(Memo1->Store());
  if (counted == 0) return 1;
  return std::min(Memo1->LineOfPosition(Memo1->SelStart()) + 1, counted);
}

void TEditeur::Memo1MouseMove() {
  if (host_) host_->showStatus(QStringLiteral("Ligne : ") + QString::number(Ligne()));
}

void TEditeur::Valid(int& code, QString& text) const {
  const analysis::Fault fault = analysis::Valid(*Memo1->LinesView());
  code = fault.code;
  text = fault.text;
}

void TEditeur::Validdtd(int& code, QString& text) const {
  const analysis::Fault fault =
      analysis::Validdtd(*Memo1->LinesView(), analysis::fileDtdLoader(folderOf(Fichier)));
  code = fault.code;
  text = fault.text;
}

void TEditeur::Valider(bool dtd) {
  if (host_) host_->showStatus(QStringLiteral("Valide document"));
  QString message;
  FaultPlace place;
  {
    BusyCursor cursor;
    const std::unique_ptr<TextLines> lines = Memo1->LinesView();
    analysis::Fault fault;
    message = analysis::checkReport(*lines, dtd, analysis::fileDtdLoader(folderOf(Fichier)), &fault);
    place = placeOf(*lines, fault);
  }
  if (!message.isEmpty()) Prompts::get().information(this, message);
  if (host_) host_->showStatus(QString());
  showFault(place);
}

void TEditeur::VueSource() {
  // The cell being edited is the grid's current text: committed first, written back below.
  StringGrid1->commitEdit();
  PageControl1->setCurrentWidget(TabSheet1);
  if (GrilleModifiee) {
    writeRow(StringGrid1->currentIndex().row());
    GrilleModifiee = false;
  }
  Memo1->FocusText();
}

void TEditeur::Vuedonnees() {
  fitColumns();
  PageControl1->setCurrentWidget(TabSheet2);
  Remplit();
  StringGrid1->setFocus();
  GrilleModifiee = false;
}

void TEditeur::Remplit() {
  if (!Fichier.toLower().contains(QLatin1String(".xml"))) return;
  status(QStringLiteral("Extrait les données"));
  dataModel_->setRows(dataview::Remplit(Memo1->Store()));
  status(QString());
}

bool TEditeur::EcritBalise(int rank, const QString& label, const QString& value) {
  const dataview::Write w = dataview::EcritBalise(Memo1->Store(), rank, storetext::encode(label),
                                                  storetext::encode(value));
  if (w.from >= 0) {
    Memo1->SetSelStart(w.from);
    Memo1->SetSelLength(w.length);
    Memo1->SetSelText(storetext::decode(w.text));
  }
  return w.found;
}

void TEditeur::writeRow(int row) {
  if (!dataModel_->filled(row)) return;
  const QString value = dataModel_->value(row);
  // A value nobody changed is never written: the text keeps its line breaks and indentation.
  if (value == dataModel_->textValue(row)) return;
  if (EcritBalise(dataModel_->rows().rank(size_t(row)), dataModel_->label(row), value))
    dataModel_->setValue(row, value, true);
  else
    dataModel_->revert(row);
}

void TEditeur::StringGrid1SetEditText(int row) {
  if (!GrilleModifiee) return;
  writeRow(row);
  GrilleModifiee = false;
}

void TEditeur::StringGrid1DblClick() {
  const int row = StringGrid1->currentIndex().row();
  if (row < 0) return;
  TEditCell dialog(this);
  dialog.Init(dataModel_->value(row));
  dialog.exec();
  const QString text = dialog.Result();
  if (text.isEmpty()) return;
  dataModel_->setValue(row, text, false);
  writeRow(row);
}

void TEditeur::FormActivate() {
  if (!host_) return;
  host_->setRedoEnabled(RedoAvailable());
  host_->sourceViewCommand();
}

void TEditeur::closeEvent(QCloseEvent* event) {
  if (Memo1->Modified()) {
    const Prompts::Answer answer = Prompts::get().confirmOrCancel(
        this, QStringLiteral("Enregistrer changements dans '%1'?").arg(filename::display(fileNameOf(Fichier))));
    if (answer == Prompts::Answer::Cancel) {
      event->ignore();
      return;
    }
    // A cancelled or failed save keeps the window, and the text, open.
    if (answer == Prompts::Answer::Yes) {
      Enregistrer();
      if (Memo1->Modified()) {
        event->ignore();
        return;
      }
    }
  }
  event->accept();
}

void TEditeur::fitMargins() { Memo1->SetInsets(3, 2, 3, 2); }

void TEditeur::fitColumns() {
  StringGrid1->setColumnWidth(0, kLabelColumnWidth);
  StringGrid1->setColumnWidth(1, std::max(0, StringGrid1->width() - kValueColumnReserve));
}

void TEditeur::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  fitMargins();
  fitColumns();
}

bool TEditeur::eventFilter(QObject* watched, QEvent* event) {
  if (watched == TreeView1) {
    if (event->type() == QEvent::FocusIn) ArbreActif = true;
    // A menu opening, or another window of the desktop, does not take the focus from the tree
    // within this window: "Dupliquer noeud" chosen from the menu still finds its node.
    if (event->type() == QEvent::FocusOut) {
      const Qt::FocusReason why = static_cast<QFocusEvent*>(event)->reason();
      if (why != Qt::PopupFocusReason && why != Qt::ActiveWindowFocusReason) ArbreActif = false;
    }
  } else if (watched == StringGrid1 && event->type() == QEvent::Resize) {
    // The grid on the hidden page is laid out only when shown, after the window's resize.
    fitColumns();
  }
  if (event->type() == QEvent::KeyPress && watched->isWidgetType() &&
      (watched == StringGrid1 || StringGrid1->isAncestorOf(static_cast<QWidget*>(watched))))
    GrilleModifiee = true;
  return QWidget::eventFilter(watched, event);
}

void TEditeur::status(const QString& text) {
  if (host_) host_->showStatus(text);
}

void TEditeur::Arborescence() { refreshTree(false); }

void TEditeur::refreshTree(bool whileTyping) {
  if (!Fichier.toLower().contains(QLatin1String(".xml"))) return;
  // What a build behind the window would bring is older than what this one shows.
  treeBuild_->cancel();
  treeText_ = Memo1->Store();
  treeSelection_ = {Memo1->SelStart(), Memo1->SelLength()};
  tree::Outcome outcome;
  {
    BusyCursor cursor;
    outcome.lines = [snapshot = treeText_] { return snapshot.lines(); };
    const std::unique_ptr<TextLines> lines = outcome.lines();
    outcome.fault = analysis::Valid(*lines);
    if (outcome.fault.code == 0) outcome.tree = tree::buildTree(*lines);
  }
  showTree(outcome, whileTyping);
}

void TEditeur::refreshTreeBehind(bool whileTyping) {
  if (!Fichier.toLower().contains(QLatin1String(".xml"))) return;
  treeWhileTyping_ = whileTyping;
  treeText_ = Memo1->Store();
  treeSelection_ = {Memo1->SelStart(), Memo1->SelLength()};
  treeBuild_->start([snapshot = treeText_] { return snapshot.lines(); });
  if (FermetureAuto) prepareCloser();
}

void TEditeur::showTree(tree::Outcome& outcome, bool whileTyping) {
  const TextStore builtOn = std::exchange(treeText_, TextStore());
  if (outcome.outOfMemory) {
    abandonForMemory();
    return;
  }
  if (outcome.fault.code > 0) {
    const FaultPlace place = placeOf(*outcome.lines(), outcome.fault);
    // A document being typed is seldom whole: a box at every Enter would also swallow the
    // Enter that closes it. The tree keeps what it showed. Nor does the caret leave the place
    // being typed at: the next key would land in, or replace, the faulty tag.
    if (whileTyping) {
      status(QStringLiteral("Le document contient des erreurs (") + lineColumnText(place) + u')');
    } else {
      Prompts::get().information(this, QStringLiteral("Le document contient des erreurs"));
      // Typed into since the check, the place may hold other text now; moved in, the caret
      // is where the user wants it. The place is then only told.
      if (Memo1->Store() == builtOn &&
          treeSelection_ == std::pair<qint64, qint64>(Memo1->SelStart(), Memo1->SelLength()))
        showFault(place);
      else
        status(lineColumnText(place));
    }
    return;
  }
  status(QStringLiteral("Construit l'arborescence"));
  runCommand([&] {
    treeModel_->setTree(std::move(outcome.tree));
    if (treeModel_->tree().size() > 0) TreeView1->setCurrentNode(0);
  });
  status(QString());
}

void TEditeur::Actauto2(bool on) {
  FermetureAuto = on;
  if (on) prepareCloser();
}

void TEditeur::prepareCloser() {
  // Only where FermerBalise answers, once for each text opened or made; later edits cost the
  // closer only the chunks they touch.
  if (closerPrepared_ || (!Fichier.isEmpty() && !Fichier.toLower().contains(QLatin1String(".xml")))) return;
  closerPrepared_ = true;
  treeBuild_->runBehind([this, snapshot = Memo1->Store()]() -> std::function<void()> {
    auto prepared = std::make_shared<typing::TagCloser>();
    prepared->prepare(snapshot);
    return [this, prepared] { closer_ = std::move(*prepared); };
  });
}

bool TEditeur::idleBehind() const { return treeBuild_->idle(); }

void TEditeur::TreeView1DblClick() {
  const int32_t node = TreeView1->currentNode();
  const int32_t n = tree::occurrence(treeModel_->tree(), node);
  if (n == 0) return;
  status(QStringLiteral("Cherche balise"));
  const std::string& label = treeModel_->tree().label(node);
  const std::string_view sought = std::string_view(label).substr(0, label.size() - 1);
  const tree::Place place = tree::nthLineHolding(*Memo1->LinesView(), sought, n);
  if (place.position > 0) {
    Memo1->SetSelStart(place.position);
    Memo1->SetSelLength(place.line >= 0 ? qint64(sought.size()) + 1 : 0);
    Memo1->ScrollCaret();
    Memo1->FocusText();
  }
  status(QString());
}

void TEditeur::Deployer() { TreeView1->expandAll(); }

void TEditeur::Reduire() { TreeView1->collapseAll(); }

void TEditeur::Dupnoeud() {
  if (!ArbreActif) {
    Prompts::get().information(this, QStringLiteral("Sélectionner au préalable un noeud"));
    return;
  }
  Memorise();
  const int32_t node = TreeView1->currentNode();
  const int32_t n = tree::occurrence(treeModel_->tree(), node);
  if (n == 0) return;
  status(QStringLiteral("Duplique noeud"));
  const std::string& label = treeModel_->tree().label(node);
  const std::string_view name = std::string_view(label).substr(0, label.size() - 1);
  const std::unique_ptr<TextLines> lines = Memo1->LinesView();
  const tree::Insertion insertion =
      tree::duplicateElement(*lines, tree::nthLineHolding(*lines, name, n), name);
  if (insertion.position >= 0) {
    Memo1->SetSelStart(insertion.position);
    Memo1->SetSelText(
        storetext::decode(insertion.text));
  }
  status(QString());
  if (PageControl1->currentWidget() == TabSheet2) Remplit();
}

void TEditeur::Gendtd() {
  if (analysis::Valid(*Memo1->LinesView()).code >= 1) {
    Prompts::get().information(this, QStringLiteral("Le document contient des erreurs"));
    return;
  }
  TextStore text = Memo1->Store();
  if (dtdgen::Gendtd(text)) Memo1->SetStore(text);
}
