#pragma once
// What the processing and view settings windows need from the main window:
// its mode and run, the texts and timer they change in it, and the log they
// may rebuild. The run controller provides it; tests provide a fake.
namespace qs {

class SettingsHost {
 public:
  virtual ~SettingsHost() = default;

  virtual bool IsOnline() const = 0;
  // A run is in progress (the main window's Start button is disabled).
  virtual bool RunInProgress() const = 0;
  // The processing window disables the whole main window while it is open.
  virtual void SetMainWindowEnabled(bool enabled) = 0;

  // The spectral edge's label and hint: "SEF90" / "Spectral Edge Frequency
  // 90%" or "SEF95" / "Spectral Edge Frequency 95%".
  virtual void ShowSef(bool sef90) = 0;
  virtual bool ShowsSef90() const = 0;

  // The log's lines made again from the history at n records per line.
  virtual void RebuildLog(int n) = 0;
  // The replay timer's period, applied at once to a running replay.
  virtual void SetReplayInterval(int ms) = 0;
  // The bispectrum map's title for a map type (FigType).
  virtual void SetMapTitle(int figType) = 0;
};

}  // namespace qs
