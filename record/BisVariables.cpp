#include "record/BisVariables.h"

namespace qs {
namespace {

void Revision(TextLine& line, std::int8_t major, std::int8_t minor) {
  line.Int(major).Char('.').Int(minor, 2);  // "%1d.%02d"
}

}  // namespace

void WriteBisVariablesHeader(DataFile& file, const ParsedRecordHeader& h, bool srPct) {
  TextLine line;
  line.Text("System revision, ");
  Revision(line, h.revision[0], h.revision[1]);
  line.Text(", Host revision, ");
  Revision(line, h.revision[2], h.revision[3]);
  line.Text(",BIS Engine revision, ");
  Revision(line, h.revision[4], h.revision[5]);
  line.Text(", Serial Protocol revision, ");
  Revision(line, h.revision[6], h.revision[7]);
  line.EndLine();
  line.Text(srPct ? "Time,BIS,SEF95,Sr_BIS(%),EMGlow,BIS_SQI,ARTF2,BISBIT" : "Time,BIS,SEF95,Sr_BIS,EMGlow,BIS_SQI,ARTF2,BISBIT");
  line.EndLine();
  file.Write(line.Data(), line.Size());
}

void FormatBisVariablesLine(TextLine& line, std::uint32_t clockSec, const ChannelVariables& v, bool srPct) {
  line.Clear();
  line.Clock(clockSec).Char(',');
  if (v.bis >= 0) line.Fixed(v.bis * 0.1, 1, 4);
  line.Char(',');
  line.Fixed(v.sef * 0.01, 2, 4).Char(',');
  if (srPct) {
    line.Fixed(v.bsr * 0.1, 1, 4);
  } else {
    line.Fixed(v.bsr * 0.001, 3, 4);
  }
  line.Char(',').Fixed(v.emgLow * 0.01, 2, 4).Char(',');
  line.Fixed(v.sqi * 0.1, 1, 4).Char(',');
  line.Hex(v.artifactFlags, 8).Char(',').Hex(v.bisBits, 4).EndLine();
}

}  // namespace qs
