#include "FtpWindow.h"

#include "Prompts.h"
#include "ScaleBitmap.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QHeaderView>
#include <QHostAddress>
#include <QKeyEvent>
#include <QMessageBox>
#include <QMimeDatabase>
#include <QPushButton>
#include <QPainter>
#include <QPainterPath>
#include <QScrollBar>
#include <QStyle>
#include <QTextBlock>
#include <QTextCursor>
#include <QVBoxLayout>

#include <algorithm>

namespace {

constexpr int kCacheLimit = 200;
constexpr int kLogLimit = 200;

QToolButton* speedButton(QWidget* parent, const char* name, QStyle::StandardPixmap icon, const QString& hint,
                         bool enabled) {
  auto* b = new QToolButton(parent);
  b->setObjectName(QString::fromLatin1(name));
  b->setAutoRaise(true);
  b->setIcon(parent->style()->standardIcon(icon));
  b->setToolTip(hint);
  b->setAccessibleName(hint);
  b->setEnabled(enabled);
  return b;
}

// Windows' attribute order: archive, read-only, hidden, system. Linux keeps no archive bit.
QString attributes(const QFileInfo& f) {
  if (f.isDir() && !f.isSymLink()) return QStringLiteral(" ");
  QString a;
  if (!f.permission(QFile::WriteOwner)) a += u'r';
  if (f.isHidden()) a += u'h';
  if (!f.isFile() && !f.isDir()) a += u's';
  return a;
}

bool lessByName(const QString& a, const QString& b) {
  const int c = QString::compare(a, b, Qt::CaseInsensitive);
  return c != 0 ? c < 0 : a < b;
}

QPixmap onWhite(const std::function<void(QPainter&)>& draw) {
  QPixmap p(16, 16);
  p.fill(Qt::white);
  QPainter g(&p);
  g.setRenderHint(QPainter::Antialiasing, false);
  draw(g);
  return p;
}

}  // namespace

QPixmap TFtp::genericImage() {
  return onWhite([](QPainter& g) {
    QPainterPath page;
    page.moveTo(2, 0.5);
    page.lineTo(10, 0.5);
    page.lineTo(13.5, 4);
    page.lineTo(13.5, 15.5);
    page.lineTo(2, 15.5);
    page.closeSubpath();
    g.setPen(Qt::black);
    g.setBrush(Qt::white);
    g.drawPath(page);
    g.drawLine(10, 1, 10, 4);
    g.drawLine(10, 4, 13, 4);
    g.fillRect(4, 7, 3, 3, QColor(0, 0, 255));
    g.fillRect(7, 9, 3, 3, QColor(255, 0, 0));
    g.fillRect(5, 11, 3, 2, QColor(0, 160, 0));
  });
}

QPixmap TFtp::folderImage() {
  return onWhite([](QPainter& g) {
    g.setPen(QColor(128, 128, 0));
    g.setBrush(QColor(255, 255, 0));
    g.drawRect(1, 4, 13, 9);
    g.drawRect(2, 2, 5, 2);
  });
}

