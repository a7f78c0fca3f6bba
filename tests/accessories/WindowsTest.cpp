// Each accessory window driven with keys and clicks, offscreen. Messages are answered by
// ScriptedPrompts; the clock's setter is a recorder, so the machine's clock is never touched.
#include <gtest/gtest.h>

#include <QAbstractItemModel>
#include <QButtonGroup>
#include <QCalendarWidget>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include "Blocnotes.h"
#include "Calendrier.h"
#include "ClockSetter.h"
#include "Eurof.h"
#include "FileBytes.h"
#include "Horloge.h"
#include "Pocket.h"
#include "Prompts.h"
#include "ScriptedPrompts.h"
#include "SpinButton.h"
#include "TextFile.h"

inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }
inline void PrintTo(const QDateTime& d, std::ostream* os) {
  *os << d.toString(Qt::ISODate).toStdString();
}

namespace {

class RecordingClock : public ClockSetter {
 public:
  RecordingClock() { previous_ = ClockSetter::install(this); }
  ~RecordingClock() override { ClockSetter::install(previous_); }
  QList<QDateTime> set;
  bool setUtc(const QDateTime& utc) override {
    set << utc;
    return false;
  }

 private:
  ClockSetter* previous_;
};

// ---- Calculator --------------------------------------------------------------------------

TEST(Pocket, KeysReachTheButtonsFromWhereverTheFocusIs) {
  ScriptedPrompts prompts;
  TPocket w;
  w.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
  EXPECT_TRUE(w.Button[11]->hasFocus());  // "="

  QTest::keyClicks(w.Button[11], "7+8=");
  EXPECT_EQ(w.Label1->text(), "15");
  QTest::keyClick(w.Button[11], Qt::Key_Return);  // Enter presses the focused "="
  EXPECT_EQ(w.Label1->text(), "30");

  QTest::keyClicks(w.Button[3], "c9s+1=");  // from another button, "c" clearing first
  EXPECT_EQ(w.Label1->text(), "4");
  QTest::keyClicks(&w, "C4x");
  EXPECT_EQ(w.Label1->text(), "0,25");
  QTest::keyClicks(&w, "C1.5*2=");  // "." is the comma
  EXPECT_EQ(w.Label1->text(), "3");
  EXPECT_TRUE(prompts.log.isEmpty());
}

TEST(Pocket, ClicksWorkTheSameAndFaultsAreReported) {
  ScriptedPrompts prompts;
  TPocket w;
  w.show();
  for (int b : {5, 15, 0, 11}) QTest::mouseClick(w.Button[b], Qt::LeftButton);  // 5 / 0 =
  EXPECT_EQ(prompts.log, QStringList{"error: Division par zéro."});
  EXPECT_EQ(w.Label1->text(), "0");
  for (int b : {2, 11}) QTest::mouseClick(w.Button[b], Qt::LeftButton);  // the "/" still pending
  EXPECT_EQ(w.Label1->text(), "2,5");

  for (int b : {18, 4, 13, 9, 11, 17}) QTest::mouseClick(w.Button[b], Qt::LeftButton);  // 4-9=sqr
  EXPECT_EQ(w.Label1->text(), "-5");
  EXPECT_EQ(prompts.log.last(), "error: Racine carrée impossible : -5 est négatif.");
}

TEST(Pocket, EscClosesAndReopeningStartsEmpty) {
  ScriptedPrompts prompts;
  TPocket w;
  w.show();
  QTest::keyClicks(w.Button[11], "12+3");
  EXPECT_EQ(w.Label1->text(), "3");
  QTest::keyClick(w.Button[11], Qt::Key_Escape);
  EXPECT_FALSE(w.isVisible());
  w.show();
  EXPECT_EQ(w.Label1->text(), "");
  QTest::keyClicks(w.Button[11], "5=");
  EXPECT_EQ(w.Label1->text(), "5");  // no "+" left pending from before
  QTest::keyClicks(w.Button[11], "+1=");
  EXPECT_EQ(w.Label1->text(), "6");
}

// ---- Euro converter ------------------------------------------------------------------------

TEST(Eurof, ConvertsTheAmountTypedEitherWay) {
  TEurof w;
  w.show();
  EXPECT_EQ(w.Edit3->text(), "6,55957");
  EXPECT_EQ(w.focusWidget(), w.Button[11]);

  QTest::keyClicks(w.Button[11], "100");
  QTest::keyClick(w.Button[11], Qt::Key_Return);
  EXPECT_EQ(w.Label1->text(), "100");
  EXPECT_EQ(w.Label2->text(), "15,24");

  QTest::mouseClick(w.RadioButton2, Qt::LeftButton);
  QTest::keyClick(w.RadioButton2, Qt::Key_1);  // a digit after a result starts a new amount
  EXPECT_EQ(w.Label1->text(), "1");
  EXPECT_EQ(w.Label2->text(), "");
  QTest::mouseClick(w.Button[11], Qt::LeftButton);
  EXPECT_EQ(w.Label2->text(), "6,6");

  QTest::mouseClick(w.Button[1], Qt::LeftButton);
  QTest::mouseClick(w.Button[0], Qt::LeftButton);
  QTest::mouseClick(w.Button[11], Qt::LeftButton);
  EXPECT_EQ(w.Label2->text(), "65,6");

  QTest::keyClick(w.Button[11], Qt::Key_A);  // any other key clears a result
  EXPECT_EQ(w.Label1->text(), "");
  EXPECT_EQ(w.Label2->text(), "");

  QTest::mouseClick(w.RadioButton1, Qt::LeftButton);
  QTest::keyClicks(w.Button[11], "6.55957");
  QTest::keyClick(w.Button[11], Qt::Key_Enter);
  EXPECT_EQ(w.Label1->text(), "6,55957");
  EXPECT_EQ(w.Label2->text(), "1");
}

TEST(Eurof, AnAmountThatIsNotANumberClearsBothDisplays) {
  TEurof w;
  w.show();
  QTest::keyClicks(w.Button[11], "1,,2");
  QTest::mouseClick(w.Button[12], Qt::LeftButton);
  EXPECT_EQ(w.Label1->text(), "1,,2,");
  QTest::keyClick(w.Button[11], Qt::Key_Return);
  EXPECT_EQ(w.Label1->text(), "");
  EXPECT_EQ(w.Label2->text(), "");
  QTest::keyClicks(w.Button[11], "2");  // typing goes on as a new amount
  EXPECT_EQ(w.Label1->text(), "2");
}

TEST(Eurof, TheRateStepsByTheSpinButtonAndStopsAtItsMinimum) {
  TEurof w;
  w.show();
  QTest::mouseClick(w.SpinButton1->upButton(), Qt::LeftButton);
  EXPECT_EQ(w.Edit3->text(), "6,55958");
  w.SpinButton1->setFocus();
  QTest::keyClick(w.SpinButton1, Qt::Key_Down);
  QTest::keyClick(w.SpinButton1, Qt::Key_Down);
  EXPECT_EQ(w.Edit3->text(), "6,55956");

  while (w.rate() > 2) w.SpinButton1DownClick();
  QTest::mouseClick(w.SpinButton1->downButton(), Qt::LeftButton);
  EXPECT_EQ(w.Edit3->text(), "0,00001");
  QTest::keyClick(w.SpinButton1, Qt::Key_Down);
  EXPECT_EQ(w.Edit3->text(), "0,00001");
  EXPECT_EQ(w.rate(), 1);

  // A caller's saved settings: a rate below 1,00000 is not taken.
  long long rate = 0;
  int direction = 0;
  w.SetIni(2, 99999);
  w.GetIni(rate, direction);
  EXPECT_EQ(rate, 655957);
  EXPECT_EQ(direction, 2);
}

// ---- Clock -------------------------------------------------------------------------------

class HorlogeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    w.setClockSource([this] { return now; });
    w.setTimeZone(QTimeZone("Europe/Paris"));
    w.show();
    w.FormActivate();
  }
  void choose(int field) { QTest::mouseClick(w.RadioGroup1Items->button(field), Qt::LeftButton); }
  void up(int times) {
    for (int i = 0; i < times; ++i) QTest::mouseClick(w.SpinButton1->upButton(), Qt::LeftButton);
  }

  RecordingClock clock;
  ScriptedPrompts prompts;
  QDateTime now{QDate(2026, 7, 14), QTime(12, 34, 56)};
  THorloge w;
};

