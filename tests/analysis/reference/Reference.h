#pragma once
// A deliberately plain version of the document checks: character by character, quadratic, with
// the 1-based positions and copy windows of the original written out as they are. It shares no
// code with src/analysis and serves as the definition that the fast version is compared with.
#include <functional>

#include <QString>
#include <QStringList>

namespace reference {

struct Resultat {
  int code = 0;
  QString texte;
};

// Gives the lines of the external DTD named after SYSTEM; false when the file is absent.
using Chargeur = std::function<bool(const QString& nom, QStringList& lignes)>;

// 1-based text helpers with the classic semantics: Pos of an empty text is 0 (an empty text
// never occurs), Copy clamps its window to the text.
qsizetype Pos(const QString& sous, const QString& s);
QString Copy(const QString& s, qsizetype index, qsizetype compte);

// Comment state: called before the character at 1-based position p is examined; true when it
// is to be skipped.
bool commentaire(bool& actif, const QString& ligne, qsizetype p);

// The text of the tag whose "<" is at 1-based p of s: to its own ">" (included; quoted values
// may hold ">"; *ferme set), or to the next "<" or the end of s.
QString texteBalise(const QString& s, qsizetype p, bool* ferme = nullptr);
// The same in the lines from line i (0-based): a tag that reaches the end of its line goes on
// in the next lines, joined by CR LF.
QString texteBalise(const QStringList& lignes, qsizetype i, qsizetype p, bool* ferme = nullptr);
// The key of the start tag, and of the end tag, that begins the text.
QString NomBalise(const QString& texte);
QString cleFin(const QString& texte);
// Whether the "&" at 1-based p begins an entity reference.
bool estReference(const QString& ligne, qsizetype p);
QString ValeurGuillemets(const QString& texte);
int ControleAttributs(const QString& texte);
bool memeCle(const QString& a, const QString& b);  // without regard to case

Resultat Valid(const QStringList& lignes);
// Overlap test of the start tag with key cle at 0-based position of line ligne.
bool Chevauche(const QStringList& lignes, const QString& cle, int ligne, qsizetype position);

// The text that LitDtd searches for declarations (X); the external file's lines in *externe
// when it was read.
QString texteDeclarations(const QStringList& lignes, const Chargeur& charge, QStringList* externe = nullptr);
QStringList LitDtd(const QStringList& lignes, const Chargeur& charge);
Resultat Validdtd(const QStringList& lignes, const Chargeur& charge);

// The message box texts, and what the check command (dtd false) or the validate command shows.
QString message(const Resultat& r);
QString rapport(const QStringList& lignes, bool dtd, const Chargeur& charge);

}  // namespace reference
