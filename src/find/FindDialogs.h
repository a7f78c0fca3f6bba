#pragma once
// The modeless find and replace dialogs of a document window. They only hold the find text,
// the replace text and the options, and say which button was pressed; the window searches.
#include <QDialog>
#include <QString>

#include "Search.h"

class QCheckBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
class TColorMemo;

// Searches the memo's text from its selection and selects the match; false, with the
// selection unchanged, on a miss or an empty find text.
bool ChercheMemo(TColorMemo* memo, const QString& s, const SearchOptions& options);

class TFindDialog : public QDialog {
  Q_OBJECT

 public:
  explicit TFindDialog(QWidget* parent = nullptr);

  QString FindText() const;
  void SetFindText(const QString& text);
  SearchOptions Options() const;
  void SetOptions(const SearchOptions& options);

  QLineEdit* FindEdit = nullptr;
  QLineEdit* ReplaceEdit = nullptr;  // the replace dialog's only
  QCheckBox* WholeWord = nullptr;
  QCheckBox* MatchCase = nullptr;
  QRadioButton* Up = nullptr;
  QRadioButton* Down = nullptr;
  QPushButton* FindNextButton = nullptr;
  QPushButton* CancelButton = nullptr;

 signals:
  void Find();  // "Suivant"

 protected:
  // The replace dialog adds its own rows and buttons to the same layout.
  TFindDialog(QWidget* parent, bool withReplace);
  class QGridLayout* fields_ = nullptr;
  class QVBoxLayout* buttons_ = nullptr;

 private:
  void build(bool withReplace);
};

class TReplaceDialog : public TFindDialog {
  Q_OBJECT

 public:
  explicit TReplaceDialog(QWidget* parent = nullptr);

  QString ReplaceText() const;
  void SetReplaceText(const QString& text);
  // Which of the two replace buttons made the last Replace request.
  bool ReplaceAllRequested() const { return all_; }

  QPushButton* ReplaceButton = nullptr;
  QPushButton* ReplaceAllButton = nullptr;

 signals:
  void Replace();  // "Remplacer" or "Remplacer tout"

 private:
  bool all_ = false;
};
