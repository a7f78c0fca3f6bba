// The "Utilitaires" menu: each accessory is a modal window made for one use.
#include "Blocnotes.h"
#include "Calendrier.h"
#include "Eurof.h"
#include "Horloge.h"
#include "MainForm.h"
#include "Pocket.h"

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
  w.exec();
  w.Sauve(notes);
}
