#include "Eurof.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>

#include "PanelColours.h"
#include "SpinButton.h"

namespace {

QLabel* display(QWidget* parent, const QRect& r) {
  auto* l = new QLabel(parent);
  l->setGeometry(r);
  l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  l->setContentsMargins(4, 0, 4, 0);
  accessories::paintPanel(l, QColor(0, 128, 128), Qt::white);
  QFont f = l->font();
  f.setBold(true);
  f.setPixelSize(16);
  l->setFont(f);
  return l;
}

}  // namespace

TEurof::TEurof(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint) {
  setWindowTitle(QStringLiteral("Euro convertisseur"));
  setFixedSize(260, 273);
  accessories::paintPanel(this, QColor(0, 0, 128));

  auto* top = new QWidget(this);
  top->setGeometry(8, 8, 244, 72);
  accessories::paintPanel(top, QColor(192, 192, 192));
  Label1 = display(top, QRect(6, 6, 232, 28));
  Label2 = display(top, QRect(6, 38, 232, 28));

  // Places (row, column) of Button0-Button12; Button10, "Fermer", is placed on its own.
  const int places[13][2] = {{3, 0}, {2, 0}, {2, 1}, {2, 2}, {1, 0}, {1, 1}, {1, 2},
                             {0, 0}, {0, 1}, {0, 2}, {-1, -1}, {3, 2}, {3, 1}};
  const char* const captions[13] = {"0", "1", "2", "3", "4", "5", "6",
                                    "7", "8", "9", "Fermer", "=", ","};
  constexpr int kLeft = 8, kTop = 92, kSize = 40, kGap = 4;
  for (int i = 0; i < 13; ++i) {
    Button[i] = new QPushButton(QString::fromLatin1(captions[i]), this);
    Button[i]->setObjectName(QStringLiteral("Button%1").arg(i));
    if (places[i][0] >= 0)
      Button[i]->setGeometry(kLeft + places[i][1] * (kSize + kGap),
                             kTop + places[i][0] * (kSize + kGap), kSize, kSize);
    // The keys reach the digits; Tab goes only to "=", the choices and "Fermer".
    if (i <= 9 || i == 12) Button[i]->setFocusPolicy(Qt::NoFocus);
    Button[i]->setAutoDefault(false);
  }
  for (int i = 0; i <= 9; ++i)
    connect(Button[i], &QPushButton::clicked, this, [this, i] { enter(QChar(u'0' + i)); });
  connect(Button[12], &QPushButton::clicked, this, [this] { enter(u','); });
  connect(Button[11], &QPushButton::clicked, this, &TEurof::convert);
  connect(Button[10], &QPushButton::clicked, this, &QDialog::reject);
  Button[11]->setDefault(true);

  const int right = kLeft + 3 * (kSize + kGap) + 8;
  RadioButton1 = new QRadioButton(QStringLiteral("Fr>Euro"), this);
  RadioButton2 = new QRadioButton(QStringLiteral("Euro>Fr"), this);
  RadioButton1->setGeometry(right, kTop, 110, 20);
  RadioButton2->setGeometry(right, kTop + 22, 110, 20);
  for (QRadioButton* r : {RadioButton1, RadioButton2}) {
    QPalette p = r->palette();
    p.setColor(QPalette::WindowText, Qt::white);
    r->setPalette(p);
  }
  RadioButton1->setChecked(true);

  Edit3 = new QLineEdit(this);
  Edit3->setReadOnly(true);
  Edit3->setFocusPolicy(Qt::NoFocus);
  Edit3->setGeometry(right, kTop + 2 * (kSize + kGap), 80, 26);
  SpinButton1 = new SpinButton(this);
  SpinButton1->setGeometry(right + 82, kTop + 2 * (kSize + kGap), 18, 26);
  connect(SpinButton1, &SpinButton::upClick, this, &TEurof::SpinButton1UpClick);
  connect(SpinButton1, &SpinButton::downClick, this, &TEurof::SpinButton1DownClick);
  Button[10]->setGeometry(right, kTop + 3 * (kSize + kGap), 100, kSize);

  setTabOrder(Button[11], RadioButton1);
  setTabOrder(RadioButton1, SpinButton1);
  setTabOrder(SpinButton1, Button[10]);

  if (const QScreen* screen = QGuiApplication::primaryScreen())
    move(screen->availableGeometry().center() - rect().center());
  FormActivate();
}

void TEurof::showEvent(QShowEvent* e) {
  FormActivate();
  QDialog::showEvent(e);
}

void TEurof::FormActivate() {
  Edit3->setText(accessories::euroRateText(rate_));
  resultShown_ = false;
  Button[11]->setFocus();
}

void TEurof::clearDisplays() {
  Label1->clear();
  Label2->clear();
  resultShown_ = false;
}

void TEurof::Init() {
  if (resultShown_) clearDisplays();
}

void TEurof::enter(QChar c) {
  Init();
  Label1->setText(Label1->text() + c);
}

void TEurof::convert() {
  resultShown_ = true;
  const auto direction = RadioButton2->isChecked() ? accessories::EuroDirection::EurosToFrancs
                                                   : accessories::EuroDirection::FrancsToEuros;
  const std::optional<QString> result =
      accessories::convertEuroText(Label1->text(), rate_, direction);
  if (!result) {
    clearDisplays();
    return;
  }
  Label2->setText(*result);
}

void TEurof::SpinButton1UpClick() {
  ++rate_;
  Edit3->setText(accessories::euroRateText(rate_));
}

void TEurof::SpinButton1DownClick() {
  rate_ = std::max(rate_ - 1, 1LL);
  Edit3->setText(accessories::euroRateText(rate_));
}

void TEurof::GetIni(long long& rate, int& direction) const {
  rate = rate_;
  direction = RadioButton2->isChecked() ? 2 : 1;
}

void TEurof::SetIni(int direction, long long rate) {
  rate_ = rate < 100000 ? accessories::kDefaultEuroRate : rate;
  Edit3->setText(accessories::euroRateText(rate_));
  if (direction == 1) RadioButton1->setChecked(true);
  if (direction == 2) RadioButton2->setChecked(true);
}

void TEurof::keyPressEvent(QKeyEvent* e) {
  if (e->key() == Qt::Key_Escape || e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) {
    QDialog::keyPressEvent(e);  // Esc closes, Enter presses "=", the default button
    return;
  }
  const QString t = e->text();
  if (t.size() == 1) {
    const QChar c = t[0];
    if (c.unicode() >= u'0' && c.unicode() <= u'9') {
      enter(c);
      return;
    }
    if (c == u',' || c == u'.') {
      enter(u',');
      return;
    }
    Init();
  }
  QDialog::keyPressEvent(e);
}
