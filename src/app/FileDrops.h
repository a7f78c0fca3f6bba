#pragma once
// Files dropped from a file manager anywhere on a window open as documents, even over a
// document's text, which would otherwise take the names as text.
#include <functional>

#include <QObject>
#include <QStringList>

class QMimeData;
class QWidget;

class FileDrops : public QObject {
  Q_OBJECT

 public:
  FileDrops(QWidget* window, std::function<void(const QStringList&)> open);

  // The local files that a drag carries; empty when it carries anything else too.
  static QStringList localFiles(const QMimeData* data);

 protected:
  bool eventFilter(QObject* watched, QEvent* e) override;

 private:
  QWidget* window_;
  std::function<void(const QStringList&)> open_;
};
