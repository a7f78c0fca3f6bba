#include "MainForm.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QStyle>
#include <QStyleOptionTitleBar>
#include <QTime>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWindow>

#include "About.h"
#include "Arbre.h"
#include "Assistant.h"
#include "Desktop.h"
#include "FileName.h"
#include "ColorMemo.h"
#include "Editeur.h"
#include "FileDrops.h"
#include "Glyphs.h"
#include "Padgen.h"
#include "HelpViewer.h"
#include "Prompts.h"

namespace {

const char* const kHelpContext = "helpContext";

QAction* item(QMenu* menu, const char* name, const QString& caption, const QString& hint,
              const QKeySequence& shortcut = {}) {
  auto* a = menu->addAction(caption);
  a->setObjectName(QLatin1String(name));
  a->setStatusTip(hint);
  if (!shortcut.isEmpty()) a->setShortcut(shortcut);
  return a;
}

QMenu* topMenu(QMenuBar* bar, const char* name, const QString& caption, int helpContext,
               const QString& hint = {}) {
  QMenu* m = bar->addMenu(caption);
  m->setObjectName(QLatin1String(name));
  m->setProperty(kHelpContext, helpContext);
  m->menuAction()->setStatusTip(hint);
  return m;
}

// The system's long time format, without the time zone that Qt's long format adds.
QString longTimeFormat() {
  QString f = QLocale::system().timeFormat(QLocale::LongFormat);
  f.remove(QLatin1Char('t'));
  return f.trimmed();
}

// Where a new document window goes: the first step of a cascade from the workspace's top-left
// corner that no open window's corner occupies (when every step is taken, the next one round),
// and only steps that keep the whole window inside the workspace.
QPoint cascadeSlot(const QSize& area, const QSize& window, int step, const QList<QPoint>& taken) {
  int steps = 1;
  while (steps * step + window.width() <= area.width() &&
         steps * step + window.height() <= area.height())
    ++steps;
  for (int k = 0; k < steps; ++k)
    if (!taken.contains(QPoint(k * step, k * step))) return {k * step, k * step};
  const int k = int(taken.size() % steps);
  return {k * step, k * step};
}

}  // namespace

TMainForm::TMainForm(QWidget* parent) : QMainWindow(parent) {
  setObjectName(QStringLiteral("MainForm"));
  setWindowTitle(QStringLiteral("Tovelo"));
  setProperty(kHelpContext, 1);
  resize(640, 414);

  auto* central = new QWidget(this);
  auto* layout = new QVBoxLayout(central);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  setCentralWidget(central);

  createMenus();
  createToolbar();
  layout->addWidget(SpeedPanel);

  mdiArea_ = new QMdiArea(central);
  mdiArea_->setBackground(palette().brush(QPalette::Dark));
  mdiArea_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  mdiArea_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  layout->addWidget(mdiArea_);
  connect(mdiArea_, &QMdiArea::subWindowActivated, this, &TMainForm::subWindowActivated);

  createStatusBar();
  new FileDrops(this, [this](const QStringList& files) { openFiles(files); });

  // The state pass also follows modal windows opening and closing. Their showing and hiding is
  // watched rather than the focus window, which changes for every menu and tooltip too.
  qApp->installEventFilter(this);

  RepertoireDepart = QDir::currentPath();

  Timer1 = new QTimer(this);
  Timer1->setInterval(1000);
  connect(Timer1, &QTimer::timeout, this, &TMainForm::Timer1Timer);
  Timer1->start();
  Timer1Timer();

  UpdateMenuItems();
}

TMainForm::~TMainForm() {
  // The base destructors close the document windows, which activates others on the way; that
  // must not reach the handlers of a frame whose own part is already gone.
  qApp->removeEventFilter(this);
  disconnect(mdiArea_, nullptr, this, nullptr);
  for (QMdiSubWindow* w : mdiArea_->subWindowList()) disconnect(w, nullptr, this, nullptr);
}

