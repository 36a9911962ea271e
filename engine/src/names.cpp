#include "names.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "kavrel/format/blocks.h"
#include "kavrelcore.h"

namespace kavrel {

std::u16string NameText(const platform::TextCodec& codec, std::string_view text) {
  std::u16string name = platform::Utf16FromBytes(codec.Convert(text));
  name.resize(std::char_traits<char16_t>::length(name.c_str()));
  return name;
}

std::int32_t NameReader::LookupName(CDataPackage& package, int level, std::uint32_t key, bool keepLoaded,
                                    std::u16string& name) {
  constexpr std::int32_t kNoName = KAVREL_E_DECOMPRESSOR;
  name.clear();
  const std::u16string blockName = BuildNameBlockName(level, key);
  if (package.LoadFile(blockName) != PackageStatus::kOk) return kNoName;
  const std::int32_t index = package.FindFile(blockName);
  if (index < 0) return kNoName;
  CDataPackageFile& block = package.File(index);

  // The block is dropped again whatever the outcome, unless it is meant to
  // stay in memory.
  struct Release {
    bool keep;
    CDataPackageFile& block;
    ~Release() {
      if (!keep && block.IsLoaded()) block.ReleaseData();
    }
  } release{keepLoaded, block};

  const std::string_view bytes = block.Bytes();
  if (bytes.empty()) return kNoName;

  // The first record with the key wins; the scan ends at a record that would
  // run past the end of the block.
  std::size_t offset = 0;
  while (const std::optional<NameRecordView> record = NextNameRecord(bytes, offset)) {
    if (record->key != key) continue;
    if (record->text.empty()) return kNoName;
    if (!m_codec) m_codec.emplace(platform::Encoding::kCp932, platform::Encoding::kUtf16);
    name = NameText(*m_codec, record->text);
    return KAVREL_OK;
  }
  return kNoName;
}

}  // namespace kavrel
