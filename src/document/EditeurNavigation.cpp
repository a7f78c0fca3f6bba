// Finding one's way in the document and tidying it: "Aller à la ligne..." and "Indenter le
// document" (the indenter itself lives in src/indent, without widgets).
#include <QApplication>

#include "ColorMemo.h"
#include "Editeur.h"
#include "GotoLine.h"
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
    Memo1->ScrollCaret();
    return;
  }
  if (result == Memo1->Store()) return;  // nothing to change keeps the earlier undo snapshot
  Memorise();
  const qint64 line = Memo1->LineOfPosition(Memo1->SelStart());
  Memo1->SetStore(result);
  Memo1->SetSelStart(result.lineStart(line));
  Memo1->ScrollCaret();
}

void TEditeur::GoToLine() {
  TGotoLine dialog(this);
  dialog.Init(Memo1->LineOfPosition(Memo1->SelStart()) + 1);
  if (Prompts::get().showModal(dialog) != QDialog::Accepted) return;
  const int64_t pos = lineColumnPosition(Memo1->Store(), dialog.Result());
  if (pos < 0) return;
  Memo1->SetSelStart(pos);
  Memo1->ScrollCaret();
  Memo1->FocusText();
}