void TMainForm::createMenus() {
  QMenuBar* bar = menuBar();

  File1 = topMenu(bar, "File1", QStringLiteral("&Fichier"), 3,
                  QStringLiteral("Commandes liées aux menus"));
  FileNewItem = File1->addMenu(QStringLiteral("&Nouveau"));
  FileNewItem->setObjectName(QStringLiteral("FileNewItem"));
  FileNewItem->menuAction()->setStatusTip(QStringLiteral("Créer un nouveau fichier"));
  DocmumentXML1 = item(FileNewItem, "DocmumentXML1", QStringLiteral("Docmument  &XML"),
                       QStringLiteral("Nouveau document XML"));
  DocmumentDTD1 = item(FileNewItem, "DocmumentDTD1", QStringLiteral("Docmument  &DTD"),
                       QStringLiteral("Nouvelle DTD"));
  DocmumentCSS1 = item(FileNewItem, "DocmumentCSS1", QStringLiteral("Feuille de style  &CSS"),
                       QStringLiteral("Nouvelle feuille de style CSS"));
  FeuilledestyleXSL1 = item(FileNewItem, "FeuilledestyleXSL1",
                            QStringLiteral("Feuille de style  X&SL"),
                            QStringLiteral("Nouvelle feuille de style XSL"));
  N3 = File1->addMenu(QStringLiteral("Nouveau &projet"));
  N3->setObjectName(QStringLiteral("N3"));
  N3->menuAction()->setStatusTip(QStringLiteral("Assistant projet"));
  Documentsimple1 = item(N3, "Documentsimple1", QStringLiteral("Document &simple"),
                         QStringLiteral("Document simple"));
  Documentarborescent1 = item(N3, "Documentarborescent1", QStringLiteral("Document &arborescent"),
                              QStringLiteral("Document arborescent"));
  Fichelogiciell1 = item(N3, "Fichelogiciell1", QStringLiteral("Fiche &logiciel"),
                         QStringLiteral("Fiche logiciel aux normes ASP"));
  FileOpenItem = item(File1, "FileOpenItem", QStringLiteral("&Ouvrir..."),
                      QStringLiteral("Ouvrir un fichier existant"));
  FileCloseItem = item(File1, "FileCloseItem", QStringLiteral("&Fermer"),
                       QStringLiteral("Fermer fichier en cours"));
  File1->addSeparator();
  FileSaveItem = item(File1, "FileSaveItem", QStringLiteral("&Enregistrer"),
                      QStringLiteral("Enregistrer le fichier en cours"));
  FileSaveAsItem = item(File1, "FileSaveAsItem", QStringLiteral("Enregistrer &sous..."),
                        QStringLiteral("Enregistrer le fichier en cours sous..."));
  Toutenregistrer1 = item(File1, "Toutenregistrer1", QStringLiteral("&Tout enregistrer"),
                          QStringLiteral("Enregistrer toutes les fenêtres"));
  File1->addSeparator();
  Importer1 = item(File1, "Importer1", QStringLiteral("I&mporter..."),
                   QStringLiteral("Impoter fichier"));
  Exporter1 = item(File1, "Exporter1", QStringLiteral("E&xporter..."),
                   QStringLiteral("Exporter au format texte délimité"));
  TransfertparFTP1 = item(File1, "TransfertparFTP1", QStringLiteral("&Transfert par FTP"),
                          QStringLiteral("Transférer les fichiers par fTP"));
  File1->addSeparator();
  Imprimer1 = item(File1, "Imprimer1", QStringLiteral("&Imprimer..."), QStringLiteral("Imprimer"));
  Configurationimpression1 = item(File1, "Configurationimpression1",
                                  QStringLiteral("&Configuration impression"),
                                  QStringLiteral("configurer l'imprimante"));
  File1->addSeparator();
  FileExitItem = item(File1, "FileExitItem", QStringLiteral("&Quitter"),
                      QStringLiteral("Quitter l'application"));

  Edit1 = topMenu(bar, "Edit1", QStringLiteral("&Edition"), 4);
  Annuler1 = item(Edit1, "Annuler1", QStringLiteral("&Annuler"),
                  QStringLiteral("Annuler dernière opération"), QKeySequence(Qt::CTRL | Qt::Key_Z));
  Rtablir1 = item(Edit1, "Rtablir1", QStringLiteral("&Rétablir"),
                  QStringLiteral("Rétablir apres annulation"));
  Edit1->addSeparator();
  CutItem = item(Edit1, "CutItem", QStringLiteral("Co&uper"),
                 QStringLiteral("Couper dans le Presse-papiers"), QKeySequence(Qt::CTRL | Qt::Key_X));
  CopyItem = item(Edit1, "CopyItem", QStringLiteral("Co&pier"),
                  QStringLiteral("Copier dans le Presse-papiers"), QKeySequence(Qt::CTRL | Qt::Key_C));
  PasteItem = item(Edit1, "PasteItem", QStringLiteral("C&oller"),
                   QStringLiteral("Coller depuis le Presse-papiers"),
                   QKeySequence(Qt::CTRL | Qt::Key_V));
  Toutslectionner1 = item(Edit1, "Toutslectionner1", QStringLiteral("&Tout sélectionner"),
                          QStringLiteral("Sélectionner tout"), QKeySequence(Qt::CTRL | Qt::Key_A));
  Edit1->addSeparator();
  Rechercher1 = item(Edit1, "Rechercher1", QStringLiteral("Rec&hercher..."),
                     QStringLiteral("Commencer une recherche"), QKeySequence(Qt::CTRL | Qt::Key_F));
  Continuer1 = item(Edit1, "Continuer1", QStringLiteral("Co&ntinuer"),
                    QStringLiteral("Continuer la recherche"), QKeySequence(Qt::Key_F3));
  Remplacer1 = item(Edit1, "Remplacer1", QStringLiteral("Re&mplacer..."),
                    QStringLiteral("Remplacer"));
  Allerlaligne1 = item(Edit1, "Allerlaligne1", QStringLiteral("Aller à la li&gne..."),
                       QStringLiteral("Aller à une ligne du document"), QKeySequence(Qt::CTRL | Qt::Key_G));
  Allerlabalisecorrespondante1 =
      item(Edit1, "Allerlabalisecorrespondante1", QStringLiteral("Aller à la &balise correspondante"),
           QStringLiteral("Aller à la balise qui ferme ou ouvre celle du curseur"),
           QKeySequence(Qt::CTRL | Qt::Key_M));
  CopyXPathItem = item(Edit1, "CopyXPathItem", QStringLiteral("Copier le chemin &XPath"),
                       QStringLiteral("Copier le chemin XPath de l'élément où est le curseur"),
                       QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_C));
  Edit1->addSeparator();
  Changerlacasse1 = item(Edit1, "Changerlacasse1", QStringLiteral("&Changer la casse..."),
                         QStringLiteral("Changer la casse"));
  Convertircaractresspciaux1 = item(Edit1, "Convertircaractresspciaux1",
                                    QStringLiteral("Convertir caractères spéciaux"),
                                    QStringLiteral("Convertir caractères spéciaux"));
  Edit1->addSeparator();
  Dployerarbre1 = item(Edit1, "Dployerarbre1", QStringLiteral("&Déployer arbre"),
                       QStringLiteral("Déployer tous les noeud"));
  Rduirearbre1 = item(Edit1, "Rduirearbre1", QStringLiteral("Ré&duire arbre"),
                      QStringLiteral("Réduire tous les noeuds"));
  Dupliquernoeud1 = item(Edit1, "Dupliquernoeud1", QStringLiteral("Dupliquer &noeud"),
                         QStringLiteral("dipliquer noeud sélectionné"));

  Insertion1 = topMenu(bar, "Insertion1", QStringLiteral("&Insertion"), 5);
  Balise1 = item(Insertion1, "Balise1", QStringLiteral("&Balise"), QStringLiteral("Insérer balise"));
  Fermerdernirebalise1 = item(Insertion1, "Fermerdernirebalise1", QStringLiteral("&Fermer la balise"),
                              QStringLiteral("Ferme la dernière balise ouverte"));
  Commentaire1 = item(Insertion1, "Commentaire1", QStringLiteral("&Commentaire"),
                      QStringLiteral("Insérer commentaire"));
  Caractresspciaux1 = item(Insertion1, "Caractresspciaux1",
                           QStringLiteral("Caractères &spéciaux..."),
                           QStringLiteral("Insérer caractères spéciaux"));
  SectionCDATA1 = item(Insertion1, "SectionCDATA1", QStringLiteral("Section C&DATA"),
                       QStringLiteral("Insérer section CTADA"));
  Texte1 = item(Insertion1, "Texte1", QStringLiteral("&Texte..."),
                QStringLiteral("Importer fichier texte"));
  Insertion1->addSeparator();
  Elment1 = item(Insertion1, "Elment1", QStringLiteral("&Elément"), QStringLiteral("Insérer élément"));
  Attribut1 = item(Insertion1, "Attribut1", QStringLiteral("&Attribut"),
                   QStringLiteral("Insérer attribut"));
  Entit1 = item(Insertion1, "Entit1", QStringLiteral("E&ntité"), QStringLiteral("Insérer entité"));
  Ignore1 = item(Insertion1, "Ignore1", QStringLiteral("&Ignore"), QStringLiteral("Section Ignore"));

  Paramtres1 = topMenu(bar, "Paramtres1", QStringLiteral("&Paramètres"), 6);
  Optionsdudocument1 = item(Paramtres1, "Optionsdudocument1",
                            QStringLiteral("&Options du document..."),
                            QStringLiteral("Options du document"));
  OptionsEditeur1 = item(Paramtres1, "OptionsEditeur1", QStringLiteral("Options &Editeur..."),
                         QStringLiteral("Options de l'éditeur"));
  Paramtres1->addSeparator();
  fermerlesbalises1 = item(Paramtres1, "fermerlesbalises1",
                           QStringLiteral("&Fermer automatiquement les balises"),
                           QStringLiteral("Fermer automatiquement les balises"));
  Actualiserautomatiquement1 = item(Paramtres1, "Actualiserautomatiquement1",
                                    QStringLiteral("&Actualiser automatiquement l'arborescence"),
                                    QStringLiteral("Actualiser automatiquement"));
  CodagedescaractresnonASCII1 = item(Paramtres1, "CodagedescaractresnonASCII1",
                                     QStringLiteral("&Codage des caractères non ASCII"),
                                     QStringLiteral("Codage des caractères spéciaux"));
  Paramtres1->addSeparator();
  Vuesource1 = item(Paramtres1, "Vuesource1", QStringLiteral("Vue &source"),
                    QStringLiteral("Vue source XML"));
  Vuedonnes1 = item(Paramtres1, "Vuedonnes1", QStringLiteral("Vue &données"),
                    QStringLiteral("Vue données"));
  for (QAction* a : {fermerlesbalises1, Actualiserautomatiquement1, CodagedescaractresnonASCII1,
                     Vuesource1, Vuedonnes1})
    a->setCheckable(true);
  CodagedescaractresnonASCII1->setChecked(true);
  Vuesource1->setChecked(true);

  Outils1 = topMenu(bar, "Outils1", QStringLiteral("&Outils"), 7);
  Lanverlenavigateur1 = item(Outils1, "Lanverlenavigateur1", QStringLiteral("&Lancer le navigateur"),
                             QStringLiteral("Lancer le navigateur"), QKeySequence(Qt::Key_F9));
  Vrifierlasysntaxe1 = item(Outils1, "Vrifierlasysntaxe1", QStringLiteral("Vérifier la &syntaxe"),
                            QStringLiteral("Vérifier si le document est bien formé"),
                            QKeySequence(Qt::Key_F6));
  Validerdocument1 = item(Outils1, "Validerdocument1", QStringLiteral("&Valider document"),
                          QStringLiteral("Valider si XML bien forme"), QKeySequence(Qt::Key_F7));
  Outils1->addSeparator();
  Construirelarborescence1 = item(Outils1, "Construirelarborescence1",
                                  QStringLiteral("&Construire l'arborescence"),
                                  QStringLiteral("Contruire l'arborescence xml"),
                                  QKeySequence(Qt::Key_F8));
  GnrerDTD1 = item(Outils1, "GnrerDTD1", QStringLiteral("&Générer DTD interne"),
                   QStringLiteral("Générer DTD"));
  Indenterledocument1 = item(Outils1, "Indenterledocument1", QStringLiteral("&Indenter le document"),
                             QStringLiteral("Un élément par ligne, une tabulation par niveau"));

  Utilitaires1 = topMenu(bar, "Utilitaires1", QStringLiteral("&Utilitaires"), 8);
  Calendrier1 = item(Utilitaires1, "Calendrier1", QStringLiteral("&Calendrier"),
                     QStringLiteral("Calendrier"));
  Calculatrice1 = item(Utilitaires1, "Calculatrice1", QStringLiteral("C&alculatrice"),
                       QStringLiteral("Calculatrice"));
  Euroconversion1 = item(Utilitaires1, "Euroconversion1", QStringLiteral("&Euro conversion"),
                         QStringLiteral("Convertisseur euro"));
  Horloge1 = item(Utilitaires1, "Horloge1", QStringLiteral("&Horloge"), QStringLiteral("Horloge"));
  Blocnotes1 = item(Utilitaires1, "Blocnotes1", QStringLiteral("&Bloc-notes"),
                    QStringLiteral("Bloc-notes"));

  Window1 = topMenu(bar, "Window1", QStringLiteral("Fe&nêtre"), 9,
                    QStringLiteral("Commandes de fenêtres telles que Mosaïque et Cascade"));
  WindowCascadeItem = item(Window1, "WindowCascadeItem", QStringLiteral("&Cascade"),
                           QStringLiteral("Disposer les fenêtre de façon qu'elles se recouvrent"));
  WindowTileItem = item(Window1, "WindowTileItem", QStringLiteral("&Mosaïque"),
                        QStringLiteral("Disposer les fenêtre sans recouvrement"));
  WindowArrangeItem = item(Window1, "WindowArrangeItem", QStringLiteral("&Réorganiser les icônes"),
                           QStringLiteral("Disposer les icônes en bas de la fenêtre principale"));
  WindowMinimizeItem = item(Window1, "WindowMinimizeItem", QStringLiteral("&Tout réduire"),
                            QStringLiteral("Réduire toutes les fenêtres"));
  connect(Window1, &QMenu::aboutToShow, this, &TMainForm::fillWindowMenu);

  Help1 = topMenu(bar, "Help1", QStringLiteral("&Aide"), 10, QStringLiteral("Rubriques d'aide"));
  Index1 = item(Help1, "Index1", QStringLiteral("&Index"), QStringLiteral("Sommaire "));
  Recherche1 = item(Help1, "Recherche1", QStringLiteral("&Recherche..."),
                    QStringLiteral("Rechercher dans l'aide"));
  Utiliserlaide1 = item(Help1, "Utiliserlaide1", QStringLiteral("&Utiliser l'aide"),
                        QStringLiteral("Utiliser l'aide"));
  Help1->addSeparator();
  HelpAboutItem = item(Help1, "HelpAboutItem", QStringLiteral("&A propos"),
                       QStringLiteral("A propos de  Tovelo"));

  const auto onActive = [this](QAction* a, void (TEditeur::*method)()) {
    connect(a, &QAction::triggered, this, [this, method] {
      if (TEditeur* e = activeEditeur()) e->runCommand([e, method] { (e->*method)(); });
    });
  };
  connect(DocmumentXML1, &QAction::triggered, this, &TMainForm::FileNewItemClick);
  connect(DocmumentDTD1, &QAction::triggered, this, &TMainForm::DocmumentDTD1Click);
  connect(DocmumentCSS1, &QAction::triggered, this, &TMainForm::DocmumentCSS1Click);
  connect(FeuilledestyleXSL1, &QAction::triggered, this, &TMainForm::FeuilledestyleXSL1Click);
  connect(Documentsimple1, &QAction::triggered, this, &TMainForm::Documentsimple1Click);
  connect(Documentarborescent1, &QAction::triggered, this, &TMainForm::Documentarborescent1Click);
  connect(Fichelogiciell1, &QAction::triggered, this, &TMainForm::Fichelogiciell1Click);
  connect(FileOpenItem, &QAction::triggered, this, &TMainForm::FileOpenItemClick);
  connect(FileCloseItem, &QAction::triggered, this, &TMainForm::FileCloseItemClick);
  onActive(FileSaveItem, &TEditeur::Enregistrer);
  onActive(FileSaveAsItem, &TEditeur::SaveAs);
  connect(Toutenregistrer1, &QAction::triggered, this, &TMainForm::Toutenregistrer1Click);
  onActive(Imprimer1, &TEditeur::Imprimer);
  connect(Configurationimpression1, &QAction::triggered, this,
          &TMainForm::Configurationimpression1Click);
  connect(FileExitItem, &QAction::triggered, this, &QWidget::close);

  onActive(Annuler1, &TEditeur::Annuler);
  onActive(Rtablir1, &TEditeur::Retablir);
  onActive(CutItem, &TEditeur::Couper);
  onActive(CopyItem, &TEditeur::Copier);
  onActive(PasteItem, &TEditeur::Coller);
  onActive(Toutslectionner1, &TEditeur::ToutSelectionner);
  onActive(Dployerarbre1, &TEditeur::Deployer);
  onActive(Rduirearbre1, &TEditeur::Reduire);
  onActive(Dupliquernoeud1, &TEditeur::Dupnoeud);
  onActive(Construirelarborescence1, &TEditeur::Arborescence);
  onActive(GnrerDTD1, &TEditeur::Gendtd);
  onActive(Indenterledocument1, &TEditeur::Indenter);
  onActive(Allerlaligne1, &TEditeur::GoToLine);
  onActive(Allerlabalisecorrespondante1, &TEditeur::GoToMatchingTag);
  onActive(CopyXPathItem, &TEditeur::CopyXPath);
  onActive(Rechercher1, &TEditeur::Chercher);
  onActive(Continuer1, &TEditeur::Continuer);
  onActive(Remplacer1, &TEditeur::Remplacer);
  onActive(Changerlacasse1, &TEditeur::Casse);
  onActive(Convertircaractresspciaux1, &TEditeur::Convertir);
  onActive(Balise1, &TEditeur::Balise1);
  onActive(Fermerdernirebalise1, &TEditeur::FermerBalise);
  onActive(Commentaire1, &TEditeur::Commentaire);
  onActive(Caractresspciaux1, &TEditeur::Speciaux);
  onActive(SectionCDATA1, &TEditeur::Cdata);
  onActive(Texte1, &TEditeur::Importer);
  onActive(Elment1, &TEditeur::Element);
  onActive(Attribut1, &TEditeur::Attribut);
  onActive(Entit1, &TEditeur::Entite);
  onActive(Ignore1, &TEditeur::Ignorer);
  onActive(Optionsdudocument1, &TEditeur::Options);
  onActive(OptionsEditeur1, &TEditeur::OptEdit);
  onActive(Importer1, &TEditeur::Importetxt);
  onActive(Exporter1, &TEditeur::Exporter);

  connect(fermerlesbalises1, &QAction::triggered, this, &TMainForm::fermerlesbalises1Click);
  connect(Actualiserautomatiquement1, &QAction::triggered, this,
          &TMainForm::Actualiserautomatiquement1Click);
  connect(CodagedescaractresnonASCII1, &QAction::triggered, this,
          &TMainForm::CodagedescaractresnonASCII1Click);
  connect(Vuesource1, &QAction::triggered, this, &TMainForm::Vuesource1Click);
  connect(Vuedonnes1, &QAction::triggered, this, &TMainForm::Vuedonnes1Click);

  connect(Lanverlenavigateur1, &QAction::triggered, this, &TMainForm::Lanverlenavigateur1Click);
  connect(Vrifierlasysntaxe1, &QAction::triggered, this, [this] {
    if (TEditeur* e = activeEditeur()) e->runCommand([e] { e->Valider(false); });
  });
  connect(Validerdocument1, &QAction::triggered, this, [this] {
    if (TEditeur* e = activeEditeur()) e->runCommand([e] { e->Valider(true); });
  });

  connect(WindowCascadeItem, &QAction::triggered, this, [this] { mdiArea_->cascadeSubWindows(); });
  connect(WindowTileItem, &QAction::triggered, this, [this] { mdiArea_->tileSubWindows(); });
  connect(WindowArrangeItem, &QAction::triggered, this, &TMainForm::WindowArrangeItemClick);
  connect(WindowMinimizeItem, &QAction::triggered, this, &TMainForm::WindowMinimizeItemClick);

  connect(Index1, &QAction::triggered, this, &TMainForm::HContents);
  connect(Recherche1, &QAction::triggered, this, &TMainForm::HSearch);
  connect(Utiliserlaide1, &QAction::triggered, this, &TMainForm::HowToUse);
  connect(HelpAboutItem, &QAction::triggered, this, &TMainForm::HelpAboutItemClick);
  connect(Calendrier1, &QAction::triggered, this, &TMainForm::Calendrier1Click);
  connect(Calculatrice1, &QAction::triggered, this, &TMainForm::Calculatrice1Click);
  connect(TransfertparFTP1, &QAction::triggered, this, &TMainForm::TransfertparFTP1Click);
  connect(Euroconversion1, &QAction::triggered, this, &TMainForm::Euroconversion1Click);
  connect(Horloge1, &QAction::triggered, this, &TMainForm::Horloge1Click);
  connect(Blocnotes1, &QAction::triggered, this, &TMainForm::Blocnotes1Click);

  auto* f1 = new QAction(this);
  f1->setShortcut(QKeySequence(Qt::Key_F1));
  connect(f1, &QAction::triggered, this, [this] { showHelp(1); });
  addAction(f1);
}

