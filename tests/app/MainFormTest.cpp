#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QDialog>
#include <QKeyEvent>
#include <QTimer>
#include <QFile>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QRegularExpression>
#include <QSet>
#include <QStatusTipEvent>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <QToolTip>

#include <functional>

#include "ColorMemo.h"
#include "Editeur.h"
#include "HelpViewer.h"
#include "MainForm.h"
#include "ScriptedPrompts.h"

// Failures show the texts, not their bytes.
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace {

class MainFormTest : public ::testing::Test {
 protected:
  void SetUp() override {
    form = std::make_unique<TMainForm>();
    form->show();
  }
  void TearDown() override {
    // Nothing left to ask: close without questions.
    if (form)
      for (TEditeur* e : form->editeurs()) e->Memo1->SetModified(false);
    form.reset();
  }

  QStringList captions() const {
    QStringList out;
    for (QMdiSubWindow* w : form->mdiArea()->subWindowList()) out << w->windowTitle();
    return out;
  }

  QString write(const QString& name, const QByteArray& bytes) {
    const QString path = dir.filePath(name);
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
    return path;
  }

  // Menu access keys reach only the active window.
  void activate() {
    QApplication::setActiveWindow(form.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
  }

  TEditeur* open(const QString& path) {
    prompts.files.push_back(path);
    form->FileOpenItemClick();
    return form->activeEditeur();
  }

  // The toolbar's enabled state, by group: new and open, save, undo, clipboard, browser and
  // tree, close tag and the two checks, source view, data view.
  std::vector<bool> toolbar() const {
    return {form->SpeedButton1->isEnabled() && form->OpenBtn->isEnabled(),
            form->SaveBtn->isEnabled(),
            form->SpeedButton5->isEnabled(),
            form->CutBtn->isEnabled() && form->CopyBtn->isEnabled() && form->PasteBtn->isEnabled(),
            form->SpeedButton2->isEnabled() && form->SpeedButton4->isEnabled(),
            form->SpeedButton3->isEnabled() && form->SpeedButton6->isEnabled() &&
                form->SpeedButton7->isEnabled(),
            form->SpeedButton8->isEnabled(),
            form->SpeedButton9->isEnabled()};
  }

  QTemporaryDir dir;
  ScriptedPrompts prompts;
  std::unique_ptr<TMainForm> form;
};

}  // namespace

TEST_F(MainFormTest, ToolbarFollowsTheDocumentKindAndViewInEveryState) {
  using Row = std::vector<bool>;
  // No document.
  EXPECT_EQ(toolbar(), (Row{1, 0, 0, 0, 0, 0, 0, 0}));
  // XML, source view.
  form->FileNewItemClick();
  EXPECT_EQ(toolbar(), (Row{1, 1, 1, 1, 1, 1, 0, 1}));
  // XML, data view.
  form->Vuedonnes1Click();
  EXPECT_EQ(toolbar(), (Row{1, 1, 0, 0, 1, 0, 1, 0}));
  // Non-XML document (activation runs the source-view command).
  form->DocmumentDTD1Click();
  EXPECT_EQ(toolbar(), (Row{1, 1, 0, 1, 0, 0, 0, 0}));
  EXPECT_FALSE(form->Vuesource1->isEnabled());
  EXPECT_FALSE(form->Vuedonnes1->isEnabled());
}

TEST_F(MainFormTest, WithoutDocumentOnlyTheFrameCommandsStayAvailable) {
  for (QAction* a : {form->FileCloseItem, form->FileSaveItem, form->Toutenregistrer1,
                     form->Imprimer1, form->Annuler1, form->Rtablir1, form->PasteItem,
                     form->Balise1, form->Vuesource1, form->Lanverlenavigateur1,
                     form->Vrifierlasysntaxe1, form->WindowTileItem, form->WindowMinimizeItem})
    EXPECT_FALSE(a->isEnabled()) << a->objectName().toStdString();
  for (QAction* a : {form->DocmumentXML1, form->FileOpenItem, form->Documentsimple1,
                     form->TransfertparFTP1, form->Configurationimpression1, form->FileExitItem,
                     form->Calculatrice1, form->Blocnotes1, form->Index1, form->HelpAboutItem})
    EXPECT_TRUE(a->isEnabled()) << a->objectName().toStdString();
  form->FileNewItemClick();
  form->FileCloseItemClick();
  QApplication::processEvents();
  EXPECT_EQ(form->MDIChildCount(), 0);
  EXPECT_FALSE(form->FileSaveItem->isEnabled());
  EXPECT_FALSE(form->SaveBtn->isEnabled());
}

TEST_F(MainFormTest, NonXmlDocumentKeepsOnlyTheGeneralCommands) {
  form->DocmumentDTD1Click();
  for (QAction* a : {form->Commentaire1, form->Elment1, form->Attribut1, form->Entit1,
                     form->Annuler1, form->Rtablir1, form->CutItem, form->Rechercher1,
                     form->OptionsEditeur1, form->FileSaveAsItem})
    EXPECT_TRUE(a->isEnabled()) << a->objectName().toStdString();
  for (QAction* a : {form->Balise1, form->SectionCDATA1, form->Ignore1, form->GnrerDTD1,
                     form->Vrifierlasysntaxe1, form->Validerdocument1, form->Exporter1,
                     form->CodagedescaractresnonASCII1})
    EXPECT_FALSE(a->isEnabled()) << a->objectName().toStdString();
  EXPECT_FALSE(form->SpeedButton5->isEnabled());
}

TEST_F(MainFormTest, DataViewDisablesEditingEvenRightAfterAnUndo) {
  form->FileNewItemClick();
  TEditeur* e = form->activeEditeur();
  e->Memo1->SetText(QStringLiteral("un\r\ndeux\r\ntrois"));
  e->Memorise();
  form->Vuedonnes1Click();
  form->Annuler1->setEnabled(true);  // as if reached from a shortcut before the pass
  e->Annuler();
  form->UpdateMenuItems();
  EXPECT_FALSE(form->Rtablir1->isEnabled());
  for (QAction* a : {form->Construirelarborescence1, form->Dployerarbre1, form->Optionsdudocument1,
                     form->CodagedescaractresnonASCII1, form->Vuesource1, form->Vuedonnes1,
                     form->Lanverlenavigateur1, form->Importer1, form->Exporter1})
    EXPECT_TRUE(a->isEnabled()) << a->objectName().toStdString();
  EXPECT_TRUE(form->Vuedonnes1->isChecked());
  EXPECT_FALSE(form->Vuesource1->isChecked());
  form->Vuesource1Click();
  EXPECT_TRUE(form->Vuesource1->isChecked());
  EXPECT_FALSE(form->Vuedonnes1->isChecked());
}

TEST_F(MainFormTest, NewDocumentsAreNumberedFromTheWindowCount) {
  form->FileNewItemClick();
  form->FileNewItemClick();
  form->FileNewItemClick();
  EXPECT_EQ(captions(), (QStringList{"XML1.xml", "XML2.xml", "XML3.xml"}));
  form->mdiArea()->subWindowList().first()->close();
  QApplication::processEvents();
  form->FileNewItemClick();
  form->DocmumentCSS1Click();
  form->FeuilledestyleXSL1Click();
  EXPECT_EQ(captions(),
            (QStringList{"XML2.xml", "XML3.xml", "XML3.xml", "CSS4.css", "XSL5.xsl"}));
}

TEST_F(MainFormTest, NewXmlDocumentPutsTheCaretOnTheEmptyLine) {
  form->fermerlesbalises1->setChecked(true);
  form->FileNewItemClick();
  TEditeur* e = form->activeEditeur();
  EXPECT_EQ(e->Memo1->Text(), QStringLiteral("<?xml version=\"1.0\"?>\r\n<body>\r\n\r\n</body>"));
  EXPECT_EQ(e->Memo1->SelStart(), 31);
  EXPECT_EQ(e->Ligne(), 3);
  EXPECT_TRUE(e->GetFermetureAuto());
  EXPECT_TRUE(e->GetCodageAuto());
  EXPECT_FALSE(e->GetArbreAuto());
  EXPECT_EQ(e->Tag, 0);
  EXPECT_FALSE(e->Memo1->Modified());
}

TEST_F(MainFormTest, NewDtdIsEmptyWithEveryTypingAidOff) {
  form->fermerlesbalises1->setChecked(true);
  form->Actualiserautomatiquement1->setChecked(true);
  form->DocmumentDTD1Click();
  TEditeur* e = form->activeEditeur();
  EXPECT_EQ(e->Memo1->Text(), QString());
  EXPECT_EQ(e->Tag, 1);
  EXPECT_FALSE(e->GetFermetureAuto() || e->GetArbreAuto() || e->GetCodageAuto());
  EXPECT_FALSE(e->Memo1->Modified());
}

TEST_F(MainFormTest, OpenNamesTheWindowAfterTheFileAndDecidesItsKind) {
  form->fermerlesbalises1->setChecked(true);
  const struct {
    const char* name;
    int tag;
  } cases[] = {{"a.xml", 0}, {"data.xml.bak", 0}, {"schéma à voir.dtd", 1}, {"style.CSS", 1},
               {"MAJ.XML", 0}};
  for (const auto& c : cases) {
    const QString path = write(QString::fromUtf8(c.name), "<a/>\r\n");
    TEditeur* e = open(path);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->windowTitle(), QString::fromUtf8(c.name));
    EXPECT_EQ(e->Tag, c.tag) << c.name;
    EXPECT_EQ(e->GetFichier(), path);
    EXPECT_TRUE(e->GetFermetureAuto()) << "opened files take the check marks, DTDs too";
    EXPECT_FALSE(e->Memo1->Modified());
  }
  EXPECT_EQ(prompts.requests.front().fileName, QStringLiteral("*.xml"));
  EXPECT_EQ(prompts.requests.front().defaultSuffix, QStringLiteral("xml"));
  // The same file twice gives two windows.
  const int before = form->MDIChildCount();
  open(dir.filePath(QStringLiteral("a.xml")));
  EXPECT_EQ(form->MDIChildCount(), before + 1);
}

