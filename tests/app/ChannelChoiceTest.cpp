// The channel the COM window's list chooses and the command line's
// `--channel`: the same records for "ch. 1" of a four-channel record. And the
// Spectrogram window's controls, which only set the shared view and ask the
// drawing thread for a redraw.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "app/DsaWindow.h"
#include "link/ComSettingsWindow.h"
#include "support/ProgramRun.h"
#include "support/QtTestApp.h"
#include "tools/recgen/RecordingGenerator.h"

namespace qs {
namespace {

struct ChannelChoiceTest : test::ProgramRunTest {
  ChannelChoiceTest() : ProgramRunTest("qs_channel_") {}
};

TEST_F(ChannelChoiceTest, CommandLineChannelOneRecordsEqualThoseOfTheComWindowsChannelOne) {
  recgen::GeneratorOptions options;
  options.seconds = 45;
  options.layout = RawLayout::FourChannels128;
  ASSERT_TRUE(recgen::WriteRecording((dir / "four.eeg").string(), recgen::GenerateRecording(options)));

  std::vector<std::pair<std::int32_t, EpochResult>> program;
  engine.onRecord = [&](std::int32_t index, const EpochResult& r, std::uint32_t) { program.emplace_back(index, r); };
  prompter.files = {(dir / "four.eeg").string()};
  controller->oOfflineClick();
  // "Set COM", "ch. 1", as the user picks it.
  TForm3 com;
  com.Bind(core.settings, core.run);
  com.show();
  com.cbChannel->setCurrentIndex(1);
  com.cbChannelChange();
  com.close();
  ASSERT_EQ(core.settings.EegChannel, 1);
  core.settings.CalcOnly = true;
  controller->bStartClick();
  ASSERT_TRUE(ui.RunUntil([&] { return controller->Controls().bStart; }, 20000));

  const std::string cli = "cd " + dir.string() + " && " QS_CLI_PATH
                          " replay four.eeg --settings none.ini --channel 1 --records cli.csv";
  ASSERT_EQ(std::system(cli.c_str()), 0);
  std::ifstream csv(dir / "cli.csv");
  std::string line;
  std::getline(csv, line);  // header
  std::size_t n = 0;
  for (; std::getline(csv, line); ++n) {
    ASSERT_LT(n, program.size());
    std::istringstream fields(line);
    std::string field;
    std::getline(fields, field, ',');
    EXPECT_EQ(std::stoi(field), program[n].first);
    std::getline(fields, field, ',');  // time
    for (std::size_t i = 0; i < EpochResult::kFields && std::getline(fields, field, ','); ++i)
      EXPECT_EQ(std::stof(field), program[n].second[i]) << "record " << n << " field " << i;
  }
  EXPECT_EQ(n, program.size());
  EXPECT_GE(n, 3u);
}

TEST(SpectrogramWindow, ControlsSetTheSharedViewCommentsBecomeMarkersAndOnlyAShownWindowAsksForPictures) {
  AppCore core;
  TSpectrogramForm w(core);
  EXPECT_EQ(core.drawQueue.Size(), 0u) << "a hidden window asks for nothing";
  w.show();
  EXPECT_TRUE(core.dsaView.shown);
  w.cbWide->setChecked(true);
  w.cbAuto->setChecked(false);
  w.cbWhole->setChecked(true);
  EXPECT_EQ(std::tuple(core.dsaView.maxHz.load(), core.dsaView.autoRange.load(), core.dsaView.wholeCase.load()),
            std::tuple(47, false, true));
  TextLines comments;
  comments.Append("10:00:04,intubation");
  comments.Append("soon,no time");
  w.ShowComments(comments);
  EXPECT_EQ(std::pair(core.dsaView.markerCount.load(), core.dsaView.markers[0].load()), std::pair(1, 36004u));
  std::vector<int> kinds;
  for (DrawRequest r; core.drawQueue.Front(r); core.drawQueue.PopFront()) kinds.push_back(r.kind);
  EXPECT_GE(kinds.size(), 4u);
  EXPECT_TRUE(std::ranges::all_of(kinds, [](int k) { return k == DsaRedraw; }));
  QImage picture(300, 150, QImage::Format_RGB32);
  w.ShowPicture(picture);
  EXPECT_EQ(w.Picture->pixmap().size(), QSize(300, 150));
  w.close();
  EXPECT_FALSE(core.dsaView.shown);
}

}  // namespace
}  // namespace qs