void TMainForm::createToolbar() {
  SpeedPanel = new QWidget(this);
  SpeedPanel->setObjectName(QStringLiteral("SpeedPanel"));
  SpeedPanel->setFixedHeight(33);

  const auto button = [this](const char* name, int x, const QString& hint, Glyph g) {
    auto* b = new QToolButton(SpeedPanel);
    b->setObjectName(QLatin1String(name));
    b->setGeometry(x, 4, 25, 25);
    b->setAutoRaise(true);
    b->setIcon(glyphIcon(g));
    b->setIconSize(QSize(16, 16));
    b->setToolTip(hint);
    b->setStatusTip(hint);
    b->setAccessibleName(hint);
    return b;
  };
  const auto separator = [this](const char* name, int x) {
    auto* line = new QFrame(SpeedPanel);
    line->setObjectName(QLatin1String(name));
    line->setFrameShape(QFrame::VLine);
    line->setFrameShadow(QFrame::Sunken);
    line->setGeometry(x, 4, 2, 25);
  };

  SpeedButton1 = button("SpeedButton1", 8, QStringLiteral("Nouveau"), Glyph::Nouveau);
  OpenBtn = button("OpenBtn", 33, QStringLiteral("Ouvrir"), Glyph::Ouvrir);
  SaveBtn = button("SaveBtn", 58, QStringLiteral("Enregistrer"), Glyph::Enregistrer);
  separator("Bevel1", 84);
  SpeedButton5 = button("SpeedButton5", 88, QStringLiteral("Annuler"), Glyph::Annuler);
  CutBtn = button("CutBtn", 113, QStringLiteral("Couper"), Glyph::Couper);
  CopyBtn = button("CopyBtn", 138, QStringLiteral("Copier"), Glyph::Copier);
  PasteBtn = button("PasteBtn", 163, QStringLiteral("Coller"), Glyph::Coller);
  separator("Bevel2", 191);
  SpeedButton2 = button("SpeedButton2", 195, QStringLiteral("Lancer navigateur"), Glyph::Navigateur);
  SpeedButton4 = button("SpeedButton4", 220, QStringLiteral("Arborescence"), Glyph::Arborescence);
  separator("Bevel3", 248);
  SpeedButton3 = button("SpeedButton3", 252, QStringLiteral("Fermer la dernière balise"),
                        Glyph::FermerBalise);
  SpeedButton6 = button("SpeedButton6", 277, QStringLiteral("Vérifier la syntaxe"), Glyph::Verifier);
  SpeedButton7 = button("SpeedButton7", 302, QStringLiteral("Valider le document"), Glyph::Valider);
  SpeedButton8 = button("SpeedButton8", 327, QStringLiteral("Vue source"), Glyph::VueSource);
  SpeedButton9 = button("SpeedButton9", 352, QStringLiteral("Vue données"), Glyph::VueDonnees);

  connect(SpeedButton1, &QToolButton::clicked, this, &TMainForm::FileNewItemClick);
  connect(OpenBtn, &QToolButton::clicked, this, &TMainForm::FileOpenItemClick);
  connect(SaveBtn, &QToolButton::clicked, FileSaveItem, &QAction::trigger);
  connect(SpeedButton5, &QToolButton::clicked, Annuler1, &QAction::trigger);
  connect(CutBtn, &QToolButton::clicked, CutItem, &QAction::trigger);
  connect(CopyBtn, &QToolButton::clicked, CopyItem, &QAction::trigger);
  connect(PasteBtn, &QToolButton::clicked, PasteItem, &QAction::trigger);
  connect(SpeedButton2, &QToolButton::clicked, this, &TMainForm::Lanverlenavigateur1Click);
  connect(SpeedButton4, &QToolButton::clicked, Construirelarborescence1, &QAction::trigger);
  connect(SpeedButton3, &QToolButton::clicked, Fermerdernirebalise1, &QAction::trigger);
  connect(SpeedButton6, &QToolButton::clicked, Vrifierlasysntaxe1, &QAction::trigger);
  connect(SpeedButton7, &QToolButton::clicked, Validerdocument1, &QAction::trigger);
  connect(SpeedButton8, &QToolButton::clicked, this, &TMainForm::Vuesource1Click);
  connect(SpeedButton9, &QToolButton::clicked, this, &TMainForm::Vuedonnes1Click);
}

