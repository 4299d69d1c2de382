// Tests of the settings file reader: what each key accepts and ignores, where a
// line starts and ends, when reading stops, and that no input can leave a field
// outside the values the rest of the program relies on.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <random>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "config/SettingsFile.h"

namespace {

using qs::AppSettings;
using qs::Relaxed;
using qs::SettingsLoadResult;
using namespace std::string_literals;

SettingsLoadResult Read(AppSettings& settings, const std::string& text) {
  std::istringstream in(text);
  return qs::ReadSettings(settings, in);
}

// Every field as text, so that "nothing else changed" is one comparison with a
// readable difference.
std::string Dump(const AppSettings& s) {
  std::ostringstream out;
  out << std::setprecision(9);
#define QS_DUMP(field) out << #field << '=' << s.field << '\n'
  QS_DUMP(Wave_Scale.load());
  QS_DUMP(Moving_Average.load());
  QS_DUMP(Overshoot_Threshold.load());
  QS_DUMP(Spike_Threshold.load());
  QS_DUMP(BS_Threshold.load());
  QS_DUMP(Show_Raw.load());
  QS_DUMP(Show_Proc.load());
  QS_DUMP(Defect_Str);
  QS_DUMP(WorkDir);
  QS_DUMP(Proc_Trend.load());
  QS_DUMP(COM_Port.load());
  QS_DUMP(Use_BIS_BSR.load());
  QS_DUMP(Use_BIS_SEF.load());
  QS_DUMP(SynchFastSlow.load());
  QS_DUMP(Power_Dur.load());
  QS_DUMP(Bisp_Dur.load());
  QS_DUMP(Amp_Dur.load());
  QS_DUMP(MaxMem.load());
  QS_DUMP(LogInterval.load());
  QS_DUMP(Log_BIC.load());
  QS_DUMP(Log_EMG.load());
  QS_DUMP(AutoRec.load());
  QS_DUMP(CommentOnLog.load());
  QS_DUMP(BicRatio.load());
  QS_DUMP(pBIC.load());
  QS_DUMP(Child.load());
  QS_DUMP(Pow_real.load());
  QS_DUMP(OptionButton.load());
  QS_DUMP(mBIC_filter.load());
  QS_DUMP(SamplingRate.load());
  QS_DUMP(PowerScale.load());
  QS_DUMP(FigType.load());
  QS_DUMP(SR_PCT.load());
  QS_DUMP(Test_Mode.load());
  QS_DUMP(COM_Device);
  QS_DUMP(UseProcessedWave.load());
  QS_DUMP(GrayScale.load());
  QS_DUMP(CalcOnly.load());
  QS_DUMP(WaveScaleIndex.load());
  QS_DUMP(ReplayIntervalMs.load());
  QS_DUMP(SefFraction.load());
  QS_DUMP(EegChannel.load());
#undef QS_DUMP
  return out.str();
}

const std::string kDefaults = Dump(AppSettings{});

// Reads text into fresh defaults and expects no field to change and no stop.
void ExpectNoChange(const std::string& text) {
  AppSettings s;
  const SettingsLoadResult result = Read(s, text);
  EXPECT_EQ(Dump(s), kDefaults) << "input: " << text;
  EXPECT_EQ(result.malformedLine, 0) << "input: " << text;
}

bool IsEdgeByte(char c) {
  return static_cast<unsigned char>(c) <= 0x20;
}

bool IsTrimmed(const std::string& text) {
  return text.empty() || (!IsEdgeByte(text.front()) && !IsEdgeByte(text.back()));
}

// Every field within the values the rest of the program can use.
void ExpectInRange(const AppSettings& s) {
  const float wave = s.Wave_Scale;
  EXPECT_TRUE(std::isfinite(wave) && wave > 0.0f) << wave;
  EXPECT_TRUE(s.Moving_Average == 0 || s.Moving_Average == 1) << s.Moving_Average;
  const float overshoot = s.Overshoot_Threshold;
  EXPECT_TRUE(std::isfinite(overshoot) && overshoot >= 50.0f) << overshoot;
  const float spike = s.Spike_Threshold;
  EXPECT_TRUE(std::isfinite(spike) && spike >= 5.0f) << spike;
  const float burst = s.BS_Threshold;
  EXPECT_TRUE(burst > 0.0f && burst < 6.0f) << burst;
  EXPECT_TRUE(s.COM_Port >= 0 && s.COM_Port <= 63) << s.COM_Port;
  const std::int32_t power = s.Power_Dur;
  EXPECT_TRUE(power == 2 || power == 3 || power == 6) << power;
  const std::int32_t bisp = s.Bisp_Dur;
  EXPECT_TRUE(bisp == 6 || bisp == 12 || bisp == 18 || bisp == 24 || bisp == 30) << bisp;
  const std::int32_t amp = s.Amp_Dur;
  EXPECT_TRUE(amp == 1 || amp == 2 || amp == 3 || amp == 6) << amp;
  EXPECT_GE(s.MaxMem, 8);
  const std::int32_t log = s.LogInterval;
  EXPECT_TRUE(log == 1 || log == 2 || log == 3 || log == 6) << log;
  EXPECT_TRUE(s.SamplingRate == 0 || s.SamplingRate == 1) << s.SamplingRate;
  EXPECT_TRUE(s.PowerScale >= 0 && s.PowerScale <= 4) << s.PowerScale;
  EXPECT_TRUE(s.FigType >= 0 && s.FigType <= 3) << s.FigType;

  // Texts come from field 2 (or fields 2 and 3 of a drive path) trimmed: no
  // colon of their own beyond the drive colon, no blank or control byte at
  // either end.
  EXPECT_EQ(s.Defect_Str.find(':'), std::string::npos) << s.Defect_Str;
  EXPECT_TRUE(IsTrimmed(s.Defect_Str)) << s.Defect_Str;
  EXPECT_NE(s.Defect_Str, "NULL");
  EXPECT_LE(s.Defect_Str.size(), 997u);
  const std::string& dir = s.WorkDir;
  const auto colons = std::count(dir.begin(), dir.end(), ':');
  const bool absolute = !dir.empty() && dir.front() == '/' && colons == 0;
  const bool drivePath = colons == 1 && dir.front() != ':';
  EXPECT_TRUE(dir.empty() || absolute || drivePath) << dir;
  EXPECT_TRUE(IsTrimmed(dir.substr(0, dir.find(':')))) << dir;
  if (drivePath) {
    EXPECT_TRUE(IsTrimmed(dir.substr(dir.find(':') + 1))) << dir;
  }
  const std::string& device = s.COM_Device;
  EXPECT_TRUE(device.empty() ||
              (device.front() == '/' && device.find(':') == std::string::npos && IsTrimmed(device)))
      << device;

  // Fields the file does not know stay untouched.
  const AppSettings defaults;
  EXPECT_EQ(s.UseProcessedWave, defaults.UseProcessedWave);
  EXPECT_EQ(s.GrayScale, defaults.GrayScale);
  EXPECT_EQ(s.CalcOnly, defaults.CalcOnly);
  EXPECT_EQ(s.WaveScaleIndex, defaults.WaveScaleIndex);
  EXPECT_EQ(s.ReplayIntervalMs, defaults.ReplayIntervalMs);
  EXPECT_EQ(s.SefFraction, defaults.SefFraction);
  EXPECT_EQ(s.EegChannel, defaults.EegChannel);
}

// A file in the test's temporary directory, removed afterwards.
class TempFile {
 public:
  explicit TempFile(const std::string& bytes)
      : path_(testing::TempDir() + "qs_settings_" +
              testing::UnitTest::GetInstance()->current_test_info()->name() + ".ini") {
    std::ofstream out(path_, std::ios::binary);
    out << bytes;
  }
  ~TempFile() { std::remove(path_.c_str()); }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// ---------------------------------------------------------------------------
// Loading from disk

TEST(SettingsFileLoad, MissingFileKeepsEveryDefaultAndReportsNothing) {
  AppSettings s;
  const SettingsLoadResult result = qs::LoadSettings(s, testing::TempDir() + "qs_no_such_dir/Kvo_V2000.ini");
  EXPECT_FALSE(result.fileRead);
  EXPECT_EQ(result.linesRead, 0);
  EXPECT_EQ(result.malformedLine, 0);
  EXPECT_EQ(Dump(s), kDefaults);
  EXPECT_EQ(qs::DescribeSettingsProblem(result), "");
}

TEST(SettingsFileLoad, DirectoryCountsAsMissingFile) {
  AppSettings s;
  const SettingsLoadResult result = qs::LoadSettings(s, testing::TempDir());
  EXPECT_FALSE(result.fileRead);
  EXPECT_EQ(Dump(s), kDefaults);
}

TEST(SettingsFileLoad, ReadsWindowsLineEndsAndLastLineWithoutLineEnd) {
  const TempFile file(
      "# Quellscope\r\n"
      "Show_Raw:false\r\n"
      "WorkDir:C:\\data\\eeg\r\n"
      "Defect_Str:n/a\r\n"
      "BS_Threshold:2.5\r\n"
      "Bisp_Dur:5min\r\n"
      "COM_Port:5");
  AppSettings s;
  const SettingsLoadResult result = qs::LoadSettings(s, file.path());
  EXPECT_TRUE(result.fileRead);
  EXPECT_EQ(result.linesRead, 7);
  EXPECT_EQ(result.malformedLine, 0);
  EXPECT_FALSE(s.Show_Raw);
  EXPECT_EQ(s.WorkDir, "C:\\data\\eeg");
  EXPECT_EQ(s.Defect_Str, "n/a");
  EXPECT_EQ(s.BS_Threshold, 2.5f);
  EXPECT_EQ(s.Bisp_Dur, 30);
  EXPECT_EQ(s.COM_Port, 5);
}

TEST(SettingsFileLoad, MalformedLineInFileIsReportedWithoutItsLineEnd) {
  const TempFile file("Show_Raw:false\r\nMaxMem:lots\r\nShow_Proc:true\r\n");
  AppSettings s;
  const SettingsLoadResult result = qs::LoadSettings(s, file.path());
  EXPECT_TRUE(result.fileRead);
  EXPECT_EQ(result.malformedLine, 2);
  EXPECT_EQ(result.malformedText, "MaxMem:lots");
  EXPECT_FALSE(s.Show_Raw);
  EXPECT_FALSE(s.Show_Proc);
}

// ---------------------------------------------------------------------------
// Keys and fields

TEST(SettingsFileKeys, KeyLetterCaseIsIgnored) {
  AppSettings s;
  Read(s, "show_raw:false\nSHOW_PROC:true\nsynchfastslow?:true\ncom_device:/dev/ttyUSB1\n");
  EXPECT_FALSE(s.Show_Raw);
  EXPECT_TRUE(s.Show_Proc);
  EXPECT_TRUE(s.SynchFastSlow);
  EXPECT_EQ(s.COM_Device, "/dev/ttyUSB1");
}

TEST(SettingsFileKeys, KeyMustMatchExactlyApartFromCase) {
  ExpectNoChange("Show_Raw :false\n");  // blank before the colon
  ExpectNoChange(" Show_Raw:false\n");  // blank before the key
  ExpectNoChange("\tShow_Raw:false\n");
  ExpectNoChange("SynchFastSlow:true\n");  // the key has a question mark
  ExpectNoChange("Show_Raws:false\n");
  ExpectNoChange("Show-Raw:false\n");
  ExpectNoChange("Wave_Scale_:abc\n");  // unknown, so not even malformed
}

TEST(SettingsFileKeys, ColonsSplitLikeStrtok) {
  AppSettings s;
  Read(s, ":Show_Raw:false\nShow_Proc:::true\n::Proc_Trend::false::x::y\n");
  EXPECT_FALSE(s.Show_Raw);  // leading separators are skipped
  EXPECT_TRUE(s.Show_Proc);  // a run of separators is one
  EXPECT_FALSE(s.Proc_Trend);
}

TEST(SettingsFileKeys, LinesWithFewerThanTwoFieldsAreSkipped) {
  ExpectNoChange("Show_Raw\n");
  ExpectNoChange("Show_Raw:");    // no line end: one field only
  ExpectNoChange("Wave_Scale:");  // so this is not malformed either
  ExpectNoChange(":::\n");
  ExpectNoChange("\n\n\r\n");
  ExpectNoChange("");
}

TEST(SettingsFileKeys, ValueIsTrimmedOfBlanksAndControlBytes) {
  AppSettings s;
  Read(s, "Show_Raw: \t false \x01\r\nCOM_Port:  12 \nDefect_Str:\x1f n/a \x7f\n");
  EXPECT_FALSE(s.Show_Raw);
  EXPECT_EQ(s.COM_Port, 12);
  EXPECT_EQ(s.Defect_Str, "n/a \x7f");  // DEL is above 0x20: part of the text
}

TEST(SettingsFileKeys, HashInFirstColumnIsTheOnlyComment) {
  ExpectNoChange("#Show_Raw:false\n");
  ExpectNoChange("# Show_Raw:false\n");
  ExpectNoChange(" #Show_Raw:false\n");      // an unknown key " #Show_Raw"
  ExpectNoChange("Show_Raw:false # off\n");  // flag value no longer "false"

  AppSettings s;
  const SettingsLoadResult result = Read(s, "Wave_Scale:4 # gain\n");
  EXPECT_EQ(result.malformedLine, 1);  // a number with a trailing remark is not a number
}

// ---------------------------------------------------------------------------
// Flags: each key sets its own field and nothing else

struct FlagKey {
  const char* key;
  Relaxed<bool> AppSettings::*field;
};

void PrintTo(const FlagKey& flag, std::ostream* out) {
  *out << flag.key;
}

class SettingsFileFlags : public testing::TestWithParam<FlagKey> {};

TEST_P(SettingsFileFlags, TrueAndFalseSetOnlyTheirField) {
  const FlagKey& flag = GetParam();
  for (const bool value : {true, false}) {
    AppSettings expected;
    expected.*flag.field = value;
    AppSettings s;
    s.*flag.field = !value;
    Read(s, std::string(flag.key) + ":" + (value ? "true" : "false") + "\n");
    EXPECT_EQ(Dump(s), Dump(expected)) << flag.key << " set to " << value;
  }
}

TEST_P(SettingsFileFlags, OtherSpellingsAreIgnored) {
  const FlagKey& flag = GetParam();
  for (const bool before : {true, false}) {
    for (const char* value : {"True", "FALSE", "1", "0", "yes", "true false", "truex", "fals", "\"true\""}) {
      AppSettings s;
      s.*flag.field = before;
      const SettingsLoadResult result = Read(s, std::string(flag.key) + ":" + value + "\n");
      EXPECT_EQ(s.*flag.field, before) << flag.key << ":" << value;
      EXPECT_EQ(result.malformedLine, 0);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    AllFlags, SettingsFileFlags,
    testing::Values(
        FlagKey{"Show_Raw", &AppSettings::Show_Raw}, FlagKey{"Show_Proc", &AppSettings::Show_Proc},
        FlagKey{"Proc_Trend", &AppSettings::Proc_Trend}, FlagKey{"Use_BIS_BSR", &AppSettings::Use_BIS_BSR},
        FlagKey{"Use_BIS_SEF", &AppSettings::Use_BIS_SEF},
        FlagKey{"SynchFastSlow?", &AppSettings::SynchFastSlow}, FlagKey{"Log_BIC", &AppSettings::Log_BIC},
        FlagKey{"Log_EMG", &AppSettings::Log_EMG}, FlagKey{"AutoRec", &AppSettings::AutoRec},
        FlagKey{"CommentOnLog", &AppSettings::CommentOnLog}, FlagKey{"BicRatio", &AppSettings::BicRatio},
        FlagKey{"pBIC", &AppSettings::pBIC}, FlagKey{"Child", &AppSettings::Child},
        FlagKey{"Pow_real", &AppSettings::Pow_real}, FlagKey{"OptionButton", &AppSettings::OptionButton},
        FlagKey{"mBIC_filter", &AppSettings::mBIC_filter}, FlagKey{"SR_PCT", &AppSettings::SR_PCT},
        FlagKey{"Test_Mode", &AppSettings::Test_Mode}),
    [](const testing::TestParamInfo<FlagKey>& info) {
      std::string name = info.param.key;
      std::erase(name, '?');
      return name;
    });

// ---------------------------------------------------------------------------
// Decimal numbers: range test on the float actually stored

struct FloatCase {
  const char* line;
  Relaxed<float> AppSettings::*field;
  bool stored;
  float expected;  // when stored
};

void PrintTo(const FloatCase& c, std::ostream* out) {
  *out << '"' << c.line << '"';
}

class SettingsFileFloats : public testing::TestWithParam<FloatCase> {};

TEST_P(SettingsFileFloats, StoresOnlyValuesInRange) {
  const FloatCase& c = GetParam();
  constexpr float kBefore = 1234.5f;
  AppSettings expected;
  expected.*c.field = c.stored ? c.expected : kBefore;
  AppSettings s;
  s.*c.field = kBefore;
  const SettingsLoadResult result = Read(s, std::string(c.line) + "\n");
  EXPECT_EQ(result.malformedLine, 0);
  EXPECT_EQ(Dump(s), Dump(expected)) << c.line;
}

INSTANTIATE_TEST_SUITE_P(
    Ranges, SettingsFileFloats,
    testing::Values(FloatCase{"Wave_Scale:0.5", &AppSettings::Wave_Scale, true, 0.5f},
                    FloatCase{"Wave_Scale:1e-3", &AppSettings::Wave_Scale, true, 0.001f},
                    FloatCase{"Wave_Scale:0", &AppSettings::Wave_Scale, false, 0},
                    FloatCase{"Wave_Scale:-4", &AppSettings::Wave_Scale, false, 0},
                    FloatCase{"Wave_Scale:1e-50", &AppSettings::Wave_Scale, false, 0},  // float zero
                    FloatCase{"Overshoot_Threshold:49", &AppSettings::Overshoot_Threshold, false, 0},
                    FloatCase{"Overshoot_Threshold:50", &AppSettings::Overshoot_Threshold, true, 50},
                    FloatCase{"Overshoot_Threshold:49.999999999", &AppSettings::Overshoot_Threshold, true,
                              50},
                    FloatCase{"Overshoot_Threshold:49.99", &AppSettings::Overshoot_Threshold, false, 0},
                    FloatCase{"Spike_Threshold:4.9", &AppSettings::Spike_Threshold, false, 0},
                    FloatCase{"Spike_Threshold:5", &AppSettings::Spike_Threshold, true, 5},
                    FloatCase{"Spike_Threshold:1e1", &AppSettings::Spike_Threshold, true, 10},
                    FloatCase{"BS_Threshold:6", &AppSettings::BS_Threshold, false, 0},
                    FloatCase{"BS_Threshold:5.5", &AppSettings::BS_Threshold, true, 5.5f},
                    FloatCase{"BS_Threshold:0", &AppSettings::BS_Threshold, false, 0},
                    FloatCase{"BS_Threshold:-0", &AppSettings::BS_Threshold, false, 0},
                    FloatCase{"BS_Threshold:-1", &AppSettings::BS_Threshold, false, 0},
                    FloatCase{"BS_Threshold:0.001", &AppSettings::BS_Threshold, true, 0.001f},
                    FloatCase{"BS_Threshold:5.9999", &AppSettings::BS_Threshold, true, 5.9999f},
                    // Rounds to 6.0f, so out of range although the text is below 6.
                    FloatCase{"BS_Threshold:5.99999999", &AppSettings::BS_Threshold, false, 0}));

TEST(SettingsFileNumbers, AcceptsEveryPlainDecimalForm) {
  const std::vector<std::pair<std::string, float>> forms = {
      {"5", 5.0f},       {"5.5", 5.5f},   {"+5", 5.0f},  {".5", 0.5f},    {"5.", 5.0f},       {"1e1", 10.0f},
      {"2.5E-1", 0.25f}, {"1E+1", 10.0f}, {"007", 7.0f}, {"  7\t", 7.0f}, {"3.4e38", 3.4e38f}};
  for (const auto& [text, value] : forms) {
    AppSettings s;
    const SettingsLoadResult result = Read(s, "Wave_Scale:" + text + "\n");
    EXPECT_EQ(result.malformedLine, 0) << text;
    EXPECT_EQ(s.Wave_Scale, value) << text;
  }
}

TEST(SettingsFileNumbers, IntegersAreMappedAndRangeChecked) {
  struct Case {
    const char* line;
    Relaxed<std::int32_t> AppSettings::*field;
    bool stored;
    std::int32_t expected;
  };
  const Case cases[] = {
      {"Moving_Average:1", &AppSettings::Moving_Average, true, 0},
      {"Moving_Average:2", &AppSettings::Moving_Average, true, 1},
      {"Moving_Average:+2", &AppSettings::Moving_Average, true, 1},
      {"Moving_Average:0", &AppSettings::Moving_Average, false, 0},
      {"Moving_Average:3", &AppSettings::Moving_Average, false, 0},
      {"COM_Port:64", &AppSettings::COM_Port, false, 0},
      {"COM_Port:63", &AppSettings::COM_Port, true, 63},
      {"COM_Port:0", &AppSettings::COM_Port, true, 0},
      {"COM_Port:-1", &AppSettings::COM_Port, false, 0},
      {"MaxMem:4", &AppSettings::MaxMem, true, 8},
      {"MaxMem:-2147483648", &AppSettings::MaxMem, true, 8},
      {"MaxMem:8", &AppSettings::MaxMem, true, 8},
      {"MaxMem:9", &AppSettings::MaxMem, true, 9},
      {"MaxMem:0048", &AppSettings::MaxMem, true, 48},
      {"MaxMem:2147483647", &AppSettings::MaxMem, true, 2147483647},
  };
  constexpr std::int32_t kBefore = 1234;
  for (const Case& c : cases) {
    AppSettings s;
    s.*c.field = kBefore;
    const SettingsLoadResult result = Read(s, std::string(c.line) + "\n");
    EXPECT_EQ(result.malformedLine, 0) << c.line;
    EXPECT_EQ(s.*c.field, c.stored ? c.expected : kBefore) << c.line;
  }
}

// ---------------------------------------------------------------------------
// Fixed choices

TEST(SettingsFileChoices, DurationsTakeExactTextsOnly) {
  struct Case {
    const char* line;
    Relaxed<std::int32_t> AppSettings::*field;
    std::int32_t expected;  // kIgnored: unchanged
  };
  constexpr std::int32_t kIgnored = -77;
  const Case cases[] = {
      {"Power_Dur:20sec", &AppSettings::Power_Dur, 2},
      {"Power_Dur:30sec", &AppSettings::Power_Dur, 3},
      {"Power_Dur:1min", &AppSettings::Power_Dur, 6},
      {"Power_Dur:10sec", &AppSettings::Power_Dur, kIgnored},
      {"Power_Dur:2min", &AppSettings::Power_Dur, kIgnored},
      {"Bisp_Dur:1min", &AppSettings::Bisp_Dur, 6},
      {"Bisp_Dur:2min", &AppSettings::Bisp_Dur, 12},
      {"Bisp_Dur:3min", &AppSettings::Bisp_Dur, 18},
      {"Bisp_Dur:4min", &AppSettings::Bisp_Dur, 24},
      {"Bisp_Dur:5min", &AppSettings::Bisp_Dur, 30},
      {"Bisp_Dur: 3min \r", &AppSettings::Bisp_Dur, 18},
      {"Bisp_Dur:3 min", &AppSettings::Bisp_Dur, kIgnored},
      {"Bisp_Dur:3MIN", &AppSettings::Bisp_Dur, kIgnored},
      {"Bisp_Dur:6min", &AppSettings::Bisp_Dur, kIgnored},
      {"Bisp_Dur:18", &AppSettings::Bisp_Dur, kIgnored},
      {"Amp_Dur:10sec", &AppSettings::Amp_Dur, 1},
      {"Amp_Dur:20sec", &AppSettings::Amp_Dur, 2},
      {"Amp_Dur:30sec", &AppSettings::Amp_Dur, 3},
      {"Amp_Dur:1min", &AppSettings::Amp_Dur, 6},
      {"Amp_Dur:2min", &AppSettings::Amp_Dur, kIgnored},
      {"LogInterval:10sec", &AppSettings::LogInterval, 1},
      {"LogInterval:20sec", &AppSettings::LogInterval, 2},
      {"LogInterval:30sec", &AppSettings::LogInterval, 3},
      {"LogInterval:1min", &AppSettings::LogInterval, 6},
      {"LogInterval:10 sec", &AppSettings::LogInterval, kIgnored},
  };
  for (const Case& c : cases) {
    AppSettings s;
    s.*c.field = kIgnored;
    const SettingsLoadResult result = Read(s, std::string(c.line) + "\n");
    EXPECT_EQ(result.malformedLine, 0) << c.line;  // choices are never "not a number"
    EXPECT_EQ(s.*c.field, c.expected) << c.line;
  }
}

TEST(SettingsFileChoices, SamplingRateIs256OrElse128) {
  AppSettings s;
  Read(s, "SamplingRate:256\n");
  EXPECT_EQ(s.SamplingRate, 1);
  Read(s, "SamplingRate:128\n");
  EXPECT_EQ(s.SamplingRate, 0);
  Read(s, "SamplingRate:256\nSamplingRate:fast\n");
  EXPECT_EQ(s.SamplingRate, 0);
}

TEST(SettingsFileChoices, UnknownPowerScaleFallsBackToSmallest) {
  const std::vector<std::pair<std::string, std::int32_t>> scales = {
      {"5", 0}, {"10", 1}, {"20", 2}, {"50", 3}, {"100", 4}};
  for (const auto& [text, index] : scales) {
    AppSettings s;
    Read(s, "PowerScale:" + text + "\n");
    EXPECT_EQ(s.PowerScale, index) << text;
  }
  AppSettings s;
  Read(s, "PowerScale:20\nPowerScale:7\n");
  EXPECT_EQ(s.PowerScale, 0);
  Read(s, "PowerScale:100\nPowerScale:\n");
  EXPECT_EQ(s.PowerScale, 0);
}

TEST(SettingsFileChoices, MbicFigureNeedsOptionButtonOnAnEarlierLine) {
  AppSettings s;
  Read(s, "FigType:mBIC\nOptionButton:true\n");
  EXPECT_EQ(s.FigType, 1);
  Read(s, "FigType:mBIC\n");  // the option is on now
  EXPECT_EQ(s.FigType, 3);

  AppSettings t;
  Read(t, "FigType:TPR\nOptionButton:true\nOptionButton:false\nFigType:mBIC\n");
  EXPECT_EQ(t.FigType, 2);
  Read(t, "FigType:BISP\n");
  EXPECT_EQ(t.FigType, 0);
  Read(t, "FigType:BIC\n");
  EXPECT_EQ(t.FigType, 1);
  Read(t, "FigType:bisp\nFigType:MBIC\nFigType:2\n");
  EXPECT_EQ(t.FigType, 1);
}

// ---------------------------------------------------------------------------
// Texts and paths

TEST(SettingsFileTexts, DefectStrTakesFieldTwoOrNullForEmpty) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"Defect_Str:NULL\n", ""}, {"Defect_Str:n/a:x\n", "n/a"}, {"Defect_Str:  --  \n", "--"},
      {"Defect_Str:\n", ""},     {"Defect_Str:null\n", "null"}, {"Defect_Str:n/a\r\n", "n/a"},
  };
  for (const auto& [line, expected] : cases) {
    AppSettings s;
    Read(s, line);
    EXPECT_EQ(s.Defect_Str, expected) << line;
  }
}

TEST(SettingsFileTexts, WorkDirTakesDrivePathsAndAbsoluteLinuxPaths) {
  const std::string kBefore = "/before";
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"WorkDir:C:\\data", "C:\\data"},
      {"WorkDir: D : \\eeg cases\\ \r", "D:\\eeg cases\\"},
      {"WorkDir:/data/cases", "/data/cases"},
      {"WorkDir: /data/cases \r", "/data/cases"},
      {"WorkDir:\\\\server\\share", kBefore},  // no drive colon
      {"WorkDir:C:\\a:b", kBefore},            // a further colon
      {"WorkDir:data/cases", kBefore},         // relative
      {"WorkDir: :\\data", kBefore},           // blank drive
      {"WorkDir:C", kBefore},
  };
  for (const auto& [line, expected] : cases) {
    AppSettings s;
    s.WorkDir = kBefore;
    Read(s, line + "\n");
    EXPECT_EQ(s.WorkDir, expected) << line;
  }
}

