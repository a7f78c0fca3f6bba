// tovelo-check: the short form of "tovelo-batch check".
#include <QString>
#include <QStringList>

#include "CheckFiles.h"

int main(int argc, char** argv) {
  QStringList args;
  for (int i = 1; i < argc; ++i) args << QString::fromLocal8Bit(argv[i]);
  return checkFiles(args, QStringLiteral("tovelo-check"));
}