void TMainForm::createStatusBar() {
  QStatusBar* bar = statusBar();
  bar->setObjectName(QStringLiteral("StatusBar"));
  bar->setSizeGripEnabled(false);
  panel0_ = new QLabel(bar);
  panel0_->setObjectName(QStringLiteral("Panel0"));
  panel0_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  panel0_->setFixedWidth(50);
  panel1_ = new QLabel(bar);
  panel1_->setObjectName(QStringLiteral("Panel1"));
  panel1_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  panel1_->setAlignment(Qt::AlignCenter);
  // Wide enough for the time of day in the status bar's font.
  panel1_->setMinimumWidth(std::max(50, panel1_->fontMetrics().horizontalAdvance(
                                                QStringLiteral("00:00:00")) + 12));
  bar->addWidget(panel0_);
  bar->addWidget(panel1_);
  pathLabel_ = new QLabel(panel0_);
  pathLabel_->setObjectName(QStringLiteral("ElementPath"));
  pathLabel_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
}

void TMainForm::placeElementPath() {
  const QRect room = panel0_->contentsRect();
  const int used = panel0_->text().isEmpty() ? 0 : panel0_->fontMetrics().horizontalAdvance(panel0_->text()) + 24;
  const int width = std::max(0, room.width() - used - 4);
  pathLabel_->setGeometry(room.right() - 2 - width, room.top(), width, room.height());
  pathLabel_->setText(pathLabel_->fontMetrics().elidedText(elementPath_, Qt::ElideLeft, width));
}

