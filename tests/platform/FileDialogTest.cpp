// The real file dialogs: French whatever the machine's locale, the open dialog's starting name
// and default suffix, and nothing written into the user's configuration.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <utility>

#include <QAbstractItemView>
#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeView>

#include "FileName.h"
#include "French.h"
#include "QtPrompts.h"

inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace {

void writeBytes(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write(bytes);
}

Prompts::FileRequest openRequest(const QString& folder) {
  Prompts::FileRequest r;
  r.title = QStringLiteral("Ouvrir");
  r.filter = QStringLiteral("Fichiers xml (*.xml)|*.xml|Fichiers dtd (*.dtd)|*.dtd");
  r.defaultSuffix = QStringLiteral("xml");
  r.fileName = QStringLiteral("*.xml");
  r.directory = folder;
  return r;
}

// Runs `act` on the file dialog once it is shown; the dialog is cancelled afterwards if `act`
// left it open, so that a failed assertion never hangs the test.
QString runDialog(bool save, const Prompts::FileRequest& request,
                  std::function<void(QFileDialog&)> act) {
  QTimer::singleShot(0, [act] {
    auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    if (!dialog) return;
    act(*dialog);
    if (dialog->isVisible()) dialog->reject();
  });
  const QString current = QDir::currentPath();  // a chosen file moves it
  QtPrompts real;
  const QString chosen =
      save ? real.saveFile(nullptr, request) : real.openFile(nullptr, request);
  QDir::setCurrent(current);
  return chosen;
}

QString openWith(const Prompts::FileRequest& request, std::function<void(QFileDialog&)> act) {
  return runDialog(false, request, std::move(act));
}

// Types a name in the dialog's name field and clicks "Ouvrir" or "Enregistrer", as the user
// would.
void typeAndAccept(QFileDialog& dialog, const QString& name) {
  auto* edit = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
  auto* buttons = dialog.findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"));
  ASSERT_TRUE(edit && buttons);
  const bool opening = dialog.acceptMode() == QFileDialog::AcceptOpen;
  QPushButton* accept = buttons->button(opening ? QDialogButtonBox::Open : QDialogButtonBox::Save);
  ASSERT_TRUE(accept);
  // The user sees the folder's files before typing.
  auto* view = dialog.findChild<QAbstractItemView*>(QStringLiteral("listView"));
  ASSERT_TRUE(view);
  ASSERT_TRUE(QTest::qWaitFor([&] { return view->model()->rowCount(view->rootIndex()) > 0; }, 5000));
  edit->clear();
  QTest::keyClicks(edit, name);
  EXPECT_EQ(accept->text(), opening ? QStringLiteral("&Ouvrir") : QStringLiteral("&Enregistrer"));
  EXPECT_TRUE(accept->isEnabled());
  QTest::mouseClick(accept, Qt::LeftButton);
}

// Accepts the next message box, whenever it comes within a few seconds, and gives its text.
void answerNextMessage(QString* text) {
  auto* timer = new QTimer(QCoreApplication::instance());  // freed with the application at the latest
  QObject::connect(timer, &QTimer::timeout, [timer, text, tries = 0]() mutable {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box) {
      *text = box->text();
      box->accept();
    }
    if (box || ++tries > 500) timer->deleteLater();
  });
  timer->start(10);
}

}  // namespace

TEST(FileDialog, ListsSizesDatesAndTypesInFrench) {
  ASSERT_TRUE(installFrench());
  QTemporaryDir dir;
  writeBytes(dir.filePath(QStringLiteral("a.xml")), "12345678");
  ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("sous-dossier")));

  QStringList headers;
  QMap<QString, QStringList> rows;
  QString startName;
  openWith(openRequest(dir.path()), [&](QFileDialog& dialog) {
    dialog.setViewMode(QFileDialog::Detail);
    auto* view = dialog.findChild<QTreeView*>(QStringLiteral("treeView"));
    ASSERT_TRUE(view);
    const QAbstractItemModel* model = view->model();
    // The folder is read in the background.
    ASSERT_TRUE(QTest::qWaitFor([&] { return model->rowCount(view->rootIndex()) == 2; }, 5000));
    QTest::qWait(100);  // details (size, type) come a moment after the names
    for (int c = 0; c < 4; ++c) headers << model->headerData(c, Qt::Horizontal).toString();
    for (int r = 0; r < model->rowCount(view->rootIndex()); ++r) {
      QStringList cells;
      for (int c = 0; c < 4; ++c) cells << model->index(r, c, view->rootIndex()).data().toString();
      rows.insert(cells[0], cells);
    }
    startName = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->text();
  });

  EXPECT_EQ(startName, QStringLiteral("*.xml"));
  EXPECT_EQ(headers, QStringList({QStringLiteral("Nom"), QStringLiteral("Taille"),
                                  QStringLiteral("Type"), QStringLiteral("Dernière modification")}));
  ASSERT_EQ(rows.size(), 2);
  const QStringList file = rows.value(QStringLiteral("a.xml"));
  const QStringList folder = rows.value(QStringLiteral("sous-dossier"));
  ASSERT_EQ(file.size(), 4);
  ASSERT_EQ(folder.size(), 4);
  EXPECT_EQ(file[1], QStringLiteral("8 octets"));
  EXPECT_EQ(file[2], QStringLiteral("document XML"));
  EXPECT_EQ(folder[1], QString());
  EXPECT_EQ(folder[2], QStringLiteral("Dossier"));
  // Day/month/year and 24-hour time: "07/12/2026 14:05".
  const QRegularExpression frenchDate(QStringLiteral("^\\d\\d/\\d\\d/\\d{4} \\d\\d:\\d\\d$"));
  EXPECT_TRUE(frenchDate.match(file[3]).hasMatch()) << file[3].toStdString();
  EXPECT_TRUE(frenchDate.match(folder[3]).hasMatch()) << folder[3].toStdString();
}

