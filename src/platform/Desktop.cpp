#include "Desktop.h"

#include <QDesktopServices>
#include <QUrl>

namespace {

class RealDesktop final : public Desktop {
 public:
  bool openDocument(const QString& path) override {
    // A proper file URL, so that spaces and accents in the path survive.
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
  }
};

Desktop* installed = nullptr;

}  // namespace

Desktop& Desktop::get() {
  static RealDesktop real;
  return installed ? *installed : real;
}

Desktop* Desktop::install(Desktop* d) {
  Desktop* previous = installed;
  installed = d;
  return previous;
}

QString browserParameter(const QString& path) {
  QString p = QStringLiteral("\"FILE:///") + path + u'"';
  p.replace(u'\\', u'/');
  return p;
}
