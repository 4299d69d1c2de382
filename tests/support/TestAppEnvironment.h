#pragma once
// One Qt application object (App: QGuiApplication or QApplication) for a
// whole test program, made before the first test and destroyed after the
// last. GoogleTest's own main() is linked, so the application comes from a
// global test environment. Tests run off screen.
#include <gtest/gtest.h>

#include <QtGlobal>
#include <memory>

namespace qs::test {

template <typename App>
class TestAppEnvironment final : public ::testing::Environment {
 public:
  void SetUp() override {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    app_ = std::make_unique<App>(argc_, argv_);
  }
  void TearDown() override { app_.reset(); }

 private:
  int argc_ = 1;
  char name_[16] = "quellscope-test";
  char* argv_[2] = {name_, nullptr};
  std::unique_ptr<App> app_;
};

}  // namespace qs::test
