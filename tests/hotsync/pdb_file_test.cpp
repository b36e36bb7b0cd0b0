#include "hotsync/format/pdb_file.h"

#include <gtest/gtest.h>

#include <functional>

namespace lumora::hotsync {
namespace {

// "Notes", app-info "AB", records "xyz" and "12": header 78, list 16, gap 2, then the blocks
// at 96 (app-info), 98 and 101; 103 bytes in all.
Database sample() {
  Database db;
  db.name = "Notes";
  db.attributes = 0x0008;
  db.version = 3;
  db.creationDate = 0xC0000001;
  db.modificationDate = 0xC0000002;
  db.backupDate = 0xC0000003;
  db.modificationNumber = 7;
  db.type = fourCC("DATA");
  db.creator = fourCC("LmDx");
  db.uniqueIdSeed = 0x30;
  db.appInfo = Bytes{'A', 'B'};
  db.records = {{0x40, 0x000101, {'x', 'y', 'z'}}, {0x03, 0xABCDEF, {'1', '2'}}};
  return db;
}

Bytes sampleFile() {
  return *serializePdb(sample());
}

TEST(PdbFile, SerializesTheStandardLayout) {
  Bytes f = sampleFile();
  ASSERT_EQ(f.size(), 103u);
  EXPECT_EQ(std::string(f.begin(), f.begin() + 6), std::string("Notes\0", 6));
  EXPECT_EQ(loadBe16(&f[32]), 0x0008);
  EXPECT_EQ(loadBe16(&f[34]), 3);
  EXPECT_EQ(loadBe32(&f[48]), 7u);
  EXPECT_EQ(loadBe32(&f[52]), 96u);  // app-info after the list and the 2-byte gap
  EXPECT_EQ(loadBe32(&f[56]), 0u);
  EXPECT_EQ(loadBe32(&f[60]), fourCC("DATA"));
  EXPECT_EQ(loadBe32(&f[64]), fourCC("LmDx"));
  EXPECT_EQ(loadBe32(&f[68]), 0x30u);
  EXPECT_EQ(loadBe32(&f[72]), 0u);
  EXPECT_EQ(loadBe16(&f[76]), 2);
  // Record entries: offset, attributes, 3-byte unique ID.
  EXPECT_EQ(loadBe32(&f[78]), 98u);
  EXPECT_EQ(f[82], 0x40);
  EXPECT_EQ((Bytes{f.begin() + 83, f.begin() + 86}), (Bytes{0x00, 0x01, 0x01}));
  EXPECT_EQ(loadBe32(&f[86]), 101u);
  EXPECT_EQ((Bytes{f.begin() + 91, f.begin() + 94}), (Bytes{0xAB, 0xCD, 0xEF}));
  EXPECT_EQ(loadBe16(&f[94]), 0);
  EXPECT_EQ(std::string(f.begin() + 96, f.end()), "ABxyz12");
}

TEST(PdbFile, RoundTrips) {
  auto parsed = parsePdb(sampleFile());
  ASSERT_TRUE(parsed.database) << parsed.error;
  EXPECT_EQ(*parsed.database, sample());
  EXPECT_EQ(serializePdb(*parsed.database), sampleFile());

  Database bare;  // no app-info, no records: header, gap and nothing else
  bare.name = std::string(31, 'n');
  bare.sortInfo = Bytes{9, 9, 9};
  bare.attributes = kDbAttrFileStream;
  auto again = parsePdb(*serializePdb(bare));
  ASSERT_TRUE(again.database) << again.error;
  EXPECT_EQ(*again.database, bare);
}

TEST(PdbFile, ReadsLayoutsOtherToolsWrite) {
  // No gap after the record list, and an empty last record ending at the file end.
  Bytes f(78 + 16, 0);
  std::copy_n("Raw", 3, f.begin());
  storeBe16(&f[76], 2);
  storeBe32(&f[78], 94);
  storeBe32(&f[86], 96);
  f.push_back('h');
  f.push_back('i');
  auto parsed = parsePdb(f);
  ASSERT_TRUE(parsed.database) << parsed.error;
  ASSERT_EQ(parsed.database->records.size(), 2u);
  EXPECT_EQ(parsed.database->records[0].data, (Bytes{'h', 'i'}));
  EXPECT_TRUE(parsed.database->records[1].data.empty());
  EXPECT_FALSE(parsed.database->appInfo);
}

struct Refusal {
  const char* what;
  std::function<void(Bytes&)> damage;
  const char* reason;
};

class PdbRefusal : public testing::TestWithParam<Refusal> {};

TEST_P(PdbRefusal, NamesTheReason) {
  Bytes f = sampleFile();
  GetParam().damage(f);
  auto parsed = parsePdb(f);
  EXPECT_FALSE(parsed.database);
  EXPECT_NE(parsed.error.find(GetParam().reason), std::string::npos) << parsed.error;
}

INSTANTIATE_TEST_SUITE_P(
    PdbFile, PdbRefusal,
    testing::Values(
        Refusal{"empty", [](Bytes& f) { f.clear(); }, "shorter than the 78-byte"},
        Refusal{"header cut", [](Bytes& f) { f.resize(77); }, "shorter than the 78-byte"},
        Refusal{"list cut", [](Bytes& f) { f.resize(90); }, "record list of 2 entries runs past"},
        Refusal{"huge count", [](Bytes& f) { storeBe16(&f[76], 0xFFFF); },
                "65535 entries runs past"},
        Refusal{"unterminated name", [](Bytes& f) { std::fill_n(f.begin(), 32, 'a'); },
                "not terminated"},
        Refusal{"empty name", [](Bytes& f) { f[0] = 0; }, "name is empty"},
        Refusal{"resource", [](Bytes& f) { storeBe16(&f[32], 0x0001); }, "resource database"},
        Refusal{"chained", [](Bytes& f) { storeBe32(&f[72], 200); }, "chained"},
        Refusal{"record past end", [](Bytes& f) { storeBe32(&f[86], 104); },
                "record 1 starts past the end"},
        Refusal{"record offset at 2^32-1", [](Bytes& f) { storeBe32(&f[86], 0xFFFFFFFF); },
                "record 1 starts past the end"},
        Refusal{"record in header", [](Bytes& f) { storeBe32(&f[78], 10); },
                "record 0 starts inside the header"},
        Refusal{"records overlap", [](Bytes& f) { storeBe32(&f[86], 97); }, "record 1 overlaps"},
        Refusal{"app-info after records", [](Bytes& f) { storeBe32(&f[52], 102); },
                "record 0 overlaps"},
        Refusal{"app-info past end", [](Bytes& f) { storeBe32(&f[52], 200); },
                "app-info block starts past the end"},
        Refusal{"sort-info past end", [](Bytes& f) { storeBe32(&f[56], 104); },
                "sort-info block starts past the end"}),
    [](const auto& info) {
      std::string name = info.param.what;
      for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
      return name;
    });

TEST(PdbFile, RefusesValuesItCannotStore) {
  Database db = sample();
  db.name = std::string(32, 'n');
  EXPECT_FALSE(serializePdb(db));
  db.name = "";
  EXPECT_FALSE(serializePdb(db));
  db.name = std::string("a\0b", 3);
  EXPECT_FALSE(serializePdb(db));
  db = sample();
  db.records[0].uniqueId = 0x1000000;
  EXPECT_FALSE(serializePdb(db));
  db = sample();
  db.records.resize(65536);
  EXPECT_FALSE(serializePdb(db));
  db.records.resize(65535);
  EXPECT_TRUE(serializePdb(db));
}

}  // namespace
}  // namespace lumora::hotsync