void TMainForm::showElementPath(const QWidget* from, const QString& path) {
  if (from != activeEditeur()) return;
  elementPath_ = path;
  placeElementPath();
}

// ---- Document windows -------------------------------------------------------------------------

int TMainForm::MDIChildCount() const { return int(mdiArea_->subWindowList().size()); }

QList<TEditeur*> TMainForm::editeurs() const {
  QList<TEditeur*> out;
  for (QMdiSubWindow* w : mdiArea_->subWindowList())
    if (auto* e = qobject_cast<TEditeur*>(w->widget())) out << e;
  return out;
}

TEditeur* TMainForm::activeEditeur() const {
  QMdiSubWindow* w = mdiArea_->activeSubWindow();
  if (!w) w = mdiArea_->currentSubWindow();
  return w ? qobject_cast<TEditeur*>(w->widget()) : nullptr;
}

TEditeur* TMainForm::NouveauDocument(const QString& caption) {
  auto* e = new TEditeur(this, caption);
  e->setAttribute(Qt::WA_DeleteOnClose);
  QMdiSubWindow* sub = mdiArea_->addSubWindow(e);
  sub->setAttribute(Qt::WA_DeleteOnClose);
  // The pass after a close must see the window gone.
  connect(sub, &QObject::destroyed, this, [this] { UpdateMenuItems(); }, Qt::QueuedConnection);
  placeNewWindow(sub);
  e->show();
  mdiArea_->setActiveSubWindow(sub);
  Vuesource1->setChecked(true);
  Vuedonnes1->setChecked(false);
  return e;
}

