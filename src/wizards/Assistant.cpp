#include "Assistant.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "WizardButtons.h"
#include "WizardLines.h"

TAssistant::TAssistant(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("Assistant"));
  setWindowTitle(QStringLiteral("Document simple"));

  auto* grid = new QGridLayout(this);
  grid->setContentsMargins(16, 12, 16, 12);
  grid->setVerticalSpacing(6);
  Label1 = new QLabel(QStringLiteral("Structure de la base de données"), this);
  QFont title = Label1->font();
  title.setPixelSize(17);
  Label1->setFont(title);
  grid->addWidget(Label1, 0, 0, 1, 2);

  int r = 1;
  const auto row = [&](QLabel*& label, QLineEdit*& edit, const QString& caption,
                       const QString& text) {
    label = new QLabel(caption, this);
    edit = new QLineEdit(text, this);
    edit->setObjectName(QStringLiteral("Edit%1").arg(r));
    label->setBuddy(edit);
    grid->addWidget(label, r, 0);
    grid->addWidget(edit, r, 1);
    ++r;
  };
  row(Label2, Edit1, QStringLiteral("Document"), QStringLiteral("Body"));
  row(Label3, Edit2, QStringLiteral("Enregistrement"), QStringLiteral("Record"));
  row(Label4, Edit3, QStringLiteral("Champ1"), QStringLiteral("Champ"));
  row(Label5, Edit4, QStringLiteral("Champ2"), QString());
  row(Label6, Edit5, QStringLiteral("Champ3"), QString());
  row(Label7, Edit6, QStringLiteral("Champ4"), QString());
  row(Label8, Edit7, QStringLiteral("Champ5"), QString());
  row(Label9, Edit8, QStringLiteral("Champ6"), QString());
  row(Label10, Edit9, QStringLiteral("Champ7"), QString());

  grid->setRowMinimumHeight(10, 8);
  grid->addLayout(cancelOkRow(this, Button1, Button2), 11, 0, 1, 2);
  connect(Button1, &QPushButton::clicked, this, &TAssistant::Button1Click);
  connect(Button2, &QPushButton::clicked, this, &TAssistant::Button2Click);
  Button2->setDefault(true);

  setFixedSize(sizeHint().expandedTo(QSize(386, 302)));
}

void TAssistant::Button1Click() {
  confirmed_ = false;
  reject();
}

void TAssistant::Button2Click() {
  confirmed_ = true;
  accept();
}

void TAssistant::Result(QStringList& lines) const {
  if (!confirmed_) return;
  QStringList fields;
  for (const QLineEdit* e : {Edit3, Edit4, Edit5, Edit6, Edit7, Edit8, Edit9}) fields << e->text();
  lines << wizards::simpleDocument(Edit1->text(), Edit2->text(), fields);
}
