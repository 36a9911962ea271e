// Looking up the text of one address key in its name block.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "engine_app.h"
#include "kavrel/format/blocks.h"
#include "kavrel/platform/text.h"
#include "kavrelcore.h"

namespace kavrel {

std::int32_t CkavrelcoreApp::LookupName(int level, std::uint32_t key, std::u16string& name) {
  constexpr std::int32_t kNoName = KAVREL_E_DECOMPRESSOR;
  name.clear();
  const std::u16string blockName = BuildNameBlockName(level, key);
  if (m_package.LoadFile(blockName) != 0) return kNoName;
  const std::int32_t index = m_package.FindFile(blockName);
  if (index < 0) return kNoName;
  CDataPackageFile& block = m_package.File(index);

  // The block is dropped again whatever the outcome, unless everything is
  // meant to stay in memory.
  struct Release {
    CkavrelcoreApp& app;
    CDataPackageFile& block;
    ~Release() {
      if (!app.IsPreloaded() && block.m_nState == CDataPackageFile::kLoaded) block.ReleaseData();
    }
  } release{*this, block};

  const std::uint8_t* data = block.m_pData.get();
  if (data == nullptr || block.m_nSize <= 0) return kNoName;
  const std::string_view bytes(reinterpret_cast<const char*>(data), static_cast<std::size_t>(block.m_nSize));

  // The first record with the key wins; the scan ends at a record that would
  // run past the end of the block.
  std::size_t offset = 0;
  while (const std::optional<NameRecordView> record = NextNameRecord(bytes, offset)) {
    if (record->key != key) continue;
    if (record->text.empty()) return kNoName;
    if (!m_nameCodec) m_nameCodec.emplace(platform::Encoding::kCp932, platform::Encoding::kUtf16);
    std::u16string text = platform::Utf16FromBytes(m_nameCodec->Convert(record->text));
    // The text ends at its first null character, as a C string would.
    const std::size_t end = text.find(u'\0');
    if (end != std::u16string::npos) text.resize(end);
    name = std::move(text);
    return 0;
  }
  return kNoName;
}

}  // namespace kavrel