TEST_F(MainFormTest, OpenFailureLeavesNoWindowBoundToThePath) {
  form->FileNewItemClick();
  form->Vuedonnes1Click();
  open(dir.filePath(QStringLiteral("absent.xml")));
  QApplication::processEvents();
  EXPECT_EQ(form->MDIChildCount(), 1);
  ASSERT_EQ(prompts.messages().size(), 1);
  EXPECT_TRUE(prompts.messages().first().contains(dir.filePath(QStringLiteral("absent.xml"))));
  EXPECT_TRUE(form->Vuesource1->isChecked());
  // Cancelling the dialog changes nothing but still runs the state pass.
  form->FileOpenItemClick();
  EXPECT_EQ(form->MDIChildCount(), 1);
}

// Memory runs out in the middle of a command: here when the command asks its question.
class OutOfMemoryPrompts : public ScriptedPrompts {
 public:
  Answer confirm(QWidget* parent, const QString& text) override {
    ScriptedPrompts::confirm(parent, text);
    throw std::bad_alloc();
  }
  int showModal(QDialog& dialog) override {
    ScriptedPrompts::showModal(dialog);
    throw std::bad_alloc();
  }
};

TEST_F(MainFormTest, ACommandOutOfMemoryIsAbandonedAndEveryDocumentStays) {
  form->FileNewItemClick();
  TEditeur* other = form->activeEditeur();
  other->Memo1->SetLines({"<autre/>"});
  form->FileNewItemClick();
  TEditeur* e = form->activeEditeur();
  const QStringList text = e->Memo1->Lines();
  OutOfMemoryPrompts p;
  for (QAction* command : {form->Convertircaractresspciaux1, form->Optionsdudocument1, form->Changerlacasse1}) {
    SCOPED_TRACE(command->text().toStdString());
    p.log.clear();
    command->trigger();
    EXPECT_EQ(p.messages(), QStringList{"Mémoire insuffisante : la commande a été abandonnée."});
    EXPECT_EQ(e->Memo1->Lines(), text);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
  }
  EXPECT_EQ(form->editeurs(), (QList<TEditeur*>{other, e}));
  EXPECT_EQ(other->Memo1->Lines(), QStringList{"<autre/>"});
}