TEST_F(HorlogeTest, SetSetsTheFrozenLocalTimeAsUniversalTime) {
  EXPECT_EQ(w.Label1->text(), "12:34:56");
  EXPECT_EQ(w.Label2->text(), "14/07/2026");
  EXPECT_TRUE(w.Timer1->isActive());

  QTest::mouseClick(w.Button2, Qt::LeftButton);  // "Set": frozen
  EXPECT_TRUE(w.settingMode());
  EXPECT_FALSE(w.Timer1->isActive());
  choose(1);  // "Mn"
  up(3);
  now = now.addSecs(20);
  QTest::mouseClick(w.Button2, Qt::LeftButton);

  // Paris is two hours ahead of universal time in summer.
  EXPECT_EQ(clock.set, QList<QDateTime>{QDateTime({2026, 7, 14}, {10, 37, 56}, Qt::UTC)});
  EXPECT_FALSE(w.settingMode());
  EXPECT_TRUE(w.Timer1->isActive());
  EXPECT_EQ(w.Label1->text(), "12:35:16");
  EXPECT_TRUE(prompts.log.isEmpty());
}

TEST_F(HorlogeTest, TheSpinButtonChangesOnlyTheChosenField) {
  up(1);  // no field chosen: nothing
  EXPECT_EQ(w.Label1->text(), "12:34:56");
  QTest::mouseClick(w.Button2, Qt::LeftButton);
  choose(0);  // "Hr"
  up(20);
  EXPECT_EQ(w.Label1->text(), "23:34:56");
  choose(4);  // "An"
  w.SpinButton1->setFocus();
  QTest::keyClick(w.SpinButton1, Qt::Key_Down);
  EXPECT_EQ(w.Label2->text(), "14/07/2025");
  choose(2);  // "Jo"
  for (int i = 0; i < 40; ++i) w.SpinButton1DownClick();
  EXPECT_EQ(w.Label2->text(), "00/07/2025");
  QTest::mouseClick(w.Button2, Qt::LeftButton);
  EXPECT_TRUE(clock.set.isEmpty());  // day 0 does not exist: the clock is left alone
  EXPECT_TRUE(prompts.log.isEmpty());
}

