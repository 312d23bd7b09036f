// Test entry for the widget tests: a QApplication on the offscreen platform (unless the caller
// chose another one), then GoogleTest. Font names are mapped by the toolkit's font objects.
#include <QApplication>
#include <QFont>
#include <cstdlib>
#include <gtest/gtest.h>

int main(int argc, char** argv)
{
  // gtest_discover_tests runs the binary at build time without the test environment.
  if (!std::getenv("QT_QPA_PLATFORM"))
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
