#include "TextFile.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include "Cp1252.h"

namespace textfile {

QString normaliseLineBreaks(const QString& text) {
  // Fast path: files written by this editor already use CR LF everywhere.
  bool clean = true;
  for (qsizetype i = 0; i < text.size() && clean; ++i) {
    const QChar c = text[i];
    if (c == u'\r') {
      if (i + 1 < text.size() && text[i + 1] == u'\n')
        ++i;
      else
        clean = false;
    } else if (c == u'\n') {
      clean = false;
    }
  }
  if (clean) return text;

  QString out;
  out.reserve(text.size() + text.size() / 16);
  for (qsizetype i = 0; i < text.size(); ++i) {
    const QChar c = text[i];
    if (c == u'\r' || c == u'\n') {
      const QChar pair = (c == u'\r') ? u'\n' : u'\r';
      if (i + 1 < text.size() && text[i + 1] == pair) ++i;
      out += u"\r\n";
    } else {
      out += c;
    }
  }
  return out;
}

QStringList splitLines(const QString& crlfText) { return crlfText.split(QStringLiteral("\r\n")); }

Loaded load(const QString& path) {
  Loaded r;
  const QFileInfo info(path);
  if (info.isDir()) {
    r.error = QStringLiteral("Impossible d'ouvrir le fichier « %1 » : c'est un dossier.").arg(path);
    return r;
  }
  QFile f(path);
  if (!f.exists()) {
    r.error = QStringLiteral("Impossible d'ouvrir le fichier « %1 » : il n'existe pas.").arg(path);
    return r;
  }
  if (!f.open(QIODevice::ReadOnly)) {
    r.error = QStringLiteral("Impossible d'ouvrir le fichier « %1 » : %2.").arg(path, f.errorString());
    return r;
  }
  const QByteArray bytes = f.readAll();
  if (f.error() != QFileDevice::NoError) {
    r.error = QStringLiteral("Impossible de lire le fichier « %1 » : %2.").arg(path, f.errorString());
    return r;
  }
  r.text = normaliseLineBreaks(cp1252::decode(bytes));
  r.ok = true;
  return r;
}

QString save(const QString& path, const QString& text) {
  QSaveFile f(path);
  const auto failure = [&](const QString& reason) {
    return QStringLiteral("Impossible d'enregistrer le fichier « %1 » : %2.").arg(path, reason);
  };
  if (!f.open(QIODevice::WriteOnly)) return failure(f.errorString());
  const QByteArray bytes = cp1252::encode(text);
  if (f.write(bytes) != bytes.size()) {
    const QString reason = f.errorString();
    f.cancelWriting();
    return failure(reason);
  }
  if (!f.commit()) return failure(f.errorString());
  return {};
}

}  // namespace textfile