void TMainForm::placeNewWindow(QMdiSubWindow* sub) {
  QSize size(629, 429);
  // A workspace not on screen yet has no size of its own; Qt places the window when it shows.
  if (!mdiArea_->isVisible()) {
    sub->resize(size);
    return;
  }
  const QSize area = mdiArea_->viewport()->size();
  size = size.boundedTo(area);
  QStyleOptionTitleBar option;
  option.initFrom(sub);
  const int step = std::max(1, sub->style()->pixelMetric(QStyle::PM_TitleBarHeight, &option, sub));
  QList<QPoint> taken;
  for (QMdiSubWindow* w : mdiArea_->subWindowList())
    if (w != sub && w->isVisible() && !w->isMinimized() && !w->isMaximized()) taken << w->pos();
  sub->resize(size);
  sub->move(cascadeSlot(area, size, step, taken));
}

QString TMainForm::nextCaption(const QString& prefix, const QString& extension) const {
  return prefix + QString::number(MDIChildCount() + 1) + extension;
}

void TMainForm::setFlagsFromChecks(TEditeur* e) {
  e->Actauto1(Actualiserautomatiquement1->isChecked());
  e->Actauto2(fermerlesbalises1->isChecked());
  e->Actauto3(CodagedescaractresnonASCII1->isChecked());
}