TEST(SettingsFileTexts, ComDeviceTakesDevicePathsOnly) {
  const std::string kBefore = "/dev/ttyS0";
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"COM_Device:/dev/ttyUSB0", "/dev/ttyUSB0"},
      {"COM_Device: /dev/pts/3 \r", "/dev/pts/3"},
      {"COM_Device:NULL", ""},
      {"COM_Device:ttyUSB0", kBefore},
      {"COM_Device:COM1", kBefore},
      {"COM_Device:/dev/a:b", kBefore},
  };
  for (const auto& [line, expected] : cases) {
    AppSettings s;
    s.COM_Device = kBefore;
    Read(s, line + "\n");
    EXPECT_EQ(s.COM_Device, expected) << line;
  }
}

// ---------------------------------------------------------------------------
// Order of lines

TEST(SettingsFileOrder, LastAcceptedValueWins) {
  AppSettings s;
  Read(s,
       "COM_Port:5\nCOM_Port:7\n"
       "BS_Threshold:2\nBS_Threshold:6\n"
       "Bisp_Dur:1min\nBisp_Dur:3 min\n"
       "Show_Raw:false\nShow_Raw:TRUE\n"
       "Defect_Str:a\nDefect_Str:b\n"
       "WorkDir:/a\nWorkDir:relative\n");
  EXPECT_EQ(s.COM_Port, 7);
  EXPECT_EQ(s.BS_Threshold, 2.0f);  // the rejected 6 does not undo the 2
  EXPECT_EQ(s.Bisp_Dur, 6);
  EXPECT_FALSE(s.Show_Raw);
  EXPECT_EQ(s.Defect_Str, "b");
  EXPECT_EQ(s.WorkDir, "/a");
}

