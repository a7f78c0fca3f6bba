// What a screen reader finds: every button, field and menu item of the main window and of the
// dialogs that the editor opens has a name to speak.
#include <gtest/gtest.h>

#include <functional>

#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QAbstractItemView>
#include <QMdiSubWindow>
#include <QPrinter>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>

#include "About.h"
#include "AccessibleNames.h"
#include "ColorMemo.h"
#include "EditCell.h"
#include "Editeur.h"
#include "FileBytes.h"
#include "FindDialogs.h"
#include "French.h"
#include "HelpViewer.h"
#include "MainForm.h"
#include "Prompts.h"
#include "ShownMainForm.h"
#include "StringGrid.h"

namespace {

bool mustBeNamed(QAccessible::Role role) {
  switch (role) {
    case QAccessible::PushButton:
    case QAccessible::CheckBox:
    case QAccessible::RadioButton:
    case QAccessible::ButtonMenu:
    case QAccessible::ButtonDropDown:
    case QAccessible::ComboBox:
    case QAccessible::EditableText:
    case QAccessible::SpinBox:
    case QAccessible::MenuItem:
    case QAccessible::Slider:
    case QAccessible::PageTab:
    case QAccessible::List:
    case QAccessible::Tree:
    case QAccessible::Table:
    case QAccessible::Dialog:
      return true;
    default:
      return false;
  }
}

int visitedMenuItems = 0;  // proves that the walk reaches into the menus

// The unnamed controls under iface, each as the path of names (and roles) that leads to it.
void walk(QAccessibleInterface* iface, const QString& path, QStringList& unnamed, int depth = 0) {
  if (!iface || depth > 40) return;
  // A page of tabs not shown yet is walked when its tab is chosen; the lists that drop from combo
  // boxes and the closed menus, windows of their own, are walked as they are.
  if (auto* w = qobject_cast<QWidget*>(iface->object());
      w && !w->isWindow() && w->window()->isVisible() && !w->isVisible())
    return;
  if (iface->role() == QAccessible::MenuItem) ++visitedMenuItems;
  const QString name = iface->text(QAccessible::Name).trimmed();
  const QString here = path + QStringLiteral(" > %1[%2]").arg(name).arg(int(iface->role()), 0, 16);
  if (mustBeNamed(iface->role()) && name.isEmpty()) {
    QString object;
    if (QObject* o = iface->object())
      object = QStringLiteral(" (%1 %2)").arg(o->metaObject()->className(), o->objectName());
    unnamed << here + object;
  }
  for (int i = 0; i < iface->childCount(); ++i) walk(iface->child(i), here, unnamed, depth + 1);
}

QStringList unnamedIn(QWidget* w) {
  QStringList unnamed;
  walk(QAccessible::queryAccessibleInterface(w), QString(), unnamed);
  return unnamed;
}

// Opens a modal window with open(), walks it once shown, and closes it.
QStringList unnamedInModal(const std::function<void()>& open) {
  QStringList unnamed;
  bool seen = false;
  QTimer::singleShot(200, [&] {
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal) return;
    seen = true;
    unnamed = unnamedIn(modal);
    // Each page of tabs, as the user reaches it.
    for (QTabWidget* tabs : modal->findChildren<QTabWidget*>())
      for (int i = 0; i < tabs->count(); ++i) {
        tabs->setCurrentIndex(i);
        QApplication::processEvents();
        for (const QString& u : unnamedIn(modal))
          if (!unnamed.contains(u)) unnamed << u;
      }
    if (auto* d = qobject_cast<QDialog*>(modal)) d->reject(); else modal->close();
  });
  open();
  EXPECT_TRUE(seen) << "no modal window opened";
  return unnamed;
}

