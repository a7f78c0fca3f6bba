#include "QtPrompts.h"

#include <memory>

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QFontDialog>
#include <QIdentityProxyModel>
#include <QLocale>
#include <QMessageBox>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QRegularExpression>
#include <QSettings>

#include "FileName.h"

namespace {

QString caption() { return QApplication::applicationDisplayName(); }

// Messages quote tag keys such as "<a>", which a rich-text box would swallow as markup.
int ask(QWidget* parent, QMessageBox::Icon icon, const QString& text,
        QMessageBox::StandardButtons buttons, QMessageBox::StandardButton byDefault) {
  QMessageBox box(icon, caption(), text, buttons, parent);
  box.setTextFormat(Qt::PlainText);
  box.setDefaultButton(byDefault);
  return box.exec();
}

Prompts::Answer toAnswer(int button) {
  switch (button) {
    case QMessageBox::Yes: return Prompts::Answer::Yes;
    case QMessageBox::No: return Prompts::Answer::No;
    default: return Prompts::Answer::Cancel;
  }
}

// Qt's file list formats sizes and dates in the machine's locale; the program speaks French.
class FrenchFileDetails final : public QIdentityProxyModel {
 public:
  using QIdentityProxyModel::QIdentityProxyModel;
  QVariant data(const QModelIndex& index, int role) const override {
    const auto* files = qobject_cast<const QFileSystemModel*>(sourceModel());
    if (!files || role != Qt::DisplayRole || (index.column() != 1 && index.column() != 3))
      return QIdentityProxyModel::data(index, role);
    const QModelIndex source = mapToSource(index);
    const QLocale french(QLocale::French, QLocale::France);
    if (index.column() == 3)
      return french.toString(files->lastModified(source), QLocale::ShortFormat);
    return files->isDir(source) ? QString() : french.formattedDataSize(files->size(source));
  }
};

// A typed name that exists is opened as it stands; only a name that does not gets the
// default suffix. (Qt's own open mode appends the suffix before looking, so a file without
// extension could not be chosen, and it refuses a name before the suffix is tried.)
class OpenDialog final : public QFileDialog {
 public:
  OpenDialog(QWidget* parent, const QString& title, const QString& suffix)
      : QFileDialog(parent, title), suffix_(suffix) {
    setFileMode(QFileDialog::AnyFile);
  }
  void accept() override {
    setDefaultSuffix(QString());
    const QStringList typed = selectedFiles();
    if (typed.size() != 1) return;
    const QFileInfo asTyped(typed.constFirst());
    // A folder is entered; anything else that exists is the loader's to take or refuse. A
    // name that is not UTF-8 exists only by its bytes.
    if (asTyped.exists() || filename::recover(typed.constFirst()) != typed.constFirst())
      return QFileDialog::accept();
    const QString name = asTyped.fileName();
    if (name.contains(u'*') || name.contains(u'?')) return;  // a pattern names no file
    if (!suffix_.isEmpty() && !name.contains(u'.') &&
        QFileInfo::exists(asTyped.filePath() + u'.' + suffix_)) {
      setDefaultSuffix(suffix_);
      return QFileDialog::accept();
    }
    QMessageBox::warning(this, windowTitle(),
                         QFileDialog::tr("%1\nFile not found.\nPlease verify the correct file "
                                         "name was given.")
                             .arg(name));
  }

