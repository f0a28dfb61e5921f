// main() of the tests that use real widgets: one application object for the
// whole test program, on Qt's offscreen platform unless another is chosen.

#include <gtest/gtest.h>

#include "ui/application.h"

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  korsi::KorsiApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