void TMainForm::FileNewItemClick() {
  TEditeur* e = NouveauDocument(nextCaption(QStringLiteral("XML"), QStringLiteral(".xml")));
  e->Memo1->SetSelStart(31);  // the empty line between <body> and </body>
  setFlagsFromChecks(e);
}

void TMainForm::newOtherDocument(const QString& prefix, const QString& extension) {
  TEditeur* e = NouveauDocument(nextCaption(prefix, extension));
  e->Tag = 1;
  e->Memo1->Clear();
  e->Memo1->SetModified(false);
  UpdateMenuItems();
}

void TMainForm::DocmumentDTD1Click() { newOtherDocument(QStringLiteral("DTD"), QStringLiteral(".dtd")); }
void TMainForm::DocmumentCSS1Click() { newOtherDocument(QStringLiteral("CSS"), QStringLiteral(".css")); }
void TMainForm::FeuilledestyleXSL1Click() {
  newOtherDocument(QStringLiteral("XSL"), QStringLiteral(".xsl"));
}

template <class Wizard> void TMainForm::runWizard() {
  QStringList lines;
  {
    Wizard wizard(this);
    wizard.exec();
    wizard.Result(lines);
  }
  if (lines.isEmpty()) return;
  TEditeur* e = NouveauDocument(nextCaption(QStringLiteral("XML"), QStringLiteral(".xml")));
  e->Init(lines);
  setFlagsFromChecks(e);
}

void TMainForm::Documentsimple1Click() { runWizard<TAssistant>(); }
void TMainForm::Documentarborescent1Click() { runWizard<TArbre>(); }
void TMainForm::Fichelogiciell1Click() { runWizard<TPadgen>(); }

void TMainForm::FileOpenItemClick() {
  Prompts::FileRequest request;
  request.title = QStringLiteral("Ouvrir");
  request.filter = QStringLiteral(
      "Fichiers xml (*.xml)|*.xml|Fichiers dtd (*.dtd)|*.dtd|Fichiers css (*.css)|*.css|"
      "Fichiers xsl (*.xsl)|*.xsl");
  request.defaultSuffix = QStringLiteral("xml");
  request.fileName = QStringLiteral("*.xml");
  const QString path = Prompts::get().openFile(this, request);
  openFiles(path.isEmpty() ? QStringList() : QStringList{path});
}

TEditeur* TMainForm::openDocument(const QString& path) {
  TEditeur* e = NouveauDocument(path);
  e->setWindowTitle(filename::display(QFileInfo(path).fileName()));
  if (!path.toLower().contains(QLatin1String(".xml"))) e->Tag = 1;
  if (!e->OpenFile(path)) {
    // A window left bound to a file it could not read would write over it at the next save.
    if (QMdiSubWindow* sub = qobject_cast<QMdiSubWindow*>(e->parentWidget())) {
      mdiArea_->removeSubWindow(sub);
      sub->deleteLater();
    }
    return nullptr;
  }
  e->show();
  setFlagsFromChecks(e);
  return e;
}

void TMainForm::openFiles(const QStringList& paths) {
  for (const QString& path : paths) openDocument(path);
  UpdateMenuItems();
  Vuesource1->setChecked(true);
  Vuedonnes1->setChecked(false);
}

void TMainForm::FileCloseItemClick() {
  if (QMdiSubWindow* w = mdiArea_->activeSubWindow()) w->close();
}

void TMainForm::Toutenregistrer1Click() {
  const QList<TEditeur*> all = editeurs();
  for (qsizetype i = all.size() - 1; i >= 0; --i) all[i]->Enregistrer();
}

void TMainForm::Configurationimpression1Click() {
  Prompts::get().printerSetup(this, Prompts::printer());
}

// ---- Check marks ------------------------------------------------------------------------------

void TMainForm::fermerlesbalises1Click() {
  if (TEditeur* e = activeEditeur()) e->Actauto2(fermerlesbalises1->isChecked());
}

void TMainForm::Actualiserautomatiquement1Click() {
  if (TEditeur* e = activeEditeur()) e->Actauto1(Actualiserautomatiquement1->isChecked());
}

void TMainForm::CodagedescaractresnonASCII1Click() {
  if (TEditeur* e = activeEditeur()) e->Actauto3(CodagedescaractresnonASCII1->isChecked());
}

void TMainForm::Vuesource1Click() {
  Vuesource1->setChecked(true);
  Vuedonnes1->setChecked(false);
  if (TEditeur* e = activeEditeur()) e->VueSource();
  UpdateMenuItems();
}

void TMainForm::Vuedonnes1Click() {
  Vuedonnes1->setChecked(true);
  Vuesource1->setChecked(false);
  if (TEditeur* e = activeEditeur()) e->runCommand([e] { e->Vuedonnees(); });
  UpdateMenuItems();
}

// ---- Window menu ------------------------------------------------------------------------------

void TMainForm::fillWindowMenu() {
  for (QAction* a : windowListActions_) {
    Window1->removeAction(a);
    a->deleteLater();
  }
  windowListActions_.clear();
  const QList<QMdiSubWindow*> windows = mdiArea_->subWindowList();
  if (windows.isEmpty()) return;
  windowListActions_ << Window1->addSeparator();
  int n = 0;
  for (QMdiSubWindow* w : windows) {
    ++n;
    const QString caption = w->windowTitle();
    QString text = n < 10 ? QStringLiteral("&%1 %2").arg(n).arg(caption)
                          : QStringLiteral("%1 %2").arg(n).arg(caption);
    QAction* a = Window1->addAction(text);
    a->setCheckable(true);
    a->setChecked(w == mdiArea_->activeSubWindow());
    connect(a, &QAction::triggered, this, [this, w] {
      if (mdiArea_->subWindowList().contains(w)) {
        if (w->isMinimized()) w->showNormal();
        mdiArea_->setActiveSubWindow(w);
      }
    });
    windowListActions_ << a;
  }
}

