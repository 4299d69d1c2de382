// The program's EDF commands without windows: "EDF+" in the Save menu exports
// the replayed file with the comments window's lines; an EDF file picked in
// Offline is converted (when the user agrees) and replayed.
#include <edflib.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "app/RunController.h"
#include "app/Workers.h"
#include "dsp/CalcEngine.h"
#include "link/MonitorLink.h"
#include "platform/QueuedUiBridge.h"
#include "exchange/EdfTestFiles.h"
#include "record/RecordFileService.h"
#include "record/RecordTestFiles.h"
#include "support/ProgramRun.h"
#include "support/ScriptedPrompter.h"

namespace qs {
namespace {

namespace fs = std::filesystem;

class EdfMenuTest : public test::ProgramRunTest {
 protected:
  EdfMenuTest() : ProgramRunTest("qs_edfmenu_") {}
};

TEST_F(EdfMenuTest, SaveEdfExportsTheReplayedFileWithTheComments) {
  EXPECT_FALSE(controller->Controls().oEdf) << "online: nothing to export";
  controller->oEdfClick();
  EXPECT_TRUE(prompter.Saw("File not selected", "File Error"));

  test::RecordBuilder b(RawLayout::TwoChannels128, 10, 0, 0);
  for (int i = 0; i < 12; ++i) b.AddSecond();
  b.Save(dir / "case.eeg");
  prompter.files = {(dir / "case.eeg").string()};
  controller->oOfflineClick();
  ASSERT_EQ(core.run.ReplayFileName, (dir / "case.eeg").string());
  EXPECT_TRUE(controller->Controls().oEdf);
  controller->ApplyComment("10:00:04", "intubation");

  prompter.files = {(dir / "case.edf").string()};
  controller->oEdfClick();
  EXPECT_EQ(prompter.dialogs.back().title, "EDF+ File Save");
  EXPECT_EQ(prompter.dialogs.back().fileName, (dir / "case.edf").string()) << "proposed beside the record";
  edf_hdr_struct hdr{};
  ASSERT_EQ(edfopen_file_readonly((dir / "case.edf").c_str(), &hdr, EDFLIB_READ_ALL_ANNOTATIONS), 0);
  EXPECT_EQ(hdr.datarecords_in_file, 12);
  EXPECT_EQ(hdr.starttime_hour, 10);
  bool comment = false;
  for (int i = 0; i < hdr.annotations_in_file; ++i) {
    edf_annotation_struct a{};
    edf_get_annotation(hdr.handle, i, &a);
    comment = comment || (std::string(a.annotation) == "intubation" && a.onset == 4 * EDFLIB_TIME_DIMENSION);
  }
  edfclose_file(hdr.handle);
  EXPECT_TRUE(comment);

  // Cancelling the dialog writes nothing.
  prompter.files = {std::nullopt};
  controller->oEdfClick();
  EXPECT_FALSE(fs::exists(dir / "case.edf.edf"));
}

TEST_F(EdfMenuTest, AnEdfPickedInOfflineIsConvertedAndReplayed) {
  test::EdfShape shape;
  shape.rate = 512;
  shape.seconds = 6;
  shape.wave = [](int, double t) { return 40 * std::sin(2 * 3.14159265358979 * 8 * t); };
  const std::string edf = (dir / "sleep.EDF").string();
  test::WriteEdfPlus(edf, shape);

  // Declined: nothing is converted and no file is chosen.
  prompter.files = {edf};
  prompter.answers = {false};
  controller->oOfflineClick();
  EXPECT_TRUE(core.run.ReplayFileName.empty());
  EXPECT_FALSE(fs::exists(dir / "sleep.eeg"));

  prompter.files = {edf};
  prompter.answers = {true};
  controller->oOfflineClick();
  EXPECT_EQ(core.run.ReplayFileName, (dir / "sleep.eeg").string());
  EXPECT_EQ(core.run.FileSeconds, 6) << "every second of the EDF replays";
  EXPECT_EQ(core.run.FileStartSec, 9u * 3600 + 30 * 60 + 15);
  core.settings.CalcOnly = true;
  controller->bStartClick();
  ASSERT_TRUE(ui.RunUntil([&] { return controller->Controls().bStart; }, 10000));
  EXPECT_EQ(records.ReplayInput().RawStored(), 6u * 8u);

  // A damaged file: its message, and no replay file.
  std::vector<std::uint8_t> bytes = test::ReadBytes(edf);
  bytes.resize(200);
  test::WriteBytes(edf, bytes);
  prompter.files = {edf};
  prompter.answers = {true, true};  // convert, overwrite the earlier result
  controller->oOfflineClick();
  EXPECT_TRUE(core.run.ReplayFileName.empty());
  ASSERT_FALSE(prompter.shown.empty());
  EXPECT_EQ(prompter.shown.back().caption, "EDF Import Error");
  EXPECT_NE(prompter.shown.back().text.find("byte offset 200"), std::string::npos)
      << prompter.shown.back().text;
}

}  // namespace
}  // namespace qs
