// Loads arbitrary bytes as a data file, as Open does: the format is found
// from the content (ADTG or ADO's XML) and decoded. Whatever the bytes: no
// crash, no leak, no input slower or hungrier than fuzz.sh's limits; and the
// rows of a file that loads save again in both formats and load back equal,
// unless the save refuses a note that XML cannot carry.
//
// Input: the file's bytes.

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>
#include <vector>

#include "storage/recordset/data_file.h"
#include "storage/recordset/rowset_xml.h"

namespace {

namespace rs = korsi::recordset;

void require(bool promise) {
  if (!promise) std::abort();
}

// Equal, a NaN thickness counting as equal to a NaN.
bool same(const std::vector<korsi::ArchiveRow>& a, const std::vector<korsi::ArchiveRow>& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    korsi::ArchiveRow x = a[i];
    korsi::ArchiveRow y = b[i];
    if (x.h && y.h && std::isnan(*x.h) && std::isnan(*y.h)) x.h = y.h = 0.0;
    if (!(x == y)) return false;
  }
  return true;
}

std::span<const std::uint8_t> bytesOf(const std::string& s) {
  return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const rs::RowsResult loaded = rs::decodeDataFile({data, size});
  if (!loaded.ok()) {
    require(loaded.rows.empty());
    return 0;
  }
  const rs::RowsResult fromKs = rs::decodeDataFile(bytesOf(rs::encodeDataFile(rs::DataFormat::Adtg, loaded.rows)));
  require(fromKs.ok() && same(fromKs.rows, loaded.rows));
  if (!rs::findXmlUnwritableNote(loaded.rows)) {
    const rs::RowsResult fromXml = rs::decodeDataFile(bytesOf(rs::encodeDataFile(rs::DataFormat::Xml, loaded.rows)));
    require(fromXml.ok() && same(fromXml.rows, loaded.rows));
  }
  return 0;
}
