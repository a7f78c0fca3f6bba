// Shared main() of the widget tests: an offscreen QApplication set up as the editor's own.
#include <gtest/gtest.h>

#include <QApplication>

int main(int argc, char** argv) {
  // Test discovery runs the binary without CTest's environment.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Tovelo"));
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
