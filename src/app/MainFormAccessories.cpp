// The "Utilitaires" menu: each accessory is a modal window made for one use.
#include "Blocnotes.h"
#include "Calendrier.h"
#include "Eurof.h"
#include "Horloge.h"
#include "MainForm.h"
#include "Pocket.h"
#include "Prompts.h"

void TMainForm::Calendrier1Click() {
  TCalendrier w(this);
  w.exec();
}

void TMainForm::Calculatrice1Click() {
  TPocket w(this);
  w.exec();
}

void TMainForm::Euroconversion1Click() {
  TEurof w(this);
  w.exec();
}

void TMainForm::Horloge1Click() {
  THorloge w(this);
  w.exec();
}

void TMainForm::Blocnotes1Click() {
  // A start-up folder at the root gives "//"; the notepad reads it as one "/".
  const QString notes = RepertoireDepart + QStringLiteral("/Tovelo.nte");
  TBlocnotes w(this);
  w.Charge(notes);
  // The pad is the notes' only copy until they are written: when the write fails, the user may
  // go back to it (to copy the text, or to try again after freeing the disk).
  do {
    w.exec();
  } while (!w.Sauve(notes) &&
           Prompts::get().confirm(this, QStringLiteral("Les notes n'ont pas pu être enregistrées. "
                                                       "Revenir au bloc-notes pour ne pas les perdre ?")) ==
               Prompts::Answer::Yes);
}
