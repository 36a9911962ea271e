// Gathering the point blocks of the bands around a query into the flat,
// latitude-ordered point list that the ring search works on.
#include <cstdint>
#include <cstdio>
#include <limits>
#include <new>
#include <string>
#include <vector>

#include "engine_app.h"
#include "kavrel/format/blocks.h"
#include "kavrel/platform/diagnostic.h"
#include "kavrel/platform/text.h"

namespace kavrel {
namespace {

void ShowSizeError(std::int32_t size, const std::u16string& name) {
  char text[64];
  std::snprintf(text, sizeof text, "size=%d err ", static_cast<int>(size));
  platform::ShowDiagnostic(std::string(text) + platform::Utf16ToUtf8(name));
}

void ShowOverflow(std::int64_t index, std::int64_t capacity) {
  char text[64];
  std::snprintf(text, sizeof text, "Over index=%d count=%d", static_cast<int>(index),
                static_cast<int>(capacity));
  platform::ShowDiagnostic(text);
}

}  // namespace

void CkavrelcoreApp::AllocatePoints(std::int32_t capacity) {
  m_nPointCount = 0;
  const std::size_t count = capacity > 0 ? static_cast<std::size_t>(capacity) : 0;
  try {
    // assign keeps the storage of the previous search when it is big enough,
    // so a steady stream of searches allocates nothing.
    m_pLatitudes.assign(count, 0);
    m_pLongitudes.assign(count, 0);
    m_pAddressKeys.assign(count, AddressKey{});
  } catch (...) {
    // Never leave arrays of different lengths behind.
    m_pLatitudes = {};
    m_pLongitudes = {};
    m_pAddressKeys = {};
    throw;
  }
}

void CkavrelcoreApp::ApplySearchDefaults() {
  // A band range below 1 would load only the query's own band; searches
  // fall back to the defaults instead.
  if (m_nBandRange <= 0) {
    m_nStep = 100;
    m_nWidth = 300;
    m_nBandRange = 1;
  }
}

int CkavrelcoreApp::LoadPoints(std::uint32_t latKey) {
  ApplySearchDefaults();
  const std::int64_t range = m_nBandRange;

  // Sizing pass: every band that loads brings its records plus one spare
  // slot, so the filling pass can never run out of room.
  std::vector<std::u16string> bands;
  std::int64_t capacity = 0;
  for (std::int64_t j = -range; j <= range; ++j) {
    // 32-bit wrap-around, as the band keys are defined.
    const std::uint32_t key = latKey + static_cast<std::uint32_t>(j * kBandHeight);
    std::u16string name = BuildPointBlockName(key);
    if (m_package.LoadFile(name) != 0) continue;  // at sea, or outside the data
    const std::int32_t index = m_package.FindFile(name);
    const std::int32_t size = index >= 0 ? m_package.File(index).m_nSize : 0;
    if (size % static_cast<std::int32_t>(kPointRecordSize) != 0) ShowSizeError(size, name);
    capacity += size / static_cast<std::int32_t>(kPointRecordSize) + 1;
    bands.push_back(std::move(name));
  }
  if (capacity > std::numeric_limits<std::int32_t>::max()) throw std::bad_alloc();
  AllocatePoints(static_cast<std::int32_t>(capacity));

  // Filling pass, bands in ascending order, so the list stays in ascending
  // latitude.
  std::int64_t filled = 0;
  bool full = false;
  for (const std::u16string& name : bands) {
    const std::int32_t index = m_package.FindFile(name);
    if (index < 0) continue;
    CDataPackageFile& entry = m_package.File(index);
    const std::uint8_t* record = entry.m_pData.get();
    const std::int64_t records =
        record && entry.m_nSize > 0 ? static_cast<std::int64_t>(entry.m_nSize) / kPointRecordSize : 0;
    for (std::int64_t r = 0; r < records && !full; ++r, record += kPointRecordSize) {
      const std::size_t i = static_cast<std::size_t>(filled);
      const PointRecord point = ReadPointRecord(record);
      m_pLatitudes[i] = point.latitude;
      m_pLongitudes[i] = point.longitude;
      m_pAddressKeys[i] = AddressKeyOf(point);
      ++filled;
      // Unreachable with consistent blocks (one spare slot per band); the
      // rest is dropped rather than written past the arrays.
      if (filled >= capacity) {
        ShowOverflow(filled, capacity);
        full = true;
      }
    }
    if (!IsPreloaded() && entry.m_nState == CDataPackageFile::kLoaded) entry.ReleaseData();
  }
  m_nPointCount = static_cast<std::int32_t>(filled);
  return 1;
}

}  // namespace kavrel
