#pragma once
// A deliberately plain version of the document checks: character by character, quadratic, with
// 1-based positions and whole copies of the text where the fast version keeps views and counts.
// It shares no code with src/analysis and serves as the definition that the fast version is
// compared with.
#include <functional>

#include <QString>
#include <QStringList>

namespace reference {

struct Result {
  int code = 0;
  QString text;
  // Where a fault lies, lines and columns from 1, columns in characters: its tag from the "<"
  // to just past the tag's text, or one place (to equal to from) for a fault without a tag.
  // All 0 without a fault.
  int fromLine = 0;
  qsizetype fromColumn = 0;
  int toLine = 0;
  qsizetype toColumn = 0;
};

// Gives the lines of the external DTD named after SYSTEM; false when the file is absent.
using Loader = std::function<bool(const QString& name, QStringList& lines)>;

// 1-based text helpers with the classic semantics: Pos of an empty text is 0 (an empty text
// never occurs), Copy clamps its window to the text.
qsizetype Pos(const QString& sub, const QString& s);
QString Copy(const QString& s, qsizetype index, qsizetype count);

// Comment state: called before the character at 1-based position p is examined; true when it
// is to be skipped.
bool commentState(bool& active, const QString& line, qsizetype p);

// The text of the tag whose "<" is at 1-based p of s: to its own ">" (included; quoted values
// may hold ">"; *ferme set), or to the next "<" or the end of s.
QString tagText(const QString& s, qsizetype p, bool* closed = nullptr);
// The same in the lines from line i (0-based): a tag that reaches the end of its line goes on
// in the next lines, joined by CR LF.
QString tagText(const QStringList& lines, qsizetype i, qsizetype p, bool* closed = nullptr);
// The key of the start tag, and of the end tag, that begins the text.
QString NomBalise(const QString& text);
QString endKey(const QString& text);
// Whether the "&" at 1-based p begins an entity reference.
bool isReference(const QString& line, qsizetype p);
QString ValeurGuillemets(const QString& text);
int ControleAttributs(const QString& text);
bool sameKey(const QString& a, const QString& b);  // without regard to case

Result Valid(const QStringList& lines);
// Overlap test of the start tag with key cle at 0-based position of line ligne.
bool Chevauche(const QStringList& lines, const QString& key, int line, qsizetype position);

// The text that LitDtd searches for declarations (X); the external file's lines in *externe
// when it was read.
QString declarationText(const QStringList& lines, const Loader& load, QStringList* external = nullptr);
QStringList LitDtd(const QStringList& lines, const Loader& load);
Result Validdtd(const QStringList& lines, const Loader& load);

// The message box texts, and what the check command (dtd false) or the validate command shows.
QString message(const Result& r);
QString report(const QStringList& lines, bool dtd, const Loader& load);

}  // namespace reference
