#include "storage/export/workbook_numbers.h"

#include <zlib.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string_view>

namespace korsi {

namespace {

constexpr std::uint32_t kLocalHeader = 0x04034b50;
constexpr std::uint32_t kCentralHeader = 0x02014b50;
constexpr std::uint32_t kEndOfDirectory = 0x06054b50;
constexpr std::uint16_t kStored = 0;
constexpr std::uint16_t kDeflated = 8;
// The sizes and CRC follow the data; the new file puts them in the header.
constexpr std::uint16_t kDataDescriptorFlag = 0x0008;

std::uint16_t u16(std::string_view b, std::size_t at) {
  return static_cast<std::uint16_t>(static_cast<unsigned char>(b[at]) | static_cast<unsigned char>(b[at + 1]) << 8);
}
std::uint32_t u32(std::string_view b, std::size_t at) {
  return static_cast<std::uint32_t>(u16(b, at)) | static_cast<std::uint32_t>(u16(b, at + 2)) << 16;
}
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
  if (zip.size() < 22) return std::nullopt;
  // The end record, with a comment of up to 65,535 bytes behind it.
  std::size_t end = zip.size() - 22;
  const std::size_t lowest = zip.size() > 22 + 65535 ? zip.size() - 22 - 65535 : 0;
  while (u32(zip, end) != kEndOfDirectory) {
    if (end == lowest) return std::nullopt;
    --end;
  }
  const std::size_t count = u16(zip, end + 10);
  std::size_t at = u32(zip, end + 16);
  std::vector<Member> members;
  for (std::size_t i = 0; i < count; ++i) {
    if (at + 46 > zip.size() || u32(zip, at) != kCentralHeader) return std::nullopt;
    Member m;
    m.madeBy = u16(zip, at + 4);
    m.needed = u16(zip, at + 6);
    m.flags = u16(zip, at + 8);
    m.method = u16(zip, at + 10);
    m.time = u16(zip, at + 12);
    m.date = u16(zip, at + 14);
    m.crc = u32(zip, at + 16);
    const std::uint32_t stored = u32(zip, at + 20);
    m.size = u32(zip, at + 24);
    const std::size_t nameLength = u16(zip, at + 28);
    const std::size_t extra = u16(zip, at + 30);
    const std::size_t comment = u16(zip, at + 32);
    m.internal = u16(zip, at + 36);
    m.external = u32(zip, at + 38);
    const std::size_t local = u32(zip, at + 42);
    // Sizes past 4 GB live in the zip64 extra field: not written here.
    if (stored == 0xffffffffU || m.size == 0xffffffffU || local == 0xffffffffU) return std::nullopt;
    if (at + 46 + nameLength > zip.size()) return std::nullopt;
    m.name = std::string(zip.substr(at + 46, nameLength));
    at += 46 + nameLength + extra + comment;
    if (local + 30 > zip.size() || u32(zip, local) != kLocalHeader) return std::nullopt;
    const std::size_t data = local + 30 + u16(zip, local + 26) + u16(zip, local + 28);
    if (data + stored > zip.size()) return std::nullopt;
    m.data = std::string(zip.substr(data, stored));
    members.push_back(std::move(m));
  }
  return members;
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
