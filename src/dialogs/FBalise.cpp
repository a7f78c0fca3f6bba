#include "FBalise.h"

#include <string>
#include <unordered_set>

#include <QListWidget>
#include <QPushButton>

#include "StoreText.h"
#include "tags.h"

namespace {

// The key of a window without the "/>" test of the other scans: "<br />" gives "<br>".
std::string pickerKey(std::string_view w) {
  if (w.size() >= 2 && (w[1] == '/' || w[1] == '?' || w[1] == '!')) return {};
  std::string key(w);
  const size_t blank = key.find(' ');
  if (blank != std::string::npos) key[blank] = '>';
  const size_t chevron = key.find('>');
  if (chevron != std::string::npos) {
    key.resize(chevron + 1);
    if (chevron > 0 && key[chevron - 1] == '/') return {};
  }
  return key;
}

}  // namespace

QStringList tagKeysOf(const TextLines& lines) {
  QStringList keys;
  std::unordered_set<std::string> seen;  // upper-cased
  for (int64_t i = 0; i < lines.count(); ++i) {
    const std::string_view line = lines.line(i);
    for (int64_t p = analysis::findByte(line, 0, '<'); p < int64_t(line.size());
         p = analysis::findByte(line, p + 1, '<')) {
      const std::string key = pickerKey(line.substr(size_t(p), size_t(analysis::kTagWindow)));
      if (key.empty()) continue;
      if (seen.insert(storetext::upper(key)).second)
        keys << storetext::decode(key);
    }
  }
  return keys;
}

TFBalise::TFBalise(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("Insérer balise"));
  QFont police(QStringLiteral("MS Sans Serif"));
  police.setPixelSize(13);
  setFont(police);
  setFixedSize(278, 267);
  ListBox1 = new QListWidget(this);
  ListBox1->setGeometry(8, 8, 169, 249);
  Button1 = new QPushButton(QStringLiteral("Annuler"), this);
  Button1->setGeometry(192, 200, 75, 25);
  Button2 = new QPushButton(QStringLiteral("OK"), this);
  Button2->setGeometry(192, 232, 75, 25);
  Button2->setDefault(true);
  connect(Button1, &QPushButton::clicked, this, &TFBalise::Button1Click);
  connect(Button2, &QPushButton::clicked, this, &TFBalise::Button2Click);
  connect(ListBox1, &QListWidget::itemDoubleClicked, this, &TFBalise::ListBox1DblClick);
}

void TFBalise::Init(const TextLines& lines) {
  ListBox1->clear();
  ListBox1->addItems(tagKeysOf(lines));
  confirmed_ = false;
}

QString TFBalise::Result() const {
  const QListWidgetItem* item = ListBox1->currentItem();
  if (!confirmed_ || !item || !item->isSelected()) return QString();
  return item->text();
}

void TFBalise::Button1Click() {
  confirmed_ = false;
  reject();
}

void TFBalise::Button2Click() {
  confirmed_ = true;
  accept();
}

void TFBalise::ListBox1DblClick() { Button2Click(); }
