// Looking up the text of one address key in its name block.
#include <cstdint>
#include <string>
#include <string_view>

#include "blocks.h"
#include "byte_order.h"
#include "engine_app.h"
#include "kavrel/platform/text.h"

namespace kavrel {
namespace {

// A name record: 32-bit little-endian key, one length byte, then the text.
constexpr std::uint32_t kNameRecordHeader = 5;

}  // namespace

std::int32_t CkavrelcoreApp::LookupName(int level, std::uint32_t key, std::u16string& name) {
  constexpr std::int32_t kNoName = -1006;
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
  const std::uint64_t size = static_cast<std::uint64_t>(block.m_nSize);

  // Records are scanned in order and the first with the key wins; the scan
  // ends at a record that would run past the end of the block.
  std::uint64_t offset = 0;
  while (offset + kNameRecordHeader <= size) {
    const std::uint8_t* record = data + offset;
    const std::uint32_t recordKey = ReadU32(record);
    const std::uint32_t length = record[4];
    if (offset + kNameRecordHeader + length > size) return kNoName;
    if (recordKey == key) {
      if (length == 0) return kNoName;
      if (!m_nameCodec) m_nameCodec.emplace("CP932", "UTF-16LE");
      const std::string_view bytes(reinterpret_cast<const char*>(record + kNameRecordHeader), length);
      std::u16string text = platform::Utf16FromBytes(m_nameCodec->Convert(bytes));
      // The text ends at its first null character, as a C string would.
      const std::size_t end = text.find(u'\0');
      if (end != std::u16string::npos) text.resize(end);
      name = std::move(text);
      return 0;
    }
    offset += kNameRecordHeader + length;
  }
  return kNoName;
}

}  // namespace kavrel
