#pragma once
// One QGuiApplication for a test program that draws pictures (text needs the
// font database) but shows no widgets. Tests run off screen.
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <memory>

namespace qs::test {

class GuiTestApp final : public ::testing::Environment {
 public:
  void SetUp() override {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    app_ = std::make_unique<QGuiApplication>(argc_, argv_);
  }
  void TearDown() override { app_.reset(); }

 private:
  int argc_ = 1;
  char name_[16] = "quellscope-test";
  char* argv_[2] = {name_, nullptr};
  std::unique_ptr<QGuiApplication> app_;
};

inline ::testing::Environment* const kGuiTestApp = ::testing::AddGlobalTestEnvironment(new GuiTestApp);

}  // namespace qs::test
