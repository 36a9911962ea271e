// Conversions with the options of a nightly log job, run as a process: the
// pair from named or numbered CSV fields (/cols), gzip input and output,
// a share of failures that fails the run (/maxfail), and progress while
// standard input is read.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "kavrel/platform/files.h"
#include "process_runner.h"
#include "program_folder.h"
#include "test_packages.h"

namespace kavrel::test {
namespace {

// A speed and heading log: its speed and heading look like a latitude and a
// longitude to the designed scan, which stops at the first pair it finds.
const std::string kLogHeader = "id,time,speed,heading,lat,lon\r\n";
const std::string kLogRow = "1,2024-01-01T00:00:00,35.0,135.0,43.068661,141.350755\r\n";
const std::string kSapporo = "北海道札幌市中央区北一条西二丁目";
const std::string kSapporoRecord = "43.068661,141.350755," + kSapporo + "\r\n";

// Two points: one in Sapporo, and one at the speed and heading of kLogRow.
std::string SapporoAndNishiwakiPackage() {
  pack::PackageWriter writer = PointPackage({{43068661, 141350755, 1, 101, 1001}, {35000000, 135000000, 28, 213, 1002}});
  writer.Add("/P/000000.gzbin", NameBlock({{1, u"北海道"}, {28, u"兵庫県"}}));
  writer.Add("/C/000000.gzbin", NameBlock({{101, u"札幌市中央区"}, {213, u"西脇市"}}));
  writer.Add("/S/001000.gzbin", NameBlock({{1001, u"北一条西二丁目"}, {1002, u"大垣内"}}));
  return writer.Serialize();
}

// The gzip bytes of `data` as zlib writes them, in one member.
std::string Gzipped(const std::string& data) { return WrappedDeflate(data, 15 + 16); }

class KavrelConversionOptions : public ProgramFolderTest {
protected:
  void SetUp() override { WriteBytes(WorkPath("log.bin"), SapporoAndNishiwakiPackage()); }

