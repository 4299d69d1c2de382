// Tests of the settings file reader: what each key accepts and ignores, where a
// line starts and ends, when reading stops, and that no input can leave a field
// outside the values the rest of the program relies on.
#include <gtest/gtest.h>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "config/SettingsFile.h"

namespace qs {
namespace {

using namespace std::string_literals;

SettingsLoadResult Read(AppSettings& settings, const std::string& text) {
  std::istringstream in(text);
  return ReadSettings(settings, in);
}

// The result as "[file ]lines read, malformed line:its text".
std::string Result(const SettingsLoadResult& r) {
  return (r.fileRead ? "file " : "") + std::to_string(r.linesRead) + " " + std::to_string(r.malformedLine) +
         ":" + r.malformedText;
}

// A float as the shortest text that reads back as the same float.
template <class T>
std::string Text(const Relaxed<T>& v) {
  char buffer[32];
  return std::string(buffer, std::to_chars(buffer, std::end(buffer), +v.load()).ptr);
}
std::string Text(const std::string& v) {
  return v;
}

// Every field as "\nName=value", so that "nothing else changed" is one
// comparison with a readable difference.
std::string Dump(const AppSettings& s) {
  std::string out;
#define D(field) out += "\n" #field "=" + Text(s.field)
  D(Wave_Scale), D(Moving_Average), D(Overshoot_Threshold), D(Spike_Threshold), D(BS_Threshold), D(Show_Raw),
      D(Show_Proc), D(Defect_Str), D(WorkDir), D(Proc_Trend), D(COM_Port), D(Use_BIS_BSR), D(Use_BIS_SEF),
      D(SynchFastSlow), D(Power_Dur), D(Bisp_Dur), D(Amp_Dur), D(MaxMem), D(LogInterval), D(Log_BIC),
      D(Log_EMG), D(AutoRec), D(CommentOnLog), D(BicRatio), D(pBIC), D(Child), D(Pow_real), D(OptionButton),
      D(mBIC_filter), D(SamplingRate), D(PowerScale), D(FigType), D(SR_PCT), D(Test_Mode), D(COM_Device),
      // Set only by the settings windows: the file must never touch them.
      D(UseProcessedWave), D(GrayScale), D(CalcOnly), D(WaveScaleIndex), D(ReplayIntervalMs), D(SefFraction),
      D(EegChannel);
#undef D
  return out;
}

const std::string kDefaults = Dump(AppSettings{});

// The dump of the defaults with the changes "Name=value|Name=value" made.
std::string Expected(const std::string& changes) {
  std::string dump = kDefaults;
  std::istringstream in(changes);
  for (std::string change; std::getline(in, change, '|');) {
    const std::size_t at = dump.find("\n" + change.substr(0, change.find('=') + 1));
    EXPECT_NE(at, std::string::npos) << "no such field: " << change;
    if (at != std::string::npos) dump.replace(at + 1, dump.find('\n', at + 1) - at - 1, change);
  }
  return dump;
}

// File text read into fresh defaults, and the fields it changes.
using Row = std::pair<std::string, std::string>;
using Texts = std::vector<std::string>;

void ExpectRows(const std::vector<Row>& rows) {
  for (const auto& [text, changes] : rows) {
    AppSettings s;
    EXPECT_EQ(Read(s, text).malformedLine, 0) << testing::PrintToString(text);
    EXPECT_EQ(Dump(s), Expected(changes)) << testing::PrintToString(text);
  }
}

SettingsLoadResult LoadFile(AppSettings& s, const std::string& bytes) {
  const std::string path = testing::TempDir() + "qs_SettingsFileLoad.ini";
  std::ofstream(path, std::ios::binary) << bytes;
  const SettingsLoadResult result = LoadSettings(s, path);
  std::remove(path.c_str());
  return result;
}

TEST(SettingsFileLoad, ReadsCrLfFilesAndAMissingFileKeepsTheDefaults) {
  AppSettings s, t;
  // The last line has no line end.
  const std::string text =
      "# Quellscope\r\nShow_Raw:false\r\nWorkDir:C:\\data\\eeg\r\n"
      "Defect_Str:n/a\r\nBS_Threshold:2.5\r\nBisp_Dur:5min\r\nCOM_Port:5";
  EXPECT_EQ(Result(LoadFile(s, text)), "file 7 0:");
  EXPECT_EQ(Dump(s), Expected("Show_Raw=0|WorkDir=C:\\data\\eeg|Defect_Str=n/a|BS_Threshold=2.5|Bisp_Dur=30|"
                              "COM_Port=5"));
  // A malformed line is reported without its line end.
  EXPECT_EQ(Result(LoadFile(t, "Show_Raw:false\r\nMaxMem:lots\r\nShow_Proc:true\r\n")),
            "file 2 2:MaxMem:lots");
  EXPECT_EQ(Dump(t), Expected("Show_Raw=0"));

  for (const std::string& path : {testing::TempDir() + "qs_no_such_dir/Kvo_V2000.ini", testing::TempDir()}) {
    AppSettings u;
    const SettingsLoadResult result = LoadSettings(u, path);
    EXPECT_EQ(Result(result) + DescribeSettingsProblem(result), "0 0:") << path;
    EXPECT_EQ(Dump(u), kDefaults);
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
void ExpectKey(const std::string& key, const std::vector<Row>& accepted, const Texts& ignored) {
  std::vector<Row> rows;
  for (const auto& [text, stored] : accepted) {
    const auto other = std::ranges::find_if(accepted, [&](const Row& a) { return a.second != stored; });
    const std::string field = key.substr(0, key.find('?')) + "=" + stored, line = "\n" + key + ":";
    rows.push_back({line + (other == accepted.end() ? accepted.front() : *other).first + line + text, field});
    for (const std::string& value : ignored) rows.push_back({line + text + line + value, field});
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
  ExpectKey("Wave_Scale",
            {{"0.5", "0.5"},
             {"1e-3", "0.001"},
             {"+5", "5"},
             {".5", "0.5"},
             {"5.", "5"},
             {"2.5E-1", "0.25"},
             {"1E+1", "10"},
             {"007", "7"},
             {"3.4e38", "3.4e+38"}},
            {"0", "-4", "1e-50"});  // 1e-50 is a float zero, not malformed
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

// A value of a numeric key that is not a number stops the reading at its line;
// the message quotes only printable, bounded text.
TEST(SettingsFileMalformed, ANonNumberStopsTheReadingAtItsLine) {
  const std::pair<Texts, Texts> kinds[] = {
      {{"Wave_Scale", "Overshoot_Threshold", "spike_threshold", "BS_Threshold"},
       {"abc",   "30 uV", "4 # gain", "5 5", "5abc", "nan", "NaN", "inf", "-infinity", "0x50", "1e999",
        "-1e39", "1,5",   "-",        ".",   "e5",   "1e",  "1e+", "--5", "+-5",       "5..5", ""}},
      {{"Moving_Average", "COM_Port", "maxmem"},
       {"", " \t", "5.0", "0x1f", "+-1", "1e1", "99999999999", "2147483648", "-2147483649", "two", "-"}}};
  for (const auto& [keys, values] : kinds)
    for (const std::string& key : keys)
      for (const std::string& value : values) {
        AppSettings t;
        EXPECT_EQ(Result(Read(t, "Show_Raw:false\n" + key + ":" + value + "\nShow_Proc:true\n")),
                  "2 2:" + key + ":" + value);
        EXPECT_EQ(Dump(t), Expected("Show_Raw=0")) << key << ":" << value;
      }
  AppSettings s;
  SettingsLoadResult result = Read(s, "Wave_Scale:\tx\x01y\r\n");
  EXPECT_EQ(result.malformedText, "Wave_Scale:\tx\x01y");
  EXPECT_EQ(DescribeSettingsProblem(result),
            "Kvo_V2000.ini, line 1: \"Wave_Scale:?x?y\" is not a number. "
            "The settings after this line were not read; their defaults are used.");
  result = Read(s, "Wave_Scale:" + std::string(900, 'x') + "\n");
  EXPECT_EQ(result.malformedText.size(), 911u);
  EXPECT_LT(DescribeSettingsProblem(result).size(), 300u);
}

// A line is what fgets with a 1000-byte buffer returns: at most 999 bytes, and
// a NUL ends its text but not the piece. Nothing after a malformed line is read.
TEST(SettingsFilePieces, LinesAreCutAfter999BytesAndAtNul) {
  const std::string comment998 = "#" + std::string(997, 'x');
  // The tail of a long line is a line of its own; one byte shorter and the key
  // is cut; the line end can be a piece too.
  const std::tuple<std::string, std::string, std::string> cases[] = {
      {comment998 + "xBS_Threshold:2\n", "2 0:", "BS_Threshold=2"},
      {comment998 + "BS_Threshold:2\n", "2 0:", ""},
      {comment998 + "x\nShow_Raw:false\nWave_Scale:x\n", "4 4:Wave_Scale:x", "Show_Raw=0"},
      {"Defect_Str:" + std::string(2500, 'a') + "\nShow_Raw:false\n",
       "4 0:", "Show_Raw=0|Defect_Str=" + std::string(999 - 11, 'a')},
      {"", "0 0:", ""},
      {"Show_Raw:fal\0se\nShow_Proc:true\0junk\nProc_Trend:false"s, "3 0:", "Show_Proc=1|Proc_Trend=0"},
      {"MaxMem:4\0 hours\nShow_Raw:false\nCOM_Port:x\0yz\n"s, "3 3:COM_Port:x", "Show_Raw=0|MaxMem=8"},
      {"Show_Raw:false\nCOM_Port:9\nWave_Scale:abc\nShow_Proc:true\nCOM_Port:10\n", "3 3:Wave_Scale:abc",
       "Show_Raw=0|COM_Port=9"}};
  for (const auto& [text, result, changes] : cases) {
    AppSettings s;
    EXPECT_EQ(Result(Read(s, text)), result) << testing::PrintToString(text.substr(0, 60));
    EXPECT_EQ(Dump(s), Expected(changes)) << testing::PrintToString(text.substr(0, 60));
  }
}

}  // namespace
}  // namespace qs