TFtp::TFtp(QWidget* parent) : QDialog(parent), Transfer(FtpClient1), work_(32, 32, QImage::Format_RGB32) {
  setObjectName(QStringLiteral("Ftp"));
  setWindowTitle(QStringLiteral("Fenêtre Ftp"));
  resize(740, 438);

  FtpClient1.SetTimeout(15);
  FtpClient1.SetMultiThreaded(false);
  FtpClient1.SetPort(QStringLiteral("ftp"));
  FtpClient1.SetDisplayFileFlag(false);
  FtpClient1.SetBinary(true);
  FtpClient1.SetShareMode(ftpShareExclusive);
  FtpClient1.SetOptions(ftpAcceptLF);
  FtpClient1.SetConnectionType(ftpDirect);
  Transfer.log = [this](const QString& line) { Display(line); };
  Transfer.listReady = [this] { LitRepert2(); };
  Transfer.progress = [this](int percent) { ProgressBar1->setValue(percent); };

  Panel1 = new QWidget(this);
  Panel1->setObjectName(QStringLiteral("Panel1"));
  Panel1->setFixedHeight(66);
  OpenBtn = speedButton(Panel1, "OpenBtn", QStyle::SP_DriveNetIcon, QStringLiteral("Connecter"), true);
  StopBtn = speedButton(Panel1, "StopBtn", QStyle::SP_BrowserStop, QStringLiteral("Arrêter"), false);
  SpeedButton1 = speedButton(Panel1, "SpeedButton1", QStyle::SP_DialogCloseButton, QStringLiteral("Déconnecter"), false);
  SpeedButton2 = speedButton(Panel1, "SpeedButton2", QStyle::SP_ArrowUp, QStringLiteral("Envoyer"), false);
  SpeedButton10 = speedButton(Panel1, "SpeedButton10", QStyle::SP_BrowserReload,
                              QStringLiteral("Actualiser l'affichage"), false);
  SpeedButton4 = speedButton(Panel1, "SpeedButton4", QStyle::SP_FileDialogNewFolder,
                             QStringLiteral("Créer répertoire local"), false);
  SpeedButton3 = speedButton(Panel1, "SpeedButton3", QStyle::SP_TrashIcon, QStringLiteral("Effacer fichier"), false);
  ExitBtn = speedButton(Panel1, "ExitBtn", QStyle::SP_DialogCancelButton, QStringLiteral("Fermer"), true);
  int x = 4;
  for (QToolButton* b : {OpenBtn, StopBtn, SpeedButton1, SpeedButton2, SpeedButton10, SpeedButton4, SpeedButton3, ExitBtn}) {
    b->setGeometry(x, 4, 27, 27);
    x += 29;
  }
  auto label = [this](const char* name, const QString& text, int y) {
    auto* l = new QLabel(text, Panel1);
    l->setObjectName(QString::fromLatin1(name));
    l->setGeometry(0, y, 48, 21);
    l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return l;
  };
  auto edit = [this](const char* name, int y, int width) {
    auto* e = new QLineEdit(Panel1);
    e->setObjectName(QString::fromLatin1(name));
    e->setGeometry(0, y, width, 21);
    return e;
  };
  Label2 = label("Label2", QStringLiteral("Adresse hôte"), 8);
  Label3 = label("Label3", QStringLiteral("ID de l'usager"), 36);
  Label4 = label("Label4", QStringLiteral("Passe"), 36);
  Edit1 = edit("Edit1", 8, 160);
  Edit2 = edit("Edit2", 36, 160);
  Label2->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  Label3->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  Edit3 = edit("Edit3", 36, 110);
  Edit3->setEchoMode(QLineEdit::Password);
  Edit3->setStyleSheet(QStringLiteral("lineedit-password-character: 42"));  // "*"
  for (QLabel* l : {Label2, Label3, Label4}) l->setBuddy(l == Label2 ? Edit1 : l == Label3 ? Edit2 : Edit3);
  ModePassif = new QCheckBox(QStringLiteral("Mode passif"), Panel1);
  ModePassif->setObjectName(QStringLiteral("ModePassif"));
  ModePassif->setGeometry(0, 8, 110, 21);
  connect(ModePassif, &QCheckBox::toggled, this, [this](bool on) { Transfer.passive = on; });
  ChiffrementTls = new QCheckBox(QStringLiteral("Chiffrement TLS"), Panel1);
  ChiffrementTls->setObjectName(QStringLiteral("ChiffrementTls"));
  ChiffrementTls->setChecked(true);
  ChiffrementTls->setGeometry(0, 38, ChiffrementTls->sizeHint().width(), 21);
  FtpClient1.OnTlsRefused = [this](TCustomFtpCli*, bool& goOn) {
    goOn = Prompts::get().confirm(this, QStringLiteral("Le serveur n'accepte pas le chiffrement. Continuer sans "
                                                       "chiffrement ? Le mot de passe passera en clair.")) ==
           Prompts::Answer::Yes;
    userRefused_ = !goOn;
  };
  FtpClient1.OnCertificateProblem = [this](TCustomFtpCli*, const TFtpCertificateProblem& problem, bool& accept) {
    accept = acceptCertificate(problem);
    userRefused_ = !accept;
  };
  StaticText1 = new QLabel(Panel1);
  StaticText1->setObjectName(QStringLiteral("StaticText1"));
  StaticText1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  StaticText1->setGeometry(4, 38, 200, 21);

  auto listView = [this](QWidget* panel, const char* name, const QStringList& columns) {
    auto* box = new QVBoxLayout(panel);
    box->setContentsMargins(0, 0, 0, 0);
    auto* v = new QTreeWidget(panel);
    v->setObjectName(QString::fromLatin1(name));
    v->setRootIsDecorated(false);
    v->setSelectionMode(QAbstractItemView::ExtendedSelection);
    v->setIconSize(QSize(16, 16));
    v->setHeaderLabels(columns);
    v->setAllColumnsShowFocus(true);
    v->installEventFilter(this);
    box->addWidget(v);
    return v;
  };
  Splitter1 = new QSplitter(Qt::Horizontal, this);
  Splitter1->setObjectName(QStringLiteral("Splitter1"));
  Splitter1->setChildrenCollapsible(false);
  Panel2 = new QWidget(Splitter1);
  Panel2->setObjectName(QStringLiteral("Panel2"));
  Panel4 = new QWidget(Splitter1);
  Panel4->setObjectName(QStringLiteral("Panel4"));
  ListView1 = listView(Panel2, "ListView1",
                       {QStringLiteral("Nom"), QStringLiteral("Taille"), QStringLiteral("Date"), QStringLiteral("Attr.")});
  ListView1->setColumnWidth(0, 134);
  ListView1->setColumnWidth(1, 100);
  ListView1->setColumnWidth(2, 100);
  ListView1->setColumnWidth(3, 40);
  ListView1->headerItem()->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
  ListView2 = listView(Panel4, "ListView2", {QStringLiteral("Nom")});
  ListView1->setAccessibleName(QStringLiteral("Fichiers locaux"));
  ListView2->setAccessibleName(QStringLiteral("Fichiers du serveur"));
  connect(ListView1, &QTreeWidget::itemDoubleClicked, this, [this] { ListView1DblClick(); });
  connect(ListView2, &QTreeWidget::itemDoubleClicked, this, [this] { guarded([this] { ListView2DblClick(); }); });

  Panel3 = new QWidget(this);
  Panel3->setObjectName(QStringLiteral("Panel3"));
  Panel3->setFixedHeight(130);
  auto* bottom = new QVBoxLayout(Panel3);
  bottom->setContentsMargins(0, 0, 0, 0);
  bottom->setSpacing(2);
  Memo1 = new QPlainTextEdit(Panel3);
  Memo1->setObjectName(QStringLiteral("Memo1"));
  Memo1->setAccessibleName(QStringLiteral("Journal du transfert"));
  Memo1->setReadOnly(true);
  Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
  ProgressBar1 = new QProgressBar(Panel3);
  ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
  ProgressBar1->setRange(0, 100);
  ProgressBar1->setVisible(false);
  bottom->addWidget(Memo1);
  bottom->addWidget(ProgressBar1);

  auto* form = new QVBoxLayout(this);
  form->setContentsMargins(0, 0, 0, 0);
  form->setSpacing(2);
  form->addWidget(Panel1);
  form->addWidget(Splitter1, 1);
  form->addWidget(Panel3);

  connect(OpenBtn, &QToolButton::clicked, this, [this] { guarded([this] { OpenBtnClick(); }); });
  connect(StopBtn, &QToolButton::clicked, this, [this] { guarded([this] { StopBtnClick(); }); });
  connect(SpeedButton1, &QToolButton::clicked, this, [this] { guarded([this] { SpeedButton1Click(); }); });
  connect(SpeedButton2, &QToolButton::clicked, this, [this] { guarded([this] { SpeedButton2Click(); }); });
  connect(SpeedButton10, &QToolButton::clicked, this, [this] { guarded([this] { SpeedButton10Click(); }); });
  connect(SpeedButton3, &QToolButton::clicked, this, [this] { guarded([this] { SpeedButton3Click(); }); });
  connect(ExitBtn, &QToolButton::clicked, this, &TFtp::ExitBtnClick);

  // FormCreate.
  CacheIcones = {QStringLiteral("wqz"), QStringLiteral(".")};
  ImageList1 = {genericImage(), folderImage()};
  FichierListe = listFolder_.filePath(QStringLiteral("ftpdir.tmp"));
  Transfer.listFile = FichierListe;
}

