#include <gtest/gtest.h>

#include <QApplication>

// The widgets need an application object; the tests run on its thread, offscreen.
int main(int argc, char** argv) {
  QApplication app(argc, argv);
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
