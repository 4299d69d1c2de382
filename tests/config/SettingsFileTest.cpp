// Tests of the settings file reader: what each key accepts and ignores, where a
// line starts and ends, when reading stops, and that no input can leave a field
// outside the values the rest of the program relies on.
#include <gtest/gtest.h>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "config/SettingsFile.h"

namespace {

using qs::AppSettings;
using qs::SettingsLoadResult;
using namespace std::string_literals;

SettingsLoadResult Read(AppSettings& settings, const std::string& text) {
  std::istringstream in(text);
  return qs::ReadSettings(settings, in);
}

template <class T>
std::string Text(const T& v) {
  if constexpr (requires { v.load(); }) {
    return Text(v.load());
  } else if constexpr (std::is_same_v<T, float>) {
    char buffer[32];  // the shortest text that reads back as the same float
    return std::string(buffer, std::to_chars(buffer, std::end(buffer), v).ptr);
  } else if constexpr (std::is_same_v<T, std::string>) {
    return v;
  } else {
    return std::to_string(v);
  }
}

// Every field as "\nName=value", so that "nothing else changed" is one
// comparison with a readable difference.
std::string Dump(const AppSettings& s) {
  std::string out;
#define QS_DUMP(field) out += "\n" #field "=" + Text(s.field)
  QS_DUMP(Wave_Scale), QS_DUMP(Moving_Average), QS_DUMP(Overshoot_Threshold), QS_DUMP(Spike_Threshold),
      QS_DUMP(BS_Threshold), QS_DUMP(Show_Raw), QS_DUMP(Show_Proc), QS_DUMP(Defect_Str), QS_DUMP(WorkDir),
      QS_DUMP(Proc_Trend), QS_DUMP(COM_Port), QS_DUMP(Use_BIS_BSR), QS_DUMP(Use_BIS_SEF),
      QS_DUMP(SynchFastSlow), QS_DUMP(Power_Dur), QS_DUMP(Bisp_Dur), QS_DUMP(Amp_Dur), QS_DUMP(MaxMem),
      QS_DUMP(LogInterval), QS_DUMP(Log_BIC), QS_DUMP(Log_EMG), QS_DUMP(AutoRec), QS_DUMP(CommentOnLog),
      QS_DUMP(BicRatio), QS_DUMP(pBIC), QS_DUMP(Child), QS_DUMP(Pow_real), QS_DUMP(OptionButton),
      QS_DUMP(mBIC_filter), QS_DUMP(SamplingRate), QS_DUMP(PowerScale), QS_DUMP(FigType), QS_DUMP(SR_PCT),
      QS_DUMP(Test_Mode), QS_DUMP(COM_Device),
      // Set only by the settings windows: the file must never touch them.
      QS_DUMP(UseProcessedWave), QS_DUMP(GrayScale), QS_DUMP(CalcOnly), QS_DUMP(WaveScaleIndex),
      QS_DUMP(ReplayIntervalMs), QS_DUMP(SefFraction), QS_DUMP(EegChannel);
#undef QS_DUMP
  return out;
}

const std::string kDefaults = Dump(AppSettings{});

// The dump of the defaults with the changes "Name=value|Name=value" made.
std::string Expected(std::string_view changes) {
  std::string dump = kDefaults;
  while (!changes.empty()) {
    const std::string_view change = changes.substr(0, changes.find('|'));
    changes.remove_prefix(std::min(changes.size(), change.size() + 1));
    const std::size_t at = dump.find("\n" + std::string(change.substr(0, change.find('=') + 1)));
    EXPECT_NE(at, std::string::npos) << "no such field: " << change;
    if (at != std::string::npos) dump.replace(at + 1, dump.find('\n', at + 1) - at - 1, change);
  }
  return dump;
}

// File text read into fresh defaults, and the fields it changes.
using Row = std::pair<std::string, std::string>;

void ExpectRows(const std::vector<Row>& rows) {
  for (const auto& [text, changes] : rows) {
    SCOPED_TRACE(testing::PrintToString(text));
    AppSettings s;
    EXPECT_EQ(Read(s, text).malformedLine, 0);
    EXPECT_EQ(Dump(s), Expected(changes));
  }
}

SettingsLoadResult LoadFile(AppSettings& s, const std::string& bytes) {
  const std::string path =
      testing::TempDir() + "qs_" + testing::UnitTest::GetInstance()->current_test_info()->name() + ".ini";
  std::ofstream(path, std::ios::binary) << bytes;
  const SettingsLoadResult result = qs::LoadSettings(s, path);
  std::remove(path.c_str());
  return result;
}

TEST(SettingsFileLoad, ReadsCrLfFilesAndAMissingFileKeepsTheDefaults) {
  AppSettings s;
  SettingsLoadResult result = LoadFile(s,
                                       "# Quellscope\r\nShow_Raw:false\r\nWorkDir:C:\\data\\eeg\r\n"
                                       "Defect_Str:n/a\r\nBS_Threshold:2.5\r\nBisp_Dur:5min\r\nCOM_Port:5");
  EXPECT_TRUE(result.fileRead);
  EXPECT_EQ(result.linesRead, 7);  // the last line has no line end
  EXPECT_EQ(result.malformedLine, 0);
  EXPECT_EQ(Dump(s), Expected("Show_Raw=0|WorkDir=C:\\data\\eeg|Defect_Str=n/a|BS_Threshold=2.5|Bisp_Dur=30|"
                              "COM_Port=5"));
  // A malformed line is reported without its line end.
  AppSettings t;
  result = LoadFile(t, "Show_Raw:false\r\nMaxMem:lots\r\nShow_Proc:true\r\n");
  EXPECT_EQ(result.malformedLine, 2);
  EXPECT_EQ(result.malformedText, "MaxMem:lots");
  EXPECT_EQ(Dump(t), Expected("Show_Raw=0"));

  for (const std::string& path : {testing::TempDir() + "qs_no_such_dir/Kvo_V2000.ini", testing::TempDir()}) {
    AppSettings u;
    result = qs::LoadSettings(u, path);
    EXPECT_FALSE(result.fileRead) << path;
    EXPECT_EQ(result.linesRead, 0);
    EXPECT_EQ(Dump(u), kDefaults);
    EXPECT_EQ(qs::DescribeSettingsProblem(result), "");
  }
}

TEST(SettingsFileLines, KeysFieldsCommentsAndRepeats) {
  ExpectRows({
      // Key case is ignored, but the key is neither trimmed nor abbreviated.
      {"show_raw:false\nSHOW_PROC:true\nsynchfastslow?:true\ncom_device:/dev/ttyUSB1",
       "Show_Raw=0|Show_Proc=1|SynchFastSlow=1|COM_Device=/dev/ttyUSB1"},
      {"Show_Raw :false\n Show_Raw:false\n\tShow_Raw:false\nSynchFastSlow:true\nShow_Raws:false\n"
       "Show-Raw:false\nWave_Scale_:abc",
       ""},
      // Colons split like strtok; fewer than two fields is no setting (the
      // last line has no line end, so it is not malformed either).
      {":Show_Raw:false\nShow_Proc:::true\n::Proc_Trend::false::x::y", "Show_Raw=0|Show_Proc=1|Proc_Trend=0"},
      {"Show_Raw\n:::\n\n\r\nWave_Scale:", ""},
      // The value loses blanks and control bytes at both ends (DEL is kept).
      {"Show_Raw: \t false \x01\r\nCOM_Port:  12 \nDefect_Str:\x1f n/a \x7f\n",
       "Show_Raw=0|COM_Port=12|Defect_Str=n/a \x7f"},
      // Only '#' in the first column is a comment.
      {"#Show_Raw:false\n# Show_Raw:false\n #Show_Raw:false\nShow_Raw:false # off", ""},
      // The same key twice: the last accepted value wins.
      {"COM_Port:5\nCOM_Port:7\nBS_Threshold:2\nBS_Threshold:6\nDefect_Str:a\nDefect_Str:b",
       "COM_Port=7|BS_Threshold=2|Defect_Str=b"},
  });
}

// Each accepted value (file text, stored text) after a line that stored
// something else, and each ignored value after every accepted one.
void ExpectKey(const std::string& key, const std::vector<std::pair<std::string, std::string>>& accepted,
               const std::vector<std::string>& ignored) {
  const std::string field = key.substr(0, key.find('?')) + "=";
  std::vector<Row> rows;
  for (const auto& [text, stored] : accepted) {
    const auto other =
        std::find_if(accepted.begin(), accepted.end(), [&](const auto& a) { return a.second != stored; });
    const auto& before = other == accepted.end() ? accepted.front() : *other;
    rows.push_back({key + ":" + before.first + "\n" + key + ":" + text, field + stored});
    for (const std::string& value : ignored)
      rows.push_back({key + ":" + text + "\n" + key + ":" + value, field + stored});
  }
  ExpectRows(rows);
}

TEST(SettingsFileValues, FlagsTakeExactlyTrueOrFalseAndSetOnlyTheirField) {
  for (const char* key : {"Show_Raw", "Show_Proc", "Proc_Trend", "Use_BIS_BSR", "Use_BIS_SEF",
                          "SynchFastSlow?", "Log_BIC", "Log_EMG", "AutoRec", "CommentOnLog", "BicRatio",
                          "pBIC", "Child", "Pow_real", "OptionButton", "mBIC_filter", "SR_PCT", "Test_Mode"})
    ExpectKey(key, {{"true", "1"}, {"false", "0"}},
              {"True", "False", "FALSE", "1", "0", "yes", "true false", "truex", "\"true\""});
}

TEST(SettingsFileValues, NumbersAreStoredOnlyInRange) {
  ExpectKey("Wave_Scale", {{"0.5", "0.5"}, {"1e-3", "0.001"}, {"+5", "5"}, {".5", "0.5"}, {"5.", "5"}},
            {"0", "-4", "1e-50"});  // 1e-50 is a float zero, not malformed
  ExpectKey("Wave_Scale", {{"2.5E-1", "0.25"}, {"1E+1", "10"}, {"007", "7"}, {"3.4e38", "3.4e+38"}}, {});
  ExpectKey("Overshoot_Threshold", {{"50", "50"}, {"49.999999999", "50"}, {"1e3", "1000"}}, {"49", "49.99"});
  ExpectKey("Spike_Threshold", {{"5", "5"}, {"1e1", "10"}}, {"4.9"});
  // 5.99999999 rounds to the float 6.
  ExpectKey("BS_Threshold", {{"5.5", "5.5"}, {"0.001", "0.001"}, {"5.9999", "5.9999"}},
            {"6", "5.99999999", "0", "-0", "-1"});
  ExpectKey("Moving_Average", {{"1", "0"}, {"+2", "1"}}, {"0", "3"});
  ExpectKey("COM_Port", {{"63", "63"}, {"0", "0"}}, {"64", "-1"});
  ExpectKey("MaxMem",
            {{"4", "8"}, {"-2147483648", "8"}, {"9", "9"}, {"0048", "48"}, {"2147483647", "2147483647"}}, {});
}

TEST(SettingsFileValues, ChoicesTextsAndPaths) {
  ExpectKey("Power_Dur", {{"20sec", "2"}, {"30sec", "3"}, {"1min", "6"}}, {"10sec", "2min"});
  ExpectKey("Bisp_Dur", {{"1min", "6"}, {"2min", "12"}, {"3min", "18"}, {"4min", "24"}, {"5min", "30"}},
            {"3 min", "3MIN", "6min", "18"});
  ExpectKey("Amp_Dur", {{"10sec", "1"}, {"20sec", "2"}, {"30sec", "3"}, {"1min", "6"}}, {"2min"});
  ExpectKey("LogInterval", {{"10sec", "1"}, {"20sec", "2"}, {"30sec", "3"}, {"1min", "6"}},
            {"10 sec", "2min"});
  // Only 256 Hz is named: anything else means 128 Hz. An unknown power scale
  // falls back to the smallest.
  ExpectKey("SamplingRate", {{"256", "1"}, {"128", "0"}, {"fast", "0"}}, {});
  ExpectKey("PowerScale",
            {{"5", "0"}, {"10", "1"}, {"20", "2"}, {"50", "3"}, {"100", "4"}, {"7", "0"}, {"\n", "0"}}, {});
  ExpectKey("FigType", {{"BISP", "0"}, {"BIC", "1"}, {"TPR", "2"}}, {"mBIC", "bisp", "MBIC", "2"});
  ExpectRows({
      // mBIC needs OptionButton on an earlier line.
      {"FigType:mBIC\nOptionButton:true", "OptionButton=1"},
      {"OptionButton:true\nFigType:mBIC", "OptionButton=1|FigType=3"},
      {"FigType:TPR\nOptionButton:true\nOptionButton:false\nFigType:mBIC", "FigType=2"},
      {"OptionButton:true\nFigType:TPR\nFigType:MBIC", "OptionButton=1|FigType=2"},
  });
  ExpectKey("Defect_Str",
            {{"NULL", ""}, {"null", "null"}, {"n/a:x", "n/a"}, {"  --  \r\n", "--"}, {"\n", ""}}, {});
  // A drive path arrives split at its colon; a Linux path is absolute.
  ExpectKey("WorkDir",
            {{"C:\\data", "C:\\data"}, {" D : \\eeg cases\\ \r", "D:\\eeg cases\\"}, {" /data \r", "/data"}},
            {"\\\\server\\share", "C:\\a:b", "data/cases", " :\\data", "C"});
  ExpectKey("COM_Device", {{" /dev/pts/3 \r", "/dev/pts/3"}, {"NULL", ""}}, {"ttyUSB0", "COM1", "/dev/a:b"});
}

TEST(SettingsFileMalformed, ANonNumberStopsTheReadingAtItsLine) {
  AppSettings s;
  SettingsLoadResult result =
      Read(s, "Show_Raw:false\nCOM_Port:9\nWave_Scale:abc\nShow_Proc:true\nCOM_Port:10\n");
  EXPECT_EQ(result.linesRead, 3);
  EXPECT_EQ(result.malformedLine, 3);
  EXPECT_EQ(Dump(s), Expected("Show_Raw=0|COM_Port=9"));
  EXPECT_EQ(
      qs::DescribeSettingsProblem(result),
      "Kvo_V2000.ini, line 3: \"Wave_Scale:abc\" is not a number. The settings after this line were not "
      "read; their defaults are used.");

  using Texts = std::vector<std::string>;
  const std::pair<Texts, Texts> kinds[] = {
      {{"Wave_Scale", "Overshoot_Threshold", "spike_threshold", "BS_Threshold"},
       {"abc",   "30 uV", "4 # gain", "5 5", "5abc", "nan", "NaN", "inf", "-infinity", "0x50", "1e999",
        "-1e39", "1,5",   "-",        ".",   "e5",   "1e",  "1e+", "--5", "+-5",       "5..5", ""}},
      {{"Moving_Average", "COM_Port", "maxmem"},
       {"", " \t", "5.0", "0x1f", "+-1", "1e1", "99999999999", "2147483648", "-2147483649", "two", "-"}}};
  for (const auto& [keys, values] : kinds) {
    for (const std::string& key : keys) {
      for (const std::string& value : values) {
        const std::string bad = key + ":" + value;
        SCOPED_TRACE(bad);
        AppSettings t;
        result = Read(t, "Show_Raw:false\n" + bad + "\nShow_Proc:true\n");
        EXPECT_EQ(result.malformedLine, 2);
        EXPECT_EQ(result.malformedText, bad);
        EXPECT_EQ(Dump(t), Expected("Show_Raw=0"));
        EXPECT_NE(qs::DescribeSettingsProblem(result).find("line 2: \""), std::string::npos);
      }
    }
  }
  // The message quotes only printable, bounded text.
  result = Read(s, "Wave_Scale:\tx\x01y\r\n");
  EXPECT_EQ(result.malformedText, "Wave_Scale:\tx\x01y");
  EXPECT_NE(qs::DescribeSettingsProblem(result).find("line 1: \"Wave_Scale:?x?y\" is"), std::string::npos);
  result = Read(s, "Wave_Scale:" + std::string(900, 'x') + "\n");
  EXPECT_EQ(result.malformedText.size(), 911u);
  EXPECT_LT(qs::DescribeSettingsProblem(result).size(), 300u);
}

// A line is what fgets with a 1000-byte buffer returns: at most 999 bytes, and
// a NUL ends its text but not the piece.
TEST(SettingsFilePieces, LinesAreCutAfter999BytesAndAtNul) {
  const std::string comment998 = "#" + std::string(997, 'x');
  const struct {
    std::string text;
    int lines, malformed;
    std::string changes, malformedText;
  } cases[] = {
      {comment998 + "xBS_Threshold:2\n", 2, 0, "BS_Threshold=2"},  // the tail is a line of its own
      {comment998 + "BS_Threshold:2\n", 2, 0, ""},                 // one byte shorter and the key is cut
      {comment998 + "x\nShow_Raw:false\nWave_Scale:x\n", 4, 4, "Show_Raw=0",
       "Wave_Scale:x"},  // the line end is a piece
      {"Defect_Str:" + std::string(2500, 'a') + "\nShow_Raw:false\n", 4, 0,
       "Show_Raw=0|Defect_Str=" + std::string(999 - 11, 'a')},
      {"", 0, 0, ""},
      {"Show_Raw:fal\0se\nShow_Proc:true\0junk\nProc_Trend:false"s, 3, 0, "Show_Proc=1|Proc_Trend=0"},
      {"MaxMem:4\0 hours\nShow_Raw:false\nCOM_Port:x\0yz\n"s, 3, 3, "Show_Raw=0|MaxMem=8", "COM_Port:x"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.text.substr(0, 60)));
    AppSettings s;
    const SettingsLoadResult result = Read(s, c.text);
    EXPECT_EQ(result.linesRead, c.lines);
    EXPECT_EQ(result.malformedLine, c.malformed);
    EXPECT_EQ(result.malformedText, c.malformedText);
    EXPECT_EQ(Dump(s), Expected(c.changes));
  }
}

}  // namespace
