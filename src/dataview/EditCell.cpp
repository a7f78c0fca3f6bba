#include "EditCell.h"

#include <QGuiApplication>
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
  Button2->setDefault(false);
  Button2->setAutoDefault(false);
  Button1->setAutoDefault(false);
  connect(Button1, &QPushButton::clicked, this, &QDialog::reject);
  connect(Button2, &QPushButton::clicked, this, &QDialog::accept);
  if (const QScreen* screen = QGuiApplication::primaryScreen())
    move(screen->availableGeometry().center() - rect().center());
}

void TEditCell::Init(const QString& text) { Memo1->setPlainText(text); }

QString TEditCell::Result() const { return result() == QDialog::Accepted ? Memo1->toPlainText() : QString(); }
