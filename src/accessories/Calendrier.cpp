#include "Calendrier.h"

#include <QCalendarWidget>
#include <QDate>
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QStyle>
#include <QTableView>
#include <QTextCharFormat>
#include <QVBoxLayout>

namespace {
const QLocale kFrench(QLocale::French, QLocale::France);
}

QString calendarHeading(const QDate& d) {
  return kFrench.monthName(d.month(), QLocale::LongFormat) + QStringLiteral("  ") +
         QString::number(d.year());
}

TCalendrier::TCalendrier(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint) {
  setWindowTitle(QStringLiteral("Calendrier"));
  resize(377, 274);

  auto* top = new QWidget(this);
  top->setFixedHeight(64);
  QPalette teal = top->palette();
  teal.setColor(QPalette::Window, QColor(0, 128, 128));
  top->setPalette(teal);
  top->setAutoFillBackground(true);

  Label1 = new QLabel(top);
  Label1->setGeometry(2, 4, 372, 26);
  Label1->setAlignment(Qt::AlignCenter);
  QFont heading(QStringLiteral("Arial"));
  heading.setPixelSize(23);
  heading.setBold(true);
  Label1->setFont(heading);
  QPalette red = Label1->palette();
  red.setColor(QPalette::WindowText, Qt::red);
  Label1->setPalette(red);

  BitBtn1 = new QPushButton(style()->standardIcon(QStyle::SP_ArrowLeft), QStringLiteral("Mois"),
                            top);
  BitBtn1->setGeometry(8, 34, 80, 26);
  BitBtn2 = new QPushButton(style()->standardIcon(QStyle::SP_ArrowRight), QStringLiteral("Mois"),
                            top);
  BitBtn2->setLayoutDirection(Qt::RightToLeft);  // the picture on the right of the caption
  BitBtn2->setGeometry(96, 34, 80, 26);
  Button1 = new QPushButton(QStringLiteral("Fermer"), top);
  Button1->setGeometry(288, 34, 80, 26);
  for (QPushButton* b : {BitBtn1, BitBtn2, Button1}) {
    b->setAutoDefault(false);
    b->installEventFilter(this);
  }
  connect(BitBtn1, &QPushButton::clicked, this, &TCalendrier::BitBtn1Click);
  connect(BitBtn2, &QPushButton::clicked, this, &TCalendrier::BitBtn2Click);
  connect(Button1, &QPushButton::clicked, this, &QDialog::reject);

  Calendar1 = new QCalendarWidget(this);
  Calendar1->setLocale(kFrench);
  Calendar1->setFirstDayOfWeek(Qt::Sunday);
  Calendar1->setNavigationBarVisible(false);
  Calendar1->setVerticalHeaderFormat(QCalendarWidget::NoVerticalHeader);
  Calendar1->setHorizontalHeaderFormat(QCalendarWidget::ShortDayNames);
  Calendar1->setSelectedDate(QDate::currentDate());
  QPalette lime = Calendar1->palette();
  lime.setColor(QPalette::Base, QColor(0, 255, 0));
  lime.setColor(QPalette::AlternateBase, QColor(0, 255, 0));
  Calendar1->setPalette(lime);
  // Days are drawn black whatever the day, as on a plain month grid.
  QTextCharFormat days;
  days.setForeground(Qt::black);
  Calendar1->setWeekdayTextFormat(Qt::Saturday, days);
  Calendar1->setWeekdayTextFormat(Qt::Sunday, days);
  if (auto* view = Calendar1->findChild<QTableView*>()) view->installEventFilter(this);
  connect(Calendar1, &QCalendarWidget::selectionChanged, this, &TCalendrier::Calendar1Change);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(top);
  layout->addWidget(Calendar1, 1);

  Calendar1Change();
  Calendar1->setFocus();
}

void TCalendrier::Calendar1Change() { Label1->setText(calendarHeading(Calendar1->selectedDate())); }

// QDate::addMonths keeps the day or takes the month's last one: 31 March back to 28 February.
void TCalendrier::BitBtn1Click() {
  Calendar1->setSelectedDate(Calendar1->selectedDate().addMonths(-1));
}

void TCalendrier::BitBtn2Click() {
  Calendar1->setSelectedDate(Calendar1->selectedDate().addMonths(1));
}

bool TCalendrier::eventFilter(QObject* watched, QEvent* e) {
  if (e->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(e)->key();
    if (key == Qt::Key_PageDown) {
      BitBtn2Click();
      return true;
    }
    if (key == Qt::Key_PageUp) {
      BitBtn1Click();
      return true;
    }
  }
  return QDialog::eventFilter(watched, e);
}
