#include "Pocket.h"

#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>

#include "PanelColours.h"
#include "Prompts.h"

namespace {

const char* const kCaptions[20] = {"0", "1", "2", "3", "4", "5", "6", "7", "8", "9",
                                   ",", "=", "+", "-", "*", "/", "1/x", "sqr", "C", "Fermer"};

// Grid places (row, column) of the buttons, in the order of kCaptions.
const int kPlaces[20][2] = {{3, 1}, {2, 0}, {2, 1}, {2, 2}, {1, 0}, {1, 1}, {1, 2},
                            {0, 0}, {0, 1}, {0, 2}, {3, 0}, {3, 2}, {0, 3}, {1, 3},
                            {2, 3}, {3, 3}, {0, 4}, {1, 4}, {2, 4}, {3, 4}};

}  // namespace

TPocket::TPocket(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint) {
  setWindowTitle(QStringLiteral("Calculatrice"));
  setFixedSize(342, 219);
  accessories::paintPanel(this, QColor(0, 128, 128));

  auto* top = new QWidget(this);
  top->setGeometry(8, 8, 326, 52);
  accessories::paintPanel(top, Qt::white);
  auto* navy = new QWidget(top);
  navy->setGeometry(3, 3, 320, 46);
  accessories::paintPanel(navy, QColor(0, 0, 128));
  Label1 = new QLabel(navy);
  Label1->setGeometry(4, 4, 312, 30);
  Label1->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  accessories::paintPanel(Label1, QColor(192, 192, 192));
  QFont big = Label1->font();
  big.setPixelSize(20);
  big.setBold(true);
  Label1->setFont(big);
  Label1->setContentsMargins(4, 0, 4, 0);
  Label2 = new QLabel(navy);
  Label2->setGeometry(4, 38, 312, 4);
  accessories::paintPanel(Label2, Qt::red);

  constexpr int kLeft = 8, kTop = 70, kWidth = 58, kHeight = 32, kGapX = 8, kGapY = 5;
  for (int i = 0; i < 20; ++i) {
    Button[i] = new QPushButton(QString::fromLatin1(kCaptions[i]), this);
    Button[i]->setObjectName(QStringLiteral("Button%1").arg(i));
    const int x = kLeft + kPlaces[i][1] * (kWidth + kGapX);
    const int y = kTop + kPlaces[i][0] * (kHeight + kGapY);
    Button[i]->setGeometry(x, y, kWidth, kHeight);
    connect(Button[i], &QPushButton::clicked, this, [this, i] { ButtonClick(i); });
  }
  // "Fermer" sits after the operators, in a wider place of its own.
  Button[19]->setGeometry(kLeft + 4 * (kWidth + kGapX), kTop + 3 * (kHeight + kGapY),
                          342 - kLeft - 4 * (kWidth + kGapX) - kLeft, kHeight);
  FormActivate();
}

void TPocket::showEvent(QShowEvent* e) {
  // Reset on showing, not on every activation: switching to another program and back must not
  // lose a calculation.
  FormActivate();
  QDialog::showEvent(e);
}

void TPocket::FormActivate() {
  engine_.clear();
  Label1->setText(engine_.display());
  Button[11]->setFocus();
}

void TPocket::report(const QString& error) {
  Label1->setText(engine_.display());
  if (!error.isEmpty()) Prompts::get().error(this, error);
}

void TPocket::ButtonClick(int index) {
  switch (index) {
    case 10: engine_.comma(); break;
    case 11: report(engine_.evaluate()); return;
    case 12: report(engine_.operation(u'+')); return;
    case 13: report(engine_.operation(u'-')); return;
    case 14: report(engine_.operation(u'*')); return;
    case 15: report(engine_.operation(u'/')); return;
    case 16: report(engine_.reciprocal()); return;
    case 17: report(engine_.squareRoot()); return;
    case 18: FormActivate(); return;
    case 19: reject(); return;
    default: engine_.digit(index); break;
  }
  Label1->setText(engine_.display());
}

void TPocket::keyPressEvent(QKeyEvent* e) {
  const QString t = e->text();
  int index = -1;
  if (t.size() == 1) {
    const char16_t c = t[0].unicode();
    if (c >= u'0' && c <= u'9') index = c - u'0';
    else if (c == u',' || c == u'.') index = 10;
    else if (c == u'=') index = 11;
    else if (c == u'+') index = 12;
    else if (c == u'-') index = 13;
    else if (c == u'*') index = 14;
    else if (c == u'/') index = 15;
    else if (c == u'x' || c == u'X') index = 16;
    else if (c == u's' || c == u'S') index = 17;
    else if (c == u'c' || c == u'C') index = 18;
  }
  if (index < 0) {
    QDialog::keyPressEvent(e);
    return;
  }
  ButtonClick(index);
}
