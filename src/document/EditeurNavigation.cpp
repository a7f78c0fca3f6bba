// Finding one's way in the document and tidying it: "Aller à la ligne...", the matching tag, the
// element path and "Indenter le document" (the markup readers live in src/markup, without
// widgets).
#include <algorithm>

#include <QApplication>
#include <QClipboard>
#include <QTimer>

#include "ColorMemo.h"
#include "Editeur.h"
#include "GotoLine.h"
#include "TextDocument.h"
#include "Indent.h"
#include "DocumentHost.h"
#include "Prompts.h"
#include "TagIndex.h"
#include "TagMatch.h"
#include "Wellformed.h"

namespace {
// The tag index read on a caret move, and then per turn of the event loop until it is whole:
// a few milliseconds each.
constexpr int64_t kIndexSlice = 512 * 1024;
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
  const TextStore text = Memo1->Store();
  const auto position = [&text](qint64 line, qint64 column) {
    return lineColumnToPosition(text, line - 1, column - 1);
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

markup::TagIndex& TEditeur::tagIndex() {
  const TextStore text = Memo1->Store();
  if (!tagIndex_) tagIndex_ = std::make_shared<markup::TagIndex>(text);
  else if (!(tagIndex_->text() == text)) tagIndex_ = std::make_shared<markup::TagIndex>(text, *tagIndex_);
  return *tagIndex_;
}

void TEditeur::followCaret() {
  std::vector<std::pair<qint64, qint64>> marks;
  QString path;
  markup::TagIndex* index = Tag == 0 ? &tagIndex() : nullptr;
  if (index && !index->extend(kIndexSlice)) {
    const int64_t caret = Memo1->SelStart();
    if (Memo1->SelLength() == 0) {
      const markup::Tag tag = markup::tagAround(index->text(), caret);
      const markup::Tag partner = index->partnerOf(tag);
      if (partner.found()) marks = {{tag.begin, tag.end}, {partner.begin, partner.end}};
    }
    path = markup::pathText(index->elementPath(caret));
  } else if (index) {
    if (!indexing_) {
      indexing_ = new QTimer(this);
      indexing_->setInterval(0);
      connect(indexing_, &QTimer::timeout, this, [this] {
        if (Tag != 0 || !tagIndex().extend(kIndexSlice)) {
          indexing_->stop();
          followCaret();
        }
      });
    }
    indexing_->start();
  }
  Memo1->SetMarks(std::move(marks));
  if (path != elementPath_) {
    elementPath_ = path;
    if (host_) host_->showElementPath(this, elementPath_);
  }
}

void TEditeur::GoToMatchingTag() {
  markup::TagIndex& index = tagIndex();
  const markup::Tag partner = index.partnerOf(markup::tagAround(index.text(), Memo1->SelStart()));
  if (!partner.found()) return;
  Memo1->SetSelStart(partner.begin);
  Memo1->ScrollCaret();
}

void TEditeur::CopyXPath() {
  QGuiApplication::clipboard()->setText(markup::xpathText(tagIndex().elementPath(Memo1->SelStart())));
}