TEST_F(HorlogeTest, DeactivationStopsTheTickingAndActivationResumesIt) {
  QTest::mouseClick(w.Button2, Qt::LeftButton);
  EXPECT_TRUE(w.settingMode());
  QEvent deactivate(QEvent::WindowDeactivate);
  QApplication::sendEvent(&w, &deactivate);
  EXPECT_FALSE(w.Timer1->isActive());
  now = now.addSecs(5);
  QEvent activate(QEvent::WindowActivate);
  QApplication::sendEvent(&w, &activate);
  EXPECT_TRUE(w.Timer1->isActive());
  EXPECT_FALSE(w.settingMode());
  EXPECT_EQ(w.Label1->text(), "12:35:01");
  QTest::keyClick(w.Button1, Qt::Key_Escape);
  EXPECT_FALSE(w.isVisible());
  EXPECT_TRUE(clock.set.isEmpty());
}

// ---- Calendar ----------------------------------------------------------------------------

TEST(Calendrier, MonthsChangeToTheSameDayOrTheMonthsLast) {
  TCalendrier w;
  w.show();
  EXPECT_EQ(w.Calendar1->selectedDate(), QDate::currentDate());
  EXPECT_EQ(w.Calendar1->firstDayOfWeek(), Qt::Sunday);
  struct Case {
    QDate from;
    bool next;
    QDate to;
    const char* heading;
  } cases[] = {
      {{2025, 1, 31}, true, {2025, 2, 28}, "février  2025"},
      {{2024, 1, 31}, true, {2024, 2, 29}, "février  2024"},
      {{2026, 3, 31}, false, {2026, 2, 28}, "février  2026"},
      {{1998, 12, 15}, true, {1999, 1, 15}, "janvier  1999"},
      {{1998, 11, 20}, false, {1998, 10, 20}, "octobre  1998"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.heading);
    w.Calendar1->setSelectedDate(c.from);
    QTest::mouseClick(c.next ? w.BitBtn2 : w.BitBtn1, Qt::LeftButton);
    EXPECT_EQ(w.Calendar1->selectedDate(), c.to);
    EXPECT_EQ(w.Label1->text(), QString::fromUtf8(c.heading));
    EXPECT_EQ(w.Calendar1->monthShown(), c.to.month());
  }
}

