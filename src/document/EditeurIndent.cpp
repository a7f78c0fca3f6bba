// "Indenter le document": the indenter of src/indent on the window's text, as one undo step.
#include <QApplication>

#include "ColorMemo.h"
#include "Editeur.h"
#include "Indent.h"
#include "Prompts.h"

void TEditeur::Indenter() {
  indent::Outcome outcome;
  QApplication::setOverrideCursor(Qt::WaitCursor);
  const TextStore result = indent::indented(Memo1->Store(), &outcome);
  QApplication::restoreOverrideCursor();
  if (!outcome.indented) {
    Prompts::get().information(this, QStringLiteral("Le document contient des erreurs"));
    Memo1->SetSelStart(outcome.faultPosition);
    return;
  }
  if (result == Memo1->Store()) return;  // nothing to change keeps the earlier undo snapshot
  Memorise();
  const qint64 line = Memo1->Store().lineOf(Memo1->SelStart());
  Memo1->SetStore(result);
  Memo1->SetSelStart(result.lineStart(line));
}
