#include "FileDrops.h"

#include "FileName.h"

#include <QApplication>
#include <QDropEvent>
#include <QMimeData>
#include <QTimer>
#include <QUrl>
#include <QWidget>

FileDrops::FileDrops(QWidget* window, std::function<void(const QStringList&)> open)
    : QObject(window), window_(window), open_(std::move(open)) {
  window_->setAcceptDrops(true);
  qApp->installEventFilter(this);
}

QStringList FileDrops::localFiles(const QMimeData* data) {
  QStringList files;
  if (!data || !data->hasUrls()) return files;
  for (const QUrl& url : data->urls()) {
    if (!url.isLocalFile()) return {};
    // A name that is not UTF-8 stays percent-encoded in the address: its bytes are taken from
    // there, where Qt's decoding would lose them.
    QString file = url.toLocalFile();
    if (file.contains(QChar::ReplacementCharacter) && url.host().isEmpty())
      file = filename::fromNative(QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1()));
    files << file;
  }
  return files;
}

bool FileDrops::eventFilter(QObject* watched, QEvent* e) {
  const auto type = e->type();
  if (type != QEvent::DragEnter && type != QEvent::DragMove && type != QEvent::Drop)
    return false;
  auto* widget = qobject_cast<QWidget*>(watched);
  if (!widget || widget->window() != window_) return false;
  auto* drop = static_cast<QDropEvent*>(e);
  const QStringList files = localFiles(drop->mimeData());
  if (files.isEmpty()) return false;
  // A move reported back would make the file manager delete the files it gave.
  if (drop->possibleActions() & Qt::CopyAction)
    drop->setDropAction(Qt::CopyAction);
  else if (drop->possibleActions() & Qt::LinkAction)
    drop->setDropAction(Qt::LinkAction);
  else
    return false;
  drop->accept();
  // The file manager waits for the drop to end: the files open once it is over.
  if (type == QEvent::Drop) QTimer::singleShot(0, this, [this, files] { open_(files); });
  return true;
}