TEST(Calendrier, PageKeysWorkFromTheGridAndTheButtons) {
  TCalendrier w;
  w.show();
  auto* grid = w.Calendar1->findChild<QTableView*>();
  ASSERT_TRUE(grid);
  w.Calendar1->setSelectedDate({2025, 1, 31});
  QTest::keyClick(grid, Qt::Key_PageDown);
  EXPECT_EQ(w.Calendar1->selectedDate(), QDate(2025, 2, 28));
  QTest::keyClick(w.Button1, Qt::Key_PageUp);
  EXPECT_EQ(w.Calendar1->selectedDate(), QDate(2025, 1, 28));
  QTest::keyClick(w.BitBtn1, Qt::Key_PageDown);
  EXPECT_EQ(w.Calendar1->selectedDate(), QDate(2025, 2, 28));
  EXPECT_EQ(w.Label1->text(), QString::fromUtf8("février  2025"));
  QTest::keyClick(grid, Qt::Key_Right);
  EXPECT_EQ(w.Calendar1->selectedDate(), QDate(2025, 3, 1));
  EXPECT_EQ(w.Label1->text(), "mars  2025");
  QTest::keyClick(grid, Qt::Key_Escape);
  EXPECT_FALSE(w.isVisible());
}

TEST(Calendrier, TheHeadingFollowsADayClickedInTheNeighbouringMonth) {
  TCalendrier w;
  w.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
  w.Calendar1->setSelectedDate({2025, 1, 15});
  auto* grid = w.Calendar1->findChild<QTableView*>();
  ASSERT_TRUE(grid);
  // The last row of January 2025 shows the first days of February.
  const QAbstractItemModel* model = grid->model();
  const int lastRow = model->rowCount() - 1;
  const QModelIndex cell = model->index(lastRow, model->columnCount() - 1);
  const int day = model->data(cell).toInt();
  ASSERT_LT(day, 15);
  QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->visualRect(cell).center());
  EXPECT_EQ(w.Calendar1->selectedDate(), QDate(2025, 2, day));
  EXPECT_EQ(w.Label1->text(), QString::fromUtf8("février  2025"));
}

// ---- Notepad -----------------------------------------------------------------------------

class BlocnotesTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(dir.isValid()); }
  QString notes() const { return dir.filePath("Tovelo.nte"); }

  QTemporaryDir dir;
  ScriptedPrompts prompts;
};

TEST_F(BlocnotesTest, NothingTypedLeavesTheNotesFileUntouched) {
  {
    TBlocnotes w;
    w.Charge(notes());
    EXPECT_EQ(w.Memo1->toPlainText(), "");
    EXPECT_TRUE(w.Sauve(notes()));
  }
  EXPECT_FALSE(QFileInfo::exists(notes()));

  writeBytes(notes(), "ligne 1\r\nligne \xe9t\xe9\r\n");
  // Dated in the past: a rewrite, however quick, would show in the date.
  const QDateTime written = QDateTime::currentDateTime().addDays(-1);
  {
    QFile f(notes());
    ASSERT_TRUE(f.open(QIODevice::ReadWrite) && f.setFileTime(written, QFileDevice::FileModificationTime));
  }
  TBlocnotes w;
  w.Charge(notes());
  EXPECT_EQ(w.Memo1->toPlainText(), QString::fromUtf8("ligne 1\nligne été"));
  EXPECT_TRUE(w.Sauve(notes()));
  EXPECT_EQ(QFileInfo(notes()).lastModified(), written);
  EXPECT_TRUE(prompts.log.isEmpty());
}

