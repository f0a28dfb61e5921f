#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "storage/recordset/rowset_xml.h"

namespace {

using korsi::ArchiveRow;
using korsi::DateTime;
namespace rs = korsi::recordset;

ArchiveRow row(std::optional<std::int32_t> num, std::optional<DateTime> date, std::optional<double> h,
               std::optional<std::string> prim) {
  return ArchiveRow{num, date, h, std::move(prim)};
}

TEST(RowsetXmlWriter, WritesTheSchemaAndOneRowElementPerRow) {
  const std::string xml = rs::writeRowsetXml(
      {row(300, DateTime{2009, 3, 9, 14, 30, 5}, 1.0, "a'b\"c<d>&\te\nf"), row(7, {}, {}, {})});
  EXPECT_EQ(xml.rfind("<xml xmlns:s='uuid:BDC6E3F0-6DA3-11d1-A2A3-00AA00C14882'", 0), 0u);
  EXPECT_NE(xml.find("<s:Schema id='RowsetSchema'>"), std::string::npos);
  EXPECT_NE(xml.find("<s:AttributeType name='Prim' rs:number='4'"), std::string::npos);
  EXPECT_NE(xml.find("<s:datatype dt:type='dateTime' rs:dbtype='variantdate'"), std::string::npos);
  EXPECT_NE(xml.find("<z:row num='300' date='2009-03-09T14:30:05' h='1' "
                     "Prim='a&apos;b&quot;c&lt;d&gt;&amp;&#x9;e&#xA;f'/>"),
            std::string::npos);
  EXPECT_NE(xml.find("<z:row num='7'/>"), std::string::npos);
}

// A file as ADO writes it from a batch-mode record set with pending changes,
// with other prefixes, an aliased column, declarations and comments.
constexpr const char* kForeignFile =
    "\xEF\xBB\xBF<?xml version='1.0' encoding='utf-8'?>\r\n"
    "<!-- saved on Windows -->\r\n"
    "<xml xmlns:x='uuid:BDC6E3F0-6DA3-11d1-A2A3-00AA00C14882' xmlns:t='uuid:C2F41010-65B3-11d1-A29F-00AA00C14882'\r\n"
    "     xmlns:r='urn:schemas-microsoft-com:rowset' xmlns:row='#RowsetSchema'>\r\n"
    "<x:Schema id='RowsetSchema'>\r\n"
    "  <x:AttributeType name='c1' r:name='Prim' r:number='4'><x:datatype t:type='string' t:maxLength='255'/></x:AttributeType>\r\n"
    "  <x:ElementType name='row' content='eltOnly' r:updatable='true'>\r\n"
    "    <x:AttributeType name='NUM' r:number='1'><x:datatype t:type='i4'/></x:AttributeType>\r\n"
    "    <x:AttributeType name='date' r:number='2'><x:datatype t:type='dateTime' r:dbtype='timestamp'/></x:AttributeType>\r\n"
    "    <x:AttributeType name='h' r:number='3'><x:datatype t:type='float'/></x:AttributeType>\r\n"
    "    <x:AttributeType name='extra' r:number='5'/>\r\n"
    "    <x:attribute type='c1'/>\r\n"
    "    <x:extends type='r:rowbase'/>\r\n"
    "  </x:ElementType>\r\n"
    "</x:Schema>\r\n"
    "<r:data>\r\n"
    "  <row:row NUM='1' date='2009-03-09T14:30:05' h='1.5E-3' c1='&#x416;&lt;&#1078;' extra='x'/>\r\n"
    "  <r:update>\r\n"
    "    <r:original><row:row NUM='2' date='2009-03-09T00:00:00' h='2' c1='old'/></r:original>\r\n"
    "    <row:row h='2.5' r:forcenull='c1'/>\r\n"
    "  </r:update>\r\n"
    "  <r:delete><row:row NUM='3' h='3'/></r:delete>\r\n"
    "  <r:insert><row:row NUM='4' date='2010-01-02T03:04:05.7' c1=''/></r:insert>\r\n"
    "  <row:row NUM=' -5 ' h='INF' c1='line&#xD;&#xA;two'/>\r\n"
    "</r:data>\r\n"
    "</xml>\r\n";

TEST(RowsetXmlReader, ReadsAFileWithPendingChangesAndOtherPrefixes) {
  const rs::RowsResult result = rs::readRowsetXml(kForeignFile);
  ASSERT_TRUE(result.ok()) << result.error;
  const std::vector<ArchiveRow> expected = {
      row(1, DateTime{2009, 3, 9, 14, 30, 5}, 1.5e-3, "Ж<ж"),
      row(2, DateTime{2009, 3, 9, 0, 0, 0}, 2.5, {}),
      row(4, DateTime{2010, 1, 2, 3, 4, 6}, {}, ""),
      row(-5, {}, HUGE_VAL, "line\r\ntwo"),
  };
  EXPECT_EQ(result.rows, expected);
}

struct BadXmlCase {
  const char* name;
  std::string text;
  std::string error;
};

std::string withRow(const std::string& rowElement) {
  std::string xml = rs::writeRowsetXml({});
  xml.insert(xml.find("</rs:data>"), rowElement);
  return xml;
}

TEST(RowsetXmlReader, RefusesWhatItCannotReadWithAClearError) {
  std::string noNote = rs::writeRowsetXml({});
  noNote.replace(noNote.find("name='Prim'"), 11, "name='Note'");
  const std::vector<BadXmlCase> cases = {
      {"not a record set", "<html><body/></html>", "Файл не является файлом данных толщиномера"},
      {"column missing", noNote, "В файле нет столбца «Prim»"},
      {"number not a number", withRow("<z:row num='12a'/>"), "Недопустимое значение столбца «num» в строке 1"},
      {"number too large", withRow("<z:row num='2147483648'/>"), "Недопустимое значение столбца «num» в строке 1"},
      {"date not a date", withRow("<z:row/><z:row date='2009-02-30T00:00:00'/>"),
       "Недопустимое значение столбца «date» в строке 2"},
      {"thickness not a number", withRow("<z:row h='1,5'/>"), "Недопустимое значение столбца «h» в строке 1"},
      {"note too long", withRow("<z:row Prim='" + std::string(256, 'x') + "'/>"),
       "Недопустимое значение столбца «Prim» в строке 1"},
      {"tags crossed", "<xml><a><b></a></b></xml>", "Файл данных повреждён: закрывающий тег не совпадает с открытым"},
      {"unknown prefix", "<q:xml/>", "Файл данных повреждён: неизвестный префикс q"},
      {"unknown entity", withRow("<z:row Prim='&nbsp;'/>"), "Файл данных повреждён: неизвестная ссылка на знак"},
      {"not UTF-8", "<xml a='\xC0\xAF'/>", "Файл данных повреждён: текст не в кодировке UTF-8"},
      {"two roots", "<xml/><xml/>", "Файл данных повреждён: данные после корневого элемента"},
      {"text after the root", "<xml/>x", "Файл данных повреждён: данные после корневого элемента"},
  };
  for (const BadXmlCase& c : cases) {
    const rs::RowsResult result = rs::readRowsetXml(c.text);
    EXPECT_FALSE(result.ok()) << c.name;
    EXPECT_TRUE(result.rows.empty()) << c.name;
    EXPECT_EQ(result.error.rfind(c.error, 0), 0u) << c.name << ": " << result.error;
  }
  std::string deep;
  for (int i = 0; i < 1000; ++i) deep += "<a>";
  EXPECT_EQ(rs::readRowsetXml(deep).error.rfind("Файл данных повреждён: слишком глубокая вложенность", 0), 0u);
}

TEST(RowsetXmlReader, TruncatedFilesFailOrLoseOnlyTrailingSpace) {
  const std::vector<ArchiveRow> rows = {row(1, DateTime{2009, 3, 9, 14, 30, 5}, 0.25, "первая & вторая"),
                                        row({}, {}, {}, {})};
  const std::string xml = rs::writeRowsetXml(rows);
  const std::size_t end = xml.rfind('>') + 1;
  for (std::size_t length = 0; length < xml.size(); ++length) {
    const rs::RowsResult result = rs::readRowsetXml(xml.substr(0, length));
    if (length < end) {
      ASSERT_FALSE(result.ok()) << length;
    } else {
      ASSERT_EQ(result.rows, rows) << length;
    }
  }
}

// Elements with very many attributes or namespace prefixes (1 to 3 MB of
// file) are read in time that grows with the file, not with its square: at
// the old pace these took minutes and ran into the test's time bound.
TEST(RowsetXmlReader, ManyAttributesAndPrefixesAreReadAndARepeatIsStillFound) {
  constexpr int kCount = 100000;
  std::string attributes;
  for (int i = 0; i < kCount; ++i) attributes += " a" + std::to_string(i) + "=''";
  const rs::RowsResult many = rs::readRowsetXml(withRow("<z:row num='1'" + attributes + "/>"));
  ASSERT_TRUE(many.ok()) << many.error;
  EXPECT_EQ(many.rows, (std::vector<ArchiveRow>{row(1, {}, {}, {})}));

  const rs::RowsResult repeated = rs::readRowsetXml(withRow("<z:row num='1'" + attributes + " a0='x'/>"));
  EXPECT_EQ(repeated.error.rfind("Файл данных повреждён: атрибут повторяется", 0), 0u) << repeated.error;

  // Prefixes bound on the root and used, the first one last, by every row.
  std::string prefixes;
  std::string used;
  for (int i = 0; i < kCount; ++i) prefixes += " xmlns:p" + std::to_string(i) + "='urn:p" + std::to_string(i) + "'";
  for (int i = 0; i < 1000; ++i) used += "<z:row num='" + std::to_string(i) + "' p0:x='1'/>";
  std::string xml = withRow(used);
  xml.insert(xml.find("xmlns:z='#RowsetSchema'"), prefixes.substr(1) + " ");
  const rs::RowsResult bound = rs::readRowsetXml(xml);
  ASSERT_TRUE(bound.ok()) << bound.error;
  EXPECT_EQ(bound.rows.size(), 1000u);
}

TEST(RowsetXmlReader, MoreRowsThanADataFileMayHoldAreRefused) {
  std::string rows;
  rows.reserve((rs::kMaxDataFileRows + 1) * 8);
  for (std::size_t r = 0; r <= rs::kMaxDataFileRows; ++r) rows += "<z:row/>";
  const rs::RowsResult result = rs::readRowsetXml(withRow(rows));
  EXPECT_EQ(result.error, "В файле слишком много строк");
  EXPECT_TRUE(result.rows.empty());
}

}  // namespace