 private:
  QString suffix_;
};

// Qt's file dialog keeps its history in the user's configuration folder when it closes; the
// program stores no configuration, so Qt's settings are pointed where no file can be made.
void storeNoSettings() {
  static const bool done = [] {
    for (const auto format : {QSettings::NativeFormat, QSettings::IniFormat})
      QSettings::setPath(format, QSettings::UserScope, QStringLiteral("/dev/null"));
    return true;
  }();
  Q_UNUSED(done);
}

QString runFileDialog(QWidget* parent, const Prompts::FileRequest& r, QFileDialog::AcceptMode mode) {
  storeNoSettings();
  const bool opening = mode == QFileDialog::AcceptOpen;
  std::unique_ptr<QFileDialog> dialog;
  if (opening)
    dialog = std::make_unique<OpenDialog>(parent, r.title, r.defaultSuffix);
  else
    dialog = std::make_unique<QFileDialog>(parent, r.title);
  dialog->setProxyModel(new FrenchFileDetails(dialog.get()));
  dialog->setAcceptMode(mode);
  dialog->setNameFilter(Prompts::qtFilter(r.filter));
  if (!opening) dialog->setDefaultSuffix(r.defaultSuffix);
  dialog->setDirectory(r.directory.isEmpty() ? QDir::currentPath() : r.directory);
  // A pattern such as "*.xml" is shown as the starting name too.
  if (!r.fileName.isEmpty()) dialog->selectFile(r.fileName);
  const QStringList filters = dialog->nameFilters();
  if (r.selectedFilter && !opening) {
    QObject::connect(dialog.get(), &QFileDialog::filterSelected, dialog.get(),
                     [d = dialog.get()](const QString& filter) {
                       const QRegularExpressionMatch m =
                           QRegularExpression(QStringLiteral("\\*\\.(\\w+)\\)$")).match(filter);
                       if (m.hasMatch()) d->setDefaultSuffix(m.captured(1));
                     });
  }
  if (dialog->exec() != QDialog::Accepted || dialog->selectedFiles().isEmpty()) return {};
  if (r.selectedFilter)
    *r.selectedFilter = std::max<int>(0, int(filters.indexOf(dialog->selectedNameFilter())));
  // Qt's list leaves out a name that is not UTF-8; typed as it shows elsewhere, it still opens.
  const QString chosen = opening ? filename::recover(dialog->selectedFiles().constFirst())
                                 : dialog->selectedFiles().constFirst();
  // As with the desktop's own dialogs, the chosen folder becomes the current directory: a
  // wizard document's bare file name is saved there later.
  QDir::setCurrent(QFileInfo(chosen).absolutePath());
  return chosen;
}

}  // namespace

void QtPrompts::information(QWidget* parent, const QString& text) {
  ask(parent, QMessageBox::Information, text, QMessageBox::Ok, QMessageBox::Ok);
}

void QtPrompts::warning(QWidget* parent, const QString& text) {
  ask(parent, QMessageBox::Warning, text, QMessageBox::Ok, QMessageBox::Ok);
}

void QtPrompts::error(QWidget* parent, const QString& text) {
  ask(parent, QMessageBox::Critical, text, QMessageBox::Ok, QMessageBox::Ok);
}

Prompts::Answer QtPrompts::confirm(QWidget* parent, const QString& text) {
  return toAnswer(ask(parent, QMessageBox::Question, text, QMessageBox::Yes | QMessageBox::No,
                      QMessageBox::Yes));
}

Prompts::Answer QtPrompts::confirmOrCancel(QWidget* parent, const QString& text) {
  return toAnswer(ask(parent, QMessageBox::Question, text,
                      QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::Yes));
}

QString QtPrompts::openFile(QWidget* parent, const FileRequest& request) {
  return runFileDialog(parent, request, QFileDialog::AcceptOpen);
}

QString QtPrompts::saveFile(QWidget* parent, const FileRequest& request) {
  return runFileDialog(parent, request, QFileDialog::AcceptSave);
}

bool QtPrompts::print(QWidget* parent, QPrinter& printer) {
  QPrintDialog dialog(&printer, parent);
  dialog.setOption(QAbstractPrintDialog::PrintPageRange, false);
  return dialog.exec() == QDialog::Accepted;
}

bool QtPrompts::printerSetup(QWidget* parent, QPrinter& printer) {
  QPageSetupDialog dialog(&printer, parent);
  return dialog.exec() == QDialog::Accepted;
}

bool QtPrompts::font(QWidget* parent, QFont& font) {
  bool ok = false;
  const QFont chosen = QFontDialog::getFont(&ok, font, parent);
  if (ok) font = chosen;
  return ok;
}