TEST_F(MainFormTest, TypingAidTogglesReachOnlyTheActiveWindow) {
  form->FileNewItemClick();
  TEditeur* first = form->activeEditeur();
  form->FileNewItemClick();
  TEditeur* second = form->activeEditeur();
  ASSERT_NE(first, second);
  form->CodagedescaractresnonASCII1->trigger();
  EXPECT_FALSE(form->CodagedescaractresnonASCII1->isChecked());
  EXPECT_FALSE(second->GetCodageAuto());
  EXPECT_TRUE(first->GetCodageAuto());
  form->fermerlesbalises1->trigger();
  form->Actualiserautomatiquement1->trigger();
  EXPECT_TRUE(second->GetFermetureAuto() && second->GetArbreAuto());
  EXPECT_FALSE(first->GetFermetureAuto() || first->GetArbreAuto());
  form->FileNewItemClick();
  EXPECT_FALSE(form->activeEditeur()->GetCodageAuto());
}

TEST_F(MainFormTest, SaveAllGoesFromTheLastWindowToTheFirstAndSkipsCancelled) {
  const QString a = write(QStringLiteral("a.xml"), "<a/>");
  open(a)->Memo1->SetText(QStringLiteral("<a>modifié</a>"));
  form->FileNewItemClick();  // never saved: asks for a name
  form->FileNewItemClick();
  prompts.files = {dir.filePath(QStringLiteral("trois.xml")), QString()};
  form->Toutenregistrer1Click();
  EXPECT_EQ(prompts.requests.size(), 3u);  // the open dialog, then two save dialogs
  EXPECT_EQ(prompts.requests[1].fileName, QString());
  EXPECT_TRUE(QFile::exists(dir.filePath(QStringLiteral("trois.xml"))));
  EXPECT_EQ(captions(), (QStringList{"a.xml", "XML2.xml", "trois.xml"}));
  QFile f(a);
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  EXPECT_EQ(f.readAll(), QByteArray("<a>modifi\xe9</a>"));
}

