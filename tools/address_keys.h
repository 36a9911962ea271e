// Address keys: numbering the names of each address level, and the code page
// 932 text that the package stores for a name.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace kavrel::pack {

// Largest key that fits the point record's field of each level: P 8 bits,
// C 16 bits, S 24 bits.
inline constexpr std::uint32_t kMaxPrefectureKey = 0xFF;
inline constexpr std::uint32_t kMaxCityKey = 0xFFFF;
inline constexpr std::uint32_t kMaxAreaKey = 0xFFFFFF;

// Longest name text in bytes that a name record can hold.
inline constexpr std::size_t kMaxNameBytes = 255;

// Converts a UTF-8 name to the code page 932 bytes of the package. Returns
// true with the bytes in `text`; false with the reason in `error` when the
// name is empty, holds a control character (C0 or DEL: NUL, TAB, CR, LF,
// ESC...), is not valid UTF-8, holds a character that code page 932
// cannot hold, or takes more than kMaxNameBytes bytes there. Characters that
// code page 932 holds only under another code point (U+301C WAVE DASH is
// stored as FULLWIDTH TILDE) are accepted: they read back as that one.
bool EncodeName(std::string_view utf8, std::string& text, std::string& error);

// The keys of one address level. Each distinct identity gets the next key,
// starting at 1, in the order the identities first appear, so the same input
// always gives the same keys; key 0 stays unused, so that a zeroed record
// names nothing. The identity is what tells names apart (a city is told apart
// by its prefecture too); the text is what the name block stores.
class KeyTable {
public:
  // `maxKey` is the largest key the level can hold.
  explicit KeyTable(std::uint32_t maxKey) : m_maxKey(maxKey) {}

  // The key of `identity`, or 0 when it has none yet.
  std::uint32_t Find(const std::string& identity) const;

  // Gives `identity` (which must not have a key yet) the next key and
  // records its text. Returns 0, changing nothing, when the level is full.
  std::uint32_t Add(const std::string& identity, std::string text);

  // Number of keys given so far.
  std::uint32_t Count() const { return static_cast<std::uint32_t>(m_texts.size()); }
  std::uint32_t MaxKey() const { return m_maxKey; }
  // Text of key k at position k - 1.
  const std::vector<std::string>& Texts() const { return m_texts; }

private:
  std::uint32_t m_maxKey;
  std::unordered_map<std::string, std::uint32_t> m_keys;
  std::vector<std::string> m_texts;
};

}  // namespace kavrel::pack
