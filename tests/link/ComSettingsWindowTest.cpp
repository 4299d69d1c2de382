// The "Set COM port" window: the rules of channel and rate without the
// window, then the window's lists and controls wired to them and to the
// settings. (Its caption, size and close box are the start-up windows' test.)
#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>

#include "core/AppSettings.h"
#include "core/RunState.h"
#include "link/ComChoices.h"
#include "link/ComSettingsWindow.h"
#include "support/QtTestApp.h"

namespace {

TEST(ComChoices, ATwoChannelMonitorKeepsChannelsZeroAndOneAndAModel2MonitorRunsAt128Hz) {
  // list index, engine kind => channel; the four-channel engine is kind 2
  for (const auto& [index, engine, channel] :
       {std::tuple(3, 0, 1), {2, 1, 0}, {1, 0, 1}, {3, 2, 3}, {2, 2, 2}})
    EXPECT_EQ(qs::ComChannelChoice(index, engine), channel);
  // model, engine, rate => rate, channel rows
  const std::tuple<int, int, int, int, int> shows[] = {
      {0, 0, 1, 1, 2}, {1, 2, 0, 0, 2}, {1, 2, 7, 0, 2}, {2, 0, 1, 0, 2}, {2, 2, 1, 0, 4}};
  for (const auto& [model, engine, rate, shownRate, rows] : shows) {
    const qs::ComShowState s = qs::ComOnShow(model, engine, rate);
    EXPECT_EQ(std::pair(s.samplingRate, s.channelRows), std::pair(shownRate, rows))
        << model << engine << rate;
  }
}

TEST(ComSettingsWindow, ListsAndChoicesAreWiredToTheSettingsAndTheDevicePath) {
  qs::AppSettings settings;
  qs::RunState run;
  TForm3 w;
  ASSERT_EQ(w.cbCOM->count(), 64);
  EXPECT_EQ(std::tuple(w.cbCOM->itemText(63), w.cbChannel->itemText(3), w.cbRate->itemText(1)),
            std::tuple("COM64", "ch. 3", "256Hz"));
  w.Bind(settings, run);
  std::tie(settings.COM_Port, settings.EegChannel, settings.SamplingRate) = std::tuple(4, 2, 1);
  std::tie(run.MonitorModel, run.EngineKind) = std::tuple(2, 2);
  w.FormOnShow();  // a model 2 monitor runs at 128 Hz
  EXPECT_EQ(std::tuple(w.cbCOM->currentText(), w.cbChannel->currentText(), w.cbRate->currentText(),
                       w.lDevice->text(), w.cbChannel->maxVisibleItems(), settings.SamplingRate.load()),
            std::tuple("COM5", "ch. 2", "128Hz", "Device: /dev/ttyS4", 4, 0));

  // The device path's rules are the serial port test's.
  w.cbCOM->setCurrentIndex(9);
  w.cbCOMChange();
  EXPECT_EQ(std::pair(settings.COM_Port.load(), w.lDevice->text()),
            std::pair(9, QString("Device: /dev/ttyS9")));
  w.cbRate->setCurrentIndex(1);
  w.cbRateChange();
  EXPECT_EQ(settings.SamplingRate, 1);
  run.EngineKind = 0;  // a two-channel monitor: ch. 3 is ch. 1
  w.cbChannel->setCurrentIndex(3);
  w.cbChannelChange();
  EXPECT_EQ(std::pair(settings.EegChannel.load(), w.cbChannel->currentText()),
            std::pair(1, QString("ch. 1")));

  int closed = 0;
  w.onClosed = [&] { ++closed; };
  w.show();
  w.bQuitClick();
  EXPECT_EQ(std::pair(closed, w.isVisible()), std::pair(1, false));
}

}  // namespace
