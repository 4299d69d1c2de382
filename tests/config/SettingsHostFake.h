#pragma once
// A main window for the settings windows' tests: it records what they change.
#include <string>
#include <vector>

#include "config/SettingsHost.h"

namespace qs::test {

struct FakeSettingsHost final : SettingsHost {
  bool IsOnline() const override { return online; }
  bool RunInProgress() const override { return running; }
  void SetMainWindowEnabled(bool enabled) override { mainEnabled = enabled; }
  void ShowSef(bool sef90) override {
    sefLabel = sef90 ? "SEF90" : "SEF95";
    sefHint = sef90 ? "Spectral Edge Frequency 90%" : "Spectral Edge Frequency 95%";
  }
  bool ShowsSef90() const override { return sefLabel == "SEF90"; }
  void RebuildLog(int n) override { rebuilds.push_back(n); }
  void SetReplayInterval(int ms) override { timerIntervals.push_back(ms); }
  void SetMapTitle(int figType) override { mapTitles.push_back(figType); }

  bool online = true, running = false, mainEnabled = true;
  std::string sefLabel = "SEF95", sefHint = "Spectral Edge Frequency 95%";
  std::vector<int> rebuilds, timerIntervals, mapTitles;
};

}  // namespace qs::test
