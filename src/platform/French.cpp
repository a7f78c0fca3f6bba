#include "French.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace {

// This Qt asks for the file types of its file list ("Folder", "Drive") under a context that
// its French catalogue still files under the file dialog's.
class MovedContexts final : public QTranslator {
 public:
  explicit MovedContexts(const QTranslator& french) : french_(french) {}
  bool isEmpty() const override { return false; }
  QString translate(const char* context, const char* source, const char* disambiguation,
                    int n) const override {
    if (qstrcmp(context, "QAbstractFileIconProvider") == 0)
      return french_.translate("QFileDialog", source, disambiguation, n);
    return {};
  }

 private:
  const QTranslator& french_;
};

}  // namespace

bool installFrench() {
  QLocale::setDefault(QLocale(QLocale::French, QLocale::France));
  static QTranslator qtFrench;
  static MovedContexts moved(qtFrench);
  static const bool loaded = [] {
    if (!qtFrench.load(QLocale(QLocale::French), QStringLiteral("qtbase"), QStringLiteral("_"),
                       QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
      return false;
    QCoreApplication::installTranslator(&qtFrench);
    QCoreApplication::installTranslator(&moved);
    return true;
  }();
  return loaded;
}
