// tovelo-check: the short form of "tovelo-batch check".
#include <QString>
#include <QStringList>

#include <new>

#include "CheckFiles.h"
#include "FileName.h"
#include "StandardOutput.h"

int main(int argc, char** argv) {
  QStringList args;
  // Names are the file system's bytes, UTF-8 or not.
  for (int i = 1; i < argc; ++i) args << filename::fromNative(argv[i]);
  try {
    return checkFiles(args, QStringLiteral("tovelo-check"));
  } catch (const std::bad_alloc&) {
    reportOutOfMemory("tovelo-check");
    return 2;
  }
}
