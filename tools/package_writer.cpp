#include "package_writer.h"

#include <zlib.h>

#include <limits>
#include <stdexcept>

#include "kavrel/platform/replacement_file.h"

namespace kavrel::pack {

std::string RawDeflate(std::string_view data, int level) {
  z_stream stream{};
  // Window bits -15: a raw deflate stream with a 32 KiB window.
  if (deflateInit2(&stream, level, Z_DEFLATED, -15, 9, Z_DEFAULT_STRATEGY) != Z_OK) {
    throw std::runtime_error("deflate could not start");
  }
  std::string out(deflateBound(&stream, static_cast<uLong>(data.size())), '\0');
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  stream.avail_in = static_cast<uInt>(data.size());
  stream.next_out = reinterpret_cast<Bytef*>(out.data());
  stream.avail_out = static_cast<uInt>(out.size());
  const int result = deflate(&stream, Z_FINISH);
  const std::size_t produced = out.size() - stream.avail_out;
  deflateEnd(&stream);
  if (result != Z_STREAM_END) throw std::runtime_error("deflate did not finish");
  out.resize(produced);
  return out;
}

void PackageWriter::Add(std::string name, std::string_view content, std::uint8_t method, int level) {
  std::string stored = method == kMethodDeflate ? RawDeflate(content, level) : std::string(content);
  AddStored(std::move(name), std::move(stored), method);
}

void PackageWriter::AddStored(std::string name, std::string stored, std::uint8_t method,
                              std::uint8_t flag) {
  m_entries.push_back(PackageEntry{std::move(name), method, flag, std::move(stored)});
}

std::string PackageWriter::Serialize() const {
  constexpr std::uint64_t kLimit = std::numeric_limits<std::uint32_t>::max();
  std::string index;
  std::uint64_t offset = 0;
  for (const PackageEntry& entry : m_entries) {
    if (entry.name.size() > 0xFFFF) throw std::length_error("entry name longer than 65535 bytes");
    AppendIndexRecord(index, entry.name, entry.method, entry.flag, static_cast<std::uint32_t>(offset),
                      static_cast<std::uint32_t>(entry.stored.size()));
    offset += entry.stored.size();
  }
  if (kPackageHeaderSize + index.size() + offset > kLimit) throw std::length_error("package larger than 4 GiB");

  std::string file;
  file.reserve(kPackageHeaderSize + index.size() + offset);
  AppendPackageHeader(file, PackageHeader{m_headerFlag, m_nameEncoding, static_cast<std::uint32_t>(index.size())});
  file += index;
  for (const PackageEntry& entry : m_entries) file += entry.stored;
  return file;
}

bool WriteFileAtomically(const std::string& path, std::string_view bytes, std::string& error) {
  platform::ReplacementFile file;
  return file.Create(path, error) && file.Write(bytes, error) && file.Commit(error);
}

}  // namespace kavrel::pack