TFtp::~TFtp() {
  // The engine goes first: its last events must not reach a half-destroyed window.
  FtpClient1.OnDisplay = nullptr;
  FtpClient1.OnRequestDone = nullptr;
  FtpClient1.OnProgress = nullptr;
}

template <class F>
void TFtp::guarded(F f) {
  try {
    f();
  } catch (const std::exception& e) {
    // A connection that dropped explains the fault better than the engine's refusal.
    if (!connectionDropped()) Prompts::get().error(this, FtpTransfer::french(QString::fromUtf8(e.what())));
    return;
  }
  connectionDropped();
}

bool TFtp::connectionDropped() {
  if (!SpeedButton2->isEnabled() || FtpClient1.IsConnected()) return false;
  const bool stopped = Transfer.Arret == FtpTransfer::kStopped;
  disconnectedState();
  const QString text = stopped ? QStringLiteral("Transfert arrêté : la connexion avec le serveur est fermée.")
                               : QStringLiteral("La connexion avec le serveur a été perdue.");
  Display(text);
  if (!stopped) Prompts::get().error(this, text);
  return true;
}

void TFtp::disconnectedState() {
  transferButtons(false);
  SpeedButton1->setEnabled(false);
  ListView2->clear();
}

void TFtp::showEvent(QShowEvent* e) {
  QDialog::showEvent(e);
  if (shown_) return;
  shown_ = true;
  LitRepert();
  FormResize();
}

