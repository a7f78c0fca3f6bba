#pragma once
// TBlocnotes: the scratch pad kept in the notes file between runs. The caller loads it with
// Charge before showing it and gives it back with Sauve after it closes.
#include <QDialog>
#include <QStringList>

class QPlainTextEdit;
class QPushButton;
class QToolButton;

class TBlocnotes : public QDialog {
  Q_OBJECT

 public:
  explicit TBlocnotes(QWidget* parent = nullptr);

  QToolButton* SpeedButton9;  // print
  QPushButton* Button1;       // "Fermer"
  QPlainTextEdit* Memo1;

  // A name with "//" (the start-up folder was the root) is read with a single "/". A missing
  // file leaves the pad empty; a file that cannot be read is reported and the pad is left
  // read-only, so that closing cannot write the notes over with less.
  void Charge(const QString& fileName);
  // Writes the pad only when it was modified; the file is replaced only once wholly written.
  // False when the write failed (reported).
  bool Sauve(const QString& fileName);
  void Imprimer();  // on the shared printer, as it is set up, without asking

  // For other callers.
  void Init(const QStringList& lines);
  void Result(QStringList& lines) const;
  void GetIni(int& left, int& top, QColor& color) const;
  void SetIni(int left, int top);

 protected:
  void resizeEvent(QResizeEvent* e) override;

 private:
  QStringList lines() const;
};

// The notes file's name as read and written: the first "//" becomes "/".
QString notesFileName(const QString& fileName);
