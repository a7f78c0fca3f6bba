#include "HelpViewer.h"

#include <QDir>
#include <QFile>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QRegularExpression>
#include <QSignalBlocker>
#include <QSplitter>
#include <QTextBrowser>
#include <QTextDocument>
#include <QVBoxLayout>

// The topics live in the application library's resources, which a static link must register.
static void registerHelpTopics() { Q_INIT_RESOURCE(resources); }

namespace {

const QString kRoot = QStringLiteral(":/help/");

QString readTopic(const QString& topic) {
  QFile f(topic);
  if (!f.open(QIODevice::ReadOnly)) return {};
  return QString::fromUtf8(f.readAll());
}

QString titleOf(const QString& html) {
  static const QRegularExpression title(QStringLiteral("<title>(.*)</title>"));
  const auto m = title.match(html);
  return m.hasMatch() ? m.captured(1) : QString();
}

QString plainText(const QString& html) {
  QTextDocument d;
  d.setHtml(html);
  return d.toPlainText();
}

QStringList allTopics() {
  QStringList out;
  for (const QString& name : QDir(kRoot).entryList({QStringLiteral("*.html")}, QDir::Files,
                                                   QDir::Name))
    out << kRoot + name;
  return out;
}

}  // namespace

HelpViewer::HelpViewer(QWidget* parent) : QWidget(parent, Qt::Window) {
  registerHelpTopics();
  setObjectName(QStringLiteral("HelpViewer"));
  setWindowTitle(QStringLiteral("Aide de Tovelo"));
  resize(760, 520);

  auto* splitter = new QSplitter(this);
  auto* left = new QWidget(splitter);
  auto* leftLayout = new QVBoxLayout(left);
  leftLayout->setContentsMargins(0, 0, 0, 0);
  leftLayout->addWidget(new QLabel(QStringLiteral("Rechercher :"), left));
  search_ = new QLineEdit(left);
  search_->setClearButtonEnabled(true);
  leftLayout->addWidget(search_);
  list_ = new QListWidget(left);
  leftLayout->addWidget(list_);
  browser_ = new QTextBrowser(splitter);
  browser_->setOpenLinks(true);
  browser_->setSearchPaths({kRoot});
  splitter->setStretchFactor(1, 3);

  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(4, 4, 4, 4);
  layout->addWidget(splitter);

  connect(search_, &QLineEdit::textChanged, this, &HelpViewer::filter);
  connect(list_, &QListWidget::currentItemChanged, this, [this](QListWidgetItem* item) {
    if (item) showTopic(item->data(Qt::UserRole).toString());
  });
  listAll();
}

void HelpViewer::listAll() { filter(QString()); }

void HelpViewer::search(const QString& words) {
  search_->setText(words);
  filter(words);
}

void HelpViewer::filter(const QString& words) {
  const QStringList terms = words.simplified().split(u' ', Qt::SkipEmptyParts);
  list_->blockSignals(true);
  list_->clear();
  for (const QString& topic : allTopics()) {
    const QString html = readTopic(topic);
    const QString text = plainText(html);
    const bool all = std::all_of(terms.begin(), terms.end(), [&](const QString& t) {
      return text.contains(t, Qt::CaseInsensitive);
    });
    if (!all) continue;
    auto* item = new QListWidgetItem(titleOf(html), list_);
    item->setData(Qt::UserRole, topic);
  }
  list_->sortItems();
  list_->blockSignals(false);
}

QStringList HelpViewer::listedTopics() const {
  QStringList out;
  for (int i = 0; i < list_->count(); ++i) out << list_->item(i)->data(Qt::UserRole).toString();
  return out;
}

QString HelpViewer::currentTopic() const { return browser_->source().toString(); }

QString HelpViewer::selectedTopic() const {
  const QListWidgetItem* item = list_->currentItem();
  return item ? item->data(Qt::UserRole).toString() : QString();
}

QString HelpViewer::searchText() const { return search_->text(); }

void HelpViewer::showTopic(const QString& topic) {
  browser_->setSource(QUrl(QStringLiteral("qrc") + topic));
}

QString HelpViewer::topicOfContext(int context) {
  static const char* const pages[] = {nullptr,          "fenetre-principale", nullptr,
                                      "fichier",        "edition",            "insertion",
                                      "parametres",     "outils",             "utilitaires",
                                      "fenetres",       "aide"};
  if (context < 1 || context > 10 || !pages[context]) return kRoot + QStringLiteral("index.html");
  return kRoot + QLatin1String(pages[context]) + QStringLiteral(".html");
}

void HelpViewer::showContents() { openTopic(kRoot + QStringLiteral("index.html")); }

void HelpViewer::showSearch() {
  search_->clear();
  bringUp();
  search_->setFocus();
}

void HelpViewer::showHowToUse() { openTopic(kRoot + QStringLiteral("utiliser-aide.html")); }

void HelpViewer::showContext(int context) { openTopic(topicOfContext(context)); }

void HelpViewer::openTopic(const QString& topic) {
  // A filter left from an earlier search could hide the topic shown from the list.
  search_->clear();
  showTopic(topic);
  for (int i = 0; i < list_->count(); ++i)
    if (list_->item(i)->data(Qt::UserRole).toString() == topic) {
      const QSignalBlocker quiet(list_);
      list_->setCurrentRow(i);
    }
  bringUp();
}

void HelpViewer::bringUp() {
  show();
  raise();
  activateWindow();
}