void TFtp::resizeEvent(QResizeEvent* e) {
  QDialog::resizeEvent(e);
  FormResize();
}

void TFtp::FormResize() {
  const int half = width() / 2;
  Splitter1->setSizes({half, qMax(1, width() - half - Splitter1->handleWidth())});
  const int panel4Left = half + Splitter1->handleWidth();
  Edit1->move(panel4Left + 40, Edit1->y());
  Edit2->move(panel4Left + 40, Edit2->y());
  // The labels start 50 pixels before the panel and end just before their fields, whatever
  // the width of their font.
  for (QLabel* l : {Label2, Label3}) l->setGeometry(panel4Left - 50, l->y(), 86, l->height());
  Label4->setGeometry(Edit2->x() + 170, Label4->y(), 48, Label4->height());
  Edit3->move(Edit2->x() + 222, Edit3->y());
  Edit3->resize(qBound(40, width() - Edit3->x() - 6, 110), Edit3->height());
  ModePassif->move(Edit3->x(), ModePassif->y());
  // The check box ends where the local path's area ends, 20 pixels before "ID de l'usager".
  ChiffrementTls->move(Label3->x() - 20 - ChiffrementTls->width(), ChiffrementTls->y());
  StaticText1->resize(qMax(0, ChiffrementTls->x() - 6 - StaticText1->x()), StaticText1->height());
}

void TFtp::closeEvent(QCloseEvent* e) {
  QFile::remove(FichierListe);
  QDialog::closeEvent(e);
}

bool TFtp::eventFilter(QObject* watched, QEvent* e) {
  if (watched != ListView1 && watched != ListView2) return QDialog::eventFilter(watched, e);
  const bool local = watched == ListView1;
  if (e->type() == QEvent::FocusIn) {
    Cote = local ? 1 : 2;
  } else if (e->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(e)->key();
    const bool selected = !(local ? ListView1 : ListView2)->selectedItems().isEmpty();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
      guarded([&] { local ? ListView1DblClick() : ListView2DblClick(); });
      return true;
    }
    if (key == Qt::Key_Delete && selected) {
      guarded([&] { local ? Efface1() : Efface2(); });
      return true;
    }
    if (key == Qt::Key_F5 && local && selected) {
      guarded([this] { SpeedButton10Click(); });
      return true;
    }
  }
  return QDialog::eventFilter(watched, e);
}

