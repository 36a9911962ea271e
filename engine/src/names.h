// Looking up the text of one address key in the name block of its level.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "kavrel/format/data_package.h"
#include "kavrel/platform/text.h"

namespace kavrel {

// The name a record's `text` gives: code page 932 converted by `codec` (code
// page 932 to UTF-16) and cut at its first null character, as a C string
// would end. Both the name blocks and the preloaded name table read names
// this way, so that they always agree.
std::u16string NameText(const platform::TextCodec& codec, std::string_view text);

class NameReader {
public:
  // The name of `key` at `level` (0 P, 1 C, 2 S) in `name`: the text of the
  // first record of the key in its block, converted from code page 932 and
  // cut at its first null character. 0, or KAVREL_E_DECOMPRESSOR when there
  // is none (then `name` is empty). The block is loaded from `package` as
  // needed and released again unless `keepLoaded`.
  std::int32_t LookupName(CDataPackage& package, int level, std::uint32_t key, bool keepLoaded,
                          std::u16string& name);

private:
  // Opened at the first name and kept, so that a search does not reopen the
  // converter for every name.
  std::optional<platform::TextCodec> m_codec;
};

}  // namespace kavrel