// A window laid out by hand as the forms of the editor are, with each kind of naming.
TEST(AccessibleNames, FieldsTakeTheirLabelAndButtonsTheirHint) {
  QDialog d;
  d.setWindowTitle(QStringLiteral("Essai"));
  d.resize(400, 300);
  const auto label = [&](const char* text, QRect r, QWidget* parent) {
    auto* l = new QLabel(QString::fromUtf8(text), parent);
    l->setGeometry(r);
    return l;
  };
  const auto edit = [&](QRect r, QWidget* parent) {
    auto* e = new QLineEdit(parent);
    e->setGeometry(r);
    return e;
  };
  label("&Nom :", {10, 10, 60, 20}, &d);
  QLineEdit* beside = edit({80, 10, 100, 20}, &d);
  label("Adresse", {200, 10, 100, 16}, &d);
  QLineEdit* below = edit({200, 30, 150, 20}, &d);
  QLabel* far = label("Loin", {10, 200, 40, 20}, &d);
  QLineEdit* buddy = edit({300, 200, 80, 20}, &d);
  far->setBuddy(buddy);
  QLineEdit* named = edit({80, 60, 100, 20}, &d);
  named->setAccessibleName(QStringLiteral("Gardé"));
  label("Vide", {10, 60, 60, 20}, &d);
  auto* box = new QGroupBox(QStringLiteral("Prix"), &d);
  box->setGeometry(10, 100, 150, 60);
  QLineEdit* inBox = edit({10, 25, 100, 20}, box);
  auto* form = new QWidget(&d);
  form->setGeometry(200, 100, 190, 80);
  auto* rows = new QFormLayout(form);
  auto* date = new QHBoxLayout;
  QLineEdit* day = new QLineEdit(form);
  QLineEdit* month = new QLineEdit(form);
  date->addWidget(day);
  date->addWidget(month);
  rows->addRow(QStringLiteral("Date :"), date);
  auto* hinted = new QToolButton(&d);
  hinted->setToolTip(QStringLiteral("Ouvrir"));
  hinted->setGeometry(10, 250, 25, 25);
  auto* up = new QToolButton(&d);
  up->setArrowType(Qt::UpArrow);
  up->setGeometry(40, 250, 25, 25);
  auto* combo = new QComboBox(&d);
  combo->setGeometry(250, 250, 100, 20);
  label("Choix", {190, 250, 50, 20}, &d);
  d.show();
  nameControls(&d);

  const std::pair<QWidget*, const char*> expected[] = {
      {beside, "Nom"},   {below, "Adresse"}, {buddy, "Loin"},       {named, "Gardé"},
      {inBox, "Prix"},   {day, "Date"},      {month, "Date"},       {hinted, "Ouvrir"},
      {up, "Augmenter"}, {combo, "Choix"},   {combo->view(), "Choix"},
  };
  for (const auto& [w, name] : expected)
    EXPECT_EQ(w->accessibleName(), QString::fromUtf8(name)) << name;
}

class AccessibilityTest : public ShownMainForm {
 protected:
  static void SetUpTestSuite() {
    installFrench();
    nameControlsOfEveryWindow();
  }
};

TEST_F(AccessibilityTest, MainWindowWithADocumentHasNoUnnamedControl) {
  visitedMenuItems = 0;
  EXPECT_EQ(unnamedIn(form.get()), QStringList());
  EXPECT_GT(visitedMenuItems, 70);
  form->FileNewItemClick();
  form->DocmumentDTD1Click();
  EXPECT_EQ(unnamedIn(form.get()), QStringList());
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("fiches.xml"));
  writeBytes(path, "<fiches>\r\n<fiche><nom>a</nom></fiche>\r\n</fiches>\r\n");
  form->openFiles({path});
  form->Vuedonnes1Click();  // the grid in place of the text
  QApplication::processEvents();
  ASSERT_TRUE(form->activeEditeur()->StringGrid1->isVisible());
  EXPECT_EQ(unnamedIn(form.get()), QStringList());
  // The toolbar buttons speak their hints.
  EXPECT_EQ(QAccessible::queryAccessibleInterface(form->SpeedButton9)->text(QAccessible::Name),
            QStringLiteral("Vue données"));
  EXPECT_EQ(QAccessible::queryAccessibleInterface(form->OpenBtn)->text(QAccessible::Name),
            QStringLiteral("Ouvrir"));
}

