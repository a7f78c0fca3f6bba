#pragma once
// The tag-scanning conventions that every scan of the document text shares: the comment state,
// the tag window, the tag key, the quoted value and the attribute quoting check. Positions in a
// line are 0-based here; a tag window is at most 64 characters of its line from the "<".
#include <QString>
#include <QStringList>
#include <QStringView>

namespace analyse {

constexpr qsizetype kFenetreBalise = 64;

// Comment state, carried from one line to the next. Call it for every position p of a line,
// in order, before looking at the character there; it answers true when the character lies
// inside a comment and is to be skipped ("-->" turns the state off, then "<!--" turns it on).
struct EtatCommentaire {
  bool actif = false;
  bool ignore(QStringView ligne, qsizetype p);
};

// The tag window of the "<" at position p: at most 64 characters, never past the line's end.
QStringView fenetreBalise(QStringView ligne, qsizetype p);

// Tag key of a start-tag window: "<body>" for "<body class="x">", empty for "</", "<?", "<!",
// for a window holding "/>" anywhere, and for a name ending in "/".
QString NomBalise(QStringView fenetre);

// Tag key of an end-tag window: the window without the "/" in second position, then NomBalise.
QString cleFinBalise(QStringView fenetre);

// First quoted value of a text (apostrophes count as double quotes); the whole text without quotes.
QString ValeurGuillemets(QStringView texte);

// Attribute quoting check of one start tag; texte is its line from the "<" (only the first
// 1024 characters are read). 0 when correct, 4 when badly quoted.
int ControleAttributs(QStringView texte);

// Equality of two tag keys without regard to case (Windows-1252 upper-casing).
bool memeCleSansCasse(QStringView a, QStringView b);

}  // namespace analyse