void TMainForm::WindowArrangeItemClick() {
  // Minimized windows are lined up along the bottom of the frame's client area.
  int x = 0;
  int y = -1;
  for (QMdiSubWindow* w : mdiArea_->subWindowList()) {
    if (!w->isMinimized()) continue;
    const QSize s = w->size();
    if (y < 0) y = mdiArea_->viewport()->height() - s.height();
    if (x + s.width() > mdiArea_->viewport()->width() && x > 0) {
      x = 0;
      y -= s.height();
    }
    w->move(x, std::max(0, y));
    x += s.width();
  }
}

void TMainForm::WindowMinimizeItemClick() {
  const QList<QMdiSubWindow*> windows = mdiArea_->subWindowList();
  for (qsizetype i = windows.size() - 1; i >= 0; --i) windows[i]->showMinimized();
}

void TMainForm::subWindowActivated(QMdiSubWindow* w) {
  // A null window only means that the frame lost the keyboard, to a find dialog for one.
  if (w) {
    auto* active = qobject_cast<TEditeur*>(w->widget());
    for (TEditeur* e : editeurs())
      if (e != active) e->showFindDialogs(false);
    if (active) {
      active->showFindDialogs(true);
      active->FormActivate();
    }
  }
  const TEditeur* shown = activeEditeur();
  elementPath_ = shown ? shown->elementPath() : QString();
  placeElementPath();
  UpdateMenuItems();
}

// ---- Tools and help ---------------------------------------------------------------------------

void TMainForm::Lanverlenavigateur1Click() {
  TEditeur* e = activeEditeur();
  // Nothing saved yet: nothing to show.
  if (!e || e->GetFichier().isEmpty() || e->neverSaved()) return;
  Desktop::get().openDocument(QFileInfo(e->GetFichier()).absoluteFilePath());
}

void TMainForm::showHelp(int context) {
  if (!help_) help_ = new HelpViewer(this);
  help_->showContext(context);
}

void TMainForm::HContents() {
  if (!help_) help_ = new HelpViewer(this);
  help_->showContents();
}

void TMainForm::HSearch() {
  if (!help_) help_ = new HelpViewer(this);
  help_->showSearch();
}

void TMainForm::HowToUse() {
  if (!help_) help_ = new HelpViewer(this);
  help_->showHowToUse();
}

void TMainForm::HelpAboutItemClick() {
  TAboutBox about(this);
  about.exec();
}

// ---- Status bar, events -----------------------------------------------------------------------

void TMainForm::showStatus(const QString& text) {
  panel0_->setText(text);
  placeElementPath();
}
QString TMainForm::statusText() const { return panel0_->text(); }
QString TMainForm::clockText() const { return panel1_->text(); }

void TMainForm::Timer1Timer() {
  panel1_->setText(QLocale::system().toString(QTime::currentTime(), longTimeFormat()));
}

void TMainForm::setRedoEnabled(bool enabled) { Rtablir1->setEnabled(enabled); }

void TMainForm::enablePaste() {
  PasteItem->setEnabled(true);
  PasteBtn->setEnabled(true);
}

bool TMainForm::event(QEvent* e) {
  // Hints go to status panel 0, not to a message over the whole bar.
  if (e->type() == QEvent::StatusTip) {
    showStatus(static_cast<QStatusTipEvent*>(e)->tip());
    return true;
  }
  return QMainWindow::event(e);
}

bool TMainForm::eventFilter(QObject* watched, QEvent* e) {
  // A menu that opens under the pointer makes the toolbar button beneath it send an empty hint
  // as the pointer leaves it, which would wipe the highlighted item's hint: while a menu is
  // open, only the menus speak in status panel 0.
  if (e->type() == QEvent::StatusTip && watched != this &&
      qobject_cast<QMenu*>(QApplication::activePopupWidget()) &&
      !qobject_cast<QMenu*>(watched) && !qobject_cast<QMenuBar*>(watched))
    return true;
  if (watched == panel0_ && e->type() == QEvent::Resize) placeElementPath();
  if (e->type() == QEvent::Show || e->type() == QEvent::Hide) {
    const auto* w = qobject_cast<QWidget*>(watched);
    if (w && w->isWindow() && w->isModal() && w != this)
      QTimer::singleShot(0, this, [this] { UpdateMenuItems(); });
  }
  // F1 over an open menu shows the help page of that menu's context.
  if (e->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(e)->key() == Qt::Key_F1) {
    if (auto* menu = qobject_cast<QMenu*>(watched)) {
      // A submenu speaks with the context of the top-level menu that holds it.
      int context = 1;
      for (QObject* o = menu; o; o = o->parent())
        if (const QVariant v = o->property(kHelpContext); v.isValid()) {
          context = v.toInt();
          break;
        }
      menu->close();
      showHelp(context);
      return true;
    }
  }
  return QMainWindow::eventFilter(watched, e);
}

void TMainForm::resizeEvent(QResizeEvent* e) {
  QMainWindow::resizeEvent(e);
  panel0_->setFixedWidth(std::max(0, width() - 100));
}

void TMainForm::showEvent(QShowEvent* e) {
  QMainWindow::showEvent(e);
  if (!shown_) {
    shown_ = true;
    emit firstShown();
  }
}

void TMainForm::closeEvent(QCloseEvent* e) {
  // Every document window answers its close query in turn; the first "Annuler" stops the
  // quit and keeps the windows not yet asked.
  for (QMdiSubWindow* w : mdiArea_->subWindowList(QMdiArea::ActivationHistoryOrder)) {
    if (!w->close()) {
      e->ignore();
      return;
    }
  }
  QDir::setCurrent(RepertoireDepart);
  e->accept();
}
