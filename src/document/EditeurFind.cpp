// Find and replace of the document window.
#include <QApplication>
#include <QEventLoop>
#include <QLineEdit>
#include <QPointer>
#include <QTimer>

#include "ColorMemo.h"
#include "StoreText.h"
#include "DocumentHost.h"
#include "Editeur.h"
#include "FindDialogs.h"
#include "Prompts.h"

namespace {

std::string bytesOf(const QString& text) {
  return storetext::encode(text);
}

// The selection equals the find text whatever the case, the match-case option notwithstanding.
bool selectionIs(TColorMemo* memo, const std::string& s) {
  if (s.empty() || memo->SelLength() != qint64(s.size())) return false;
  const std::string sel = memo->Store().text(memo->SelStart(), memo->SelLength());
  return storetext::equalIgnoringCase(sel, s);
}

}  // namespace

TFindDialog* TEditeur::FindDialog1() {
  if (!findDialog_) {
    findDialog_ = new TFindDialog(this);
    connect(findDialog_, &TFindDialog::Find, this, [this] { Find(findDialog_); });
  }
  return findDialog_;
}

TReplaceDialog* TEditeur::ReplaceDialog1() {
  if (!replaceDialog_) {
    replaceDialog_ = new TReplaceDialog(this);
    connect(replaceDialog_, &TFindDialog::Find, this, [this] { Find(replaceDialog_); });
    connect(replaceDialog_, &TReplaceDialog::Replace, this,
            [this] { runCommand([this] { Replace(replaceDialog_); }); });
  }
  return replaceDialog_;
}

namespace {

// Brought up, or back to the front, with the search text ready to be typed over.
void present(TFindDialog* d) {
  d->show();
  d->raise();
  d->activateWindow();
  d->FindEdit->setFocus(Qt::ShortcutFocusReason);
  d->FindEdit->selectAll();
  // Once more after the activation, which may deselect as it gives the field the focus.
  QTimer::singleShot(0, d->FindEdit, &QLineEdit::selectAll);
}

// A message about a search made from a dialog on screen: once the box is closed the keyboard
// goes back to that dialog, never to the document, where the next search text would land.
void tellMiss(TEditeur* window, TFindDialog* dialog, const QString& text) {
  const bool fromDialog = dialog->isVisible();
  const QPointer<QWidget> field = dialog->focusWidget() ? dialog->focusWidget() : dialog->FindEdit;
  Prompts::get().information(fromDialog ? static_cast<QWidget*>(dialog) : window, text);
  if (!fromDialog || !dialog->isVisible()) return;
  dialog->raise();
  dialog->activateWindow();
  if (field) field->setFocus(Qt::OtherFocusReason);
}

}  // namespace

void TEditeur::Chercher() { present(FindDialog1()); }

void TEditeur::Remplacer() { present(ReplaceDialog1()); }

void TEditeur::showFindDialogs(bool shown) {
  if (!shown) {
    for (QDialog* d : {static_cast<QDialog*>(findDialog_), static_cast<QDialog*>(replaceDialog_)})
      if (d && d->isVisible()) {
        d->hide();
        hiddenDialogs_ << d;
      }
    return;
  }
  // Back as they were, behind the keyboard: the window just chosen keeps it.
  for (const QPointer<QDialog>& d : std::as_const(hiddenDialogs_))
    if (d) {
      d->setAttribute(Qt::WA_ShowWithoutActivating, true);
      d->show();
      d->setAttribute(Qt::WA_ShowWithoutActivating, false);
    }
  hiddenDialogs_.clear();
}

void TEditeur::Continuer() { Find(FindDialog1()); }

void TEditeur::Find(TFindDialog* dialog) {
  if (!ChercheMemo(Memo1, dialog->FindText(), dialog->Options()))
    tellMiss(this, dialog,
             QStringLiteral("Chaîne rechechée \"") + dialog->FindText() + QStringLiteral("\" non trouvée"));
}

void TEditeur::Replace(TReplaceDialog* dialog) {
  // The snapshot is taken just before the first change: a replace that changes nothing keeps
  // the earlier one, so that a "Remplacer tout" before it can still be undone.
  bool memorised = false;
  const auto memoriseOnce = [&] {
    if (!memorised) Memorise();
    memorised = true;
  };
  const std::string s = bytesOf(dialog->FindText());
  if (selectionIs(Memo1, s)) {
    if (Memo1->SelText() != dialog->ReplaceText()) memoriseOnce();
    Memo1->SetSelText(dialog->ReplaceText());
  }

  if (!dialog->ReplaceAllRequested()) {
    if (!ChercheMemo(Memo1, dialog->FindText(), dialog->Options()))
      tellMiss(this, dialog, QStringLiteral("Chaîne recherchée \"") + dialog->FindText() +
                                 QStringLiteral("\"non trouvée"));
    return;
  }

  // Every replacement in one pass over a snapshot, given to the view as one change: one
  // "Annuler" takes it all back.
  QApplication::setOverrideCursor(Qt::WaitCursor);
  // The window repaints while the text is rebuilt; typing waits for the end.
  const auto progress = [this](double share) {
    if (host_) host_->showStatus(QStringLiteral("Remplace tout : %1 %").arg(int(share * 100)));
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  };
  progress(0);
  const ReplaceAllResult r = replaceAll(Memo1->Store(), Memo1->SelStart(), Memo1->SelLength(), s,
                                        bytesOf(dialog->ReplaceText()), dialog->Options(), progress);
  if (r.count > 0) {
    memoriseOnce();
    Memo1->SetStore(r.text);
    Memo1->SetModified(true);
    Memo1->SetSelStart(r.caret);
  }
  QApplication::restoreOverrideCursor();
  if (host_) host_->showStatus(QString());
}