TEST_F(BlocnotesTest, TypedLinesAreKeptBetweenOpenings) {
  {
    TBlocnotes w;
    w.show();
    w.Charge(dir.path() + "//Tovelo.nte");  // the start-up folder was the root
    EXPECT_EQ(w.focusWidget(), w.Memo1);
    QTest::keyClicks(w.Memo1, "premier");
    QTest::keyClick(w.Memo1, Qt::Key_Return);
    QTest::keyClicks(w.Memo1, "second");
    QTest::keyClick(w.Button1, Qt::Key_Escape);
    EXPECT_FALSE(w.isVisible());
    EXPECT_TRUE(w.Sauve(dir.path() + "//Tovelo.nte"));
  }
  EXPECT_EQ(readBytes(notes()), "premier\r\nsecond\r\n");
  TBlocnotes w;
  w.Charge(notes());
  EXPECT_EQ(w.Memo1->toPlainText(), "premier\nsecond");
  EXPECT_FALSE(w.Memo1->document()->isModified());
}

TEST_F(BlocnotesTest, AFileThatCannotBeReadIsNeverWrittenOver) {
  writeBytes(notes(), "notes anciennes\r\n");
  textfile::refuseReadingForTests(notes(), EACCES);
  TBlocnotes w;
  w.Charge(notes());
  textfile::refuseReadingForTests(notes(), 0);
  ASSERT_EQ(prompts.log.size(), 1);
  EXPECT_TRUE(prompts.log[0].startsWith("error: "));
  EXPECT_TRUE(w.Memo1->isReadOnly());
  QTest::keyClicks(w.Memo1, "perdu");
  w.Sauve(notes());
  EXPECT_EQ(readBytes(notes()), "notes anciennes\r\n");
}

TEST_F(BlocnotesTest, AFailedSaveIsReportedAndTheNotesStayModified) {
  TBlocnotes w;
  const QString inMissingFolder = dir.filePath("absent/Tovelo.nte");
  w.Charge(inMissingFolder);
  QTest::keyClicks(w.Memo1, "note");
  EXPECT_FALSE(w.Sauve(inMissingFolder));
  ASSERT_EQ(prompts.messages().size(), 1);
  EXPECT_TRUE(prompts.messages()[0].startsWith(QString::fromUtf8("Impossible d'enregistrer")));
  EXPECT_TRUE(w.Memo1->document()->isModified());
}

TEST_F(BlocnotesTest, PrintingWritesEveryLineOnTheSharedPrinter) {
  TBlocnotes w;
  w.Init({"Premi\u00e8re ligne", "Deuxi\u00e8me ligne"});
  QPrinter& printer = Prompts::printer();
  const QString pdf = dir.filePath("notes.pdf");
  printer.setOutputFormat(QPrinter::PdfFormat);
  printer.setOutputFileName(pdf);
  QTest::mouseClick(w.SpeedButton9, Qt::LeftButton);
  printer.setOutputFileName({});
  EXPECT_TRUE(prompts.log.isEmpty());
  ASSERT_TRUE(QFileInfo::exists(pdf));
  QProcess text;
  text.start("pdftotext", {pdf, "-"});
  if (!text.waitForFinished(20000)) GTEST_SKIP() << "pdftotext is missing";
  const QString printed = QString::fromUtf8(text.readAllStandardOutput());
  EXPECT_TRUE(printed.contains(QString::fromUtf8("Première ligne")));
  EXPECT_TRUE(printed.contains(QString::fromUtf8("Deuxième ligne")));
  QStringList lines;
  w.Result(lines);
  EXPECT_EQ(lines, (QStringList{"Premi\u00e8re ligne", "Deuxi\u00e8me ligne"}));
}

}  // namespace
