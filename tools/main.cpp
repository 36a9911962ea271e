// kavrel-pack: builds, lists and verifies kavrel data packages.
#include <cerrno>
#include <cstdio>
#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "pack_error.h"
#include "package_file.h"
#include "package_build.h"
#include "package_list.h"
#include "package_verify.h"
#include "kavrel/platform/files.h"
#include "kavrel/platform/standard_output.h"

namespace {

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

constexpr const char* kUsage =
    "usage: kavrel-pack build INPUT -o PACKAGE   build a package from a CSV of address points\n"
    "                                            (UTF-8, plain or gzip; columns latitude, longitude,\n"
    "                                            prefecture, city, area)\n"
    "         [--attribution TEXT | --attribution-file FILE]\n"
    "                                            with the source data's credits (UTF-8) in the\n"
    "                                            entry /ATTRIBUTION.txt\n"
    "       kavrel-pack list PACKAGE             list the entries of a package\n"
    "       kavrel-pack verify PACKAGE           check a package; exit 0 only when it is sound\n";

// What becomes of points outside the covered area; the READMEs and the
// manual pages say it in these very words.
constexpr const char* kOutsideAreaRule =
    "Points outside 24-46 N, 122-149 E (in the shipped data the islands Okinotorishima and "
    "Minamitorishima) stay in the package: the library's lookups answer them (ReverseGeocoding, "
    "kavrel_lookup, Python, kavrel-serve and a single kavrel lookup with an option beyond the "
    "designed ones), but kavrel's designed single lookup refuses them as outside the covered area "
    "and no kavrel conversion answers them, since it takes only latitudes of 24 to 46 and "
    "longitudes of 122 to 149.";

int UsageError(const std::string& message) {
  std::cerr << "kavrel-pack: " << message << "\n" << kUsage;
  return kExitUsage;
}

int Build(const std::vector<std::string>& args) {
  std::string input;
  std::string output;
  std::string attribution;
  std::string attributionFile;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    const bool takesValue =
        arg == "-o" || arg == "--output" || arg == "--attribution" || arg == "--attribution-file";
    if (takesValue && i + 1 == args.size()) return UsageError(arg + " needs a value");
    if (arg == "-o" || arg == "--output") {
      output = args[++i];
    } else if (arg == "--attribution") {
      attribution = args[++i];
    } else if (arg == "--attribution-file") {
      attributionFile = args[++i];
    } else if (input.empty()) {
      input = arg;
    } else {
      return UsageError("build takes one input file, not also \"" + arg + "\"");
    }
  }
  if (input.empty() || output.empty()) return UsageError("build needs an INPUT and -o PACKAGE");
  if (!attribution.empty() && !attributionFile.empty()) {
    return UsageError("give --attribution or --attribution-file, not both");
  }
  if (!attributionFile.empty()) attribution = kavrel::pack::ReadWholeFile(attributionFile);
  const kavrel::pack::BuildSummary summary = kavrel::pack::BuildPackage(input, output, attribution);
  if (summary.outsideArea != 0) {
    std::cerr << "kavrel-pack: warning: " << summary.outsideArea
              << (summary.outsideArea == 1 ? " point lies" : " points lie")
              << " outside 24-46 N, 122-149 E; kept. " << kOutsideAreaRule << '\n';
  }
  std::cout << kavrel::pack::FormatSummary(output, summary) << '\n';
  return 0;
}

int Verify(const std::string& path) {
  const kavrel::pack::VerifyReport report = kavrel::pack::VerifyPackage(path);
  for (const std::string& problem : report.problems) std::cout << path << ": " << problem << '\n';
  std::cout << kavrel::pack::FormatVerdict(path, report) << '\n';
  return report.Sound() ? 0 : kExitFailure;
}

int Run(const std::vector<std::string>& args) {
  if (args.empty()) return UsageError("no command");
  const std::string& command = args[0];
  const std::vector<std::string> rest(args.begin() + 1, args.end());
  if (command == "-h" || command == "--help" || command == "help") {
    std::cout << kUsage;
    return 0;
  }
  if (command == "build") return Build(rest);
  if (command == "list" || command == "verify") {
    if (rest.size() != 1) return UsageError(command + " takes one package file");
    if (command == "list") return kavrel::pack::ListPackage(rest[0], std::cout, std::cerr);
    return Verify(rest[0]);
  }
  return UsageError("unknown command \"" + command + "\"");
}

// Flushes and closes standard output, so that a report that never reached
// it fails the run. `wasOpen` says whether the program started with one;
// every run but a usage error writes a report there. Returns `status`, or
// kExitFailure in place of 0 when the output was lost.
int FinishStandardOutput(bool wasOpen, int status) {
  errno = 0;
  std::cout.flush();
  int error = 0;
  if (!wasOpen) {
    if (status == kExitUsage) return status;
    error = EBADF;
  } else if (std::fflush(stdout) != 0 || std::ferror(stdout) || !std::cout) {
    error = errno != 0 ? errno : EIO;  // a failed write of the stream may have left no number
  }
  if (std::fclose(stdout) != 0 && error == 0) error = errno;
  if (error == 0) return status;
  std::cerr << "kavrel-pack: cannot write to standard output: " << kavrel::platform::SystemErrorText(error) << '\n';
  return status == 0 ? kExitFailure : status;
}

}  // namespace

int main(int argc, char** argv) {
  // Before any file is opened, or the package being built could take the
  // number of a closed standard output and receive the report.
  const bool haveStandardOutput = kavrel::platform::ClaimStandardOutput();
  int status = kExitFailure;
  try {
    status = Run(std::vector<std::string>(argv + 1, argv + argc));
  } catch (const kavrel::pack::PackError& error) {
    std::cerr << "kavrel-pack: " << error.what() << '\n';
  } catch (const std::exception& error) {
    std::cerr << "kavrel-pack: " << error.what() << '\n';
  }
  return FinishStandardOutput(haveStandardOutput, status);
}
