#include "About.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

#include "Glyphs.h"

TAboutBox::TAboutBox(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("AboutBox"));
  setWindowTitle(QStringLiteral("A propos"));
  auto* grid = new QGridLayout(this);
  // A box of fixed size, which window managers offer no maximize button for.
  grid->setSizeConstraint(QLayout::SetFixedSize);
  grid->setContentsMargins(16, 16, 16, 12);
  grid->setHorizontalSpacing(16);
  setMinimumWidth(280);
  auto* picture = new QLabel(this);
  picture->setPixmap(logoPixmap(64));
  grid->addWidget(picture, 0, 0, 3, 1, Qt::AlignTop);
  auto* name = new QLabel(QStringLiteral("Tovelo"), this);
  QFont f = name->font();
  f.setBold(true);
  f.setPointSizeF(f.pointSizeF() * 1.4);
  name->setFont(f);
  grid->addWidget(name, 0, 1);
  grid->addWidget(new QLabel(QStringLiteral("Version 2.0"), this), 1, 1);
  grid->addWidget(new QLabel(QStringLiteral("Éditeur XML"), this), 2, 1);
  auto* buttons = new QDialogButtonBox(this);
  QPushButton* ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
  ok->setDefault(true);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  grid->addWidget(buttons, 3, 0, 1, 2);
}