void TFtp::Display(const QString& line) {
  QTextDocument* doc = Memo1->document();
  const int lines = doc->isEmpty() ? 0 : doc->blockCount();
  if (lines > kLogLimit) {
    QTextCursor c(doc);
    c.setPosition(doc->findBlockByNumber(50).position(), QTextCursor::KeepAnchor);
    c.removeSelectedText();
  }
  Memo1->appendPlainText(line);
  Memo1->ensureCursorVisible();
}

void TFtp::resetIconCache() {
  CacheIcones.clear();
  ImageList1.clear();
}

QString TFtp::iconKey(const QString& name) {
  const qsizetype dot = name.indexOf(u'.');
  const QString key = dot < 0 ? QString() : name.mid(dot + 1).toLower();
  const QString last = name.mid(name.lastIndexOf(u'.') + 1).toLower();
  // Each program and icon file shows its own icon.
  if (dot >= 0 && (last == u"exe" || last == u"ico")) return name.toLower();
  return key;
}

int TFtp::addIcon(const QIcon& icon) {
  // Cleared for each icon, so that nothing of the previous one shows through transparent parts.
  work_.fill(Qt::white);
  {
    QPainter g(&work_);
    icon.paint(&g, QRect(1, 1, 32, 32));
  }
  QImage small(16, 16, QImage::Format_RGB888);
  resample::ScaleBitmap(work_, small, resample::filter(resample::kHermite).function, 1.0f);
  ImageList1.append(QPixmap::fromImage(small));
  return int(ImageList1.size()) - 1;
}

int TFtp::iconFor(const QString& key, const QString& localPath) {
  const qsizetype at = CacheIcones.indexOf(key);
  if (at >= 0) return int(at);
  CacheIcones.append(key);
  return addIcon(QFileIconProvider().icon(QFileInfo(localPath)));
}

int TFtp::serverIconFor(const QString& key) {
  const qsizetype at = CacheIcones.indexOf(key);
  if (at >= 0) return int(at);
  const QMimeType type = QMimeDatabase().mimeTypeForFile(QStringLiteral("x.") + key, QMimeDatabase::MatchExtension);
  if (key.isEmpty() || type.isDefault()) return 0;
  QIcon icon = QIcon::fromTheme(type.iconName(), QIcon::fromTheme(type.genericIconName()));
  if (icon.isNull()) icon = QFileIconProvider().icon(QFileInfo(RepLocal + QStringLiteral("/x.") + key));
  if (icon.isNull()) return 0;
  CacheIcones.append(key);
  return addIcon(icon);
}

void TFtp::LitRepert() {
  QApplication::setOverrideCursor(Qt::WaitCursor);
  if (CacheIcones.size() > kCacheLimit) resetIconCache();
  ListView1->setUpdatesEnabled(false);
  ListView1->clear();
  const QDir dir(QDir::currentPath());
  QFileInfoList entries = dir.entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDot, QDir::NoSort);
  std::sort(entries.begin(), entries.end(),
            [](const QFileInfo& a, const QFileInfo& b) { return lessByName(a.fileName(), b.fileName()); });
  QList<QTreeWidgetItem*> items;
  items.reserve(entries.size());
  for (const QFileInfo& f : entries) {
    const bool folder = f.isDir();
    auto* item = new QTreeWidgetItem(QStringList{
        f.fileName(), folder ? QString() : QString::number(f.size()),
        f.lastModified().toString(QStringLiteral("dd/MM/yyyy")), attributes(f)});
    item->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
    const int index = iconFor(iconKey(f.fileName()), f.absoluteFilePath());
    if (index < ImageList1.size()) item->setIcon(0, ImageList1[index]);
    items.append(item);
  }
  ListView1->addTopLevelItems(items);
  ListView1->setUpdatesEnabled(true);
  QApplication::restoreOverrideCursor();
  RepLocal = QDir::currentPath();
  if (RepLocal.endsWith(u'/')) RepLocal.chop(1);
  StaticText1->setText(RepLocal.isEmpty() ? QStringLiteral("/") : RepLocal);
}

