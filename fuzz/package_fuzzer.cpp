// A whole package file from the fuzz input: the engine's package reader opens
// it and loads and unloads every entry, then an engine initialised on it runs
// searches with a few step settings, so that point and name blocks made of
// hostile bytes are decoded too.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "engine_app.h"
#include "fuzz_temp.h"
#include "kavrel/format/data_package.h"
#include "kavrel/platform/text.h"

namespace {

// An entry's stored size is taken as given and a read past the end of the
// file leaves zeros, as designed, so a tiny file can ask for up to 2 GiB of
// zeros. Inputs whose entries ask for more than this in all are not loaded,
// which keeps each run fast and inside the memory limit.
constexpr std::uint64_t kMaxStoredTotal = 1u << 20;
// The ring search rescans its whole window in every ring, so its time grows
// with points times rings (up to 3000 here); inputs whose entries load to
// more than this in all are not searched.
constexpr std::uint64_t kMaxSearchedTotal = 64u << 10;

struct Query {
  double latitude;
  double longitude;
};

// Tokyo Station, a point near band 0 (one-digit band names) and one just
// below it (band keys wrap around).
constexpr Query kQueries[] = {{35.681236, 139.767125}, {0.000005, 0.000005}, {-0.000005, 139.0}};

struct Step {
  std::int32_t step;
  std::int32_t width;
};

// Defaults (band range 1), the console's settings (band range 5), a
// product below 30000 (replaced by the defaults) and a one-ring search.
constexpr Step kSteps[] = {{100, 300}, {50, 3000}, {100, 200}, {30000, 1}};

void Search(kavrel::CkavrelcoreApp& app) {
  std::u16string address;
  std::int32_t elapsed = 0;
  for (const Query& query : kQueries) app.ReverseGeocode(query.latitude, query.longitude, address, &elapsed);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string path =
      kavrel::fuzz::WriteTempFile("package.bin", std::string_view(reinterpret_cast<const char*>(data), size));
  const std::u16string widePath = kavrel::platform::Utf8ToUtf16(path);

  {
    kavrel::CDataPackage package;
    if (package.Open(widePath) != kavrel::PackageStatus::kOk) return 0;
    std::uint64_t total = 0;
    for (std::int32_t i = 0; i < package.FileCount(); ++i) total += package.File(i).StoredSize();
    if (total > kMaxStoredTotal) return 0;
    std::uint64_t loaded = 0;
    for (std::int32_t i = 0; i < package.FileCount(); ++i) {
      const std::u16string name(package.FileName(i));
      if (package.LoadFile(name) == kavrel::PackageStatus::kOk) {
        const kavrel::CDataPackageFile& entry = package.File(package.FindFile(name));
        // Touch every byte the entry claims to hold.
        volatile std::uint8_t sum = 0;
        loaded += static_cast<std::uint64_t>(entry.Size());
        if (entry.Data()) {
          for (std::int32_t b = 0; b < entry.Size(); ++b) sum = sum + entry.Data()[static_cast<std::size_t>(b)];
        }
        // A stored entry holds the file's bytes at data start + offset (a
        // 32-bit sum), zeros where the file ends.
        if (entry.Method() == 0 && entry.StoredSize() != 0) {
          if (entry.State() != kavrel::CDataPackageFile::kLoaded ||
              static_cast<std::uint32_t>(entry.Size()) != entry.StoredSize()) {
            std::abort();
          }
          const std::uint32_t position = package.DataStart() + entry.Offset();
          for (std::uint32_t b = 0; b < entry.StoredSize(); ++b) {
            const std::uint64_t at = std::uint64_t{position} + b;
            const std::uint8_t expected = at < size ? data[at] : 0;
            if (entry.Data()[b] != expected) std::abort();
          }
        }
        package.UnloadFile(name);
      }
    }
    package.Close();
    if (loaded > kMaxSearchedTotal) return 0;
  }

  kavrel::CkavrelcoreApp app;
  if (app.Initialize(widePath.c_str()) != 0) {
    app.Cleanup();
    return 0;
  }
  app.SetSeparator(u"/");
  for (const Step& step : kSteps) {
    app.SetStep(step.step, step.width);
    Search(app);
  }
  app.SetStep(100, 300);
  app.PreloadData();
  Search(app);
  app.Cleanup();
  return 0;
}
