#include "Horloge.h"

#include <QButtonGroup>
#include <QEvent>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include "ClockFields.h"
#include "ClockSetter.h"
#include "PanelColours.h"
#include "Prompts.h"
#include "SpinButton.h"

namespace {

QLabel* clockDisplay(QWidget* parent, const QRect& r) {
  auto* l = new QLabel(parent);
  l->setGeometry(r);
  l->setAlignment(Qt::AlignCenter);
  l->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  accessories::paintPanel(l, QColor(192, 192, 192), Qt::black);
  QFont f(QStringLiteral("Arial"));
  f.setPixelSize(26);
  f.setBold(true);
  l->setFont(f);
  return l;
}

}  // namespace

THorloge::THorloge(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint) {
  setWindowTitle(QStringLiteral("Horloge"));
  setFixedSize(277, 156);

  auto* panel = new QWidget(this);
  panel->setGeometry(0, 0, 277, 156);
  accessories::paintPanel(panel, Qt::black, Qt::white);

  Label1 = clockDisplay(panel, QRect(8, 10, 160, 44));
  auto* line = new QFrame(panel);
  line->setGeometry(8, 60, 160, 2);
  line->setStyleSheet(QStringLiteral("background: white"));
  Label2 = clockDisplay(panel, QRect(8, 68, 160, 44));

  auto* logo = new QLabel(QStringLiteral("Tovelo"), panel);
  QFont italic = logo->font();
  italic.setBold(true);
  italic.setItalic(true);
  logo->setFont(italic);
  logo->setGeometry(8, 126, 100, 20);

  RadioGroup1 = new QGroupBox(panel);
  RadioGroup1->setGeometry(176, 4, 94, 72);
  RadioGroup1Items = new QButtonGroup(this);
  const char* const items[5] = {"Hr", "Mn", "Jo", "Mo", "An"};
  for (int i = 0; i < 5; ++i) {
    auto* r = new QRadioButton(QString::fromLatin1(items[i]), RadioGroup1);
    r->setGeometry(4 + (i % 2) * 44, 4 + (i / 2) * 22, 44, 20);
    RadioGroup1Items->addButton(r, i);
  }

  SpinButton1 = new SpinButton(panel);
  SpinButton1->setGeometry(176, 82, 20, 32);
  connect(SpinButton1, &SpinButton::upClick, this, &THorloge::SpinButton1UpClick);
  connect(SpinButton1, &SpinButton::downClick, this, &THorloge::SpinButton1DownClick);

  Button2 = new QPushButton(QStringLiteral("Set"), panel);
  Button2->setCheckable(true);  // shown pressed while the displays are frozen
  Button2->setGeometry(202, 82, 68, 28);
  connect(Button2, &QPushButton::clicked, this, &THorloge::Button2Click);
  Button1 = new QPushButton(QStringLiteral("Fermer"), panel);
  Button1->setGeometry(202, 118, 68, 28);
  connect(Button1, &QPushButton::clicked, this, &QDialog::reject);

  Timer1 = new QTimer(this);
  Timer1->setInterval(1000);
  connect(Timer1, &QTimer::timeout, this, &THorloge::Timer1Timer);
  Timer1Timer();
}

bool THorloge::event(QEvent* e) {
  if (e->type() == QEvent::WindowActivate) FormActivate();
  if (e->type() == QEvent::WindowDeactivate) FormDeactivate();
  return QDialog::event(e);
}

void THorloge::Timer1Timer() {
  const QDateTime now = now_();
  Label1->setText(accessories::clockTimeText(now.time()));
  Label2->setText(accessories::clockDateText(now.date()));
}

void THorloge::FormActivate() {
  Timer1->start();
  Timer1Timer();
  setting_ = false;
  Button2->setChecked(false);
}

void THorloge::FormDeactivate() { Timer1->stop(); }

void THorloge::Button2Click() {
  if (setting_) Modifie();
  setting_ = !setting_;
  Button2->setChecked(setting_);
  if (setting_) {
    Timer1->stop();
  } else {
    Timer1->start();
    Timer1Timer();
  }
}

void THorloge::unreadable() {
  Prompts::get().error(this, QStringLiteral("L'heure ou la date affichée ne peut pas être lue : "
                                            "« %1 %2 ».")
                                 .arg(Label1->text(), Label2->text()));
}

void THorloge::spin(int delta) {
  const int id = RadioGroup1Items->checkedId();
  if (id < 0) return;
  const auto stepped = accessories::stepClockField({Label1->text(), Label2->text()},
                                                   accessories::ClockField(id), delta,
                                                   now_().date().year());
  if (!stepped) {
    unreadable();
    return;
  }
  Label1->setText(stepped->time);
  Label2->setText(stepped->date);
}

void THorloge::Modifie() {
  const auto values =
      accessories::readClockTexts({Label1->text(), Label2->text()}, now_().date().year());
  if (!values) {
    unreadable();
    return;
  }
  // A date that does not exist (31/04, day 0) leaves the clock as it is, as a refusal does.
  if (const auto utc = accessories::localToUtc(*values, zone_)) ClockSetter::get().setUtc(*utc);
}
