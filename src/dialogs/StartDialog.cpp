#include "StartDialog.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>
#include <QVBoxLayout>

#include "StoreText.h"
#include "Prompts.h"
#include "tags.h"

namespace {

const QStringList kEncodings = {
    "Default",    "UTF-8",      "UTF-16",      "ISO-106-46-UCS-2", "ISO-106-46-UCS-4",
    "ISO-8859-1", "ISO-8859-2", "ISO-8859-3",  "ISO-8859-4",       "ISO-8859-5",
    "ISO-8859-6", "ISO-8859-7", "ISO-8859-8",  "ISO-8859-9",       "ISO-2022-JP",
    "Shift_JIS",  "EUC-JP"};

QString decoded(std::string_view bytes) {
  return storetext::decode(bytes);
}

// The first quoted value of the line from marker on, apostrophes read as double quotes.
QString valueAfter(std::string_view line, std::string_view marker) {
  const size_t at = line.find(marker);
  return decoded(analysis::ValeurGuillemets(line.substr(at)));
}

// A DOCTYPE whose internal subset goes on over the next lines.
bool opensSubset(const QString& line) {
  const qsizetype at = line.indexOf(QLatin1String("<!DOCTYPE"));
  const qsizetype bracket = line.indexOf(u'[', at);
  return bracket >= 0 && line.indexOf(QLatin1String("]>"), bracket) < 0;
}

}  // namespace

DocumentHead readHead(const TextLines& lines) {
  DocumentHead head;
  bool declaration = false, doctype = false, style = false;
  for (int64_t i = 0; i < lines.count() && !(declaration && doctype && style); ++i) {
    const std::string_view line = lines.line(i);
    if (line.find('?') == std::string_view::npos && line.find('!') == std::string_view::npos)
      continue;
    if (!declaration && line.find("?xml") != std::string_view::npos) {
      declaration = true;
      if (line.find("version=") != std::string_view::npos)
        head.version = valueAfter(line, "version=");
      if (line.find("standalone") != std::string_view::npos) {
        const QString v = valueAfter(line, "standalone");
        if (v == QLatin1String("yes")) head.standalone = DocumentHead::Standalone::Yes;
        if (v == QLatin1String("no")) head.standalone = DocumentHead::Standalone::No;
      }
      if (line.find("encoding") != std::string_view::npos) {
        const QString v = valueAfter(line, "encoding");
        if (!v.isEmpty()) head.encoding = v;
      }
    }
    if (!doctype && line.find("!DOCTYPE") != std::string_view::npos) {
      doctype = true;
      if (line.find("SYSTEM") != std::string_view::npos) head.dtd = valueAfter(line, "SYSTEM");
    }
    if (!style && line.find("?xml:stylesheet") != std::string_view::npos) {
      style = true;
      if (line.find("href") != std::string_view::npos) head.style = valueAfter(line, "href");
    }
  }
  return head;
}

QStringList writeHead(QStringList lines, DocumentHead head) {
  if (head.version.isEmpty()) head.version = QStringLiteral("1.0");
  QString d = QStringLiteral("<?xml version=\"") + head.version + QStringLiteral("\" ");
  if (head.standalone == DocumentHead::Standalone::Yes) d += QStringLiteral("standalone=\"yes\"");
  if (head.standalone == DocumentHead::Standalone::No) d += QStringLiteral("standalone=\"no\"");
  if (head.encoding != QLatin1String("Default"))
    d += QStringLiteral(" encoding=\"") + head.encoding + u'"';
  d += QStringLiteral("?>");

  for (QString& line : lines) {
    if (line.contains(QLatin1String("?xml"))) {
      line = d;
      break;
    }
  }
  // A DOCTYPE with an internal subset over several lines is kept whole: taking its first line
  // alone would leave the subset dangling, and its declarations are the user's work.
  bool keptDoctype = false;
  QStringList kept;
  kept.reserve(lines.size());
  for (qsizetype i = 0; i < lines.size(); ++i) {
    const QString& line = lines[i];
    if (line.contains(QLatin1String("<!DOCTYPE")) && opensSubset(line)) {
      keptDoctype = true;
      for (; i < lines.size(); ++i) {
        kept << lines[i];
        if (lines[i].contains(QLatin1String("]>"))) break;
      }
      continue;
    }
    if (line.contains(QLatin1String("<!DOCTYPE")) || line.contains(QLatin1String("?xml:stylesheet")))
      continue;
    kept << line;
  }
  lines = std::move(kept);
  const auto insertAt = [&lines](qsizetype index, const QString& line) {
    lines.insert(std::min(index, lines.size()), line);
  };
  if (!head.dtd.isEmpty() && !keptDoctype)
    insertAt(1, QStringLiteral("<!DOCTYPE SYSTEM=\"") + head.dtd + QStringLiteral("\">"));
  if (!head.style.isEmpty()) {
    const QString name = head.style.mid(head.style.lastIndexOf(u'/') + 1);
    const qsizetype dot = name.lastIndexOf(u'.');
    const QString kind = dot < 0 ? QString() : name.mid(dot + 1, 3);
    insertAt(2, QStringLiteral("<?xml:stylesheet type=\"text/") + kind + QStringLiteral("\" href=\"") +
                    head.style + QStringLiteral("\"?>"));
  }
  return lines;
}

