#include "WizardButtons.h"

#include <QHBoxLayout>
#include <QPushButton>

QHBoxLayout* cancelOkRow(QWidget* parent, QPushButton*& cancel, QPushButton*& ok) {
  cancel = new QPushButton(QStringLiteral("Annuler"), parent);
  ok = new QPushButton(QStringLiteral("OK"), parent);
  cancel->setObjectName(QStringLiteral("Button1"));
  ok->setObjectName(QStringLiteral("Button2"));
  auto* row = new QHBoxLayout;
  row->addStretch();
  row->addWidget(cancel);
  row->addWidget(ok);
  return row;
}
