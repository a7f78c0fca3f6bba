#pragma once
// TMainForm: the frame of the program. It holds the document windows, the menus, the toolbar,
// the two-panel status bar and the clock, and turns each command into a call on the active
// document window.
#include <QMainWindow>
#include <QString>

#include "DocumentHost.h"

class QAction;
class QLabel;
class QMdiArea;
class QMdiSubWindow;
class QMenu;
class QTimer;
class QToolButton;
class HelpViewer;
class TEditeur;

class TMainForm : public QMainWindow, public DocumentHost {
  Q_OBJECT

 public:
  explicit TMainForm(QWidget* parent = nullptr);
  ~TMainForm() override;

  // The one operation that makes a document window.
  TEditeur* NouveauDocument(const QString& caption);
  TEditeur* activeEditeur() const;
  QList<TEditeur*> editeurs() const;  // in the window list's order
  int MDIChildCount() const;
  QMdiArea* mdiArea() const { return mdiArea_; }

  // The menu and toolbar state rules.
  void UpdateMenuItems();

  // DocumentHost
  void setRedoEnabled(bool enabled) override;
  void enablePaste() override;
  void showStatus(const QString& text) override;
  void sourceViewCommand() override { Vuesource1Click(); }
  void showElementPath(const QWidget* from, const QString& path) override;

  QString statusText() const;  // status panel 0
  QString clockText() const;   // status panel 1
  // The active window's element path, shown at the right end of status panel 0 in the room its
  // text leaves (elided from the left), so that hints and progress words are never covered.
  QString elementPathText() const { return elementPath_; }
  QString RepertoireDepart;
  HelpViewer* helpViewer() const { return help_; }

  // Handlers with logic of their own.
  void FileNewItemClick();
  void DocmumentDTD1Click();
  void DocmumentCSS1Click();
  void FeuilledestyleXSL1Click();
  void Documentsimple1Click();
  void Documentarborescent1Click();
  void Fichelogiciell1Click();
  void FileOpenItemClick();
  // What "&Ouvrir..." does with the chosen file, also for the command line and dropped files:
  // the document window, or nullptr when the file could not be read (the message shown).
  TEditeur* openDocument(const QString& path);
  // Opens each file in turn, then the state pass that ends every open.
  void openFiles(const QStringList& paths);
  void FileCloseItemClick();
  void Toutenregistrer1Click();
  void Configurationimpression1Click();
  void fermerlesbalises1Click();
  void Actualiserautomatiquement1Click();
  void CodagedescaractresnonASCII1Click();
  void Vuesource1Click();
  void Vuedonnes1Click();
  void WindowArrangeItemClick();
  void WindowMinimizeItemClick();
  void Lanverlenavigateur1Click();
  void HContents();
  void HSearch();
  void HowToUse();
  void HelpAboutItemClick();
  // The accessories (MainFormAccessories.cpp).
  void Calendrier1Click();
  void Calculatrice1Click();
  void Euroconversion1Click();
  void Horloge1Click();
  void Blocnotes1Click();
  // The transfer window (MainFormFtp.cpp).
  void TransfertparFTP1Click();
  void Timer1Timer();

  // Menus.
  QMenu *File1, *FileNewItem, *N3, *Edit1, *Insertion1, *Paramtres1, *Outils1, *Utilitaires1,
      *Window1, *Help1;
  // File.
  QAction *DocmumentXML1, *DocmumentDTD1, *DocmumentCSS1, *FeuilledestyleXSL1, *Documentsimple1,
      *Documentarborescent1, *Fichelogiciell1, *FileOpenItem, *FileCloseItem, *FileSaveItem,
      *FileSaveAsItem, *Toutenregistrer1, *Importer1, *Exporter1, *TransfertparFTP1, *Imprimer1,
      *Configurationimpression1, *FileExitItem;
  // Edit.
  QAction *Annuler1, *Rtablir1, *CutItem, *CopyItem, *PasteItem, *Toutslectionner1, *Rechercher1,
      *Continuer1, *Remplacer1, *Allerlaligne1, *Allerlabalisecorrespondante1, *CopyXPathItem, *Changerlacasse1, *Convertircaractresspciaux1, *Dployerarbre1,
      *Rduirearbre1, *Dupliquernoeud1;
  // Insertion.
  QAction *Balise1, *Fermerdernirebalise1, *Commentaire1, *Caractresspciaux1, *SectionCDATA1,
      *Texte1, *Elment1, *Attribut1, *Entit1, *Ignore1;
  // Parameters.
  QAction *Optionsdudocument1, *OptionsEditeur1, *fermerlesbalises1, *Actualiserautomatiquement1,
      *CodagedescaractresnonASCII1, *Vuesource1, *Vuedonnes1;
  // Tools.
  QAction *Lanverlenavigateur1, *Vrifierlasysntaxe1, *Validerdocument1, *Construirelarborescence1,
      *GnrerDTD1, *Indenterledocument1;
  // Accessories.
  QAction *Calendrier1, *Calculatrice1, *Euroconversion1, *Horloge1, *Blocnotes1;
  // Window.
  QAction *WindowCascadeItem, *WindowTileItem, *WindowArrangeItem, *WindowMinimizeItem;
  // Help.
  QAction *Index1, *Recherche1, *Utiliserlaide1, *HelpAboutItem;

  // Toolbar.
  QWidget* SpeedPanel;
  QToolButton *SpeedButton1, *OpenBtn, *SaveBtn, *SpeedButton5, *CutBtn, *CopyBtn, *PasteBtn,
      *SpeedButton2, *SpeedButton4, *SpeedButton3, *SpeedButton6, *SpeedButton7, *SpeedButton8,
      *SpeedButton9;

  QTimer* Timer1;

 protected:
  bool event(QEvent* e) override;
  void closeEvent(QCloseEvent* e) override;   // quit: every document's close query
  void resizeEvent(QResizeEvent* e) override; // FormResize
  void showEvent(QShowEvent* e) override;     // FormShow
  bool eventFilter(QObject* watched, QEvent* e) override;

 signals:
  void firstShown();

 private:
  void createMenus();
  void createToolbar();
  void createStatusBar();
  void newOtherDocument(const QString& prefix, const QString& extension);
  template <class Wizard> void runWizard();
  QString nextCaption(const QString& prefix, const QString& extension) const;
  void setFlagsFromChecks(TEditeur* e);
  void fillWindowMenu();
  void showHelp(int context);
  void subWindowActivated(QMdiSubWindow* w);
  void placeNewWindow(QMdiSubWindow* sub);
  void placeElementPath();

  QMdiArea* mdiArea_;
  QLabel* panel0_;
  QLabel* panel1_;
  QLabel* pathLabel_;
  QString elementPath_;
  HelpViewer* help_ = nullptr;
  QList<QAction*> windowListActions_;
  bool shown_ = false;
};
