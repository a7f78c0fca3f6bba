#include "GotoLine.h"
#include "TextDocument.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QVBoxLayout>

#include <algorithm>

namespace {
const QRegularExpression& lineColumn() {
  static const QRegularExpression r(QStringLiteral(R"(^\s*(\d{1,18})\s*(?::\s*(\d{1,18})\s*)?$)"));
  return r;
}
}  // namespace

int64_t lineColumnPosition(const TextStore& text, const QString& input) {
  const QRegularExpressionMatch m = lineColumn().match(input);
  if (!m.hasMatch()) return -1;
  return lineColumnToPosition(text, m.captured(1).toLongLong() - 1,
                              m.captured(2).isEmpty() ? 0 : m.captured(2).toLongLong() - 1);
}

TGotoLine::TGotoLine(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("Aller à la ligne"));
  auto* label = new QLabel(QStringLiteral("&Ligne (ou ligne:colonne) :"), this);
  Edit1 = new QLineEdit(this);
  label->setBuddy(Edit1);
  Button1 = new QPushButton(QStringLiteral("OK"), this);
  Button1->setDefault(true);
  Button2 = new QPushButton(QStringLiteral("Annuler"), this);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(Button1);
  buttons->addWidget(Button2);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(label);
  layout->addWidget(Edit1);
  layout->addLayout(buttons);

  connect(Edit1, &QLineEdit::textChanged, this,
          [this](const QString& t) { Button1->setEnabled(lineColumn().match(t).hasMatch()); });
  connect(Button1, &QPushButton::clicked, this, [this] {
    confirmed_ = true;
    accept();
  });
  connect(Button2, &QPushButton::clicked, this, &QDialog::reject);
}

void TGotoLine::Init(int64_t line) {
  confirmed_ = false;
  Edit1->setText(QString::number(line));
  Edit1->selectAll();
  Edit1->setFocus();
}

QString TGotoLine::Result() const { return confirmed_ ? Edit1->text() : QString(); }
