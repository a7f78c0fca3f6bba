// Finding one's way in the document and tidying it: "Aller à la ligne...", the matching tag and
// "Indenter le document" (the markup readers live in src/markup, without widgets).
#include <algorithm>

#include <QApplication>

#include "ColorMemo.h"
#include "Editeur.h"
#include "GotoLine.h"
#include "Indent.h"
#include "Prompts.h"
#include "TagMatch.h"
#include "Wellformed.h"

namespace {
// How far the partner of the tag at the caret is looked for as the caret moves: each move stays
// within a few milliseconds; the command looks through the whole document.
constexpr int64_t kMarkReach = 256 * 1024;
}  // namespace

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

TEditeur::FaultPlace TEditeur::placeOf(const TextLines& lines, const analysis::Fault& fault) {
  if (fault.code == analysis::kNoFault) return {};
  const analysis::LineColumn from = analysis::lineColumnOf(lines, fault.from);
  const analysis::LineColumn to = analysis::lineColumnOf(lines, fault.to);
  return {from.line, from.column, to.line, to.column};
}

QString TEditeur::lineColumnText(const FaultPlace& place) {
  return QStringLiteral("Ligne %1, colonne %2").arg(place.line).arg(place.column);
}

void TEditeur::showFault(const FaultPlace& place) {
  if (place.line <= 0) return;
  // Through the same reading of "L:C" as "Aller à la ligne...", so that columns count
  // characters however the store holds them.
  const TextStore text = Memo1->Store();
  const auto position = [&text](qint64 line, qint64 column) {
    return lineColumnPosition(text, QStringLiteral("%1:%2").arg(line).arg(column));
  };
  const int64_t from = position(place.line, place.column);
  const int64_t to = position(place.endLine, place.endColumn);
  if (from < 0) return;
  Memo1->SetSelStart(from);
  Memo1->SetSelLength(std::max<int64_t>(to - from, 0));
  Memo1->ScrollCaret();
  Memo1->FocusText();
  status(lineColumnText(place));
}

void TEditeur::markMatchingTag() {
  std::vector<std::pair<qint64, qint64>> marks;
  if (Tag == 0 && Memo1->SelLength() == 0) {
    const TextStore text = Memo1->Store();
    const markup::Tag tag = markup::tagAround(text, Memo1->SelStart());
    const markup::Tag partner = tag.found() ? markup::partnerOf(text, tag, kMarkReach) : markup::Tag{};
    if (partner.found()) marks = {{tag.begin, tag.end}, {partner.begin, partner.end}};
  }
  Memo1->SetMarks(std::move(marks));
}

void TEditeur::GoToMatchingTag() {
  const TextStore text = Memo1->Store();
  const markup::Tag partner = markup::partnerOf(text, markup::tagAround(text, Memo1->SelStart()));
  if (!partner.found()) return;
  Memo1->SetSelStart(partner.begin);
  Memo1->ScrollCaret();
}
