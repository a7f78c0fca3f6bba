#include "FCasse.h"

#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "Conversion.h"

TFCasse::TFCasse(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("Changer la casse"));
  RadioGroup1 = new QGroupBox(this);
  QFont gras = RadioGroup1->font();
  gras.setBold(true);
  RadioGroup1->setFont(gras);
  Minuscules = new QRadioButton(QStringLiteral("Tout mettre en minuscules"), RadioGroup1);
  Majuscules = new QRadioButton(QStringLiteral("Tout mettre en majuscules"), RadioGroup1);
  Minuscules->setChecked(true);
  auto* choix = new QVBoxLayout(RadioGroup1);
  choix->addWidget(Minuscules);
  choix->addWidget(Majuscules);

  Button1 = new QPushButton(QStringLiteral("OK"), this);
  Button1->setDefault(true);
  Button2 = new QPushButton(QStringLiteral("Annuler"), this);
  auto* boutons = new QHBoxLayout;
  boutons->addStretch();
  boutons->addWidget(Button1);
  boutons->addWidget(Button2);
  auto* disposition = new QVBoxLayout(this);
  disposition->addWidget(RadioGroup1);
  disposition->addLayout(boutons);
  setFixedSize(sizeHint());

  connect(Button1, &QPushButton::clicked, this, [this] {
    confirmed_ = true;
    accept();
  });
  connect(Button2, &QPushButton::clicked, this, [this] {
    confirmed_ = false;
    reject();
  });
}

void TFCasse::Init(const QString& text) {
  text_ = text;
  confirmed_ = false;
}

QString TFCasse::Result() const {
  if (!confirmed_) return text_;
  return conversion::changeCase(text_, Majuscules->isChecked());
}
