// The "Utilitaires" menu of the main window opens each accessory as a modal window; the notepad
// keeps its notes in the start-up folder.
#include <gtest/gtest.h>

#include <functional>

#include <QAction>
#include <QApplication>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "Blocnotes.h"
#include "ClockSetter.h"
#include "FileBytes.h"
#include "MainForm.h"
#include "ScriptedPrompts.h"

namespace {

class RefusingClock : public ClockSetter {
 public:
  RefusingClock() { previous_ = ClockSetter::install(this); }
  ~RefusingClock() override { ClockSetter::install(previous_); }
  bool setUtc(const QDateTime&) override { return false; }

 private:
  ClockSetter* previous_;
};

// Triggers the action and hands the modal window it opens to `inside`, which must close it.
void whileOpen(QAction* action, const std::function<void(QWidget*)>& inside) {
  bool seen = false;
  QTimer::singleShot(0, [&] {
    QWidget* modal = QApplication::activeModalWidget();
    seen = modal != nullptr;
    if (modal) inside(modal);
    if (modal && modal->isVisible()) modal->close();
  });
  action->trigger();
  EXPECT_TRUE(seen);
}

TEST(UtilitairesMenu, EachItemOpensItsAccessory) {
  RefusingClock clock;
  TMainForm main;
  const struct {
    QAction* action;
    const char* caption;
  } items[] = {{main.Calendrier1, "Calendrier"},
               {main.Calculatrice1, "Calculatrice"},
               {main.Euroconversion1, "Euro convertisseur"},
               {main.Horloge1, "Horloge"},
               {main.Blocnotes1, "Bloc-notes"}};
  for (const auto& item : items) {
    SCOPED_TRACE(item.caption);
    QString caption;
    whileOpen(item.action, [&](QWidget* w) { caption = w->windowTitle(); });
    EXPECT_EQ(caption, item.caption);
  }
}

TEST(UtilitairesMenu, TheNotepadKeepsItsNotesInTheStartUpFolder) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  TMainForm main;
  main.RepertoireDepart = dir.path();
  const QString notes = dir.filePath("Tovelo.nte");

  whileOpen(main.Blocnotes1, [](QWidget*) {});
  EXPECT_FALSE(QFileInfo::exists(notes));

  whileOpen(main.Blocnotes1, [](QWidget* w) {
    auto* pad = qobject_cast<TBlocnotes*>(w);
    ASSERT_TRUE(pad);
    QTest::keyClicks(pad->Memo1, "rappel");
  });
  EXPECT_EQ(readBytes(notes), "rappel\r\n");

  QString shown;
  whileOpen(main.Blocnotes1, [&](QWidget* w) {
    shown = qobject_cast<TBlocnotes*>(w)->Memo1->toPlainText();
  });
  EXPECT_EQ(shown, "rappel");
}

// The pad holds the only copy of typed notes while the notes file cannot be written.
TEST(UtilitairesMenu, NotesThatCannotBeWrittenCanBeTakenBackToThePad) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  TMainForm main;
  main.RepertoireDepart = dir.filePath("absent");  // no such folder: the save fails
  ScriptedPrompts prompts;
  prompts.answers = {Prompts::Answer::Yes, Prompts::Answer::No};
  int shown = 0;
  QString textSeenAgain;
  std::function<void()> inside = [&] {
    auto* pad = qobject_cast<TBlocnotes*>(QApplication::activeModalWidget());
    ASSERT_TRUE(pad);
    if (++shown == 1) QTest::keyClicks(pad->Memo1, "rappel");
    else textSeenAgain = pad->Memo1->toPlainText();
    if (shown < 2) QTimer::singleShot(0, inside);  // the next showing of the pad
    pad->close();
  };
  QTimer::singleShot(0, inside);
  main.Blocnotes1->trigger();
  EXPECT_EQ(shown, 2);
  EXPECT_EQ(textSeenAgain, "rappel");
  ASSERT_EQ(prompts.log.size(), 4);  // error, question, error, question
  EXPECT_TRUE(prompts.log[1].startsWith("confirm: Les notes n'ont pas pu être enregistrées."));
}

}  // namespace
