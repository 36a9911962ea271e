// kavrel-pack input. The first byte picks what the rest is:
//   0 (and any value not below)  a plain CSV file of address points,
//   1                            the same, gzip-compressed by the harness,
//   2                            a package file to list and verify.
// Bad input must end in PackError (any other exception is a finding). A CSV
// that builds must give a package that verifies sound, and an engine on it
// must find an address at the first row's point when that lies in the
// engine's area box.
#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "address_csv.h"
#include "engine_app.h"
#include "fuzz_temp.h"
#include "kavrel/format/coverage.h"
#include "kavrel/platform/text.h"
#include "pack_error.h"
#include "package_build.h"
#include "package_index.h"
#include "package_verify.h"

namespace {

std::string Gzip(std::string_view bytes) {
  const std::string path = kavrel::fuzz::TempFolder() + "/input.csv.gz";
  gzFile file = gzopen(path.c_str(), "wb");
  if (file == nullptr) std::abort();
  if (!bytes.empty() && gzwrite(file, bytes.data(), static_cast<unsigned>(bytes.size())) <= 0) std::abort();
  gzclose(file);
  return path;
}

[[noreturn]] void Finding(const std::string& what) {
  std::fprintf(stderr, "%s\n", what.c_str());
  std::abort();
}

void CheckBuiltPackage(const std::string& input, const std::string& output) {
  const kavrel::pack::VerifyReport report = kavrel::pack::VerifyPackage(output);
  if (!report.Sound()) {
    std::string text = "a built package does not verify:";
    for (const std::string& problem : report.problems) text += "\n  " + problem;
    Finding(text);
  }

  kavrel::pack::AddressCsvReader reader(input);
  kavrel::pack::AddressRow row;
  if (!reader.Next(row)) Finding("a built package's input has no row on reading it again");
  const double latitude = std::strtod(row.latitude.c_str(), nullptr);
  const double longitude = std::strtod(row.longitude.c_str(), nullptr);
  if (kavrel::IsInJapanBox(latitude, longitude) == 0) return;
  kavrel::CkavrelcoreApp app;
  const std::u16string widePath = kavrel::platform::Utf8ToUtf16(output);
  if (app.Initialize(widePath.c_str()) != 0) Finding("the engine cannot open a built package");
  std::u16string address;
  if (app.ReverseGeocode(latitude, longitude, address, nullptr) != 0) {
    Finding("no address at the first point of a built package: " + row.latitude + "," + row.longitude);
  }
  app.Cleanup();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);
  const std::string output = kavrel::fuzz::TempFolder() + "/out.bin";
  switch (data[0]) {
    case 2: {
      (void)kavrel::pack::ReadPackageIndex(rest);
      const std::string path = kavrel::fuzz::WriteTempFile("package.bin", rest);
      const kavrel::pack::VerifyReport report = kavrel::pack::VerifyPackage(path);
      (void)kavrel::pack::FormatVerdict(path, report);
      return 0;
    }
    case 1:
    default: {
      const std::string input = data[0] == 1 ? Gzip(rest) : kavrel::fuzz::WriteTempFile("input.csv", rest);
      std::remove(output.c_str());
      try {
        kavrel::pack::BuildPackage(input, output);
      } catch (const kavrel::pack::PackError&) {
        return 0;
      }
      CheckBuiltPackage(input, output);
      return 0;
    }
  }
}