void TFtp::LitHote() { Transfer.LitHote(); }

void TFtp::LitRepert2() {
  QFile file(FichierListe);
  if (!file.exists()) return;
  QApplication::setOverrideCursor(Qt::WaitCursor);
  QStringList names;
  if (file.open(QIODevice::ReadOnly)) {
    for (QByteArray line : file.readAll().split('\n')) {
      if (line.endsWith('\r')) line.chop(1);
      if (!line.isEmpty()) names << QString::fromUtf8(line);
    }
    file.close();
  }
  file.remove();
  if (CacheIcones.size() > kCacheLimit) resetIconCache();
  ListView2->setUpdatesEnabled(false);
  ListView2->clear();
  std::sort(names.begin(), names.end(), lessByName);
  // The way back to the parent folder, as in the local list; the server's own is not doubled.
  auto* up = new QTreeWidgetItem(ListView2, QStringList{QStringLiteral("..")});
  const qsizetype folderIndex = CacheIcones.indexOf(QStringLiteral("."));
  up->setIcon(0, folderIndex >= 0 && folderIndex < ImageList1.size() ? ImageList1[folderIndex] : folderImage());
  for (const QString& name : names) {
    if (name == u"." || name == u"..") continue;
    auto* item = new QTreeWidgetItem(ListView2, QStringList{name});
    const int index = serverIconFor(iconKey(name));
    if (index < ImageList1.size()) item->setIcon(0, ImageList1[index]);
  }
  ListView2->setUpdatesEnabled(true);
  QApplication::restoreOverrideCursor();
}

void TFtp::Remplit(QTreeWidget* list) {
  Selection.clear();
  for (int i = 0; i < list->topLevelItemCount(); ++i) {
    const QTreeWidgetItem* item = list->topLevelItem(i);
    if (item->isSelected() && item->text(0) != u"..") Selection << item->text(0);
  }
}

void TFtp::transferButtons(bool on) {
  for (QToolButton* b : {SpeedButton2, SpeedButton3, SpeedButton10, StopBtn}) b->setEnabled(on);
  SpeedButton4->setEnabled(false);
}

void TFtp::OpenBtnClick() {
  if (Edit1->text().isEmpty() || Edit2->text().isEmpty()) return;
  QString host, port = Port;
  if (!FtpTransfer::splitHostPort(Edit1->text(), host, port)) {
    Prompts::get().error(this, QStringLiteral("Adresse hôte invalide : indiquez un nom ou une adresse, suivi au "
                                              "besoin de « : » et du port (par exemple ftp.exemple.fr:2121)."));
    return;
  }
  if (QHostAddress(host).protocol() == QAbstractSocket::IPv6Protocol) {
    // The socket layer speaks IPv4 only: better said than a misleading "host not found".
    Prompts::get().error(this, QStringLiteral("Les adresses IPv6 ne sont pas prises en charge : indiquez un nom "
                                              "d'hôte ou une adresse IPv4."));
    return;
  }
  SpeedButton1->setEnabled(true);
  if (FtpClient1.IsConnected()) {
    Transfer.requireReady();
    FtpClient1.QuitAndWait();
    transferButtons(false);
    ListView2->clear();
  }
  Transfer.settle();
  FtpClient1.SetHostName(host);
  FtpClient1.SetPort(port);
  FtpClient1.SetUserName(Edit2->text());
  FtpClient1.SetPassWord(Edit3->text());
  FtpClient1.SetDisplayFileFlag(true);
  FtpClient1.SetTlsMode(ChiffrementTls->isChecked() ? ftpTlsIfOffered : ftpTlsNone);
  userRefused_ = false;
  FtpClient1.StartConnect();
  Transfer.Delay();
  if (Transfer.Reponse != u"Ok") {
    connectFailed(host);
    return;
  }
  Display(FtpClient1.Encrypted()
              ? QStringLiteral("Connexion chiffrée (TLS) : mot de passe, listes et fichiers passent chiffrés.")
              : QStringLiteral("Connexion non chiffrée : le mot de passe et les fichiers passent en clair."));
  transferButtons(true);
  LitHote();
}

