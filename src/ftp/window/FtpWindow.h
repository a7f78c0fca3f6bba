#pragma once
// The transfer window: the local folder on the left, the server's folder on the right, the
// connection fields above and the log below. Uploads, listings and server deletions go through
// FtpTransfer; local deletions and the lists' icons are the window's own.
#include "FtpCli.h"
#include "FtpTransfer.h"

#include <QCheckBox>
#include <QDialog>
#include <QDir>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QList>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QSplitter>
#include <QStringList>
#include <QTemporaryDir>
#include <QToolButton>
#include <QTreeWidget>

class TFtp : public QDialog {
  Q_OBJECT

 public:
  explicit TFtp(QWidget* parent = nullptr);
  ~TFtp() override;

  // Controls.
  QWidget *Panel1, *Panel2, *Panel3, *Panel4;
  QToolButton *OpenBtn, *StopBtn, *SpeedButton1, *SpeedButton2, *SpeedButton10, *SpeedButton4,
      *SpeedButton3, *ExitBtn;
  QLabel *Label2, *Label3, *Label4, *StaticText1;
  QLineEdit *Edit1, *Edit2, *Edit3;
  QCheckBox* ModePassif;
  QCheckBox* ChiffrementTls;  // explicit FTPS, checked at start
  QTreeWidget *ListView1, *ListView2;
  QSplitter* Splitter1;
  QPlainTextEdit* Memo1;
  QProgressBar* ProgressBar1;
  TFtpClient FtpClient1;
  FtpTransfer Transfer;
  QList<QPixmap> ImageList1;

  // State.
  QString RepLocal;
  QString FichierListe;
  QStringList Selection;
  QStringList CacheIcones;
  int Cote = 1;
  // The port of "Connecter"; tests point it at their own server.
  QString Port = QStringLiteral("21");

  void OpenBtnClick();
  void SpeedButton1Click();
  void StopBtnClick();
  void SpeedButton2Click();
  void SpeedButton10Click();
  void SpeedButton3Click();
  void ExitBtnClick() { close(); }
  void ListView1DblClick();
  void ListView2DblClick();

  void Display(const QString& line);
  void LitRepert();
  void LitHote();
  void LitRepert2();
  void Remplit(QTreeWidget* list);
  void Efface1();
  void Efface2();
  void Supprimer();
  void Supprimer2();
  // Empties a local folder, never following a link out of it; false when something stayed.
  static bool DelTree(const QString& folder);

  // The two images every cache starts with: a page and a closed folder.
  static QPixmap genericImage();
  static QPixmap folderImage();

 protected:
  void showEvent(QShowEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;
  void closeEvent(QCloseEvent* e) override;
  bool eventFilter(QObject* watched, QEvent* e) override;

 private:
  void FormResize();
  void resetIconCache();
  // Runs a handler, showing an engine fault in the application's error box.
  template <class F>
  void guarded(F f);
  int iconFor(const QString& key, const QString& localPath);
  int serverIconFor(const QString& key);
  int addIcon(const QIcon& icon);
  void transferButtons(bool on);
  void disconnectedState();
  // After a handler: when the connection went down under a connected window, the window says so
  // and shows itself disconnected. True when that happened.
  bool connectionDropped();
  void connectFailed(const QString& host);
  bool acceptCertificate(const TFtpCertificateProblem& problem);
  static QString iconKey(const QString& name);

  // A folder of this window's own in the temporary folder: a fixed name there would be shared
  // with every other user and program on the machine.
  QTemporaryDir listFolder_{QDir::tempPath() + QStringLiteral("/tovelo-ftp-XXXXXX")};
  QImage work_;  // 32 × 32, shared by a whole listing
  bool shown_ = false;
  bool userRefused_ = false;  // the user refused a certificate or a connection in clear
};
