#include "Import.h"

#include <algorithm>

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "ColorMemo.h"
#include "StoreText.h"
#include "Prompts.h"
#include "TextFile.h"

namespace {

constexpr int kPreviewLines = 4;

QString fromBytes(const std::string& s) {
  return storetext::decode(s);
}

std::string toBytes(const QString& s) {
  return storetext::encode(s);
}

}  // namespace

TImport::TImport(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("Importer fichier"));
  setFixedSize(544, 209);

  StringGrid1 = new QTableWidget(1, 1, this);
  StringGrid1->setFixedHeight(129);
  StringGrid1->horizontalHeader()->hide();
  StringGrid1->verticalHeader()->hide();
  StringGrid1->horizontalHeader()->setDefaultSectionSize(128);
  // The names and the four preview lines fit the grid's height.
  StringGrid1->verticalHeader()->setMinimumSectionSize(1);
  StringGrid1->verticalHeader()->setDefaultSectionSize(24);
  StringGrid1->setTabKeyNavigation(true);
  StringGrid1->setEditTriggers(QAbstractItemView::AllEditTriggers);
  StringGrid1->setSelectionMode(QAbstractItemView::SingleSelection);

  auto* label = new QLabel(QStringLiteral("Balise enregistrement"), this);
  Edit1 = new QLineEdit(QStringLiteral("Enregistrement"), this);
  label->setBuddy(Edit1);
  Annuler = new QPushButton(QStringLiteral("Annuler"), this);
  Valider = new QPushButton(QStringLiteral("Valider"), this);
  // Enter in "Balise enregistrement" confirms the import rather than dropping the names typed.
  Valider->setDefault(true);

  auto* bas = new QHBoxLayout;
  bas->addWidget(label);
  bas->addWidget(Edit1);
  bas->addStretch();
  bas->addWidget(Annuler);
  bas->addWidget(Valider);
  auto* tout = new QVBoxLayout(this);
  tout->addWidget(StringGrid1);
  tout->addLayout(bas);

  connect(Annuler, &QPushButton::clicked, this, &QDialog::reject);
  connect(Valider, &QPushButton::clicked, this, [this] {
    // A field name still in its cell editor counts: the editor gives it up as it loses the focus.
    Valider->setFocus(Qt::OtherFocusReason);
    validated_ = true;
    accept();
  });
}

bool TImport::Init(const QString& fileName) {
  const textfile::LoadedBytes file = textfile::loadBytes(fileName);
  if (!file.ok) {
    Prompts::get().error(parentWidget(), file.error);
    return false;
  }
  records_ = exchange::readRecords(file.bytes);
  filled_ = false;
  return true;
}

void TImport::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (!filled_) fillPreview();
}

void TImport::fillPreview() {
  filled_ = true;
  const int lines = std::min<int>(kPreviewLines, int(records_.size()));
  int columns = 1;
  for (int k = 0; k < lines; ++k) columns = std::max(columns, int(records_[size_t(k)].size()));
  StringGrid1->setRowCount(1 + lines);
  StringGrid1->setColumnCount(columns);
  for (int j = 0; j < columns; ++j)
    StringGrid1->setItem(0, j, new QTableWidgetItem(QString::fromStdString(exchange::defaultFieldName(size_t(j)))));
  for (int k = 0; k < lines; ++k)
    for (int j = 0; j < columns; ++j) {
      const exchange::Record& r = records_[size_t(k)];
      auto* cell = new QTableWidgetItem(j < int(r.size()) ? fromBytes(r[size_t(j)]) : QString());
      // Only the field names can be chosen and edited.
      cell->setFlags(Qt::ItemIsEnabled);
      StringGrid1->setItem(k + 1, j, cell);
    }
}

void TImport::Result(TColorMemo* memo) const {
  if (!validated_) return;
  std::vector<std::string> names;
  for (int j = 0; j < StringGrid1->columnCount(); ++j) {
    const QTableWidgetItem* cell = StringGrid1->item(0, j);
    names.push_back(toBytes(cell ? cell->text() : QString()));
  }
  TextStore text = memo->Store();
  const exchange::Insertion at =
      exchange::recordsInsertion(text, records_, names, toBytes(Edit1->text()));
  if (at.bytes.empty()) return;
  qint64 start = memo->SelStart();
  const qint64 length = memo->SelLength();
  text.replace(at.position, 0, at.bytes);
  memo->SetStore(text);
  memo->SetModified(true);
  if (start >= at.position) start += qint64(at.bytes.size());
  memo->SetSelStart(start);
  memo->SetSelLength(length);
}
