#include "CaractsDialog.h"

#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>

namespace {

// Row by row. Every cell gives the reference of the character it shows; the last one is the
// no-break space.
constexpr char16_t kCharacters[] =
    u"\"&<>\u00F9"
    u"\u00A3\u00A2\u00A9\u00AB\u00AE"
    u"\u00BB\u00BC\u00BD\u00BE\u00C0"
    u"\u00C1\u00C2\u00C3\u00C4\u00C5"
    u"\u00C6\u00C8\u00C9\u00CA\u00CB"
    u"\u00CC\u00CD\u00CE\u00CF\u00D2"
    u"\u00D3\u00D4\u00D5\u00D6\u00DF"
    u"\u00E3\u00E6\u00B5\u00F1\u00A0";

QString namedReference(char16_t c) {
  switch (c) {
    case u'"': return QStringLiteral("&quot;");
    case u'&': return QStringLiteral("&amp;");
    case u'<': return QStringLiteral("&lt;");
    case u'>': return QStringLiteral("&gt;");
    case u'\u00AE': return QStringLiteral("&reg;");
    case u'\u00A0': return QStringLiteral("&nbsp;");
    default: return QString();
  }
}

}  // namespace

QString TCaractsDialog::character(int column, int row) {
  if (column < 0 || column >= kColumns || row < 0 || row >= kRows) return QString();
  return QString(QChar(kCharacters[row * kColumns + column]));
}

QString TCaractsDialog::reference(int column, int row) {
  const QString c = character(column, row);
  if (c.isEmpty()) return QString();
  const QString named = namedReference(c[0].unicode());
  return named.isEmpty() ? QStringLiteral("&#%1;").arg(c[0].unicode()) : named;
}

TCaractsDialog::TCaractsDialog(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("Caractères spéciaux"));
  QFont police = font();
  police.setPixelSize(17);
  setFont(police);
  setFixedSize(280, 172);

  StringGrid1 = new QTableWidget(kRows, kColumns, this);
  StringGrid1->horizontalHeader()->hide();
  StringGrid1->verticalHeader()->hide();
  StringGrid1->horizontalHeader()->setMinimumSectionSize(1);
  StringGrid1->verticalHeader()->setMinimumSectionSize(1);
  StringGrid1->horizontalHeader()->setDefaultSectionSize(20);
  StringGrid1->verticalHeader()->setDefaultSectionSize(20);
  StringGrid1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  StringGrid1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  StringGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
  StringGrid1->setSelectionMode(QAbstractItemView::SingleSelection);
  StringGrid1->setGeometry(0, 0, kColumns * 20 + 2 * StringGrid1->frameWidth(),
                           kRows * 20 + 2 * StringGrid1->frameWidth());
  for (int r = 0; r < kRows; ++r) {
    for (int c = 0; c < kColumns; ++c) {
      auto* cell = new QTableWidgetItem(character(c, r));
      cell->setTextAlignment(Qt::AlignCenter);
      StringGrid1->setItem(r, c, cell);
    }
  }
  StringGrid1->setCurrentCell(-1, -1);
  StringGrid1->setAccessibleName(QStringLiteral("Caractères spéciaux"));

  Edit1 = new QLineEdit(this);
  Edit1->setGeometry(120, 16, 145, 26);
  Edit1->setFocusPolicy(Qt::ClickFocus);
  Edit1->setAccessibleName(QStringLiteral("Référence du caractère"));
  Button1 = new QPushButton(QStringLiteral("OK"), this);
  Button1->setGeometry(152, 96, 113, 25);
  Button1->setDefault(true);
  Button2 = new QPushButton(QStringLiteral("Annuler"), this);
  Button2->setGeometry(152, 132, 113, 25);

  connect(StringGrid1, &QTableWidget::currentCellChanged, this,
          [this](int row, int column) { StringGrid1SelectCell(column, row); });
  connect(StringGrid1, &QTableWidget::cellClicked, this,
          [this](int row, int column) { StringGrid1SelectCell(column, row); });
  connect(Button1, &QPushButton::clicked, this, &TCaractsDialog::Button1Click);
  connect(Button2, &QPushButton::clicked, this, &TCaractsDialog::Button2Click);
}

void TCaractsDialog::StringGrid1SelectCell(int column, int row) {
  const QString r = reference(column, row);
  if (!r.isEmpty()) Edit1->setText(r);
}

void TCaractsDialog::Button1Click() {
  confirmed_ = true;
  accept();
}

void TCaractsDialog::Button2Click() {
  confirmed_ = false;
  reject();
}

QString TCaractsDialog::Result() const { return confirmed_ ? Edit1->text() : QString(); }
