#include "FindDialogs.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>
#include <QVBoxLayout>

#include "ColorMemo.h"
#include "StoreText.h"

bool ChercheMemo(TColorMemo* memo, const QString& s, const SearchOptions& options) {
  const std::string bytes = storetext::encode(s);
  if (bytes.empty()) return false;
  const TextStore text = memo->Store();  // a snapshot: no copy of the text
  if (text.size() == 0) return false;
  const std::optional<int64_t> p =
      ChercheTampon(text, memo->SelStart(), memo->SelLength(), bytes, options);
  if (!p) return false;
  memo->SetSelStart(*p);
  memo->SetSelLength(qint64(bytes.size()));
  return true;
}

TFindDialog::TFindDialog(QWidget* parent) : TFindDialog(parent, false) {}

TFindDialog::TFindDialog(QWidget* parent, bool withReplace) : QDialog(parent) {
  build(withReplace);
}

void TFindDialog::build(bool withReplace) {
  setWindowTitle(withReplace ? QStringLiteral("Remplacer") : QStringLiteral("Rechercher"));
  setModal(false);

  FindEdit = new QLineEdit(this);
  fields_ = new QGridLayout;
  auto* etiquette = new QLabel(QStringLiteral("&Rechercher :"), this);
  etiquette->setBuddy(FindEdit);
  fields_->addWidget(etiquette, 0, 0);
  fields_->addWidget(FindEdit, 0, 1);
  if (withReplace) {
    ReplaceEdit = new QLineEdit(this);
    auto* remplacer = new QLabel(QStringLiteral("Rem&placer par :"), this);
    remplacer->setBuddy(ReplaceEdit);
    fields_->addWidget(remplacer, 1, 0);
    fields_->addWidget(ReplaceEdit, 1, 1);
  }

  WholeWord = new QCheckBox(QStringLiteral("&Mot entier uniquement"), this);
  MatchCase = new QCheckBox(QStringLiteral("Respecter la &casse"), this);
  auto* direction = new QGroupBox(QStringLiteral("Direction"), this);
  Up = new QRadioButton(QStringLiteral("Vers le &haut"), direction);
  Down = new QRadioButton(QStringLiteral("Vers le &bas"), direction);
  Down->setChecked(true);
  auto* sens = new QHBoxLayout(direction);
  sens->addWidget(Up);
  sens->addWidget(Down);
  auto* cases = new QVBoxLayout;
  cases->addWidget(WholeWord);
  cases->addWidget(MatchCase);
  auto* options = new QHBoxLayout;
  options->addLayout(cases);
  options->addWidget(direction);

  auto* gauche = new QVBoxLayout;
  gauche->addLayout(fields_);
  gauche->addLayout(options);
  gauche->addStretch();

  FindNextButton = new QPushButton(QStringLiteral("&Suivant"), this);
  FindNextButton->setDefault(true);
  CancelButton = new QPushButton(QStringLiteral("Annuler"), this);
  buttons_ = new QVBoxLayout;
  buttons_->addWidget(FindNextButton);
  buttons_->addWidget(CancelButton);
  buttons_->addStretch();

  auto* tout = new QHBoxLayout(this);
  tout->addLayout(gauche, 1);
  tout->addLayout(buttons_);

  // The menu's shortcut does not reach a window of its own: here it takes the user back to the
  // search text, ready to be typed over.
  auto* again = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_F), this);
  connect(again, &QShortcut::activated, this, [this] {
    FindEdit->setFocus(Qt::ShortcutFocusReason);
    FindEdit->selectAll();
  });

  connect(FindNextButton, &QPushButton::clicked, this, &TFindDialog::Find);
  connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

QString TFindDialog::FindText() const { return FindEdit->text(); }
void TFindDialog::SetFindText(const QString& text) { FindEdit->setText(text); }

SearchOptions TFindDialog::Options() const {
  return SearchOptions{Down->isChecked(), MatchCase->isChecked(), WholeWord->isChecked()};
}

void TFindDialog::SetOptions(const SearchOptions& options) {
  (options.down ? Down : Up)->setChecked(true);
  MatchCase->setChecked(options.matchCase);
  WholeWord->setChecked(options.wholeWord);
}

TReplaceDialog::TReplaceDialog(QWidget* parent) : TFindDialog(parent, true) {
  ReplaceButton = new QPushButton(QStringLiteral("R&emplacer"), this);
  ReplaceAllButton = new QPushButton(QStringLiteral("Remplacer &tout"), this);
  buttons_->insertWidget(1, ReplaceButton);
  buttons_->insertWidget(2, ReplaceAllButton);
  connect(ReplaceButton, &QPushButton::clicked, this, [this] {
    all_ = false;
    emit Replace();
  });
  connect(ReplaceAllButton, &QPushButton::clicked, this, [this] {
    all_ = true;
    emit Replace();
  });
}

QString TReplaceDialog::ReplaceText() const { return ReplaceEdit->text(); }
void TReplaceDialog::SetReplaceText(const QString& text) { ReplaceEdit->setText(text); }