TEST_F(MainFormTest, QuitAsksEveryModifiedDocumentAndCancelKeepsRunning) {
  form->FileNewItemClick();
  form->activeEditeur()->Memo1->SetText(QStringLiteral("x"));
  form->FileNewItemClick();
  form->activeEditeur()->Memo1->SetText(QStringLiteral("y"));
  prompts.answers = {Prompts::Answer::No, Prompts::Answer::Cancel};
  EXPECT_FALSE(form->close());
  EXPECT_EQ(prompts.log.filter(QStringLiteral("confirmOrCancel")).size(), 2);
  EXPECT_EQ(prompts.log.first(), QStringLiteral("confirmOrCancel: Enregistrer changements dans ''?"));
  EXPECT_EQ(form->MDIChildCount(), 1);
  prompts.answers = {Prompts::Answer::No};
  EXPECT_TRUE(form->close());
}

TEST_F(MainFormTest, BrowserGetsTheSavedFileAsAnAbsolutePath) {
  RecordingDesktop desktop;
  form->FileNewItemClick();
  form->Lanverlenavigateur1Click();
  EXPECT_TRUE(desktop.opened.isEmpty());  // never saved: nothing to show
  const QString path = write(QStringLiteral("mon doc à voir.xml"), "<a/>");
  open(path);
  form->Lanverlenavigateur1->trigger();
  EXPECT_EQ(desktop.opened, QStringList{path});
}