  // Converts `input` (written to in.csv) into out.csv with the log package.
  ProcessResult ConvertLog(const std::string& input, std::vector<std::string> options) {
    WriteBytes(WorkPath("in.csv"), input);
    std::vector<std::string> arguments = {"/in", "in.csv", "/out", "out.csv", "/data", "log.bin"};
    arguments.insert(arguments.end(), options.begin(), options.end());
    return Run(arguments);
  }
  std::string Output() const { return ReadBytes(WorkPath("out.csv")); }
  ProcessResult Shell(const std::string& command, const RunOptions& options = {}) {
    return RunProcess("/bin/sh", {"-c", command}, m_work.Path(), options);
  }
  std::string Program() const { return "'" + s_folder->Program() + "'"; }
};

// --- /cols ---

TEST_F(KavrelConversionOptions, TheDesignedScanTakesTheSpeedAndHeadingOfALog) {
  const ProcessResult result = ConvertLog(kLogHeader + kLogRow, {});
  ASSERT_EQ(result.exitStatus, 0) << result.error;
  EXPECT_EQ(Output(), kLogHeader + "35.000000,135.000000,兵庫県西脇市大垣内\r\n");
}

TEST_F(KavrelConversionOptions, ColsByNameOrNumberAnswersTheLogRowAsSapporo) {
  // A quoted field with a comma before the pair, a field that is not a
  // number, a pair outside the ranges and a swapped pair: only the chosen
  // fields are read, each in its own range.
  const std::string quoted = "2,\"2024-01-01, noon\",35.0,135.0,43.068661,141.350755\r\n";
  const std::string notANumber = "3,2024-01-01T00:00:02,35.0,135.0,x,141.350755\r\n";
  const std::string outside = "4,2024-01-01T00:00:03,35.0,135.0,10.0,141.350755\r\n";
  const std::string swapped = "5,2024-01-01T00:00:04,35.0,135.0,141.350755,43.068661\n";
  const std::string input = kLogHeader + kLogRow + quoted + notANumber + outside + swapped;
  const std::string rowsCopied = notANumber + outside + swapped;
  struct Case {
    std::vector<std::string> options;
    std::string output;
  };
  const std::string json = "{\"lat\":43.068661,\"lon\":141.350755,\"prefecture\":\"北海道\",\"city\":\"札幌市中央区\","
                           "\"area\":\"北一条西二丁目\"}\n";
  const std::string noPair = "{\"error\":\"no coordinate pair in the line\"}\n";
  const std::string kept = ",北海道,札幌市中央区,北一条西二丁目\r\n";
  const Case formats[] = {
      {{}, kLogHeader + kSapporoRecord + kSapporoRecord + rowsCopied},
      {{"/threads", "2"}, kLogHeader + kSapporoRecord + kSapporoRecord + rowsCopied},
      {{"/keep"},
       "id,time,speed,heading,lat,lon,prefecture,city,area\r\n" + kLogRow.substr(0, kLogRow.size() - 2) + kept +
           quoted.substr(0, quoted.size() - 2) + kept + notANumber.substr(0, notANumber.size() - 2) + ",,,\r\n" +
           outside.substr(0, outside.size() - 2) + ",,,\r\n" + swapped.substr(0, swapped.size() - 1) + ",,,\n"},
      {{"/json"}, noPair + json + json + noPair + noPair + noPair},
  };
  for (const char* columns : {"lat,lon", "5,6"}) {
    for (const Case& c : formats) {
      std::vector<std::string> options = {"/cols", columns};
      options.insert(options.end(), c.options.begin(), c.options.end());
      const ProcessResult result = ConvertLog(input, options);
      const std::string name = std::string(columns) + (c.options.empty() ? "" : " " + c.options[0]);
      ASSERT_EQ(result.exitStatus, 0) << name << result.error;
      EXPECT_EQ(Output(), c.output) << name;
      // The header counts neither way; the three rows without a pair fail.
      EXPECT_TRUE(Contains(result.output, "成功2件/失敗3件/")) << name << result.output;
    }
  }
}

TEST_F(KavrelConversionOptions, ColsThroughPipesAndOnAFileWithoutAHeader) {
  WriteBytes(WorkPath("in.csv"), kLogHeader + kLogRow);
  const ProcessResult piped =
      Shell("cat in.csv | " + Program() + " /in - /out - /data log.bin /cols lat,lon > out.csv");
  ASSERT_EQ(piped.exitStatus, 0) << piped.error;
  EXPECT_EQ(Output(), kLogHeader + kSapporoRecord);
  EXPECT_TRUE(Contains(piped.error, "成功1件/失敗0件")) << piped.error;

  // A first line whose fields read as numbers is data, not a header.
  const ProcessResult headless = ConvertLog(kLogRow + kLogRow, {"/cols", "5,6"});
  ASSERT_EQ(headless.exitStatus, 0) << headless.error;
  EXPECT_EQ(Output(), kSapporoRecord + kSapporoRecord);
}

TEST_F(KavrelConversionOptions, ColsThatTheInputDoesNotHaveIsAUsageError) {
  struct Case {
    std::string columns;
    std::string told;
  };
  const Case cases[] = {
      {"lat,longitude", "the longitude column \"longitude\" is not a name in the input's first line"},
      {"5,9", "the longitude field number 9 is beyond the 6 field(s) of the input's first line"},
      {"Lat,lon", "the latitude column \"Lat\""},
  };
  for (const Case& c : cases) {
    const ProcessResult result = ConvertLog(kLogHeader + kLogRow, {"/cols", c.columns});
    ExpectRun(result, 2, kStarted + "引数または設定に誤りがあります");
    EXPECT_TRUE(Contains(result.error, c.told)) << c.columns << ": " << result.error;
    EXPECT_FALSE(platform::FileExists(WorkPath("out.csv"))) << c.columns;
  }
  // A value that is not two fields is refused before anything runs.
  for (const char* columns : {"lat", "0,6", "lat,", "5,6,7"}) {
    const ProcessResult result = ConvertLog(kLogHeader + kLogRow, {"/cols", columns});
    ExpectRun(result, 2, kArgumentError);
    EXPECT_TRUE(Contains(result.error, std::string("unusable value: \"/cols ") + columns + "\"")) << result.error;
  }
}

// --- gzip ---

TEST_F(KavrelConversionOptions, AGzipInputConvertsAsThePlainFileWhateverItsName) {
  std::string plain;
  for (int i = 0; i < 200; ++i) plain += i % 10 == 3 ? "no pair\r\n" : "35.681236,139.767125\r\n";
  WriteBytes(WorkPath("plain.csv"), plain);
  const ProcessResult expected = Run({"/in", "plain.csv", "/out", "plain.out"});
  ASSERT_EQ(expected.exitStatus, 0);
  const std::string half = plain.substr(0, 2001);
  const std::string inputs[] = {Gzipped(plain), Gzipped(half) + Gzipped(plain.substr(half.size())),
                                Gzipped(half) + Gzipped("") + Gzipped(plain.substr(half.size()))};
  for (const std::string& gzip : inputs) {
    WriteBytes(WorkPath("log.csv"), gzip);
    const ProcessResult result = Run({"/in", "log.csv", "/out", "log.out"});
    ASSERT_EQ(result.exitStatus, 0) << result.error;
    EXPECT_EQ(ReadBytes(WorkPath("log.out")), ReadBytes(WorkPath("plain.out")));
    // Progress follows the compressed bytes, up to the last tenth.
    EXPECT_TRUE(Contains(result.output, "\r\n90%完了しました(")) << result.output;
    EXPECT_TRUE(Contains(result.output, "成功180件/失敗20件/")) << result.output;
  }
  // Through a pipe too.
  const ProcessResult piped = Shell("cat log.csv | " + Program() + " /in - /out - > piped.out");
  ASSERT_EQ(piped.exitStatus, 0) << piped.error;
  EXPECT_EQ(ReadBytes(WorkPath("piped.out")), ReadBytes(WorkPath("plain.out")));
}

TEST_F(KavrelConversionOptions, ACutOrDamagedGzipInputFailsTheRun) {
  const std::string gzip = Gzipped(std::string(100, 'x') + "\r\n35.681236,139.767125\r\n");
  std::string damaged = gzip;
  damaged[12] = static_cast<char>(damaged[12] ^ 0x55);
  const struct {
    std::string bytes;
    std::string told;
  } cases[] = {{gzip.substr(0, gzip.size() - 6), "the gzip data ends inside a member"},
               {damaged, "the gzip data is damaged"},
               {gzip + "trailing", "the gzip data is damaged"}};
  // On one thread and on several: the failure is read by one of them.
  for (const char* threads : {"1", "2"}) {
    for (const auto& c : cases) {
      WriteBytes(WorkPath("log.csv"), c.bytes);
      const ProcessResult result = Run({"/in", "log.csv", "/out", "log.out", "/threads", threads});
      EXPECT_EQ(result.exitStatus, 1) << c.told << ", /threads " << threads;
      EXPECT_TRUE(Contains(result.output, "入力ファイルから読み取れません")) << result.output;
      EXPECT_TRUE(Contains(result.error, "cannot read the input file \"log.csv\": " + c.told)) << result.error;
    }
  }
}

TEST_F(KavrelConversionOptions, GzipWritesWhatZcatReadsBackAsThePlainOutput) {
  const std::string input = kLogHeader + kLogRow + "no pair\r\n" + kLogRow;
  ASSERT_EQ(ConvertLog(input, {"/cols", "lat,lon", "/keep"}).exitStatus, 0);
  const std::string plain = Output();
  const ProcessResult gzip = ConvertLog(input, {"/cols", "lat,lon", "/keep", "/gzip"});
  ASSERT_EQ(gzip.exitStatus, 0) << gzip.error;
  EXPECT_NE(Output(), plain);
  const ProcessResult unzipped = Shell("zcat out.csv");
  ASSERT_EQ(unzipped.exitStatus, 0) << unzipped.error;
  EXPECT_EQ(unzipped.output, plain);

  // To standard output, read back by zlib through Python.
  const ProcessResult piped = Shell(Program() + " /in in.csv /out - /data log.bin /cols lat,lon /keep /gzip |"
                                    " /usr/bin/python3 -c 'import sys, zlib; sys.stdout.buffer.write("
                                    "zlib.decompress(sys.stdin.buffer.read(), 31))'");
  ASSERT_EQ(piped.exitStatus, 0) << piped.error;
  EXPECT_EQ(piped.output, plain);
}

// --- /maxfail ---

TEST_F(KavrelConversionOptions, MaxfailFailsTheRunWhenMoreLinesThanItsShareGotNoAnswer) {
  // 20 lines with content, 2 of them without a pair (10%); the header and a
  // blank line are not lines with content.
  std::string input = "lat,lon\r\n\r\n";
  for (int i = 0; i < 20; ++i) input += i % 10 == 4 ? "35.0,no pair\r\n" : "35.681236,139.767125\r\n";
  WriteBytes(WorkPath("in.csv"), input);
  struct Case {
    std::vector<std::string> options;
    int status;
  };
  const Case cases[] = {{{}, 0}, {{"/maxfail", "5"}, 1}, {{"/maxfail", "10"}, 0}, {{"/maxfail", "9.5%"}, 1}};
  for (const Case& c : cases) {
    std::vector<std::string> arguments = {"/in", "in.csv", "/out", "out.csv"};
    arguments.insert(arguments.end(), c.options.begin(), c.options.end());
    const ProcessResult result = Run(arguments);
    const std::string name = c.options.empty() ? "none" : c.options[1];
    EXPECT_EQ(result.exitStatus, c.status) << name << result.error;
    // The whole file is converted either way, and counted as designed.
    EXPECT_TRUE(Contains(result.output, "成功18件/失敗4件/")) << name << result.output;
    const bool told = Contains(result.error, "kavrel: 2 of 20 lines with content got no answer (10.0%), more than /maxfail ");
    EXPECT_EQ(told, c.status == 1) << name << result.error;
  }
  for (const char* percent : {"101", "x", "1e2"}) {
    EXPECT_EQ(Run({"/in", "in.csv", "/out", "out.csv", "/maxfail", percent}).exitStatus, 2) << percent;
  }
}

// --- progress on standard input ---

TEST_F(KavrelConversionOptions, StandardInputShowsLinesAndRateOnStandardErrorWhileDataStaysClean) {
  std::string lines;
  for (int i = 0; i < 50; ++i) lines += "35.681236,139.767125\r\n";
  WriteBytes(WorkPath("in.csv"), lines);
  // The second half comes after the progress interval has passed.
  const ProcessResult result =
      Shell("(cat in.csv; sleep 6; cat in.csv) | " + Program() + " /in - /out - /threads 1 > out.csv");
  ASSERT_EQ(result.exitStatus, 0) << result.error;
  std::string expected;
  for (int i = 0; i < 100; ++i) expected += kConverted;
  EXPECT_EQ(ReadBytes(WorkPath("out.csv")), expected);
  EXPECT_TRUE(Contains(result.error, "kavrel: progress: ")) << result.error;
  EXPECT_TRUE(Contains(result.error, " lines/s\n")) << result.error;
}

}  // namespace
}  // namespace kavrel::test