void TFtp::connectFailed(const QString& host) {
  QString reason;
  if (Transfer.Arret == FtpTransfer::kStopped) return;
  if (userRefused_) return;  // the user's own answer to a question: nothing more to say
  if (Transfer.timedOut) {
    reason = QStringLiteral("le serveur ne répond pas.");
  } else if (FtpClient1.StatusCode() == 530) {
    reason = QStringLiteral("identifiant ou mot de passe refusé (« %1 »).").arg(ftp::printable(FtpClient1.LastResponse()));
  } else {
    const QString why = FtpTransfer::french(FtpClient1.ErrorMessage().isEmpty() ? FtpClient1.LastResponse()
                                                                                 : FtpClient1.ErrorMessage());
    reason = why;
  }
  Prompts::get().error(this, QStringLiteral("Connexion impossible à %1 : %2").arg(host, reason));
}

bool TFtp::acceptCertificate(const TFtpCertificateProblem& problem) {
  QMessageBox box(QMessageBox::Warning, windowTitle(),
                  QStringLiteral("Le certificat du serveur n'a pas pu être vérifié : %1.\n\nEmpreinte SHA-256 :\n%2\n\n"
                                 "Accepter ce certificat pour cette connexion seulement ?")
                      .arg(FtpTransfer::frenchCertificateError(problem.error, problem.reason), problem.fingerprint),
                  QMessageBox::NoButton, this);
  QPushButton* accept = box.addButton(QStringLiteral("Accepter pour cette connexion"), QMessageBox::AcceptRole);
  QPushButton* refuse = box.addButton(QStringLiteral("Refuser"), QMessageBox::RejectRole);
  box.setDefaultButton(refuse);
  box.setEscapeButton(refuse);
  Prompts::get().showModal(box);
  return box.clickedButton() == accept;
}

void TFtp::SpeedButton1Click() {
  FtpClient1.QuitAndWait();
  disconnectedState();
}

void TFtp::StopBtnClick() { Transfer.Stop(); }

void TFtp::SpeedButton2Click() {
  if (ListView1->selectedItems().isEmpty()) return;
  Remplit(ListView1);
  ProgressBar1->setVisible(true);
  const QString base = RepLocal + u'/';
  try {
    for (const QString& name : std::as_const(Selection)) {
      if (Transfer.connectionLost()) break;
      const QString path = base + name;
      const QFileInfo entry(path);
      ProgressBar1->setValue(0);
      Transfer.TailleCourante = entry.isDir() ? 0 : entry.size();
      if (entry.isDir())
        Transfer.SendFolder(path);
      else
        Transfer.SendFile(QString(), path);
      QApplication::processEvents();
    }
  } catch (...) {
    ProgressBar1->setVisible(false);
    throw;
  }
  ProgressBar1->setVisible(false);
  if (!Transfer.connectionLost()) LitHote();
}

void TFtp::SpeedButton10Click() {
  if (Cote == 2)
    LitHote();
  else
    LitRepert();
}

void TFtp::SpeedButton3Click() {
  if (Cote == 2)
    Efface2();
  else
    Efface1();
}

void TFtp::ListView1DblClick() {
  const QList<QTreeWidgetItem*> selected = ListView1->selectedItems();
  if (selected.size() != 1) return;
  const QString path = RepLocal + u'/' + selected.first()->text(0);
  if (!QFileInfo(path).isDir() || !QDir::setCurrent(path)) return;
  RepLocal = path;
  StaticText1->setText(RepLocal);
  LitRepert();
}