TEST_F(AccessibilityTest, DialogsSpeakTheirCaptionAndNameTheirControls) {
  struct Case {
    const char* what;
    std::function<void()> open;
  };
  Prompts& qt = Prompts::get();
  QWidget* parent = form.get();
  form->FileNewItemClick();
  TEditeur* doc = form->activeEditeur();
  ASSERT_NE(doc, nullptr);
  const Case cases[] = {
      {"A propos", [&] { form->HelpAboutItemClick(); }},
      {"Document simple", [&] { form->Documentsimple1Click(); }},
      {"Document arborescent", [&] { form->Documentarborescent1Click(); }},
      {"Fiche logiciel", [&] { form->Fichelogiciell1Click(); }},
      {"Transfert par FTP", [&] { form->TransfertparFTP1Click(); }},
      {"Calendrier", [&] { form->Calendrier1Click(); }},
      {"Calculatrice", [&] { form->Calculatrice1Click(); }},
      {"Euro conversion", [&] { form->Euroconversion1Click(); }},
      {"Horloge", [&] { form->Horloge1Click(); }},
      {"Bloc-notes", [&] { form->Blocnotes1Click(); }},
      {"Balise", [&] { doc->Balise1(); }},
      {"Caractères spéciaux", [&] { doc->Speciaux(); }},
      {"Options du document", [&] { doc->Options(); }},
      {"Changer la casse", [&] { doc->Casse(); }},
      {"Modifier donnée",
       [&] {
         TEditCell cell(parent);
         cell.Init(QStringLiteral("valeur"));
         cell.exec();
       }},
      {"message", [&] { qt.information(parent, QStringLiteral("Le document est bien formé")); }},
      {"question", [&] { qt.confirmOrCancel(parent, QStringLiteral("Enregistrer ?")); }},
      {"Ouvrir",
       [&] {
         Prompts::FileRequest r;
         r.title = QStringLiteral("Ouvrir");
         r.filter = QStringLiteral("Fichiers xml (*.xml)|*.xml");
         qt.openFile(parent, r);
       }},
      {"Enregistrer sous",
       [&] {
         Prompts::FileRequest r;
         r.title = QStringLiteral("Enregistrer sous");
         r.filter = QStringLiteral("Fichiers xml (*.xml)|*.xml");
         qt.saveFile(parent, r);
       }},
      {"police",
       [&] {
         QFont f;
         qt.font(parent, f);
       }},
      {"Imprimer", [&] { qt.print(parent, Prompts::printer()); }},
      {"Configuration impression", [&] { qt.printerSetup(parent, Prompts::printer()); }},
  };
  for (const Case& c : cases) {
    const QStringList unnamed = unnamedInModal(c.open);
    EXPECT_EQ(unnamed, QStringList()) << c.what;
  }
  // Find and replace stay open beside the document.
  form->FileNewItemClick();
  TEditeur* e = form->activeEditeur();
  ASSERT_NE(e, nullptr);
  e->Chercher();
  QApplication::processEvents();
  ASSERT_TRUE(e->FindDialog1()->isVisible());
  EXPECT_EQ(unnamedIn(e->FindDialog1()), QStringList()) << "Rechercher";
  e->Remplacer();
  QApplication::processEvents();
  EXPECT_EQ(unnamedIn(e->ReplaceDialog1()), QStringList())
      << "Remplacer";

  form->HContents();
  ASSERT_NE(form->helpViewer(), nullptr);
  EXPECT_EQ(unnamedIn(form->helpViewer()->window()), QStringList());
}

}  // namespace
