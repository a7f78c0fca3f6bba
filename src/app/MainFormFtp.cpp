// "&Transfert par FTP": the transfer window, made for one use.
#include "FtpWindow.h"
#include "MainForm.h"

void TMainForm::TransfertparFTP1Click() {
  TFtp w(this);
  w.exec();
}
