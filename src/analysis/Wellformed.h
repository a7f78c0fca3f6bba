#pragma once
// The well-formedness check of a document's lines, and the texts of its reports.
#include <QString>
#include <QStringList>

namespace analyse {

// Fault codes: 0 none; 1..7 well-formedness; 11, 12 validity against the DTD.
enum CodeFaute : int {
  kAucuneFaute = 0,
  kBaliseNonFermee = 1,
  kBaliseNonOuverte = 2,
  kRacineNonUnique = 3,
  kAttributIncorrect = 4,
  kEntiteSansPointVirgule = 5,
  kStandaloneIncorrect = 6,
  kBaliseChevauchee = 7,
  kBaliseNonDeclaree = 11,
  kAttributManquant = 12,
};

struct Faute {
  int code = kAucuneFaute;
  QString texte;  // a tag key or a piece of the line, as each code defines it
};

// Runs the five passes (declaration, open/close, outcome, overlap, entity) over the lines.
Faute Valid(const QStringList& lignes);

// Overlap test of the start tag with key cle at 0-based position of line ligne (0-based).
bool Chevauche(const QStringList& lignes, const QString& cle, int ligne, qsizetype position);

// The message box text of a well-formedness fault (codes 1..7) or a validity fault (11, 12).
QString messageFaute(const Faute& faute);

}  // namespace analyse