QString relativePath(const QString& base, const QString& file) {
  if (base.isEmpty()) return file;
  return QDir(base).relativeFilePath(file);
}

TStartDialog::TStartDialog(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("Déclaration XML"));
  QFont police(QStringLiteral("MS Sans Serif"));
  police.setPixelSize(13);
  setFont(police);
  setFixedSize(347, 201);

  Label1 = new QLabel(QStringLiteral("Version"), this);
  Label1->setGeometry(8, 12, 60, 16);
  Edit1 = new QLineEdit(this);
  Edit1->setGeometry(72, 8, 80, 21);

  RadioGroup1 = new QGroupBox(QStringLiteral("Standalone"), this);
  RadioGroup1->setGeometry(168, 0, 170, 40);
  Yes = new QRadioButton(QStringLiteral("yes"), RadioGroup1);
  Yes->setGeometry(10, 16, 60, 20);
  No = new QRadioButton(QStringLiteral("no"), RadioGroup1);
  No->setGeometry(90, 16, 60, 20);
  // Nothing chosen is a state of its own: the buttons must be able to be all off.
  auto* choix = new QButtonGroup(RadioGroup1);
  choix->addButton(Yes);
  choix->addButton(No);

  Label2 = new QLabel(QStringLiteral("Codage"), this);
  Label2->setGeometry(8, 52, 60, 16);
  ComboBox1 = new QComboBox(this);
  ComboBox1->setEditable(true);
  ComboBox1->addItems(kEncodings);
  ComboBox1->setGeometry(72, 48, 170, 22);

  Label3 = new QLabel(QStringLiteral("DTD"), this);
  Label3->setGeometry(8, 88, 60, 16);
  Edit2 = new QLineEdit(this);
  Edit2->setGeometry(72, 84, 240, 21);
  SpeedButton1 = new QToolButton(this);
  SpeedButton1->setText(QStringLiteral("..."));
  SpeedButton1->setToolTip(QStringLiteral("Parcourir"));
  SpeedButton1->setGeometry(316, 84, 23, 22);

  Label4 = new QLabel(QStringLiteral("Style"), this);
  Label4->setGeometry(8, 124, 60, 16);
  Edit3 = new QLineEdit(this);
  Edit3->setGeometry(72, 120, 240, 21);
  SpeedButton2 = new QToolButton(this);
  SpeedButton2->setText(QStringLiteral("..."));
  SpeedButton2->setToolTip(QStringLiteral("Parcourir"));
  SpeedButton2->setGeometry(316, 120, 23, 22);

  Button1 = new QPushButton(QStringLiteral("Annuler"), this);
  Button1->setGeometry(176, 164, 75, 25);
  Button2 = new QPushButton(QStringLiteral("OK"), this);
  Button2->setGeometry(264, 164, 75, 25);
  Button2->setDefault(true);

  connect(Button1, &QPushButton::clicked, this, &TStartDialog::Button1Click);
  connect(Button2, &QPushButton::clicked, this, &TStartDialog::Button2Click);
  connect(SpeedButton1, &QToolButton::clicked, this, &TStartDialog::SpeedButton1Click);
  connect(SpeedButton2, &QToolButton::clicked, this, &TStartDialog::SpeedButton2Click);
}

void TStartDialog::Init(const TextLines& lines) {
  const DocumentHead head = readHead(lines);
  Edit1->setText(head.version);
  Yes->setChecked(head.standalone == DocumentHead::Standalone::Yes);
  No->setChecked(head.standalone == DocumentHead::Standalone::No);
  ComboBox1->setCurrentText(head.encoding);
  Edit2->setText(head.dtd);
  Edit3->setText(head.style);
}

DocumentHead TStartDialog::head() const {
  DocumentHead head;
  head.version = Edit1->text();
  head.standalone = Yes->isChecked()  ? DocumentHead::Standalone::Yes
                    : No->isChecked() ? DocumentHead::Standalone::No
                                      : DocumentHead::Standalone::None;
  head.encoding = ComboBox1->currentText();
  head.dtd = Edit2->text();
  head.style = Edit3->text();
  return head;
}

QStringList TStartDialog::Result(const QStringList& lines) {
  if (Edit1->text().isEmpty()) Edit1->setText(QStringLiteral("1.0"));
  return writeHead(lines, head());
}

void TStartDialog::Button1Click() { reject(); }
void TStartDialog::Button2Click() { accept(); }

void TStartDialog::SpeedButton1Click() {
  Prompts::FileRequest demande;
  demande.defaultSuffix = QStringLiteral("dtd");
  demande.filter = QStringLiteral("Fichiers DTD (*.tdt)|*.dtd");
  demande.directory = base_;
  const QString chemin = Prompts::get().openFile(this, demande);
  if (!chemin.isEmpty()) Edit2->setText(relativePath(base_, chemin));
}

void TStartDialog::SpeedButton2Click() {
  Prompts::FileRequest demande;
  demande.filter = QStringLiteral("Feuilles de style (*.css;*.xsl)|*.css;*.xsl");
  demande.directory = base_;
  const QString chemin = Prompts::get().openFile(this, demande);
  if (!chemin.isEmpty()) Edit3->setText(relativePath(base_, chemin));
}