TEST_F(MainFormTest, StatusBarShowsHintsAndKeepsItsWidthAndClock) {
  // A highlighted menu item speaks through the menu bar that opened its menu.
  form->FileOpenItem->showStatusText(form->menuBar());
  EXPECT_EQ(form->statusText(), QStringLiteral("Ouvrir un fichier existant"));
  QStatusTipEvent empty{QString()};
  QApplication::sendEvent(form.get(), &empty);
  EXPECT_EQ(form->statusText(), QString());
  form->resize(900, 500);
  QApplication::processEvents();
  EXPECT_EQ(form->findChild<QWidget*>(QStringLiteral("Panel0"))->width(), form->width() - 100);
  EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\d{1,2}:\\d{2}:\\d{2}$"))
                  .match(form->clockText())
                  .hasMatch())
      << form->clockText().toStdString();
  EXPECT_EQ(form->SpeedButton1->toolTip(), QStringLiteral("Nouveau"));
  EXPECT_EQ(form->SpeedButton3->statusTip(), QStringLiteral("Fermer la dernière balise"));
}

TEST_F(MainFormTest, WindowMenuListsTheDocumentsAndMinimizesThemAll) {
  form->FileNewItemClick();
  form->DocmumentDTD1Click();
  emit form->Window1->aboutToShow();
  QStringList texts;
  for (QAction* a : form->Window1->actions()) texts << a->text();
  EXPECT_TRUE(texts.contains(QStringLiteral("&1 XML1.xml")));
  EXPECT_TRUE(texts.contains(QStringLiteral("&2 DTD2.dtd")));
  form->WindowMinimizeItemClick();
  for (QMdiSubWindow* w : form->mdiArea()->subWindowList()) EXPECT_TRUE(w->isMinimized());
  form->WindowArrangeItemClick();
  const auto windows = form->mdiArea()->subWindowList();
  EXPECT_EQ(windows[0]->y(), windows[1]->y());
  EXPECT_NE(windows[0]->x(), windows[1]->x());
}

TEST_F(MainFormTest, HelpOpensTheTopicOfEachContextAndSearchesTopics) {
  form->HContents();
  ASSERT_NE(form->helpViewer(), nullptr);
  EXPECT_EQ(form->helpViewer()->currentTopic(), QStringLiteral("qrc:/help/index.html"));
  form->HowToUse();
  EXPECT_EQ(form->helpViewer()->currentTopic(), QStringLiteral("qrc:/help/utiliser-aide.html"));
  for (int context : {1, 3, 4, 5, 6, 7, 8, 9, 10}) {
    const QString topic = HelpViewer::topicOfContext(context);
    EXPECT_NE(topic, QStringLiteral(":/help/index.html")) << context;
    EXPECT_TRUE(QFile::exists(topic)) << topic.toStdString();
  }
  form->helpViewer()->search(QStringLiteral("Mosaïque"));
  EXPECT_EQ(form->helpViewer()->listedTopics(), QStringList{QStringLiteral(":/help/fenetres.html")});
  form->helpViewer()->search(QStringLiteral("mot-introuvable"));
  EXPECT_TRUE(form->helpViewer()->listedTopics().isEmpty());
}

