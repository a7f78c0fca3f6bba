#pragma once
// Writing and reading a test file's exact bytes.
#include <gtest/gtest.h>

#include <QByteArray>
#include <QFile>
#include <QString>

inline void writeBytes(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << path.toStdString();
  ASSERT_EQ(f.write(bytes), bytes.size()) << path.toStdString();
}

// "<unreadable>" when the file cannot be read, so a comparison shows it.
inline QByteArray readBytes(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}
