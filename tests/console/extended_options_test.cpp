// The options beyond the designed ones, run as a process: pipes, kept
// columns, JSON lines, the search options, threads and the package facts;
// and the designed output staying as it was around them.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "kavrel/platform/files.h"
#include "process_runner.h"
#include "program_folder.h"

namespace kavrel::test {
namespace {


class KavrelExtended : public ProgramFolderTest {};

// --- Pipes ---

TEST_F(KavrelExtended, APipeInAndOutCarriesDataOnlyAndTheMessagesGoToStandardError) {
  WriteBytes(WorkPath("in.csv"), "lat,lon\r\n35.681236,139.767125\r\n");
  const std::string command = "cat in.csv | '" + s_folder->Program() + "' /in - /out - > out.csv";
  const ProcessResult result = RunProcess("/bin/sh", {"-c", command}, m_work.Path(), RunOptions{});
  ASSERT_TRUE(result.exited);
  EXPECT_EQ(result.exitStatus, 0) << result.error;
  EXPECT_EQ(ReadBytes(WorkPath("out.csv")), "lat,lon\r\n" + kConverted);
  EXPECT_TRUE(Contains(result.error, "変換処理を開始しました\r\n変換処理を終了しました\r\n成功1件/失敗1件"))
      << result.error;
}

TEST_F(KavrelExtended, StandardInputToAFileOrAFileToStandardOutput) {
  WriteBytes(WorkPath("in.csv"), "35.681236,139.767125\r\n");
  RunOptions fromStdin;
  fromStdin.standardInputFile = WorkPath("in.csv");
  const ProcessResult toFile = Run({"/in", "-", "/out", "out.csv"}, fromStdin);
  // The data goes to a file: the messages stay on standard output, as
  // designed, and standard input shows no progress (it has no size).
  ASSERT_TRUE(toFile.exited);
  EXPECT_EQ(toFile.exitStatus, 0);
  EXPECT_EQ(toFile.output.rfind("変換処理を開始しました\r\n変換処理を終了しました\r\n成功1件/失敗0件", 0), 0u)
      << toFile.output;
  EXPECT_EQ(ReadBytes(WorkPath("out.csv")), kConverted);

  const ProcessResult toStdout = Run({"/in", "in.csv", "/out", "-"});
  EXPECT_EQ(toStdout.output, kConverted);
  EXPECT_TRUE(Contains(toStdout.error, "0%完了しました(1/0)")) << toStdout.error;
  // A full device fails the data, and says so on standard error.
  if (platform::FileExists("/dev/full")) {
    RunOptions full;
    full.standardOutputFile = "/dev/full";
    const ProcessResult failed = Run({"/in", "in.csv", "/out", "-"}, full);
    EXPECT_EQ(failed.exitStatus, 1);
    EXPECT_TRUE(Contains(failed.error, "出力ファイルに書き込めません")) << failed.error;
    EXPECT_TRUE(Contains(failed.error, "No space left on device")) << failed.error;
  }
}

// --- Conventions ---

TEST_F(KavrelExtended, WholeWordVersionIsTheDesignedOneAndHelpAddsTheNewOptions) {
  EXPECT_EQ(Run({"--version"}).output, Run({"/version"}).output);
  // --help is /help's text, unchanged, then a line for each new option.
  const std::string designed = Run({"/help"}).output;
  const ProcessResult help = Run({"--help"});
  EXPECT_EQ(help.exitStatus, 0);
  ASSERT_GT(help.output.size(), designed.size());
  EXPECT_EQ(help.output.substr(0, designed.size()), designed);
  for (const char* line : {"\r\n /keep : ", "\r\n /json : ", "\r\n /nearest : ", "\r\n /maxdist (metres) : ",
                           "\r\n /dist : ", "\r\n /threads (count) : ", "\r\n /data (package) : ",
                           "\r\n /package : "}) {
    EXPECT_TRUE(Contains(help.output.substr(designed.size()), line)) << line << help.output;
  }
  EXPECT_FALSE(Contains(designed, "/keep")) << designed;
  for (const char* argument : {"-h", "--helpme", "-?"}) {
    const ProcessResult result = Run({argument});
    ExpectRun(result, 2, kArgumentError);
    EXPECT_TRUE(Contains(result.error, std::string("unknown option \"/") + (argument + 1) + "\""))
        << result.error;
  }
}

TEST_F(KavrelExtended, AnArgumentErrorNamesTheArgument) {
  struct Case {
    std::vector<std::string> arguments;
    std::vector<std::string> told;
  };
  const Case cases[] = {
      {{"/in", "a.csv"}, {"/in is given without /out"}},
      {{"/lon", "139.7"}, {"/lon is given without /lat"}},
      {{"/IN", "a.csv", "/out", "b.csv"}, {"/out is given without /in", "unknown option \"/IN\""}},
      {{"/lat", "-35.5", "/lon", "139.7"},
       {"/lon is given without /lat", "unknown option \"/35.5\" (a value that starts with \"-\"",
        "no value after \"/lat\""}},
      {{"a.csv", "b.csv"}, {"give /lat and /lon", "no option takes the value \"a.csv\""}},
      {{"/lat", "35.681236", "/lon", "139.767125", "/threads", "many"},
       {"unusable value: \"/threads many\""}},
      {{"/lat", "35.681236", "/lon", "139.767125", "/maxdist", "far"},
       {"unusable value: \"/maxdist far\""}},
  };
  for (const Case& c : cases) {
    const ProcessResult result = Run(c.arguments);
    ExpectRun(result, 2, kArgumentError);
    EXPECT_EQ(result.error.find('\n'), result.error.size() - 1) << result.error;  // one line
    for (const std::string& part : c.told) {
      EXPECT_TRUE(Contains(result.error, part)) << c.arguments[0] << ": " << result.error;
    }
  }
  // A run that works says what it ignored, and works as before.
  const ProcessResult ignored = Run({"/lat", "35.681236", "/lon", "139.767125", "/colour", "red"});
  ExpectRun(ignored, 0, kTokyoStation);
  EXPECT_TRUE(Contains(ignored.error, "warning: ignored: unknown option \"/colour\"")) << ignored.error;
}

// --- Kept columns and JSON lines ---

TEST_F(KavrelExtended, KeepKeepsEveryLineAndItsColumnsAndAppendsTheAddress) {
  const std::string input =
      "lat,lon,id,\"note, with comma\"\r\n"
      "35.681236,139.767125,7,\"say \"\"hi\"\", then go\"\r\n"
      "35.000000,135.000000,8,far away\r\n"
      "no pair here\r\n"
      "\r\n"
      "139.767125 35.681236\n";
  WriteBytes(WorkPath("in.csv"), input);
  const ProcessResult result = Run({"/in", "in.csv", "/out", "out.csv", "/keep", "/dist"});
  EXPECT_EQ(result.exitStatus, 0) << result.error;
  const std::string output = ReadBytes(WorkPath("out.csv"));
  EXPECT_EQ(output,
            "lat,lon,id,\"note, with comma\",prefecture,city,area,distance_m\r\n"
            "35.681236,139.767125,7,\"say \"\"hi\"\", then go\",東京都,千代田区,丸の内一丁目,0.0\r\n"
            "35.000000,135.000000,8,far away,,,,\r\n"
            "no pair here,,,,\r\n"
            ",,,,\r\n"
            "139.767125 35.681236,東京都,千代田区,丸の内一丁目,0.0\n");
  // The statistics count as the designed conversion counts.
  EXPECT_TRUE(Contains(result.output, "成功2件/失敗4件")) << result.output;
}

TEST_F(KavrelExtended, JsonLinesReadWithAJsonParser) {
  WriteBytes(WorkPath("in.csv"),
             "lat,lon\r\n35.681236,139.767125\r\n35.000000,135.000000\r\n35.40.52.45,139.46.1.65\r\n");
  ASSERT_EQ(Run({"/in", "in.csv", "/out", "out.jsonl", "/json", "/dist"}).exitStatus, 0);
  // Python's own parser reads every line and prints what it found.
  const std::string script =
      "import json, sys\n"
      "for line in open(sys.argv[1], encoding='utf-8'):\n"
      "    o = json.loads(line)\n"
      "    print(o.get('error') or '%.6f %.6f %s|%s|%s %.1f' % (o['lat'], o['lon'], o['prefecture'],"
      " o['city'], o['area'], o['distance_m']))\n";
  const ProcessResult parsed =
      RunProcess("/usr/bin/python3", {"-c", script, WorkPath("out.jsonl")}, m_work.Path(), RunOptions{});
  ASSERT_TRUE(parsed.exited);
  ASSERT_EQ(parsed.exitStatus, 0) << "python3 is needed: " << parsed.error;
  EXPECT_EQ(parsed.output,
            "no coordinate pair in the line\n"
            "35.681236 139.767125 東京都|千代田区|丸の内一丁目 0.0\n"
            "no address found\n"
            "35.681236 139.767125 東京都|千代田区|丸の内一丁目 0.0\n");
}

// --- Search options, single lookups ---

TEST_F(KavrelExtended, SingleLookupWithTheNewOptions) {
  struct Case {
    std::vector<std::string> options;
    int status;
    std::string output;
  };
  const Case cases[] = {
      {{"/nearest"}, 0, kTokyoStation},
      {{"/dist", "/sep", "|"}, 0, "東京都|千代田区|丸の内一丁目,0.0"},
      {{"/json"}, 0,
       "{\"lat\":35.681236,\"lon\":139.767125,\"prefecture\":\"東京都\",\"city\":\"千代田区\","
       "\"area\":\"丸の内一丁目\"}\n"},
      {{"/threads", "2"}, 0, kTokyoStation},
  };
  for (const Case& c : cases) {
    std::vector<std::string> arguments = {"/lat", "35.681236", "/lon", "139.767125"};
    arguments.insert(arguments.end(), c.options.begin(), c.options.end());
    ExpectRun(Run(arguments), c.status, c.output);
  }
  // The only point lies 887.6 m south of this one: /maxdist decides.
  const std::vector<std::string> near = {"/lat", "35.689236", "/lon", "139.767125", "/dist"};
  ExpectRun(Run(near), 0, kTokyoStation + ",887.6");
  std::vector<std::string> limited = near;
  limited.insert(limited.end(), {"/maxdist", "800"});
  const ProcessResult refused = Run(limited);
  ExpectRun(refused, 1, "");
  EXPECT_TRUE(Contains(refused.error, "no address for 35.689236,139.767125")) << refused.error;
}

// --- Data package ---

TEST_F(KavrelExtended, PackagePrintsTheLibraryThePackageAndItsFacts) {
  const ProcessResult result = Run({"/package"});
  ASSERT_EQ(result.exitStatus, 0) << result.error;
  EXPECT_TRUE(Contains(result.output, "library version: 1.")) << result.output;
  EXPECT_TRUE(Contains(result.output, "package: " + s_folder->Path("kavreldata.bin") + "\r\n"))
      << result.output;
  EXPECT_TRUE(Contains(result.output, "points: 1\r\nprefectures: 1\r\ncities: 1\r\nareas: 1\r\n"))
      << result.output;
  EXPECT_TRUE(Contains(result.output, "attribution: none beside the package")) << result.output;

  // /data names the package; one that is not there is named in the failure.
  const ProcessResult copied = Run({"/package", "/data", s_folder->Path("kavreldata.bin")});
  EXPECT_EQ(copied.output, result.output);
  for (const std::vector<std::string>& arguments :
       {std::vector<std::string>{"/package", "/data", "missing.bin"},
        std::vector<std::string>{"/lat", "35.681236", "/lon", "139.767125", "/data", "missing.bin"}}) {
    const ProcessResult missing = Run(arguments);
    ExpectRun(missing, 1, "エンジンの初期化に失敗しました");
    EXPECT_TRUE(Contains(missing.error, "missing.bin")) << missing.error;
  }
  // A damaged one is told apart, as the designed run tells it.
  WriteBytes(WorkPath("damaged.bin"), "not a package at all");
  const ProcessResult damaged = Run({"/lat", "35.681236", "/lon", "139.767125", "/json", "/data", "damaged.bin"});
  ExpectRun(damaged, 1, "エンジンの初期化に失敗しました");
  EXPECT_TRUE(Contains(damaged.error, "the data package \"damaged.bin\" is damaged")) << damaged.error;
}

TEST_F(KavrelExtended, PackageShowsTheAttributionItCarriesBeforeAnyFileBesideIt) {
  const std::string credits = "Points: made up for the test, CC0.\n";
  pack::PackageWriter carrying = TokyoStationPackage();
  carrying.Add("/ATTRIBUTION.txt", credits, kMethodStored);
  WriteBytes(WorkPath("carrying.bin"), carrying.Serialize());
  WriteBytes(WorkPath("bare.bin"), TokyoStationPackage().Serialize());
  struct Case {
    const char* package;
    bool fileBeside;
    std::string shown;
  };
  const std::string inside = "attribution (in the package, /ATTRIBUTION.txt):\r\n" + credits;
  const Case cases[] = {
      {"carrying.bin", false, inside},
      {"carrying.bin", true, inside},  // the package's own credits win
      {"bare.bin", true, "attribution (" + WorkPath("bare-attribution.txt") + "):\r\nbeside\n"},
      {"bare.bin", false, "attribution: none beside the package"},
  };
  for (const Case& c : cases) {
    const std::string stem = std::string(c.package).substr(0, std::string(c.package).size() - 4);
    const std::string beside = WorkPath(stem + "-attribution.txt");
    if (c.fileBeside) {
      WriteBytes(beside, "beside\n");
    } else {
      std::filesystem::remove(beside);
    }
    const ProcessResult result = Run({"/package", "/data", WorkPath(c.package)});
    ASSERT_EQ(result.exitStatus, 0) << result.error;
    EXPECT_TRUE(Contains(result.output, c.shown)) << c.package << ": " << result.output;
  }
}

}  // namespace
}  // namespace kavrel::test
