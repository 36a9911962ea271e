// The exported C interface: one engine object per process, and at every
// export one try/catch that turns any failure into its result code.
#include <algorithm>
#include <cstring>
#include <new>
#include <string>
#include <string_view>

#include "address_text.h"
#include "engine_app.h"
#include "geodesy.h"
#include "kavrel/format/coverage.h"
#include "kavrelcore.h"

namespace {

// Built when the library is loaded, destroyed when it is unloaded.
kavrel::CkavrelcoreApp g_engine;

constexpr std::u16string_view kVersionText = u"Norvane Reverse Geocoder DLL version 1.0";
constexpr std::u16string_view kIdentityText = u"DLL_NORVANE_RGEO_DLL";

// A caller's zero-terminated text as the engine keeps it. kavrel_char is
// char16_t on POSIX and wchar_t on Windows, both UTF-16 code units.
std::u16string EngineText(const kavrel_char* text) {
  return std::u16string(text, text + std::char_traits<kavrel_char>::length(text));
}

}  // namespace

extern "C" {

KAVREL_API int32_t Initialize(const kavrel_char* dataFile) {
  try {
    if (dataFile == nullptr) return g_engine.Initialize(nullptr);
    return g_engine.Initialize(EngineText(dataFile).c_str());
  } catch (...) {
    return KAVREL_E_NO_FILE;
  }
}

KAVREL_API int32_t Cleanup(void) {
  try {
    return g_engine.Cleanup();
  } catch (...) {
    return KAVREL_E_NOT_READY;
  }
}

KAVREL_API int32_t GetInfo(int32_t type, kavrel_char* buffer, uint32_t capacity) {
  std::u16string_view text;
  if (type == KAVREL_INFO_VERSION || type == KAVREL_INFO_VERSION_2) {
    text = kVersionText;
  } else if (type == KAVREL_INFO_IDENTITY) {
    text = kIdentityText;
  } else {
    return KAVREL_E_ARGUMENT;
  }
  if (buffer == nullptr || capacity == 0) return KAVREL_E_ARGUMENT;
  const std::size_t count = std::min<std::size_t>(capacity - 1, text.size());
  std::copy_n(text.data(), count, buffer);
  buffer[count] = 0;
  return KAVREL_OK;
}

KAVREL_API int32_t SetStep(int32_t step, int32_t width) { return g_engine.SetStep(step, width); }

KAVREL_API int32_t SetSeparator(const kavrel_char* separator) {
  try {
    if (separator == nullptr) return g_engine.SetSeparator(nullptr);
    return g_engine.SetSeparator(EngineText(separator).c_str());
  } catch (...) {
    // Out of memory for the copy: the old separator stays.
    return KAVREL_OK;
  }
}

KAVREL_API int32_t PreloadData(void) {
  try {
    return g_engine.PreloadData();
  } catch (...) {
    // Entries that could not be loaded are read on demand later.
    return KAVREL_OK;
  }
}

KAVREL_API int32_t GetDatafilename(kavrel_char* buffer, uint32_t* sizeInBytes) {
  if (sizeInBytes == nullptr) return KAVREL_E_ARGUMENT;
  if (!g_engine.IsInitialized()) return KAVREL_E_NOT_READY;
  const std::u16string& path = g_engine.DataFile();
  // 2n + 2 bytes for n characters and the terminator, in 64 bits so that no
  // path length can wrap it.
  const std::uint64_t needed = 2 * static_cast<std::uint64_t>(path.size()) + 2;
  if (buffer == nullptr || *sizeInBytes < needed) {
    *sizeInBytes = static_cast<uint32_t>(needed);
    return KAVREL_E_FORMAT;
  }
  std::memset(buffer, 0, *sizeInBytes);
  std::copy(path.begin(), path.end(), buffer);
  return KAVREL_OK;
}

KAVREL_API int32_t IsJapanRegion(double latitude, double longitude) {
  return kavrel::IsInJapanBox(latitude, longitude);
}

KAVREL_API int32_t ReverseGeocoding(double latitude, double longitude, kavrel_char* buffer,
                                    uint32_t* length, int32_t* elapsedMs) {
  if (length == nullptr) return KAVREL_E_ARGUMENT;
  try {
    kavrel::NameTexts names;
    const int32_t result = g_engine.FindAddress(latitude, longitude, elapsedMs, names);
    if (result != KAVREL_OK) return result;
    // The buffer must hold the text and its terminator; otherwise report the
    // length needed and leave the buffer alone, so no text is ever cut.
    if (!kavrel::WriteAddress(names, g_engine.Separator(), buffer, *length)) {
      *length = static_cast<uint32_t>(kavrel::AddressLength(names, g_engine.Separator()));
      return KAVREL_E_FORMAT;
    }
    return KAVREL_OK;
  } catch (...) {
    // The point arrays or the text could not be had.
    return KAVREL_E_NOT_FOUND;
  }
}

KAVREL_API double PointDistance(double latitude1, double longitude1, double latitude2,
                                double longitude2) {
  return kavrel::HubenyDistance(latitude1, longitude1, latitude2, longitude2);
}

KAVREL_API int32_t TOKYO2WGS84(double tokyoLatitude, double tokyoLongitude, double* wgsLatitude,
                               double* wgsLongitude) {
  if (wgsLatitude == nullptr || wgsLongitude == nullptr) return KAVREL_E_ARGUMENT;
  kavrel::TokyoToWgs84(tokyoLatitude, tokyoLongitude, *wgsLatitude, *wgsLongitude);
  return KAVREL_OK;
}

}  // extern "C"
