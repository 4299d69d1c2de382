// Offline runs end to end without windows: the run controller, the record
// files, the calculation thread replaying on its own thread and the posted
// stop coming back to the user-interface loop; and the EDF commands.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "exchange/EdfTestFiles.h"
#include "exchange/VitalTestFiles.h"
#include "record/RecordTestFiles.h"
#include "support/GuiTestApp.h"
#include "support/ProgramRun.h"

namespace qs {
namespace {

struct OfflineRunTest : test::ProgramRunTest {
  OfflineRunTest() : ProgramRunTest("qs_offline_") {}
};

// The log a user gets from a paced replay in the program equals the one
// quellscope-cli replay --log writes for the same recording and settings.
TEST_F(OfflineRunTest, APacedReplayStepsOneSecondPerTickLogsWhatTheCommandLineLogsAndExportsEdf) {
  controller->oEdfClick();
  EXPECT_TRUE(prompter.Saw("File not selected", "File Error"));
  test::RecordBuilder b(RawLayout::TwoChannels128, 10, 0, 0);
  for (int i = 0; i < 75; ++i) b.AddSecond();
  b.Save(dir / "case.eeg");
  prompter.files = {(dir / "case.eeg").string()};
  controller->oOfflineClick();
  controller->bStartClick();
  ASSERT_TRUE(controller->Controls().timerEnabled);
  EXPECT_EQ(core.run.ClockSec, 36001u);
  // Each tick grants one second; wait until the calculation thread took it.
  int ticks = 0;
  while (!controller->Controls().bStart && ++ticks <= 200) {
    const std::uint32_t before = core.run.ClockSec;
    controller->TimerTimer();
    ui.RunUntil([&] { return core.run.ClockSec != before || controller->Controls().bStart; }, 5000);
  }
  EXPECT_EQ(ticks, 76) << "75 seconds, then the tick that finds the end";
  EXPECT_EQ(core.run.ClockSec, 36076u);
  EXPECT_FALSE(core.run.ReplayFile.IsOpen() || controller->Controls().timerEnabled);
  EXPECT_EQ(prompter.shown.size(), 2u) << "the end of the file is not an error";
  const std::string cli = "cd " + dir.string() +
                          " && " QS_CLI_PATH
                          " replay case.eeg --settings none.ini --records r.csv --log cli.log";
  ASSERT_EQ(std::system(cli.c_str()), 0);
  std::ifstream cliLog(dir / "cli.log", std::ios::binary);
  std::string program;
  for (const std::string& line : core.logLines.Lines()) program += line + "\r\n";
  EXPECT_GE(core.logLines.Count(), 2) << "the header and at least one line";
  EXPECT_EQ(program, std::string(std::istreambuf_iterator<char>(cliLog), {}));

  // Snap: a header with the replayed file, its clock and the boxes, then the
  // calculation's snapshot.
  prompter.files = {(dir / "snap.dat").string()};
  controller->bSnapClick();
  EXPECT_EQ(prompter.dialogs.back().filterIndex, 1);
  std::ifstream snap(dir / "snap.dat", std::ios::binary);
  std::vector<std::string> lines;
  for (std::string line; std::getline(snap, line);) lines.push_back(line);
  ASSERT_EQ(lines.size(), 4u + 2256u + 100u + 512u);
  EXPECT_EQ(lines[0], "# " + (dir / "case.eeg").string() + " 10:01:16\r");
  const MainControls& c = controller->Controls();
  EXPECT_EQ(lines[1], std::to_string(engine.Bispectral().N()) + " " + c.eSEF90 + " " + c.eBSR + " " +
                          c.eBratio + " " + c.eSyncFS + " " + c.eBIS + "\r");

  // Save EDF: the replayed file with the comments.
  controller->ApplyComment("10:00:04", "intubation");
  prompter.files = {(dir / "case.edf").string(), std::nullopt};
  controller->oEdfClick();
  const FileDialogState& d = prompter.dialogs.back();  // the file proposed beside the record
  EXPECT_EQ(d.title + "|" + d.defaultExt + std::to_string(d.filterIndex) + "|" + d.fileName,
            "EDF+ File Save|edf6|" + (dir / "case.edf").string());
  EXPECT_EQ(prompter.shown.back().kind, "save") << "no notes, no message";
  edf_hdr_struct hdr{};
  ASSERT_EQ(edfopen_file_readonly((dir / "case.edf").c_str(), &hdr, EDFLIB_READ_ALL_ANNOTATIONS), 0);
  EXPECT_EQ(hdr.datarecords_in_file, 75);
  EXPECT_EQ(hdr.annotations_in_file, 1) << "the comment only";
  edf_annotation_struct a{};
  edf_get_annotation(hdr.handle, 0, &a);
  EXPECT_TRUE(std::string(a.annotation) == "intubation" && a.onset == 4 * EDFLIB_TIME_DIMENSION);
  edfclose_file(hdr.handle);
  controller->oEdfClick();
  EXPECT_EQ(prompter.shown.back().kind, "save") << "a cancelled dialog writes nothing, says nothing";

  // An EDF picked in Offline is converted only when the user agrees.
  const std::string edf = (dir / "sleep.EDF").string();  // the extension in any case
  const auto wave = [](int, double t) { return 40 * std::sin(2 * 3.14159265358979 * 8 * t); };
  std::vector<std::uint8_t> bytes = test::WriteEdfPlus(edf, {.rate = 512, .seconds = 6, .wave = wave});
  prompter.files = {edf, edf};
  prompter.answers = {false, true};
  controller->oOfflineClick();
  EXPECT_TRUE(core.run.ReplayFileName.empty());
  controller->oOfflineClick();
  EXPECT_EQ(core.run.ReplayFileName, (dir / "sleep.eeg").string());
  EXPECT_EQ(controller->OpenDialog().fileName, core.run.ReplayFileName) << "the log is proposed beside it";
  EXPECT_EQ(core.run.FileSeconds, 6) << "every second of the EDF replays";

  // A damaged file: its message, and no replay file.
  bytes.resize(200);
  test::WriteBytes(edf, bytes);
  prompter.files = {edf};
  prompter.answers = {true, true};  // convert, overwrite the earlier result
  controller->oOfflineClick();
  EXPECT_TRUE(prompter.Saw("File already exists", "Overwrite ") && core.run.ReplayFileName.empty());
  EXPECT_EQ(prompter.shown.back().caption, "EDF Import Error");
}

// A Vital file picked in Offline is converted when the user agrees; a gap
// longer than 2 s leaves a second part, which the user is told about, and the
// first part replays. A damaged file gives its message and no replay file.
TEST_F(OfflineRunTest, AVitalFilePickedInOfflineIsConvertedAndItsFirstPartReplays) {
  test::VitalWriter w;
  w.Track({});
  for (int s : {0, 1, 2, 3, 4, 5, 20, 21, 22}) w.Wave(1, 1710376200.0 + s, std::vector<float>(128, 5.0f));
  const std::string vital = (dir / "case.vital").string();
  test::WriteBytes(vital, w.Gzip());
  prompter.files = {vital};
  prompter.answers = {true};
  controller->oOfflineClick();
  EXPECT_EQ(core.run.ReplayFileName, (dir / "case.eeg").string());
  EXPECT_EQ(core.run.FileSeconds, 6);
  EXPECT_TRUE(
      prompter.Saw("Gaps longer than 2 s split the recording into 2 record files; the first is replayed "
                   "now, the others are case_part2.eeg",
                   "Vital Import"));

  std::vector<std::uint8_t> cut = w.Gzip();
  cut.resize(cut.size() / 2);
  test::WriteBytes(vital, cut);
  prompter.files = {vital};
  prompter.answers = {true, true};  // convert, overwrite
  controller->oOfflineClick();
  EXPECT_TRUE(core.run.ReplayFileName.empty());
  EXPECT_EQ(prompter.shown.back().caption, "Vital Import Error");
}

}  // namespace
}  // namespace qs
