// kavrel.exe as Windows users run it: loading kavrelcore.dll from its own
// folder at run time, its texts in the system's ANSI code page, arguments in
// UTF-16, the national package beside it.
#include <windows.h>
#include <zlib.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "kavrel/platform/text.h"
#include "kavrel.h"
#include "kavrelcore.h"
#include "library_text.h"
#include "process_runner.h"
#include "test_support.h"
#include "town_sample.h"

namespace kavrel::test {
namespace {

namespace fs = std::filesystem;

const std::string kVersionText = "norvane reverse geocoder version 1.1\r\nCopyright (C) 2026 norvane\r\n\r\n";
const std::string kStarted = "変換処理を開始しました\r\n";
const std::string kTokyoStation = "東京都千代田区丸の内一丁目";

// The program's text, written in the ANSI code page, as UTF-8.
std::string Decoded(const std::string& console) {
  return platform::Utf16ToUtf8(platform::ConsoleToUtf16(console));
}

// The folder of the built programs, the library and the national package.
std::string ProgramFolder() { return fs::path(KAVREL_PROGRAM_PATH).parent_path().string(); }

ProcessResult RunKavrel(const std::vector<std::string>& arguments, const std::string& workDir) {
  return RunProcess(KAVREL_PROGRAM_PATH, arguments, workDir, RunOptions{});
}

// `data` as one gzip member, or inflated from gzip; empty when it is not gzip.
std::string Gzip(const std::string& data, bool pack) {
  z_stream stream{};
  if ((pack ? deflateInit2(&stream, 1, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) : inflateInit2(&stream, 15 + 16)) !=
      Z_OK) {
    return {};
  }
  std::string out(data.size() * 4 + 64, '\0');
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  stream.avail_in = static_cast<uInt>(data.size());
  stream.next_out = reinterpret_cast<Bytef*>(out.data());
  stream.avail_out = static_cast<uInt>(out.size());
  const int status = pack ? deflate(&stream, Z_FINISH) : inflate(&stream, Z_FINISH);
  out.resize(stream.total_out);
  pack ? deflateEnd(&stream) : inflateEnd(&stream);
  return status == Z_STREAM_END ? out : std::string();
}

class KavrelExe : public testing::Test {
protected:
  void SetUp() override { KAVREL_REQUIRE_NATIONAL_PACKAGE(); }
  TempDir m_work;
};

TEST_F(KavrelExe, VersionHelpAndArgumentErrorTexts) {
  ProcessResult result = RunKavrel({"/version"}, m_work.Path());
  EXPECT_EQ(result.exitStatus, 0);
  EXPECT_EQ(Decoded(result.output), kVersionText);

  result = RunKavrel({"/help"}, m_work.Path());
  EXPECT_EQ(result.exitStatus, 0);
  const std::string usage = kVersionText + "Usage: kavrel.exe [options]\r\n /in (inputfile)";
  EXPECT_EQ(Decoded(result.output).substr(0, usage.size()), usage);

  result = RunKavrel({}, m_work.Path());
  EXPECT_EQ(result.exitStatus, 2);
  EXPECT_EQ(Decoded(result.output), kVersionText + "引数または設定に誤りがあります\r\n\r\n");
}

TEST_F(KavrelExe, SingleLookupOfTokyoStationInTheAnsiCodePage) {
  const ProcessResult result = RunKavrel({"/lat", "35.681236", "/lon", "139.767125"}, m_work.Path());
  EXPECT_EQ(result.exitStatus, 0) << result.error;
  EXPECT_EQ(Decoded(result.output), kTokyoStation);
  // On a Japanese system the bytes are code page 932's.
  if (GetACP() == 932) {
    EXPECT_EQ(result.output, platform::Utf16ToCp932(platform::Utf8ToUtf16(kTokyoStation)));
  }
}

TEST_F(KavrelExe, WithoutTheLibraryBesideItTheEngineFailsToStart) {
  TempDir folder;
  const std::string program = folder / "kavrel.exe";
  fs::copy_file(KAVREL_PROGRAM_PATH, program);
  fs::copy_file(NationalPackagePath(), folder / "kavreldata.bin");
  const ProcessResult result =
      RunProcess(program, {"/lat", "35.681236", "/lon", "139.767125"}, m_work.Path(), RunOptions{});
  EXPECT_EQ(result.exitStatus, 1);
  EXPECT_EQ(Decoded(result.output), "エンジンの初期化に失敗しました");
}

TEST_F(KavrelExe, BatchFailureMessages) {
  ProcessResult result = RunKavrel({"/in", "missing.csv", "/out", "out.csv"}, m_work.Path());
  EXPECT_EQ(result.exitStatus, 1);
  EXPECT_EQ(Decoded(result.output), kStarted + "入力ファイルから読み取れません");

  WriteBytes(m_work / "in.csv", "35.681236,139.767125\r\n");
  result = RunKavrel({"/in", "in.csv", "/out", "no-such-folder\\out.csv"}, m_work.Path());
  EXPECT_EQ(result.exitStatus, 1);
  EXPECT_EQ(Decoded(result.output), kStarted + "出力ファイルに書き込めません");
}

TEST_F(KavrelExe, JapaneseFileNamesConvert) {
  WriteBytes(m_work / "入力.csv", "35.681236,139.767125\r\n");
  const ProcessResult result = RunKavrel({"/in", "入力.csv", "/out", "出力.csv"}, m_work.Path());
  EXPECT_EQ(result.exitStatus, 0) << Decoded(result.output);
  ASSERT_TRUE(fs::exists(fs::u8path(m_work / "出力.csv")));
  EXPECT_EQ(Decoded(ReadBytes(m_work / "出力.csv")), "35.681236,139.767125," + kTokyoStation + "\r\n");
}

// A nightly GPS log: the pair from named or numbered columns with the header
// passed through, a gzip input known by its bytes whatever its name, gzip
// output, and two threads, each giving what the program gives on Linux.
TEST_F(KavrelExe, GpsLogOptions) {
  const std::string log = "time,lat,lon\r\n08:00,35.681236,139.767125\r\n08:01,x,y\r\n08:02,34.702485,135.495951\r\n";
  const std::string expected = "time,lat,lon\r\n35.681236,139.767125," + kTokyoStation +
                               "\r\n08:01,x,y\r\n34.702485,135.495951,大阪府大阪市北区梅田三丁目\r\n";
  WriteBytes(m_work / "log.csv", log);
  WriteBytes(m_work / "log.bin", Gzip(log, true));

  ProcessResult result = RunKavrel({"/in", "log.csv", "/out", "plain.csv", "/cols", "lat,lon"}, m_work.Path());
  EXPECT_EQ(result.exitStatus, 0) << Decoded(result.output);
  EXPECT_EQ(Decoded(ReadBytes(m_work / "plain.csv")), expected);

  result = RunKavrel({"/in", "log.bin", "/out", "packed.gz", "/cols", "2,3", "/gzip", "/threads", "2"}, m_work.Path());
  EXPECT_EQ(result.exitStatus, 0) << Decoded(result.output);
  EXPECT_EQ(Decoded(Gzip(ReadBytes(m_work / "packed.gz"), false)), expected);

  result = RunKavrel({"/in", "log.csv", "/out", "none.csv", "/cols", "lat,speed"}, m_work.Path());
  EXPECT_EQ(result.exitStatus, 2);
  EXPECT_NE(result.error.find("speed"), std::string::npos) << result.error;
}

// 100,000 lines near real towns: every output line holds the address that
// the library, asked directly, gives for its pair.
TEST_F(KavrelExe, ConvertsNationalLinesAsTheLibraryAnswers) {
  constexpr std::size_t kLineCount = 100000;
  const std::string input = m_work / "towns.csv";
  WriteTownSampleInput(TownsCsvPath(), input, kLineCount, 20260107);
  const ProcessResult result = RunKavrel({"/in", input, "/out", m_work / "addresses.csv"}, ProgramFolder());
  ASSERT_EQ(result.exitStatus, 0) << Decoded(result.output);
  const std::string console = Decoded(result.output);
  EXPECT_EQ(console.rfind(kStarted, 0), 0u) << console;
  EXPECT_NE(console.find("90%完了しました("), std::string::npos) << console;

  ASSERT_EQ(Initialize(LibraryText(platform::Utf8ToUtf16(NationalPackagePath())).c_str()), KAVREL_OK);
  ASSERT_EQ(PreloadData(), KAVREL_OK);
  SetStep(KAVREL_DEFAULT_STEP, KAVREL_DEFAULT_WIDTH);
  SetSeparator(nullptr);
  std::istringstream in(ReadBytes(input));
  std::istringstream out(ReadBytes(m_work / "addresses.csv"));
  std::string inLine, outLine;
  std::size_t lines = 0, found = 0;
  while (std::getline(in, inLine)) {
    ASSERT_TRUE(std::getline(out, outLine)) << "output ends after " << lines << " lines";
    ++lines;
    double latitude = 0, longitude = 0;
    ASSERT_EQ(std::sscanf(inLine.c_str(), "%lf,%lf", &latitude, &longitude), 2) << inLine;
    kavrel_char buffer[512];
    std::uint32_t length = 512;
    // The pair, six decimals as given, and the address or nothing.
    std::string expected = inLine.substr(0, inLine.size() - 1) + ",";
    if (ReverseGeocoding(latitude, longitude, buffer, &length, nullptr) == KAVREL_OK) {
      expected += platform::Utf16ToUtf8(Utf16Text(buffer));
      ++found;
    }
    ASSERT_EQ(Decoded(outLine), expected + "\r") << "line " << lines;
  }
  EXPECT_EQ(lines, kLineCount);
  EXPECT_GE(found, kLineCount * 99 / 100);
  Cleanup();
}

}  // namespace
}  // namespace kavrel::test