TEST_F(MainFormTest, MenusCarryTheirCaptionsShortcutsAndHints) {
  EXPECT_EQ(form->DocmumentXML1->text(), QStringLiteral("Docmument  &XML"));
  EXPECT_EQ(form->Annuler1->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Z));
  EXPECT_EQ(form->Continuer1->shortcut(), QKeySequence(Qt::Key_F3));
  EXPECT_EQ(form->Validerdocument1->shortcut(), QKeySequence(Qt::Key_F7));
  EXPECT_EQ(form->Importer1->statusTip(), QStringLiteral("Impoter fichier"));
  EXPECT_EQ(form->Window1->title(), QStringLiteral("Fe&nêtre"));
  EXPECT_EQ(form->HelpAboutItem->statusTip(), QStringLiteral("A propos de  Tovelo"));
  EXPECT_TRUE(form->CodagedescaractresnonASCII1->isChecked());
  EXPECT_FALSE(form->fermerlesbalises1->isChecked());
  EXPECT_TRUE(form->Vuesource1->isChecked());
}

TEST_F(MainFormTest, ModalWindowsOpeningAndClosingRunTheStatePass) {
  form->FileNewItemClick();
  form->activateWindow();
  QApplication::processEvents();
  form->CutItem->setEnabled(false);  // a stale state that the next pass mends
  QDialog modal(form.get());
  bool enabledWhileOpen = false;
  QTimer::singleShot(50, &modal, [&] {
    enabledWhileOpen = form->CutItem->isEnabled();
    form->CutItem->setEnabled(false);
    modal.accept();
  });
  modal.exec();
  QApplication::processEvents();
  EXPECT_TRUE(enabledWhileOpen);
  EXPECT_TRUE(form->CutItem->isEnabled());
}

TEST_F(MainFormTest, F1OverAMenuOpensTheHelpOfItsContext) {
  const std::pair<QMenu*, const char*> cases[] = {
      {form->Edit1, "qrc:/help/edition.html"},
      {form->FileNewItem, "qrc:/help/fichier.html"},  // a submenu takes its menu's context
      {form->Window1, "qrc:/help/fenetres.html"}};
  for (const auto& [menu, topic] : cases) {
    QKeyEvent f1(QEvent::KeyPress, Qt::Key_F1, Qt::NoModifier);
    QApplication::sendEvent(menu, &f1);
    ASSERT_NE(form->helpViewer(), nullptr);
    EXPECT_EQ(form->helpViewer()->currentTopic(), QLatin1String(topic));
  }
}

TEST_F(MainFormTest, DestroyingTheFrameWithDocumentsOpenReachesNoHandlerOfIt) {
  // The closing of the frame's widgets activates the remaining document windows one after the
  // other; under the sanitizers, a signal reaching the half-destroyed frame fails this test.
  form->FileNewItemClick();
  form->Vuedonnes1Click();
  form->DocmumentDTD1Click();
  form->FileNewItemClick();
  form->mdiArea()->subWindowList().first()->showMinimized();
  form->FileNewItemClick();
  form->mdiArea()->activeSubWindow()->showMaximized();
  QList<QPointer<TEditeur>> documents;
  for (TEditeur* e : form->editeurs()) documents << e;
  ASSERT_EQ(documents.size(), 4);
  for (TEditeur* e : form->editeurs()) e->Memo1->SetModified(false);
  form.reset();
  for (const QPointer<TEditeur>& e : documents) EXPECT_TRUE(e.isNull());
}

