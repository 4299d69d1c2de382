// The "Set COM port" window: its lists, the rules of channel and rate, and
// the device path it shows.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>

#include "core/RunState.h"
#include "core/AppSettings.h"
#include "link/ComSettingsWindow.h"
#include "support/QtTestApp.h"

namespace {

struct Bound {
  qs::AppSettings settings;
  qs::RunState run;
  TForm3 window;
  Bound() { window.Bind(settings, run); }
};

void Choose(QComboBox* list, int index, TForm3& w, void (TForm3::*handler)()) {
  list->setCurrentIndex(index);
  (w.*handler)();
}

TEST(ComSettingsWindow, ListsSixtyFourPortsFourChannelsAndTwoRatesWithTheirHints) {
  TForm3 w;
  ASSERT_EQ(w.cbCOM->count(), 64);
  EXPECT_EQ(w.cbCOM->itemText(0), "COM1");
  EXPECT_EQ(w.cbCOM->itemText(63), "COM64");
  EXPECT_EQ(w.cbCOM->maxVisibleItems(), 16);
  EXPECT_EQ(w.cbCOM->toolTip(), "Select Serial Port");
  EXPECT_EQ(w.cbChannel->itemText(3), "ch. 3");
  EXPECT_EQ(w.cbChannel->toolTip(), "Select EEG channel");
  EXPECT_EQ(w.cbRate->itemText(1), "256Hz");
  EXPECT_EQ(w.cbRate->toolTip(), "Select EEG Sampling Rate");
  EXPECT_EQ(w.lSamplingRate->text(), "Set Sampling Rate ");
  EXPECT_EQ(w.size(), QSize(TForm3::kClientWidth, TForm3::kClientHeight));
}

TEST(ComSettingsWindow, ChoicesWriteTheSettingsAndATwoChannelMonitorKeepsChannelsZeroAndOne) {
  Bound b;
  b.window.FormOnShow();
  Choose(b.window.cbCOM, 9, b.window, &TForm3::cbCOMChange);
  EXPECT_EQ(b.settings.COM_Port, 9);
  EXPECT_EQ(b.window.lDevice->text(), "Device: /dev/ttyS9");
  Choose(b.window.cbRate, 1, b.window, &TForm3::cbRateChange);
  EXPECT_EQ(b.settings.SamplingRate, 1);

  Choose(b.window.cbChannel, 3, b.window, &TForm3::cbChannelChange);
  EXPECT_EQ(b.settings.EegChannel, 1);
  EXPECT_EQ(b.window.cbChannel->currentText(), "ch. 1");
  b.run.EngineKind = 2;  // four-channel raw EEG
  Choose(b.window.cbChannel, 3, b.window, &TForm3::cbChannelChange);
  EXPECT_EQ(b.settings.EegChannel, 3);
}

TEST(ComSettingsWindow, OpensOnTheCurrentChoicesAndAModel2MonitorResetsTheRateTo128Hz) {
  Bound b;
  b.settings.COM_Port = 4;
  b.settings.EegChannel = 1;
  b.settings.SamplingRate = 1;
  b.window.FormOnShow();
  EXPECT_EQ(b.window.cbCOM->currentText(), "COM5");
  EXPECT_EQ(b.window.cbChannel->currentText(), "ch. 1");
  EXPECT_EQ(b.window.cbRate->currentText(), "256Hz");
  EXPECT_EQ(b.window.cbChannel->maxVisibleItems(), 2);

  b.run.MonitorModel = 2;
  b.run.EngineKind = 2;
  b.window.FormOnShow();
  EXPECT_EQ(b.settings.SamplingRate, 0);
  EXPECT_EQ(b.window.cbRate->currentText(), "128Hz");
  EXPECT_EQ(b.window.cbChannel->maxVisibleItems(), 4);
}

TEST(ComSettingsWindow, ShowsTheDeviceTheNextStartOpensTheSettingsPathFirst) {
  Bound b;
  b.settings.COM_Device = "/tmp/quellscope-monitor";
  b.window.FormOnShow();
  EXPECT_EQ(b.window.lDevice->text(), "Device: /tmp/quellscope-monitor");
  Choose(b.window.cbCOM, 2, b.window, &TForm3::cbCOMChange);
  EXPECT_EQ(b.window.lDevice->text(), "Device: /tmp/quellscope-monitor") << "COM_Device overrides the port";
  EXPECT_EQ(b.settings.COM_Port, 2);
}

TEST(ComSettingsWindow, CloseAndTheCloseBoxBothReportTheWindowClosed) {
  Bound b;
  int closed = 0;
  b.window.onClosed = [&] { ++closed; };
  b.window.show();
  b.window.bQuitClick();
  EXPECT_EQ(closed, 1);
  EXPECT_FALSE(b.window.isVisible());
  b.window.show();
  b.window.close();
  EXPECT_EQ(closed, 2);
}

}  // namespace