TEST(FileDialog, OpensATypedNameAsItStandsAndTriesTheDefaultSuffixOnlyAfter) {
  ASSERT_TRUE(installFrench());
  QTemporaryDir dir;
  writeBytes(dir.filePath(QStringLiteral("LISEZMOI")), "x");
  writeBytes(dir.filePath(QStringLiteral("doc.xml")), "<a/>");
  writeBytes(dir.filePath(QStringLiteral("notes")), "x");
  writeBytes(dir.filePath(QStringLiteral("notes.xml")), "<a/>");
  ASSERT_EQ(::mkfifo(QFile::encodeName(dir.filePath(QStringLiteral("tube"))).constData(), 0600), 0);
  const struct {
    const char* typed;
    const char* opened;  // empty: nothing opened, the dialog stays
  } cases[] = {
      {"LISEZMOI", "LISEZMOI"},  // no extension, exists: as it stands
      {"doc", "doc.xml"},        // does not exist: the default suffix is tried
      {"notes", "notes"},        // both exist: the name as typed wins
      {"doc.xml", "doc.xml"},
      {"tube", "tube"},          // not a file: the loader refuses it with its own message
      {"*.xml", ""},             // a pattern names no file
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.typed);
    bool stayedOpen = false;
    const QString chosen = openWith(openRequest(dir.path()), [&](QFileDialog& dialog) {
      typeAndAccept(dialog, QString::fromUtf8(c.typed));
      stayedOpen = dialog.isVisible();
    });
    const QString expected = *c.opened ? dir.filePath(QString::fromUtf8(c.opened)) : QString();
    EXPECT_EQ(chosen, expected);
    EXPECT_EQ(stayedOpen, expected.isEmpty());
  }

  // Saving keeps the default suffix for a name without one.
  Prompts::FileRequest save = openRequest(dir.path());
  save.fileName.clear();
  EXPECT_EQ(runDialog(true, save, [](QFileDialog& dialog) { typeAndAccept(dialog, "nouveau"); }),
            dir.filePath(QStringLiteral("nouveau.xml")));

  QString message;
  bool stayedOpen = false;
  const QString chosen = openWith(openRequest(dir.path()), [&](QFileDialog& dialog) {
    answerNextMessage(&message);
    typeAndAccept(dialog, QStringLiteral("absent"));
    stayedOpen = dialog.isVisible();
  });
  EXPECT_EQ(chosen, QString());
  EXPECT_TRUE(stayedOpen);
  EXPECT_EQ(message, QStringLiteral("absent\nFichier introuvable.\nVeuillez vérifier que le nom "
                                    "du fichier est correct."));
}

TEST(FileDialog, WritesNothingIntoTheUsersConfiguration) {
  ASSERT_TRUE(installFrench());
  QTemporaryDir home;
  const QByteArray oldHome = qgetenv("HOME");
  const QByteArray oldConfig = qgetenv("XDG_CONFIG_HOME");
  qputenv("HOME", QFile::encodeName(home.path()));
  qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.filePath(QStringLiteral(".config"))));
  QTemporaryDir documents;
  writeBytes(documents.filePath(QStringLiteral("doc.xml")), "<a/>");

  const QString chosen = openWith(openRequest(documents.path()), [](QFileDialog& dialog) {
    typeAndAccept(dialog, QStringLiteral("doc.xml"));
  });
  EXPECT_EQ(chosen, documents.filePath(QStringLiteral("doc.xml")));
  runDialog(true, openRequest(documents.path()), [](QFileDialog&) {});

  qputenv("HOME", oldHome);
  qputenv("XDG_CONFIG_HOME", oldConfig);
  QStringList written;
  for (QDirIterator it(home.path(), QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                       QDirIterator::Subdirectories);
       it.hasNext();)
    written << it.next();
  EXPECT_EQ(written, QStringList());
}

// A name written from Windows ("nom" and the byte E9): Qt's list leaves it out, but typed as the
// program shows it ("nomé.xml"), it is the file's own name that comes back.
TEST(FileDialog, OpensANameThatIsNotUtf8TypedAsItIsShown) {
  QTemporaryDir dir;
  const QByteArray native = QFile::encodeName(dir.path()) + "/nom\xe9.xml";
  const int fd = ::open(native.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  ASSERT_GE(fd, 0);
  ::close(fd);
  writeBytes(dir.filePath(QStringLiteral("autre.xml")), "<a/>");
  QString refusal;
  answerNextMessage(&refusal);
  const QString chosen = openWith(openRequest(dir.path()), [&](QFileDialog& dialog) {
    auto* view = dialog.findChild<QAbstractItemView*>(QStringLiteral("listView"));
    auto* edit = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    auto* buttons = dialog.findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"));
    ASSERT_TRUE(view && edit && buttons);
    ASSERT_TRUE(QTest::qWaitFor([&] { return view->model()->rowCount(view->rootIndex()) > 0; }, 5000));
    edit->setText(QStringLiteral("nomé.xml"));
    QTest::mouseClick(buttons->button(QDialogButtonBox::Open), Qt::LeftButton);
  });
  EXPECT_EQ(filename::toNative(chosen), native) << refusal.toStdString();
  ::unlink(native.constData());
}