TEST_F(MainFormTest, RedoStaysDisabledWhileMenusAndTooltipsComeAndGo) {
  activate();
  const struct {
    const char* name;
    std::function<void(TEditeur*)> disable;
  } cases[] = {
      {"redo", [](TEditeur* e) { e->Retablir(); }},
      {"key with coding on",
       [this](TEditeur* e) {
         ASSERT_TRUE(form->CodagedescaractresnonASCII1->isChecked());
         e->Memo1->FocusText();
         QTest::keyClick(QApplication::focusWidget(), Qt::Key_A);
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    form->FileNewItemClick();
    TEditeur* e = form->activeEditeur();
    e->Annuler();  // a new document's undo empties it; the redo snapshot holds its four lines
    ASSERT_TRUE(form->Rtablir1->isEnabled());
    c.disable(e);
    ASSERT_FALSE(form->Rtablir1->isEnabled());

    QTest::keyClick(form.get(), Qt::Key_E, Qt::AltModifier);
    QApplication::processEvents();
    ASSERT_EQ(QApplication::activePopupWidget(), form->Edit1);
    EXPECT_FALSE(form->Rtablir1->isEnabled()) << "while the menu is open";
    QTest::keyClick(form->Edit1, Qt::Key_Escape);
    QTest::keyClick(form.get(), Qt::Key_Escape);
    QApplication::processEvents();
    EXPECT_FALSE(form->Rtablir1->isEnabled()) << "after the menu closed";

    QToolTip::showText(form->SpeedButton1->mapToGlobal(QPoint(4, 4)), QStringLiteral("Nouveau"),
                       form->SpeedButton1);
    QApplication::processEvents();
    QToolTip::hideText();
    QApplication::processEvents();
    EXPECT_FALSE(form->Rtablir1->isEnabled()) << "after a tooltip";

    // Another document becoming active is a change that the pass answers.
    form->FileNewItemClick();
    EXPECT_TRUE(form->Rtablir1->isEnabled());
  }
}

TEST_F(MainFormTest, MenuOpenedOverAToolbarButtonKeepsTheHighlightedItemsHint) {
  form->FileNewItemClick();
  activate();
  QTest::keyClick(form.get(), Qt::Key_E, Qt::AltModifier);
  QApplication::processEvents();
  ASSERT_EQ(QApplication::activePopupWidget(), form->Edit1);
  EXPECT_EQ(form->statusText(), QStringLiteral("Annuler dernière opération"));
  // The menu takes the pointer away from the button it opened over.
  QEvent leave(QEvent::Leave);
  QApplication::sendEvent(form->SpeedButton1, &leave);
  EXPECT_EQ(form->statusText(), QStringLiteral("Annuler dernière opération"));
  QTest::keyClick(form->Edit1, Qt::Key_Down);
  EXPECT_EQ(form->statusText(), QStringLiteral("Rétablir apres annulation"));
  QTest::keyClick(form->Edit1, Qt::Key_Escape);
  QTest::keyClick(form.get(), Qt::Key_Escape);
  QApplication::processEvents();
  ASSERT_EQ(QApplication::activePopupWidget(), nullptr);
  // With the menu closed the buttons speak again.
  QEvent enter(QEvent::Enter);
  QApplication::sendEvent(form->SpeedButton1, &enter);
  EXPECT_EQ(form->statusText(), QStringLiteral("Nouveau"));
}

TEST_F(MainFormTest, NewWindowsCascadeInsideTheWorkspace) {
  form->resize(1280, 1024);
  QApplication::processEvents();
  const QRect workspace = form->mdiArea()->viewport()->rect();
  const auto insideAndApart = [&](int count) {
    QSet<QPair<int, int>> corners;
    for (QMdiSubWindow* w : form->mdiArea()->subWindowList()) {
      EXPECT_TRUE(workspace.contains(w->geometry())) << w->windowTitle().toStdString();
      corners.insert({w->x(), w->y()});
    }
    return int(corners.size()) == count;
  };
  int fitted = 0;
  for (int n = 1; n <= 40; ++n) {
    form->FileNewItemClick();
    QMdiSubWindow* w = form->mdiArea()->activeSubWindow();
    EXPECT_EQ(w->size(), QSize(629, 429));
    if (n > 1 && w->pos() == QPoint(0, 0)) break;  // the cascade starts over
    EXPECT_EQ(w->x(), w->y());
    EXPECT_TRUE(insideAndApart(n));
    fitted = n;
  }
  EXPECT_GE(fitted, 10);
  // A closed window's place is the next one taken.
  QMdiSubWindow* third = form->mdiArea()->subWindowList().at(2);
  const QPoint freed = third->pos();
  third->close();
  QApplication::processEvents();
  form->FileNewItemClick();
  EXPECT_EQ(form->mdiArea()->activeSubWindow()->pos(), freed);

  // A workspace smaller than a document window: the window shrinks to it.
  for (QMdiSubWindow* w : form->mdiArea()->subWindowList()) w->close();
  QApplication::processEvents();
  form->resize(500, 380);
  QApplication::processEvents();
  form->FileNewItemClick();
  form->DocmumentDTD1Click();
  for (QMdiSubWindow* w : form->mdiArea()->subWindowList())
    EXPECT_TRUE(form->mdiArea()->viewport()->rect().contains(w->geometry()))
        << w->windowTitle().toStdString();
}

TEST_F(MainFormTest, HelpFromTheMenuShowsItsTopicInTheWholeList) {
  const struct {
    const char* name;
    std::function<void()> open;
    const char* topic;
  } cases[] = {
      {"Utiliser l'aide", [this] { form->HowToUse(); }, ":/help/utiliser-aide.html"},
      {"Index", [this] { form->HContents(); }, ":/help/index.html"},
      {"F1 over Fenêtre",
       [this] {
         QKeyEvent f1(QEvent::KeyPress, Qt::Key_F1, Qt::NoModifier);
         QApplication::sendEvent(form->Window1, &f1);
       },
       ":/help/fenetres.html"},
  };
  form->HContents();
  const QStringList all = form->helpViewer()->listedTopics();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    form->helpViewer()->search(QStringLiteral("Calculatrice"));
    ASSERT_FALSE(form->helpViewer()->listedTopics().contains(QLatin1String(c.topic)));
    c.open();
    EXPECT_EQ(form->helpViewer()->currentTopic(), QStringLiteral("qrc") + QLatin1String(c.topic));
    EXPECT_EQ(form->helpViewer()->searchText(), QString());
    EXPECT_EQ(form->helpViewer()->listedTopics(), all);
    EXPECT_EQ(form->helpViewer()->selectedTopic(), QLatin1String(c.topic));
  }
}

namespace {

TEST_F(MainFormTest, StatusBarFollowsTheCaretsElementPathAndTheCommandCopiesItAsAnXPath) {
  form->resize(900, 500);
  form->FileNewItemClick();
  TEditeur* first = form->activeEditeur();
  first->Memo1->SetText("<liste><fiche/><fiche><nom>x</nom></fiche></liste>");
  first->Memo1->SetSelStart(27);  // before the x
  QTRY_COMPARE(form->elementPathText(), QStringLiteral("liste › fiche[2] › nom"));
  const auto* shown = form->findChild<QLabel*>(QStringLiteral("ElementPath"));
  QTRY_COMPARE(shown->text(), form->elementPathText());
  // A progress word in panel 0 keeps its place; the path stays to its right.
  form->showStatus(QStringLiteral("Construit l'arborescence"));
  EXPECT_EQ(form->statusText(), QStringLiteral("Construit l'arborescence"));
  EXPECT_GT(shown->x(), shown->fontMetrics().horizontalAdvance(form->statusText()));
  form->showStatus(QString());

  EXPECT_EQ(form->CopyXPathItem->shortcut(), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_C));
  form->CopyXPathItem->trigger();
  EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("/liste/fiche[2]/nom"));
  first->Memo1->SetSelStart(10);  // in the first, empty, fiche
  QTRY_COMPARE(form->elementPathText(), QStringLiteral("liste › fiche[1]"));

  // Each window has its own path; the bar shows the active one's.
  form->FileNewItemClick();
  TEditeur* second = form->activeEditeur();
  second->Memo1->SetText("<r><a/></r>");
  second->Memo1->SetSelStart(2);
  QTRY_COMPARE(form->elementPathText(), QStringLiteral("r"));
  form->mdiArea()->setActiveSubWindow(form->mdiArea()->subWindowList().first());
  QTRY_COMPARE(form->elementPathText(), QStringLiteral("liste › fiche[1]"));
  form->CopyXPathItem->trigger();
  EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("/liste/fiche[1]"));
}

}  // namespace
