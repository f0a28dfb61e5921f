#include "storage/export/workbook_numbers.h"

#include <zlib.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <span>
#include <string_view>

#include "storage/recordset/byte_reader.h"

namespace korsi {

namespace {

using recordset::detail::ByteReader;
using recordset::detail::FormatError;

constexpr std::uint32_t kLocalHeader = 0x04034b50;
constexpr std::uint32_t kCentralHeader = 0x02014b50;
constexpr std::uint32_t kEndOfDirectory = 0x06054b50;
constexpr std::uint16_t kStored = 0;
constexpr std::uint16_t kDeflated = 8;
// The sizes and CRC follow the data; the new file puts them in the header.
constexpr std::uint16_t kDataDescriptorFlag = 0x0008;

void put16(std::string& out, std::uint16_t v) {
  out += static_cast<char>(v & 0xff);
  out += static_cast<char>(v >> 8);
}
void put32(std::string& out, std::uint32_t v) {
  put16(out, static_cast<std::uint16_t>(v & 0xffff));
  put16(out, static_cast<std::uint16_t>(v >> 16));
}

// One member of the zip as the central directory gives it.
struct Member {
  std::uint16_t madeBy = 0;
  std::uint16_t needed = 0;
  std::uint16_t flags = 0;
  std::uint16_t method = 0;
  std::uint16_t time = 0;
  std::uint16_t date = 0;
  std::uint32_t crc = 0;
  std::uint32_t size = 0;  // uncompressed
  std::uint16_t internal = 0;
  std::uint32_t external = 0;
  std::string name;
  std::string data;  // as stored (compressed)
};

std::optional<std::vector<Member>> readMembers(std::string_view zip) {
  const std::span<const std::uint8_t> bytes(reinterpret_cast<const std::uint8_t*>(zip.data()), zip.size());
  const auto at = [&](std::size_t offset) { return ByteReader(bytes.subspan(offset), offset); };
  if (zip.size() < 22) return std::nullopt;
  try {
    // The end record, with a comment of up to 65,535 bytes behind it.
    std::size_t end = zip.size() - 22;
    const std::size_t lowest = zip.size() > 22 + 65535 ? zip.size() - 22 - 65535 : 0;
    while (at(end).u32() != kEndOfDirectory) {
      if (end == lowest) return std::nullopt;
      --end;
    }
    ByteReader record = at(end + 10);
    const std::size_t count = record.u16();
    record.skip(4);
    ByteReader directory = at(record.u32());
    std::vector<Member> members;
    for (std::size_t i = 0; i < count; ++i) {
      if (directory.u32() != kCentralHeader) return std::nullopt;
      Member m;
      m.madeBy = directory.u16();
      m.needed = directory.u16();
      m.flags = directory.u16();
      m.method = directory.u16();
      m.time = directory.u16();
      m.date = directory.u16();
      m.crc = directory.u32();
      const std::uint32_t stored = directory.u32();
      m.size = directory.u32();
      const std::size_t nameLength = directory.u16();
      const std::size_t extra = directory.u16();
      const std::size_t comment = directory.u16();
      directory.skip(2);  // disk
      m.internal = directory.u16();
      m.external = directory.u32();
      const std::uint32_t local = directory.u32();
      // Sizes past 4 GB live in the zip64 extra field: not written here.
      if (stored == 0xffffffffU || m.size == 0xffffffffU || local == 0xffffffffU) return std::nullopt;
      const auto name = directory.take(nameLength);
      m.name.assign(name.begin(), name.end());
      directory.skip(extra + comment);
      ByteReader header = at(local);
      if (header.u32() != kLocalHeader) return std::nullopt;
      header.skip(22);
      const std::size_t localName = header.u16();
      const std::size_t localExtra = header.u16();
      header.skip(localName + localExtra);
      const auto data = header.take(stored);
      m.data.assign(data.begin(), data.end());
      members.push_back(std::move(m));
    }
    return members;
  } catch (const FormatError&) {
    // A member or a record past the file's end.
    return std::nullopt;
  }
}

std::optional<std::string> inflated(const Member& m) {
  if (m.method == kStored) return m.data;
  if (m.method != kDeflated) return std::nullopt;
  std::string out(m.size, '\0');
  z_stream z{};
  if (inflateInit2(&z, -MAX_WBITS) != Z_OK) return std::nullopt;
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(m.data.data()));
  z.avail_in = static_cast<uInt>(m.data.size());
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = static_cast<uInt>(out.size());
  const int rc = inflate(&z, Z_FINISH);
  inflateEnd(&z);
  if (rc != Z_STREAM_END || z.total_out != out.size()) return std::nullopt;
  return out;
}

std::optional<std::string> deflated(const std::string& bytes) {
  z_stream z{};
  if (deflateInit2(&z, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
    return std::nullopt;
  }
  std::string out(deflateBound(&z, static_cast<uLong>(bytes.size())), '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
  z.avail_in = static_cast<uInt>(bytes.size());
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = static_cast<uInt>(out.size());
  const int rc = deflate(&z, Z_FINISH);
  out.resize(z.total_out);
  deflateEnd(&z);
  if (rc != Z_STREAM_END) return std::nullopt;
  return out;
}

// The worksheet with each <v>...</v> text replaced in turn; nothing when
// the count differs.
std::optional<std::string> withTexts(const std::string& xml, const std::vector<std::string>& texts) {
  std::string out;
  out.reserve(xml.size());
  std::size_t from = 0;
  std::size_t k = 0;
  for (std::size_t open; (open = xml.find("<v>", from)) != std::string::npos;) {
    const std::size_t close = xml.find("</v>", open);
    if (close == std::string::npos || k == texts.size()) return std::nullopt;
    out.append(xml, from, open + 3 - from);
    out += texts[k++];
    from = close;
  }
  if (k != texts.size()) return std::nullopt;
  out.append(xml, from, std::string::npos);
  return out;
}

std::string zipOf(const std::vector<Member>& members) {
  std::string zip;
  std::string directory;
  for (const Member& m : members) {
    const auto offset = static_cast<std::uint32_t>(zip.size());
    const auto flags = static_cast<std::uint16_t>(m.flags & ~kDataDescriptorFlag);
    const auto nameLength = static_cast<std::uint16_t>(m.name.size());
    put32(zip, kLocalHeader);
    for (std::uint16_t v : {m.needed, flags, m.method, m.time, m.date}) put16(zip, v);
    put32(zip, m.crc);
    put32(zip, static_cast<std::uint32_t>(m.data.size()));
    put32(zip, m.size);
    put16(zip, nameLength);
    put16(zip, 0);
    zip += m.name;
    zip += m.data;

    put32(directory, kCentralHeader);
    for (std::uint16_t v : {m.madeBy, m.needed, flags, m.method, m.time, m.date}) put16(directory, v);
    put32(directory, m.crc);
    put32(directory, static_cast<std::uint32_t>(m.data.size()));
    put32(directory, m.size);
    for (std::uint16_t v : {nameLength, std::uint16_t{0}, std::uint16_t{0}, std::uint16_t{0}, m.internal}) {
      put16(directory, v);
    }
    put32(directory, m.external);
    put32(directory, offset);
    directory += m.name;
  }
  const auto start = static_cast<std::uint32_t>(zip.size());
  zip += directory;
  put32(zip, kEndOfDirectory);
  put16(zip, 0);
  put16(zip, 0);
  put16(zip, static_cast<std::uint16_t>(members.size()));
  put16(zip, static_cast<std::uint16_t>(members.size()));
  put32(zip, static_cast<std::uint32_t>(directory.size()));
  put32(zip, start);
  put16(zip, 0);
  return zip;
}

}  // namespace

std::string rewriteWorksheetNumbers(const std::string& path, const std::string& entry,
                                    const std::vector<std::string>& texts) {
  std::string zip;
  {
    std::ifstream in(std::filesystem::path(path), std::ios::binary);
    if (!in) return "не удалось прочитать " + path;
    zip.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  // A workbook of another shape than libxlsxwriter writes now stays as it
  // is: its numbers still read back as the same values, only longer.
  std::optional<std::vector<Member>> members = readMembers(zip);
  if (!members || members->size() > 0xffff) return {};
  Member* sheet = nullptr;
  for (Member& m : *members) {
    if (m.name == entry) sheet = &m;
  }
  if (!sheet) return {};
  const std::optional<std::string> xml = inflated(*sheet);
  if (!xml) return {};
  const std::optional<std::string> rewritten = withTexts(*xml, texts);
  if (!rewritten) return {};
  const std::optional<std::string> packed = deflated(*rewritten);
  if (!packed || rewritten->size() > 0xffffffffU) return {};
  sheet->method = kDeflated;
  sheet->data = *packed;
  sheet->size = static_cast<std::uint32_t>(rewritten->size());
  sheet->crc = static_cast<std::uint32_t>(
      crc32(0L, reinterpret_cast<const Bytef*>(rewritten->data()), static_cast<uInt>(rewritten->size())));
  const std::string bytes = zipOf(*members);
  std::ofstream out(std::filesystem::path(path), std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) return "не удалось записать " + path;
  return {};
}

}  // namespace korsi
