#include "EditCell.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>

TEditCell::TEditCell(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("Modifier donnée"));
  setFixedSize(544, 229);
  Memo1 = new QPlainTextEdit(this);
  Memo1->setGeometry(0, 0, 536, 161);
  Button1 = new QPushButton(QStringLiteral("Annuler"), this);
  Button1->setGeometry(152, 172, 89, 25);
  Button2 = new QPushButton(QStringLiteral("Valider"), this);
  Button2->setGeometry(296, 172, 89, 25);
  Button2->setDefault(true);
  Memo1->installEventFilter(this);
  connect(Button1, &QPushButton::clicked, this, &QDialog::reject);
  connect(Button2, &QPushButton::clicked, this, &QDialog::accept);
  if (const QScreen* screen = QGuiApplication::primaryScreen())
    move(screen->availableGeometry().center() - rect().center());
}

void TEditCell::Init(const QString& text) { Memo1->setPlainText(text); }

bool TEditCell::eventFilter(QObject* watched, QEvent* event) {
  if (watched == Memo1 && event->type() == QEvent::KeyPress) {
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
      if (key->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier))
        Memo1->insertPlainText(QStringLiteral("\n"));
      else
        Button2->click();
      return true;
    }
  }
  return QDialog::eventFilter(watched, event);
}

QString TEditCell::Result() const { return result() == QDialog::Accepted ? Memo1->toPlainText() : QString(); }
