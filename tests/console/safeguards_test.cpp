// The program as a process, where a careless run or a bad input would lose
// data, give a silently wrong answer or fail without saying why. Console
// text is UTF-8 (C locale) unless a test says otherwise.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "fifo.h"
#include "kavrel/platform/files.h"
#include "kavrel/platform/library.h"
#include "process_runner.h"
#include "program_folder.h"

namespace kavrel::test {
namespace {

const std::string kOutputUnwritable = "出力ファイルに書き込めません";

class KavrelSafeguards : public ProgramFolderTest {};

// --- Data loss ---

TEST_F(KavrelSafeguards, AnOutputThatIsTheInputOrThePackageIsRefusedUntouched) {
  namespace fs = std::filesystem;
  const std::string input = "35.681236,139.767125\r\n";
  WriteBytes(WorkPath("in.csv"), input);
  fs::create_hard_link(WorkPath("in.csv"), WorkPath("hard.csv"));
  fs::create_symlink(WorkPath("in.csv"), WorkPath("soft.csv"));
  const std::string package = ReadBytes(s_folder->Path("kavreldata.bin"));
  fs::create_symlink(s_folder->Path("kavreldata.bin"), WorkPath("package-link.bin"));
  struct Case {
    std::string output;
    std::string why;
  };
  const Case cases[] = {
      {"in.csv", "is the input file"},
      {"./in.csv", "is the input file"},
      {"hard.csv", "is the input file"},
      {"soft.csv", "is the input file"},
      {s_folder->Path("kavreldata.bin"), "is the data package"},
      {"package-link.bin", "is the data package"},
  };
  for (const Case& c : cases) {
    const ProcessResult result = Run({"/in", "in.csv", "/out", c.output});
    ExpectRun(result, 1, kStarted + kOutputUnwritable);
    EXPECT_TRUE(Contains(result.error, c.why)) << c.output << ": " << result.error;
    EXPECT_EQ(ReadBytes(WorkPath("in.csv")), input) << c.output;
    EXPECT_EQ(ReadBytes(s_folder->Path("kavreldata.bin")), package) << c.output;
  }
}

TEST_F(KavrelSafeguards, StandardInputOrOutputThatIsTheOtherFileIsRefusedUntouched) {
  const std::string input = "35.681236,139.767125\r\n";
  const std::string package = ReadBytes(s_folder->Path("kavreldata.bin"));
  struct Case {
    std::vector<std::string> arguments;
    bool inputFromFile;     // standard input is in.csv
    std::string appendTo;   // standard output is appended to this file, when not empty
    std::string told;
  };
  const Case cases[] = {
      {{"/in", "-", "/out", "in.csv"}, true, "", "the output file \"in.csv\" is standard input"},
      {{"/in", "-", "/out", "in.csv", "/keep", "/threads", "2"}, true, "", "\"in.csv\" is standard input"},
      {{"/in", "in.csv", "/out", "-"}, false, "in.csv", "standard output is the input file \"in.csv\""},
      {{"/in", "-", "/out", "-"}, true, "in.csv", "standard output is standard input"},
      {{"/in", "in.csv", "/out", "-", "/json"}, false, s_folder->Path("kavreldata.bin"),
       "standard output is the data package"},
  };
  for (const Case& c : cases) {
    WriteBytes(WorkPath("in.csv"), input);
    RunOptions options;
    if (c.inputFromFile) options.standardInputFile = WorkPath("in.csv");
    if (!c.appendTo.empty()) {
      options.standardOutputFile = c.appendTo == "in.csv" ? WorkPath("in.csv") : c.appendTo;
      options.appendToOutputFile = true;
    }
    const ProcessResult result = Run(c.arguments, options);
    ASSERT_TRUE(result.exited);
    EXPECT_EQ(result.exitStatus, 1) << c.told;
    EXPECT_TRUE(Contains(result.error, c.told)) << result.error;
    EXPECT_TRUE(Contains(result.error, "nothing was written")) << result.error;
    EXPECT_EQ(ReadBytes(WorkPath("in.csv")), input) << c.told;
    EXPECT_EQ(ReadBytes(s_folder->Path("kavreldata.bin")), package) << c.told;
  }
  // Other files on standard input and output convert as ever.
  RunOptions options;
  options.standardInputFile = WorkPath("in.csv");
  options.standardOutputFile = WorkPath("out.csv");
  const ProcessResult result = Run({"/in", "-", "/out", "-"}, options);
  EXPECT_EQ(result.exitStatus, 0) << result.error;
  EXPECT_EQ(ReadBytes(WorkPath("out.csv")), kConverted);
}

TEST_F(KavrelSafeguards, AnOutputAnotherWriterHoldsIsRefusedUntouched) {
  WriteBytes(WorkPath("in.csv"), "35.681236,139.767125\r\n");
  WriteBytes(WorkPath("out.csv"), "being written\n");
  // What a running conversion holds on its output.
  const int held = ::open(WorkPath("out.csv").c_str(), O_WRONLY);
  ASSERT_GE(held, 0);
  ASSERT_EQ(::flock(held, LOCK_EX | LOCK_NB), 0);
  for (const char* extra : {"/sep", "/keep"}) {
    std::vector<std::string> arguments = {"/in", "in.csv", "/out", "out.csv", extra};
    if (extra == std::string("/sep")) arguments.push_back(" ");
    const ProcessResult result = Run(arguments);
    ExpectRun(result, 1, kStarted + kOutputUnwritable);
    EXPECT_TRUE(Contains(result.error, "the output file \"out.csv\" is being written by another program"))
        << result.error;
    EXPECT_EQ(ReadBytes(WorkPath("out.csv")), "being written\n");
  }
  ::close(held);
  EXPECT_EQ(Run({"/in", "in.csv", "/out", "out.csv"}).exitStatus, 0);
  EXPECT_EQ(ReadBytes(WorkPath("out.csv")), kConverted);
}

TEST_F(KavrelSafeguards, EveryInputLineGivesOneOutputLineNulBytesIncluded) {
  const std::string input("no pair\0 cut\r\n\0starts with NUL\n35.681236,139.767125\r\n\0", 54);
  WriteBytes(WorkPath("in.csv"), input);
  const ProcessResult result = Run({"/in", "in.csv", "/out", "out.csv"});
  ASSERT_TRUE(Contains(result.output, "成功1件/失敗3件")) << result.output;
  EXPECT_EQ(ReadBytes(WorkPath("out.csv")), "no pair\r\n\n" + kConverted);
}

TEST_F(KavrelSafeguards, WhatStandardOutputDoesNotTakeFailsTheRun) {
  if (!platform::FileExists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  WriteBytes(WorkPath("in.csv"), "35.681236,139.767125\r\n");
  WriteBytes(WorkPath("points.csv"), "latitude,longitude,prefecture,city,area\n35.681236,139.767125,東京都,千代田区,丸の内一丁目\n");
  const std::string package = s_folder->Path("kavreldata.bin");
  const std::string kFull = "cannot write to standard output: No space left on device";
  const std::string kClosed = "standard output is closed";
  struct Case {
    bool pack;  // kavrel-pack rather than kavrel
    std::vector<std::string> arguments;
    bool closed;  // standard output closed (>&-) rather than /dev/full
    std::string told;
  };
  const Case cases[] = {
      {false, {"/version"}, false, kFull},
      {false, {"/help"}, false, kFull},
      {false, {"--help"}, false, kFull},
      {false, {"/package"}, false, kFull},
      {false, {"/lat", "35.681236", "/lon", "139.767125"}, false, kFull},
      {false, {"/in", "in.csv", "/out", "-"}, false, "cannot write the output file \"-\": No space left on device"},
      {false, {"/in", "in.csv", "/out", "-"}, true, kClosed},
      {false, {"/version"}, true, kClosed},
      {false, {"/lat", "35.681236", "/lon", "139.767125"}, true, kClosed},
      {true, {"list", package}, false, "kavrel-pack: cannot write to standard output"},
      {true, {"verify", package}, false, "kavrel-pack: cannot write to standard output"},
      {true, {"build", "points.csv", "-o", "built.bin"}, false, "kavrel-pack: " + kFull},
      {true, {"--help"}, false, "kavrel-pack: " + kFull},
      {true, {"verify", package}, true, "kavrel-pack: cannot write to standard output: Bad file descriptor"},
  };
  for (const Case& c : cases) {
    RunOptions options;
    if (c.closed) {
      options.mode = StandardOutput::kClosed;
    } else {
      options.standardOutputFile = "/dev/full";
    }
    const ProcessResult result =
        c.pack ? RunProcess(KAVREL_PACK_PATH, c.arguments, m_work.Path(), options) : Run(c.arguments, options);
    ASSERT_TRUE(result.exited) << c.arguments[0];
    EXPECT_EQ(result.exitStatus, 1) << c.arguments[0] << (c.closed ? " closed" : " full");
    EXPECT_TRUE(Contains(result.error, c.told)) << c.arguments[0] << ": " << result.error;
  }
  // Nothing of the conversion went to the null device in standard output's place.
  RunOptions closed;
  closed.mode = StandardOutput::kClosed;
  EXPECT_EQ(Run({"/in", "in.csv", "/out", "-"}, closed).error,
            "出力ファイルに書き込めませんkavrel: standard output is closed: there is nowhere to write the "
            "conversion to\n");
}

// --- Silently wrong answers ---

TEST_F(KavrelSafeguards, ANumberWithAMinusSignIsNoCoordinate) {
  WriteBytes(WorkPath("in.csv"), "-35.681236,-139.767125\r\n35.681236-139.767125\r\n");
  const ProcessResult result = Run({"/in", "in.csv", "/out", "out.csv"});
  EXPECT_TRUE(Contains(result.output, "成功1件/失敗1件")) << result.output;
  EXPECT_EQ(ReadBytes(WorkPath("out.csv")), "-35.681236,-139.767125\r\n" + kConverted);
}

// Far beyond +-90 and +-180 degrees a microdegree key wraps around 2^32 to
// Tokyo Station's (latitude 4330.648532 reads as 35.681236, longitude
// 4434.734421 as 139.767125); the lookups through the library's handle give
// no address for it.
TEST_F(KavrelSafeguards, ACoordinateFarOutOfRangeFindsNoAddress) {
  const std::vector<std::string> places[] = {{"/lat", "4330.648532", "/lon", "139.767125"},
                                             {"/lat", "35.681236", "/lon", "4434.734421"}};
  for (const std::vector<std::string>& place : places) {
    for (const char* option : {"/dist", "/json", "/nearest"}) {
      std::vector<std::string> arguments = place;
      arguments.push_back(option);
      const ProcessResult result = Run(arguments);
      ExpectRun(result, 1, "");
      EXPECT_TRUE(Contains(result.error, "no address for")) << place[1] << " " << option << ": " << result.error;
    }
  }
}

TEST_F(KavrelSafeguards, ANumberEndingInSouthOrWestIsNoCoordinate) {
  // The batch line is copied unchanged and counts as failed.
  WriteBytes(WorkPath("in.csv"), "35.681236S,139.767125W\r\n35.681236,139.767125w\r\n35.681236N,139.767125E\r\n");
  const ProcessResult batch = Run({"/in", "in.csv", "/out", "out.csv"});
  EXPECT_TRUE(Contains(batch.output, "成功1件/失敗2件")) << batch.output;
  EXPECT_EQ(ReadBytes(WorkPath("out.csv")),
            "35.681236S,139.767125W\r\n35.681236,139.767125w\r\n" + kConverted);
  // The single lookup finds no address, with the point it read.
  struct Case {
    std::vector<std::string> arguments;
    std::string told;
  };
  const Case cases[] = {
      {{"/lat", "35.681236S", "/lon", "139.767125"}, "no address for 0.000000,139.767125"},
      {{"/lat", "35.681236", "/lon", "139.767125W"}, "no address for 35.681236,0.000000"},
      {{"/lat", "35.40.52.45s", "/lon", "139.767125", "/json"}, "no address for 0.000000,139.767125"},
  };
  for (const Case& c : cases) {
    const ProcessResult result = Run(c.arguments);
    ExpectRun(result, 1, "");
    EXPECT_TRUE(Contains(result.error, "names a place south of the equator or west of Greenwich")) << result.error;
    EXPECT_TRUE(Contains(result.error, c.told)) << result.error;
  }
}

TEST(KavrelNamesFromElsewhere, ControlCharactersInNamesAreShownAsQuestionMarks) {
  // Names as a package built elsewhere may hold them: an escape sequence,
  // a line break, DEL and a tab.
  pack::PackageWriter writer = PointPackage({{35681236, 139767125, 13, 101, 1234}});
  writer.Add("/P/000000.gzbin", NameBlock({{13, u"東\x1b[31m京都"}}));
  writer.Add("/C/000000.gzbin", NameBlock({{101, u"千代\r\n田区"}}));
  writer.Add("/S/001000.gzbin", NameBlock({{1234, u"丸の内\x7f一\t丁目"}}));
  ProgramFolder folder(true, true);
  WriteBytes(folder.Path("kavreldata.bin"), writer.Serialize());
  TempDir work;
  WriteBytes(work / "in.csv", "35.681236,139.767125\r\nno pair\r\n");
  const std::string address = "東?[31m京都千代??田区丸の内?一?丁目";
  const std::string tabbed = "東?[31m京都\t千代??田区\t丸の内?一\t丁目";
  struct Case {
    std::vector<std::string> arguments;
    std::string output;  // on standard output, or in out.csv when empty
    std::string written;
  };
  const Case cases[] = {
      {{"/lat", "35.681236", "/lon", "139.767125"}, address, ""},
      {{"/lat", "35.681236", "/lon", "139.767125", "/sep", "\t"}, tabbed, ""},
      {{"/lat", "35.681236", "/lon", "139.767125", "/dist"}, address + ",0.0", ""},
      {{"/in", "in.csv", "/out", "out.csv"}, "", "35.681236,139.767125," + address + "\r\nno pair\r\n"},
      {{"/in", "in.csv", "/out", "out.csv", "/threads", "2"}, "", "35.681236,139.767125," + address + "\r\nno pair\r\n"},
  };
  for (const Case& c : cases) {
    const ProcessResult result = RunProcess(folder.Program(), c.arguments, work.Path(), RunOptions{});
    ASSERT_TRUE(result.exited);
    EXPECT_EQ(result.exitStatus, 0) << c.arguments[0] << ": " << result.error;
    if (c.written.empty()) {
      EXPECT_EQ(result.output, c.output) << c.arguments.back();
    } else {
      EXPECT_EQ(ReadBytes(work / "out.csv"), c.written) << c.arguments.back();
    }
  }
}

TEST_F(KavrelSafeguards, AValueThatDoesNotReadWholeIsUsedAsDesignedWithAWarning) {
  struct Case {
    std::vector<std::string> arguments;
    int status;
    std::string output;
    std::vector<std::string> warnings;  // empty: no warning at all
  };
  const Case cases[] = {
      {{"/lat", "35,68", "/lon", "139,76"}, 1, "",
       {"warning: /lat \"35,68\" does not read whole as a number; 35.000000 is used",
        "warning: /lon \"139,76\" does not read whole as a number; 139.000000 is used"}},
      {{"/lat", "35.681236", "/lon", "139.767125", "/step", "50abc", "/width", "x"}, 0, kTokyoStation,
       {"warning: /step \"50abc\" does not read whole as a number; 50 is used",
        "warning: /width \"x\" does not read whole as a number; 3000 is used"}},
      {{"/lat", "35.40.52.45.99", "/lon", "139.767125"}, 0, kTokyoStation,
       {"/lat \"35.40.52.45.99\" does not read whole"}},
      // What reads whole, a hemisphere letter at the end included, says nothing.
      {{"/lat", "35.681236N", "/lon", "139.46.1.65E", "/step", "50"}, 0, kTokyoStation, {}},
  };
  for (const Case& c : cases) {
    const ProcessResult result = Run(c.arguments);
    ExpectRun(result, c.status, c.output);
    for (const std::string& warning : c.warnings) {
      EXPECT_TRUE(Contains(result.error, warning)) << c.arguments[1] << ": " << result.error;
    }
    if (c.warnings.empty()) {
      EXPECT_FALSE(Contains(result.error, "warning")) << result.error;
    }
  }
}

TEST_F(KavrelSafeguards, LinesCutShortByALoneCarriageReturnAreCounted) {
  struct Case {
    std::string input;
    std::string message;  // empty: none
  };
  const Case cases[] = {
      {"35.681236,139.767125\r35.681236,139.767125\r35.681236,139.767125\r", "kavrel: 1 line(s)"},
      {"a\rb\r\nc\rd\n35.681236,139.767125\r\n", "kavrel: 2 line(s)"},
      {"35.681236,139.767125\r\n35.681236,139.767125\r\r\n", ""},
  };
  for (const Case& c : cases) {
    WriteBytes(WorkPath("in.csv"), c.input);
    const ProcessResult result = Run({"/in", "in.csv", "/out", "out.csv"});
    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_EQ(Contains(result.error, "carriage return without a line feed"), !c.message.empty())
        << result.error;
    if (!c.message.empty()) {
      EXPECT_TRUE(Contains(result.error, c.message)) << result.error;
    }
  }
}

TEST_F(KavrelSafeguards, ACodesetWithoutJapaneseIsToldOnce) {
  // A locale of its own, since the machine may have none with that codeset.
  const std::string locales = WorkPath("locales");
  std::filesystem::create_directory(locales);
  const std::string make = "localedef -i en_US -f ISO-8859-1 '" + locales +
                           "/en_US.ISO-8859-1' >/dev/null 2>&1";
  if (std::system(make.c_str()) != 0) GTEST_SKIP() << "localedef cannot make an ISO-8859-1 locale";
  RunOptions latin1;
  latin1.locale = "en_US.ISO-8859-1";
  latin1.localePath = locales;
  const ProcessResult result = Run({"/lat", "35.681236", "/lon", "139.767125"}, latin1);
  ExpectRun(result, 0, std::string(13, '?'));  // the designed output stays
  EXPECT_TRUE(Contains(result.error, "codeset ISO-8859-1 cannot write Japanese")) << result.error;
  EXPECT_EQ(result.error.find('\n'), result.error.size() - 1) << result.error;  // one line

  EXPECT_EQ(Run({"/lat", "35.681236", "/lon", "139.767125"}).error, "");  // UTF-8: nothing to say
}

TEST_F(KavrelSafeguards, FileNamesAreBytesPassedThroughUnchanged) {
  const std::string input = "\x93\x8c\x8b\x9e.csv";  // not UTF-8
  const std::string output = "\x93\x8c\x8b\x9e-\xff.csv";
  WriteBytes(WorkPath(input), "35.681236,139.767125\r\n");
  const ProcessResult result = Run({"/in", input, "/out", output});
  EXPECT_EQ(result.exitStatus, 0) << result.output << result.error;
  EXPECT_EQ(ReadBytes(WorkPath(output)), kConverted);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(m_work.Path()),
                          std::filesystem::directory_iterator()),
            2);
}

// --- Clear errors ---

TEST(KavrelFailureReports, EachFailureSaysWhatWhichFileAndWhy) {
  struct Case {
    const char* what;
    bool withLibrary;
    bool withPackage;
    const char* packageBytes;  // written over the package when not null
    std::vector<std::string> arguments;
    std::vector<std::string> told;  // parts of the one line on standard error
  };
  const Case cases[] = {
      {"missing library", false, true, nullptr, {"/lat", "35.681236", "/lon", "139.767125"},
       {"cannot load the engine library libkavrelcore.so", "No such file"}},
      {"missing package", true, false, nullptr, {"/in", "in.csv", "/out", "out.csv"},
       {"no data package: looked for", "/work/kavreldata.bin\" and \"", "/kavreldata.bin\"",
        "/share/kavrel/kavreldata.bin\""}},
      {"damaged package", true, true, "not a package at all", {"/lat", "35.681236", "/lon", "139.767125"},
       {"/kavreldata.bin\" is damaged"}},
      {"missing input", true, true, nullptr, {"/in", "missing.csv", "/out", "out.csv"},
       {"cannot open the input file \"missing.csv\": No such file or directory"}},
      {"folder input", true, true, nullptr, {"/in", ".", "/out", "out.csv"}, {"\".\" is a folder"}},
      {"output folder missing", true, true, nullptr, {"/in", "in.csv", "/out", "none/out.csv"},
       {"cannot create the output file \"none/out.csv\": No such file or directory"}},
      {"nothing to do", true, true, nullptr, {"/in", "in.csv"}, {"nothing to do"}},
      {"outside the area", true, true, nullptr, {"/lat", "10", "/lon", "100"},
       {"no address for 10.000000,100.000000: the point lies outside the covered area (-102)"}},
  };
  // Where an installed kavrel (the Debian package) puts the library on the
  // system's search path, a program without its own finds that one.
  platform::SharedLibrary installed;
  const bool systemHasEngine = installed.Load(platform::SharedLibraryFileName("kavrelcore"));
  for (const Case& c : cases) {
    if (!c.withLibrary && systemHasEngine) continue;
    ProgramFolder folder(c.withLibrary, c.withPackage);
    if (c.packageBytes != nullptr) WriteBytes(folder.Path("kavreldata.bin"), c.packageBytes);
    TempDir root;
    const std::string work = root / "work";
    std::filesystem::create_directory(work);
    WriteBytes(work + "/in.csv", "35.681236,139.767125\r\n");
    const ProcessResult result = RunProcess(folder.Program(), c.arguments, work, RunOptions{});
    ASSERT_TRUE(result.exited) << c.what;
    EXPECT_NE(result.exitStatus, 0) << c.what;
    EXPECT_EQ(result.error.rfind("kavrel: ", 0), 0u) << c.what << ": " << result.error;
    EXPECT_EQ(result.error.find('\n'), result.error.size() - 1) << c.what << ": " << result.error;
    for (const std::string& part : c.told) {
      EXPECT_TRUE(Contains(result.error, part)) << c.what << ": " << result.error;
    }
  }
}

// An install's layout: the program in bin/ with the library beside it, the
// package in share/kavrel of the same prefix. The designed engine and the
// handle of the options beyond it both find the package there, run from
// anywhere; a package beside the program still comes first.
TEST(KavrelInstalledLayout, ThePackageIsFoundInShareKavrelOfTheProgramsPrefix) {
  namespace fs = std::filesystem;
  TempDir prefix;
  const fs::path bin = fs::path(prefix.Path()) / "bin";
  const fs::path share = fs::path(prefix.Path()) / "share" / "kavrel";
  fs::create_directories(bin);
  fs::create_directories(share);
  fs::create_directory(fs::path(prefix.Path()) / "work");
  fs::copy_file(KAVREL_PROGRAM_PATH, bin / "kavrel");
  fs::copy_file(KAVREL_LIBRARY_PATH, bin / "libkavrelcore.so");
  WriteBytes(share / "kavreldata.bin", TokyoStationPackage().Serialize());
  const std::string work = prefix / "work";
  const auto run = [&](const std::vector<std::string>& arguments) {
    return RunProcess((bin / "kavrel").string(), arguments, work, RunOptions{});
  };
  for (const std::vector<std::string>& arguments :
       {std::vector<std::string>{"/lat", "35.681236", "/lon", "139.767125"},
        std::vector<std::string>{"/lat", "35.681236", "/lon", "139.767125", "/dist"}}) {
    const ProcessResult lookup = run(arguments);
    EXPECT_EQ(lookup.exitStatus, 0) << arguments.size() << ": " << lookup.error;
    EXPECT_TRUE(Contains(lookup.output, kTokyoStation)) << lookup.output;
  }
  EXPECT_TRUE(Contains(run({"/package"}).output, "package: " + (share / "kavreldata.bin").string() + "\r\n"));
  WriteBytes(bin / "kavreldata.bin", TokyoStationPackage().Serialize());
  EXPECT_TRUE(Contains(run({"/package"}).output, "package: " + (bin / "kavreldata.bin").string() + "\r\n"));
}

TEST_F(KavrelSafeguards, APackageThatCannotBeOpenedIsToldWithTheSystemsReason) {
  namespace fs = std::filesystem;
  fs::create_symlink("loop-b.bin", WorkPath("loop-a.bin"));
  fs::create_symlink("loop-a.bin", WorkPath("loop-b.bin"));
  FifoWithoutWriter fifo(WorkPath("fifo.bin"));
  struct Case {
    std::string package;
    std::string told;
  };
  const std::string kNotAFile = "it is not a regular file but a pipe, a socket or a device";
  const Case cases[] = {
      {"loop-a.bin", "cannot open the data package \"loop-a.bin\": Too many levels of symbolic links"},
      {"fifo.bin", "cannot open the data package \"fifo.bin\": " + kNotAFile},
      {"/dev/null", "cannot open the data package \"/dev/null\": " + kNotAFile},
      {"none-\xff.bin", "no data package: looked for \"" + WorkPath("none-\xff.bin") + "\""},
  };
  for (const Case& c : cases) {
    for (const char* extra : {"/dist", "/package"}) {
      const std::vector<std::string> arguments =
          extra == std::string("/package") ? std::vector<std::string>{"/data", c.package, extra}
                                           : std::vector<std::string>{"/data", c.package, "/lat", "35.681236",
                                                                      "/lon", "139.767125", extra};
      const ProcessResult result = Run(arguments);
      ASSERT_TRUE(result.exited);
      EXPECT_EQ(result.exitStatus, 1) << c.package;
      EXPECT_TRUE(Contains(result.error, c.told)) << c.package << ": " << result.error;
      EXPECT_EQ(result.error.find('\n'), result.error.size() - 1) << result.error;
    }
  }
  EXPECT_FALSE(fifo.ReleasedAWaitingReader());
  // A name that is not UTF-8 is found as the bytes given.
  fs::copy_file(s_folder->Path("kavreldata.bin"), WorkPath("pk-\xff.bin"));
  ExpectRun(Run({"/data", "pk-\xff.bin", "/lat", "35.681236", "/lon", "139.767125", "/dist"}), 0,
            kTokyoStation + ",0.0");
}

TEST(KavrelDamageReports, ADamagedEntryIsToldOncePerRun) {
  // The package's last entry, a name block, reaches past the end of the file.
  std::string package = TokyoStationPackage().Serialize();
  package.resize(package.size() - 4);
  ProgramFolder folder(true, true);
  WriteBytes(folder.Path("kavreldata.bin"), package);
  TempDir work;
  WriteBytes(work / "in.csv", "35.681236,139.767125\r\n35.681236,139.767125\r\n");
  const std::vector<std::string> runs[] = {
      {"/lat", "35.681236", "/lon", "139.767125"},
      {"/in", "in.csv", "/out", "out.csv"},
  };
  for (const std::vector<std::string>& arguments : runs) {
    const ProcessResult result = RunProcess(folder.Program(), arguments, work.Path(), RunOptions{});
    ASSERT_TRUE(result.exited);
    const std::size_t first = result.error.find("damaged entry");
    ASSERT_NE(first, std::string::npos) << arguments[0] << ": " << result.error;
    EXPECT_EQ(result.error.find("damaged entry", first + 1), std::string::npos) << result.error;
  }
}

}  // namespace
}  // namespace kavrel::test
