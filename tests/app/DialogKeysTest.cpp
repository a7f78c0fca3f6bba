// Enter and Escape in the program's dialogs, pressed where the user has the keyboard.
#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <QTreeWidget>

#include "About.h"
#include "Arbre.h"
#include "Assistant.h"
#include "CaractsDialog.h"
#include "EditCell.h"
#include "FBalise.h"
#include "FCasse.h"
#include "Import.h"
#include "Padgen.h"
#include "ScriptedPrompts.h"
#include "StartDialog.h"

inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace {

// Every dialog that has an "OK" or "Valider" button: Enter in it confirms, Escape cancels.
TEST(DialogKeys, EnterConfirmsAndEscapeCancels) {
  ScriptedPrompts prompts;
  const struct {
    const char* name;
    std::function<QDialog*()> make;
    // The field that has the keyboard when Enter is pressed (nullptr: where the dialog puts it).
    std::function<QWidget*(QDialog*)> field;
  } dialogs[] = {
      {"Importer fichier", [] { return new TImport; },
       [](QDialog* d) -> QWidget* { return static_cast<TImport*>(d)->Edit1; }},
      {"Modifier donnée", [] { return new TEditCell; }, nullptr},
      {"Déclaration XML", [] { return new TStartDialog; }, nullptr},
      {"Caractères spéciaux", [] { return new TCaractsDialog; }, nullptr},
      {"Insérer balise", [] { return new TFBalise; }, nullptr},
      {"Changer la casse", [] { return new TFCasse; }, nullptr},
      {"Document simple", [] { return new TAssistant; },
       [](QDialog* d) -> QWidget* { return static_cast<TAssistant*>(d)->Edit2; }},
      {"Document arborescent", [] { return new TArbre; },
       [](QDialog* d) -> QWidget* { return static_cast<TArbre*>(d)->TreeView1; }},
      {"Fiche logiciel", [] { return new TPadgen; }, nullptr},
      {"A propos", [] { return new TAboutBox; }, nullptr},
  };
  for (const auto& dialog : dialogs) {
    for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Escape}) {
      SCOPED_TRACE(std::string(dialog.name) + (key == Qt::Key_Return ? " Enter" : " Escape"));
      std::unique_ptr<QDialog> d(dialog.make());
      d->show();
      QApplication::setActiveWindow(d.get());
      ASSERT_TRUE(QTest::qWaitForWindowActive(d.get()));
      if (dialog.field) dialog.field(d.get())->setFocus();
      QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : d.get();
      QTest::keyClick(target, key);
      EXPECT_FALSE(d->isVisible());
      EXPECT_EQ(d->result(), key == Qt::Key_Return ? QDialog::Accepted : QDialog::Rejected);
    }
  }
}

TEST(DialogKeys, EnterInTheTreeWizardsNameFieldOnlyAppliesTheName) {
  TArbre w;
  w.show();
  QApplication::setActiveWindow(&w);
  ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
  QTreeWidgetItem* livre = w.TreeView1->topLevelItem(0)->child(0);
  w.TreeView1->setCurrentItem(livre);
  w.Edit1->setFocus();
  w.Edit1->setText("Chapitre");
  QTest::keyClick(w.Edit1, Qt::Key_Return);
  EXPECT_TRUE(w.isVisible());
  EXPECT_EQ(livre->text(0), "Chapitre");
}

TEST(DialogKeys, ShiftEnterBreaksTheLineOfAData) {
  TEditCell d;
  d.Init("un");
  d.show();
  QApplication::setActiveWindow(&d);
  ASSERT_TRUE(QTest::qWaitForWindowActive(&d));
  QWidget* box = QApplication::focusWidget();
  QTest::keyClick(box, Qt::Key_End, Qt::ControlModifier);
  QTest::keyClick(box, Qt::Key_Return, Qt::ShiftModifier);
  QTest::keyClicks(box, "deux");
  EXPECT_TRUE(d.isVisible());
  QTest::keyClick(box, Qt::Key_Return);
  EXPECT_EQ(d.Result(), "un\ndeux");
}

}  // namespace
