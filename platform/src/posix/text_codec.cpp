#include "kavrel/platform/text.h"

#include <iconv.h>
#include <langinfo.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <stdexcept>

#include "utf16_units.h"

namespace kavrel::platform {

using detail::AppendUtf16Bytes;
using detail::kByteEscape;

namespace {

// Replacement texts, in the target encoding, for what cannot be converted.
struct Replacements {
  std::string invalidInput;
  std::string unmappable;
};

bool IsUtf16(const char* encoding) { return std::strncmp(encoding, "UTF-16", 6) == 0; }

Replacements ReplacementsFor(const char* to) {
  if (IsUtf16(to)) {
    // U+FFFD and '?' in UTF-16LE.
    return {std::string("\xFD\xFF", 2), std::string("?\0", 2)};
  }
  if (std::strcmp(to, "UTF-8") == 0) return {"\xEF\xBF\xBD", "?"};
  return {"?", "?"};
}

// Length of one source character to skip after an invalid sequence.
std::size_t InvalidStep(const char* from) { return IsUtf16(from) ? 2 : 1; }

// The iconv name of an encoding.
std::string IconvName(Encoding encoding) {
  switch (encoding) {
    case Encoding::kCp932: return "CP932";
    case Encoding::kUtf8: return "UTF-8";
    case Encoding::kUtf16: return "UTF-16LE";
    case Encoding::kConsole: return ConsoleCodeset();
  }
  return "UTF-8";
}

// What the output holds in place of input that does not convert, and how
// many input bytes that is.
struct Substitute {
  std::string_view bytes;
  std::size_t skip;
};

// Converts all of `input` with `cd`, growing the output as needed. Where
// iconv stops at input it cannot convert (errno EILSEQ, or EINVAL for an
// incomplete sequence at the end), `substituteFor(in, inLeft, errno)` says
// what to write instead; conversion never stops early.
template <typename SubstituteFor>
std::string ConvertAll(iconv_t cd, std::string_view input, SubstituteFor substituteFor) {
  std::string output;
  if (input.empty()) return output;
  iconv(cd, nullptr, nullptr, nullptr, nullptr);  // reset shift state

  char* in = const_cast<char*>(input.data());
  std::size_t inLeft = input.size();
  // Four output bytes per input byte covers every conversion used here
  // (one CP932 byte can become a 3-byte UTF-8 character); the loop grows it
  // anyway when a conversion needs more.
  output.resize(input.size() * 4 + 8);
  std::size_t used = 0;
  while (inLeft > 0) {
    char* out = output.data() + used;
    std::size_t outLeft = output.size() - used;
    std::size_t result = iconv(cd, &in, &inLeft, &out, &outLeft);
    used = output.size() - outLeft;
    if (result != static_cast<std::size_t>(-1)) break;
    if (errno == E2BIG) {
      output.resize(output.size() * 2);
      continue;
    }
    const Substitute substitute = substituteFor(in, inLeft, errno);
    if (output.size() - used < substitute.bytes.size()) {
      output.resize(output.size() * 2 + substitute.bytes.size());
    }
    std::memcpy(output.data() + used, substitute.bytes.data(), substitute.bytes.size());
    used += substitute.bytes.size();
    const std::size_t skip = std::min(substitute.skip, inLeft);
    in += skip;
    inLeft -= skip;
  }
  output.resize(used);
  return output;
}

}  // namespace

struct TextCodec::State {
  iconv_t cd = reinterpret_cast<iconv_t>(-1);
  Replacements replacements;
  std::size_t invalidStep = 1;
};

TextCodec::TextCodec(Encoding fromEncoding, Encoding toEncoding) : m_state(std::make_unique<State>()) {
  const std::string from = IconvName(fromEncoding);
  const std::string to = IconvName(toEncoding);
  m_state->cd = iconv_open(to.c_str(), from.c_str());
  if (m_state->cd == reinterpret_cast<iconv_t>(-1)) {
    throw std::runtime_error("text conversion not available: " + from + " to " + to);
  }
  m_state->replacements = ReplacementsFor(to.c_str());
  m_state->invalidStep = InvalidStep(from.c_str());
}

TextCodec::~TextCodec() {
  if (m_state && m_state->cd != reinterpret_cast<iconv_t>(-1)) iconv_close(m_state->cd);
}

TextCodec::TextCodec(TextCodec&&) noexcept = default;
TextCodec& TextCodec::operator=(TextCodec&& other) noexcept {
  if (this != &other) {
    if (m_state && m_state->cd != reinterpret_cast<iconv_t>(-1)) iconv_close(m_state->cd);
    m_state = std::move(other.m_state);
  }
  return *this;
}

std::string TextCodec::Convert(std::string_view input) const {
  const State& state = *m_state;
  const auto substituteFor = [&state](const char* in, std::size_t inLeft, int error) -> Substitute {
    // EINVAL: an incomplete sequence at the end of the input.
    if (error != EILSEQ) return {state.replacements.invalidInput, inLeft};
    // Invalid in the source, or valid but not representable in the target:
    // glibc reports both as EILSEQ. A UTF-16 source only fails on
    // unmappable characters (or lone surrogates); a byte source is treated
    // as invalid input.
    if (state.invalidStep != 2) return {state.replacements.invalidInput, state.invalidStep};
    // A surrogate pair stands for one character: skip both halves.
    const auto lo = static_cast<unsigned char>(in[1]);
    return {state.replacements.unmappable, inLeft >= 4 && lo >= 0xD8 && lo <= 0xDB ? 4u : 2u};
  };
  return ConvertAll(state.cd, input, substituteFor);
}

std::string TextCodec::ConvertKeepingBytes(std::string_view input) const {
  std::string escape;
  return ConvertAll(m_state->cd, input, [&escape](const char* in, std::size_t, int) -> Substitute {
    escape.clear();
    AppendUtf16Bytes(escape, static_cast<char16_t>(kByteEscape + static_cast<unsigned char>(*in)));
    return {escape, 1};
  });
}

std::string ConsoleCodeset() {
  const char* codeset = nl_langinfo(CODESET);
  if (codeset == nullptr || *codeset == '\0' || std::strcmp(codeset, "ANSI_X3.4-1968") == 0 ||
      std::strcmp(codeset, "ASCII") == 0) {
    return "UTF-8";
  }
  return codeset;
}

}  // namespace kavrel::platform
