#include "Blocnotes.h"

#include <QFileInfo>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QPushButton>
#include <QResizeEvent>
#include <QPainter>
#include <QPixmap>
#include <QToolButton>
#include <QVBoxLayout>

#include "Prompts.h"
#include "TextFile.h"
#include "TextPrinter.h"

namespace {

// A small printer: paper above, the body, and the sheet coming out.
QIcon printerIcon() {
  QPixmap pm(16, 16);
  pm.fill(Qt::transparent);
  QPainter p(&pm);
  p.setPen(Qt::black);
  p.setBrush(Qt::white);
  p.drawRect(4, 1, 7, 5);
  p.setBrush(QColor(192, 192, 192));
  p.drawRect(1, 6, 13, 6);
  p.setBrush(Qt::white);
  p.drawRect(4, 10, 7, 4);
  p.fillRect(11, 8, 2, 1, Qt::green);
  return QIcon(pm);
}

}  // namespace

QString notesFileName(const QString& fileName) {
  QString name = fileName;
  const qsizetype doubled = name.indexOf(QStringLiteral("//"));
  if (doubled >= 0) name.remove(doubled, 1);
  return name;
}

TBlocnotes::TBlocnotes(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint) {
  setWindowTitle(QStringLiteral("Bloc-notes"));
  setFixedSize(533, 334);
  QFont system = font();
  system.setPixelSize(17);
  setFont(system);

  auto* top = new QWidget(this);
  top->setFixedHeight(36);
  SpeedButton9 = new QToolButton(top);
  SpeedButton9->setIcon(printerIcon());
  SpeedButton9->setAutoRaise(true);
  SpeedButton9->setToolTip(QStringLiteral("Imprimer"));
  SpeedButton9->setStatusTip(QStringLiteral("Imprimer"));
  SpeedButton9->setFocusPolicy(Qt::NoFocus);
  SpeedButton9->setGeometry(4, 4, 28, 28);
  connect(SpeedButton9, &QToolButton::clicked, this, &TBlocnotes::Imprimer);
  Button1 = new QPushButton(QStringLiteral("Fermer"), top);
  Button1->setAutoDefault(false);
  connect(Button1, &QPushButton::clicked, this, &QDialog::accept);

  Memo1 = new QPlainTextEdit(this);
  Memo1->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(4, 0, 4, 4);
  layout->setSpacing(0);
  layout->addWidget(top);
  layout->addWidget(Memo1, 1);
  Memo1->setFocus();
}

void TBlocnotes::resizeEvent(QResizeEvent* e) {
  QDialog::resizeEvent(e);
  Button1->setGeometry(width() - 125, 4, 100, 28);
}

void TBlocnotes::Charge(const QString& fileName) {
  const QString name = notesFileName(fileName);
  if (!QFileInfo::exists(name)) return;
  const textfile::Loaded loaded = textfile::load(name);
  if (!loaded.ok) {
    Memo1->setReadOnly(true);
    Prompts::get().error(this, loaded.error);
    return;
  }
  QString text = loaded.text;
  if (text.endsWith(QStringLiteral("\r\n"))) text.chop(2);
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  Memo1->setPlainText(text);
  Memo1->document()->setModified(false);
}

bool TBlocnotes::Sauve(const QString& fileName) {
  if (!Memo1->document()->isModified()) return true;
  const QStringList pad = lines();
  QString text;
  for (const QString& line : pad) text += line + QStringLiteral("\r\n");
  const QString error = textfile::save(notesFileName(fileName), text);
  if (!error.isEmpty()) {
    Prompts::get().error(this, error);
    return false;
  }
  Memo1->document()->setModified(false);
  return true;
}

void TBlocnotes::Imprimer() {
  QPrinter& printer = Prompts::printer();
  printer.setPrintRange(QPrinter::AllPages);
  // The pad's font is set in pixels, which would print minute on a fine printer.
  QFont printed = Memo1->font();
  if (printed.pixelSize() > 0)
    printed.setPointSizeF(printed.pixelSize() * 72.0 / Memo1->logicalDpiY());
  if (!printTextLines(printer, printed, lines()) || printer.printerState() == QPrinter::Error)
    Prompts::get().error(this, QStringLiteral("Impossible d'imprimer le bloc-notes : "
                                              "l'imprimante n'a pas pu être ouverte."));
}

QStringList TBlocnotes::lines() const {
  // The last line's break is the file's own, not an empty line of the pad.
  QString text = Memo1->toPlainText();
  if (text.isEmpty()) return {};
  if (text.endsWith(u'\n')) text.chop(1);
  return text.split(u'\n');
}

void TBlocnotes::Init(const QStringList& lines) { Memo1->setPlainText(lines.join(u'\n')); }

void TBlocnotes::Result(QStringList& lines) const { lines = this->lines(); }

void TBlocnotes::GetIni(int& left, int& top, QColor& color) const {
  left = x();
  top = y();
  color = palette().color(QPalette::Window);
}

void TBlocnotes::SetIni(int left, int top) {
  move(left <= 4 ? 122 : left, top <= 97 ? 98 : top);
}
