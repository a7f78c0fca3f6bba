// The menu and toolbar state rules: one pass of three fixed rules over three facts (is there a
// document window, is the active one a non-XML document, is the data view shown).
#include <QAction>
#include <QToolButton>

#include "Editeur.h"
#include "MainForm.h"

namespace {

template <typename... Items>
void enableAll(bool on, Items*... items) {
  (items->setEnabled(on), ...);
}

}  // namespace

void TMainForm::UpdateMenuItems() {
  const int n = MDIChildCount();
  const TEditeur* active = activeEditeur();
  const bool any = n > 0;

  // Rule 1: availability.
  enableAll(any, FileCloseItem, FileSaveItem, FileSaveAsItem, Toutenregistrer1, Importer1,
             Exporter1, Imprimer1, Annuler1, Rtablir1, CutItem, CopyItem, PasteItem,
             Toutslectionner1, Rechercher1, Continuer1, Remplacer1, Allerlaligne1, Allerlabalisecorrespondante1, CopyXPathItem, Changerlacasse1,
             Convertircaractresspciaux1, Dployerarbre1, Rduirearbre1, Dupliquernoeud1, Balise1,
             Fermerdernirebalise1, Commentaire1, Caractresspciaux1, SectionCDATA1, Texte1, Elment1,
             Attribut1, Entit1, Ignore1, Optionsdudocument1, OptionsEditeur1, fermerlesbalises1,
             Actualiserautomatiquement1, CodagedescaractresnonASCII1, Vuesource1, Vuedonnes1,
             Lanverlenavigateur1, Vrifierlasysntaxe1, Validerdocument1, Construirelarborescence1,
             GnrerDTD1, Indenterledocument1, WindowCascadeItem, WindowTileItem, WindowArrangeItem, WindowMinimizeItem);
  enableAll(any, SaveBtn, CutBtn, CopyBtn, PasteBtn, SpeedButton5, SpeedButton2, SpeedButton4,
             SpeedButton3, SpeedButton6, SpeedButton7, SpeedButton9);
  SpeedButton8->setEnabled(false);
  if (!any) return;

  // Rule 2: a DTD, CSS or XSL document.
  if (active && active->Tag == 1) {
    enableAll(false, fermerlesbalises1, Actualiserautomatiquement1, CodagedescaractresnonASCII1,
               Lanverlenavigateur1, Balise1, Fermerdernirebalise1, SectionCDATA1, Ignore1,
               Validerdocument1, Vrifierlasysntaxe1, Optionsdudocument1, Construirelarborescence1, CopyXPathItem,
               Dployerarbre1, Rduirearbre1, Dupliquernoeud1, GnrerDTD1, Indenterledocument1, Vuesource1, Vuedonnes1,
               Exporter1, Importer1, Changerlacasse1, Convertircaractresspciaux1);
    enableAll(false, SpeedButton2, SpeedButton3, SpeedButton4, SpeedButton5, SpeedButton6,
               SpeedButton7, SpeedButton8, SpeedButton9);
  }

  // Rule 3: the data view.
  if (Vuedonnes1->isChecked()) {
    enableAll(false, CutItem, CopyItem, PasteItem, Annuler1, Rtablir1, Toutslectionner1,
               Rechercher1, Continuer1, Remplacer1, Allerlaligne1, Allerlabalisecorrespondante1, CopyXPathItem, Changerlacasse1, Convertircaractresspciaux1,
               fermerlesbalises1, Actualiserautomatiquement1, Commentaire1, Balise1,
               Fermerdernirebalise1, Caractresspciaux1, SectionCDATA1, Texte1, Elment1, Attribut1,
               Entit1, Ignore1, GnrerDTD1, Indenterledocument1, Validerdocument1, Vrifierlasysntaxe1);
    enableAll(false, CutBtn, CopyBtn, PasteBtn, SpeedButton3, SpeedButton5, SpeedButton6,
               SpeedButton7, SpeedButton9);
    SpeedButton8->setEnabled(true);
  }
}