void TFtp::ListView2DblClick() {
  const QList<QTreeWidgetItem*> selected = ListView2->selectedItems();
  if (selected.size() != 1 || selected.first()->text(0) == u".") return;
  if (selected.first()->text(0) == u"..") {
    Transfer.requireReady();
    FtpClient1.StartCDup();
    Transfer.Delay();
  } else {
    Transfer.ChHost(selected.first()->text(0));
  }
  LitHote();
}

void TFtp::Efface1() {
  if (ListView1->selectedItems().isEmpty()) return;
  if (Prompts::get().confirm(this, QStringLiteral("Attention, les fichiers ne seront pas récupérables dans la "
                                                  "corbeille\r\nEffacer les fichiers sélectionnés ?")) !=
      Prompts::Answer::Yes)
    return;
  Remplit(ListView1);
  Supprimer();
  LitRepert();
}

bool TFtp::DelTree(const QString& folder) {
  bool all = true;
  const QDir dir(folder);
  for (const QFileInfo& f : dir.entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot)) {
    if (f.isSymLink()) {
      // The link goes, never what it points to.
      all = QFile::remove(f.filePath()) && all;
    } else if (f.isDir()) {
      if (f.isHidden() || f.fileName().startsWith(u'.')) {
        all = false;
        continue;
      }
      all = DelTree(f.filePath()) && dir.rmdir(f.fileName()) && all;
    } else if (f.isFile()) {
      QFile::setPermissions(f.filePath(), f.permissions() | QFile::WriteOwner);
      all = QFile::remove(f.filePath()) && all;
    } else {
      all = false;  // devices, pipes and sockets are the system's
    }
  }
  return all;
}

void TFtp::Supprimer() {
  ProgressBar1->setValue(0);
  ProgressBar1->setVisible(true);
  const qsizetype count = Selection.size();
  for (qsizetype i = 0; i < count; ++i) {
    const QString path = RepLocal + u'/' + Selection[i];
    const QFileInfo f(path);
    if (f.isDir() && !f.isSymLink()) {
      DelTree(path);
      if (!QDir().rmdir(path)) {
        ProgressBar1->setVisible(false);
        Prompts::get().error(this, QStringLiteral("Impossible de supprimer le dossier « %1 » : il n'est pas vide "
                                                  "ou l'accès est refusé.").arg(path));
        return;
      }
    } else if (f.exists() || f.isSymLink()) {
      if (!f.isSymLink() && !f.permission(QFile::WriteOwner)) {
        if (Prompts::get().confirm(this, QStringLiteral("Fichier en lecture seule. Effacer quand même ?")) ==
            Prompts::Answer::Yes) {
          QFile::setPermissions(path, f.permissions() | QFile::WriteOwner);
          QFile::remove(path);
        }
      } else {
        QFile::remove(path);
      }
    }
    ProgressBar1->setValue(int((i + 1) * 100 / count));
    QApplication::processEvents();
  }
  ProgressBar1->setVisible(false);
}

void TFtp::Efface2() {
  Remplit(ListView2);
  if (Selection.isEmpty()) return;  // nothing but ".." chosen
  if (Prompts::get().confirm(this, QStringLiteral("Effacer les fichiers sélectionnés ?")) != Prompts::Answer::Yes)
    return;
  Remplit(ListView2);
  Supprimer2();
  LitHote();
}

void TFtp::Supprimer2() {
  ProgressBar1->setValue(0);
  ProgressBar1->setVisible(true);
  const qsizetype count = Selection.size();
  for (qsizetype i = 0; i < count; ++i) {
    const QString& name = Selection[i];
    Transfer.requireReady();
    FtpClient1.SetHostFileName(name);
    // The server list holds names only: a dot is all that tells a file from a folder.
    if (name.contains(u'.'))
      FtpClient1.StartDele();
    else
      FtpClient1.StartRmd();
    Transfer.Delay();
    ProgressBar1->setValue(int((i + 1) * 100 / count));
    QApplication::processEvents();
    if (Transfer.Arret == FtpTransfer::kStopped) break;
  }
  ProgressBar1->setVisible(false);
}