// ---------------------------------------------------------------------------
// A value that is not a number stops the reading

TEST(SettingsFileMalformed, StopsAtTheLineAndKeepsEarlierLines) {
  AppSettings s;
  const SettingsLoadResult result = Read(s,
                                         "Show_Raw:false\n"
                                         "COM_Port:9\n"
                                         "Wave_Scale:abc\n"
                                         "Show_Proc:true\n"
                                         "COM_Port:10\n");
  EXPECT_EQ(result.malformedLine, 3);
  EXPECT_EQ(result.linesRead, 3);
  EXPECT_EQ(result.malformedText, "Wave_Scale:abc");
  EXPECT_FALSE(s.Show_Raw);
  EXPECT_EQ(s.COM_Port, 9);
  EXPECT_EQ(s.Wave_Scale, 2.0f);
  EXPECT_FALSE(s.Show_Proc);
  EXPECT_EQ(
      qs::DescribeSettingsProblem(result),
      "Kvo_V2000.ini, line 3: \"Wave_Scale:abc\" is not a number. The settings after this line were not "
      "read; their defaults are used.");
}

class SettingsFileNotANumber : public testing::TestWithParam<const char*> {};

TEST_P(SettingsFileNotANumber, StopsReading) {
  const std::string bad = GetParam();
  AppSettings s;
  const SettingsLoadResult result = Read(s, "Show_Raw:false\n" + bad + "\nShow_Proc:true\n");
  EXPECT_EQ(result.malformedLine, 2) << bad;
  EXPECT_EQ(result.malformedText, bad);
  EXPECT_FALSE(s.Show_Raw);
  EXPECT_FALSE(s.Show_Proc) << "read past " << bad;
  EXPECT_NE(qs::DescribeSettingsProblem(result).find("line 2:"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(
    Values, SettingsFileNotANumber,
    testing::Values("Wave_Scale:abc", "Spike_Threshold:30 uV", "Wave_Scale:5 5", "Wave_Scale:5abc",
                    "Wave_Scale:nan", "Wave_Scale:NaN", "Wave_Scale:inf", "Wave_Scale:-infinity",
                    "Overshoot_Threshold:0x50", "Wave_Scale:1e999", "Wave_Scale:-1e39", "Wave_Scale:1,5",
                    "Wave_Scale:-", "Wave_Scale:.", "Wave_Scale:e5", "Wave_Scale:1e", "Wave_Scale:1e+",
                    "Wave_Scale:--5", "Wave_Scale:+-5", "Wave_Scale:5..5",
                    "BS_Threshold:", "COM_Port:", "COM_Port: \t", "COM_Port:5.0", "COM_Port:0x1f",
                    "COM_Port:+-1", "COM_Port:1e1", "MaxMem:99999999999", "MaxMem:2147483648",
                    "MaxMem:-2147483649", "Moving_Average:1.0", "Moving_Average:two", "moving_average:-"),
    [](const testing::TestParamInfo<const char*>& info) { return "Case" + std::to_string(info.index); });

TEST(SettingsFileMalformed, DescriptionQuotesOnlyPrintableBoundedText) {
  AppSettings s;
  const SettingsLoadResult withTab = Read(s, "Wave_Scale:\tx\x01y\r\n");
  EXPECT_EQ(withTab.malformedText, "Wave_Scale:\tx\x01y");
  EXPECT_EQ(
      qs::DescribeSettingsProblem(withTab),
      "Kvo_V2000.ini, line 1: \"Wave_Scale:?x?y\" is not a number. The settings after this line were not "
      "read; their defaults are used.");

  const SettingsLoadResult longLine = Read(s, "Wave_Scale:" + std::string(900, 'x') + "\n");
  EXPECT_EQ(longLine.malformedText.size(), 911u);
  const std::string message = qs::DescribeSettingsProblem(longLine);
  EXPECT_LT(message.size(), 300u);
  EXPECT_NE(message.find("line 1:"), std::string::npos);
}

// ---------------------------------------------------------------------------
// Pieces: a line is what fgets with a 1000-byte buffer returns

TEST(SettingsFilePieces, TailOfALongLineIsALineOfItsOwn) {
  AppSettings s;
  const SettingsLoadResult result = Read(s, "#" + std::string(998, 'x') + "BS_Threshold:2\n");
  EXPECT_EQ(result.linesRead, 2);
  EXPECT_EQ(s.BS_Threshold, 2.0f);

  // One byte shorter and the key itself is cut.
  AppSettings t;
  const SettingsLoadResult cut = Read(t, "#" + std::string(997, 'x') + "BS_Threshold:2\n");
  EXPECT_EQ(cut.linesRead, 2);
  EXPECT_EQ(t.BS_Threshold, 5.0f);
}

TEST(SettingsFilePieces, LineEndAfter999BytesIsAPieceAndCountsInLineNumbers) {
  AppSettings s;
  const SettingsLoadResult result = Read(s, "#" + std::string(998, 'x') + "\nShow_Raw:false\nWave_Scale:x\n");
  EXPECT_FALSE(s.Show_Raw);
  EXPECT_EQ(result.malformedLine, 4);
}

TEST(SettingsFilePieces, LongValueIsCutAt999Bytes) {
  AppSettings s;
  const SettingsLoadResult result = Read(s, "Defect_Str:" + std::string(2500, 'a') + "\nShow_Raw:false\n");
  EXPECT_EQ(s.Defect_Str, std::string(999 - 11, 'a'));
  EXPECT_EQ(result.linesRead, 4);
  EXPECT_FALSE(s.Show_Raw);
}

TEST(SettingsFilePieces, NulEndsTheTextButNotThePiece) {
  AppSettings s;
  const SettingsLoadResult result = Read(s, "Show_Raw:fal\0se\nShow_Proc:true\0junk\nProc_Trend:false"s);
  EXPECT_TRUE(s.Show_Raw);  // the text is "Show_Raw:fal"
  EXPECT_TRUE(s.Show_Proc);
  EXPECT_FALSE(s.Proc_Trend);
  EXPECT_EQ(result.linesRead, 3);

  const SettingsLoadResult stop = Read(s, "MaxMem:4\0 hours\nShow_Raw:false\nCOM_Port:x\0yz\n"s);
  EXPECT_EQ(s.MaxMem, 8);
  EXPECT_FALSE(s.Show_Raw);
  EXPECT_EQ(stop.malformedLine, 3);
  EXPECT_EQ(stop.malformedText, "COM_Port:x");
}

TEST(SettingsFilePieces, EmptyInputReadsNothing) {
  AppSettings s;
  const SettingsLoadResult result = Read(s, "");
  EXPECT_EQ(result.linesRead, 0);
  EXPECT_EQ(Dump(s), kDefaults);
}

// ---------------------------------------------------------------------------
// No input leaves a field out of range

const char* const kAllKeys[] = {"Wave_Scale",
                                "Moving_Average",
                                "Overshoot_Threshold",
                                "Spike_Threshold",
                                "BS_Threshold",
                                "Show_Raw",
                                "Show_Proc",
                                "Defect_Str",
                                "WorkDir",
                                "Proc_Trend",
                                "COM_Port",
                                "Use_BIS_BSR",
                                "Use_BIS_SEF",
                                "SynchFastSlow?",
                                "Power_Dur",
                                "Bisp_Dur",
                                "Amp_Dur",
                                "MaxMem",
                                "LogInterval",
                                "Log_BIC",
                                "Log_EMG",
                                "AutoRec",
                                "CommentOnLog",
                                "BicRatio",
                                "pBIC",
                                "Child",
                                "Pow_real",
                                "OptionButton",
                                "mBIC_filter",
                                "SamplingRate",
                                "PowerScale",
                                "FigType",
                                "SR_PCT",
                                "Test_Mode",
                                "COM_Device"};

const char* const kInterestingValues[] = {
    "true",       "false",       "NULL",       "",        " ",          "0",
    "1",          "2",           "3",          "5",       "6",          "7",
    "8",          "10",          "20",         "50",      "63",         "64",
    "100",        "128",         "256",        "-1",      "-0",         "+5",
    "2147483647", "-2147483648", "2147483648", "5.5",     "5.99999999", "49.999999999",
    "0.0001",     "1e-50",       "1e38",       "3.5e38",  "1e999",      "nan",
    "inf",        ".",           "10sec",      "20sec",   "30sec",      "1min",
    "2min",       "3min",        "4min",       "5min",    "BISP",       "BIC",
    "TPR",        "mBIC",        "C:\\data",   "/data/x", "\\\\srv\\s", "/dev/ttyUSB0",
    "a:b:c",      " \t/x \r"};

class Fuzzer {
 public:
  explicit Fuzzer(std::uint32_t seed) : random_(seed) {}

  std::string NextLine() {
    switch (Below(8)) {
      case 0:
      case 1:
        return ValidLine();
      case 2:
      case 3:
        return Mutated(ValidLine());
      case 4:
        return RandomBytes(Below(64));
      case 5:
        return ColonRun();
      case 6:
        return Below(10) == 0 ? LongLine() : ValidLine() + ValidLine();
      default:
        return "OptionButton:true\n" + ValidLine();
    }
  }

 private:
  std::size_t Below(std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(random_); }
  char AnyByte() { return static_cast<char>(Below(256)); }
  char TrickyByte() {
    static constexpr char kTricky[] = {'\0', '\xff', ':', '\n', '\r', ' ', '#', '.', 'e', '-', '+', '/'};
    return Below(2) == 0 ? kTricky[Below(sizeof kTricky)] : AnyByte();
  }

  std::string Key() {
    std::string key = kAllKeys[Below(std::size(kAllKeys))];
    if (Below(4) == 0) {
      for (char& c : key) c = static_cast<char>(Below(2) ? std::toupper(static_cast<unsigned char>(c)) : c);
    }
    return key;
  }

  std::string Value() {
    switch (Below(4)) {
      case 0:
        return std::to_string(static_cast<std::int64_t>(random_()) - (std::int64_t{1} << 31));
      case 1: {
        std::ostringstream out;
        out << std::uniform_real_distribution<double>(-10.0, 100.0)(random_);
        return out.str();
      }
      default:
        return kInterestingValues[Below(std::size(kInterestingValues))];
    }
  }

  std::string LineEnd() {
    static constexpr const char* kEnds[] = {"\n", "\r\n", "", "\n\n", ":\n"};
    return kEnds[Below(std::size(kEnds))];
  }

  std::string ValidLine() { return Key() + ":" + Value() + LineEnd(); }

  std::string Mutated(std::string line) {
    for (std::size_t n = 1 + Below(4); n > 0; --n) {
      const std::size_t at = Below(line.size() + 1);
      switch (Below(3)) {
        case 0:
          if (at < line.size()) line[at] = TrickyByte();
          break;
        case 1:
          line.insert(line.begin() + static_cast<std::ptrdiff_t>(at), TrickyByte());
          break;
        default:
          if (at < line.size()) line.erase(at, 1);
          break;
      }
    }
    return line;
  }

  std::string RandomBytes(std::size_t size) {
    std::string bytes(size, '\0');
    for (char& c : bytes) c = AnyByte();
    return bytes;
  }

  std::string ColonRun() {
    std::string line = std::string(Below(3), ':') + Key();
    for (std::size_t n = Below(12); n > 0; --n) line += std::string(1 + Below(3), ':') + Value();
    return line + LineEnd();
  }

  std::string LongLine() {
    std::string line = Key() + ":" + std::string(Below(3), ' ') + Value();
    for (std::size_t n = 900 + Below(2500); line.size() < n;) line += Below(50) == 0 ? TrickyByte() : 'x';
    return line + ValidLine();
  }

  std::mt19937 random_;
};

std::string Escaped(const std::string& bytes) {
  std::ostringstream out;
  for (const char c : bytes) {
    const auto u = static_cast<unsigned char>(c);
    if (u >= 0x20 && u < 0x7f && c != '\\') {
      out << c;
    } else {
      out << "\\x" << std::hex << std::setw(2) << std::setfill('0') << int{u} << std::dec;
    }
  }
  return out.str();
}

TEST(SettingsFileRobustness, RandomAndMutatedLinesNeverLeaveAFieldOutOfRange) {
  Fuzzer fuzzer(20240611u);
  AppSettings cumulative;
  int stops = 0;
  for (int i = 0; i < 20000; ++i) {
    const std::string text = fuzzer.NextLine();
    AppSettings fresh;
    for (AppSettings* s : {&fresh, &cumulative}) {
      const SettingsLoadResult result = Read(*s, text);
      ExpectInRange(*s);
      EXPECT_TRUE(result.malformedLine == 0 ||
                  (result.malformedLine >= 1 && result.malformedLine <= result.linesRead));
      EXPECT_EQ(qs::DescribeSettingsProblem(result).empty(), result.malformedLine == 0);
      stops += result.malformedLine != 0 ? 1 : 0;
    }
    if (HasFailure()) {
      ADD_FAILURE() << "after input " << i << ": \"" << Escaped(text) << "\"";
      return;
    }
  }
  // The generator must reach the stopping path as well as the storing paths.
  EXPECT_GT(stops, 100);
}

}  // namespace
