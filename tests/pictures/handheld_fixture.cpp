#include "tests/pictures/handheld_fixture.h"

#include <algorithm>
#include <filesystem>

#include "conduit/settings.h"
#include "hotsync/api/hotsync_host.h"
#include "pictures/codec.h"
#include "pictures/name_flag_list.h"
#include "pictures/picture_database.h"

namespace lumora::test {

Bytes StoredDb::joined() const {
  Bytes all;
  for (const auto& r : records) all.insert(all.end(), r.begin(), r.end());
  return all;
}

Bytes pattern(size_t size, uint8_t seed) {
  Bytes b(size);
  for (size_t i = 0; i < size; ++i) b[i] = static_cast<uint8_t>((i + seed) % 251);
  return b;
}

Bytes capabilityRecord(uint8_t depth, int16_t maxWidth, int16_t maxHeight, uint16_t density,
                       uint32_t maxRawSize, uint8_t compression) {
  Bytes r{0, 0, 0, depth};
  appendBe16(r, static_cast<uint16_t>(maxWidth));
  appendBe16(r, static_cast<uint16_t>(maxHeight));
  appendBe16(r, density);
  appendBe32(r, maxRawSize);
  appendU8(r, compression);
  appendU8(r, 0);
  return r;
}

Bytes infoBlob(const std::vector<std::pair<std::string, uint8_t>>& entries) {
  Bytes b{0, 0};
  appendBe32(b, 0);
  appendBe16(b, static_cast<uint16_t>(entries.size()));
  for (const auto& [name, flag] : entries) {
    appendU8(b, 0);
    appendU8(b, 0);                                              // A
    appendBe32(b, static_cast<uint32_t>(10 + name.size() + 2));  // B
    appendU8(b, 0);
    appendU8(b, 0);
    appendU8(b, flag);
    appendU8(b, static_cast<uint8_t>(name.size()));
    appendText(b, name);
    appendBe16(b, 0xBEEF);  // bytes after the name are not interpreted
  }
  return b;
}

namespace {

void observeLog(const char* text, int32_t activity, void* context) {
  static_cast<std::vector<LogLine>*>(context)->push_back({text, activity});
}

void observeTrace(const char* text, int32_t, void* context) {
  static_cast<std::vector<std::string>*>(context)->push_back(text);
}

}  // namespace

void HandheldTest::SetUp() {
  std::filesystem::create_directories(handheldDir());
  std::filesystem::create_directories(syncDir());
  std::filesystem::create_directories(root_.file("windows"));
  windowsDir_.emplace("LUMORA_WINDOWS_DIR", root_.file("windows"));
  auto& s = conduit::settings();
  s = conduit::ConduitSettings{};
  std::string folder = syncDir();
  std::copy(folder.begin(), folder.end(), s.syncFolder);
  s.acceptedCapabilities.depth = 16;
  s.acceptedCapabilities.density = 144;
  s.acceptedCapabilities.compression = 1;
  connect();
}

void HandheldTest::connect() {
  ASSERT_EQ(HsConnect(handheldDir().c_str(), "Tester"), 0);
  HsSetLogObserver(&observeLog, &log);
  HsSetTraceObserver(&observeTrace, &trace);
}

void HandheldTest::TearDown() {
  HsResetFaults();
  pictures::NameFlagList::writeBackAndReset();
  HsSetLogObserver(nullptr, nullptr);
  HsSetTraceObserver(nullptr, nullptr);
  HsDisconnect();
}

void HandheldTest::reconnect() {
  pictures::NameFlagList::writeBackAndReset();
  HsDisconnect();
  connect();
}

void HandheldTest::putDatabase(const std::string& name, uint32_t type, uint32_t creator,
                               const std::optional<Bytes>& appInfo,
                               const std::vector<Bytes>& records) {
  SyncCreateParams p = pictures::createParams(name, type, creator, 0);
  ASSERT_EQ(SyncCreateDB(&p), 0) << name;
  if (appInfo) {
    Bytes block = *appInfo;
    SyncAppInfoRequest request{};
    request.bufferSize = static_cast<uint16_t>(block.size());
    request.blockSize = static_cast<uint16_t>(block.size());
    request.bytes = block.data();
    ASSERT_EQ(SyncWriteDBAppInfoBlock(p.handle, &request), 0);
  }
  for (Bytes record : records) {
    SyncRawRecordInfo info{};
    info.handle = p.handle;
    info.recordSize = static_cast<uint32_t>(record.size());
    info.bytes = record.data();
    ASSERT_EQ(SyncWriteRec(&info), 0);
  }
  SyncCloseDB(p.handle);
}

void HandheldTest::putPicture(const std::string& name, uint32_t type, uint32_t creator,
                              const Bytes& data) {
  auto block = pictures::encodeAppInfo(static_cast<uint32_t>(data.size()));
  std::vector<Bytes> records;
  for (size_t at = 0; at < data.size(); at += 4096)
    records.emplace_back(data.begin() + at, data.begin() + std::min(data.size(), at + 4096));
  putDatabase(name, type, creator, Bytes(block.begin(), block.end()), records);
}

void HandheldTest::putFormatDb(const Bytes& record) {
  putDatabase("LumdexFormatDb", fourCC("Fmt "), pictures::kCreatorAlbum, std::nullopt, {record});
}

void HandheldTest::putInfoDb(const Bytes& blob) {
  auto block = pictures::encodeAppInfo(static_cast<uint32_t>(blob.size()));
  std::vector<Bytes> records;
  for (size_t at = 0; at < blob.size(); at += 4096)
    records.emplace_back(blob.begin() + at, blob.begin() + std::min(blob.size(), at + 4096));
  putDatabase("Sketvia_InfoDB", pictures::kInfoType, pictures::kCreatorAlbum,
              Bytes(block.begin(), block.end()), records);
}

bool HandheldTest::hasDatabase(const std::string& name) {
  SyncSearchName search{};
  search.options = SYNC_SEARCH_OPTIONS;
  search.name = name.c_str();
  SyncDbInfo info{};
  return SyncFindDbByName(&search, &info) == 0;
}

std::optional<StoredDb> HandheldTest::readDatabase(const std::string& name) {
  SyncSearchName search{};
  search.options = SYNC_SEARCH_OPTIONS;
  search.name = name.c_str();
  SyncDbInfo info{};
  if (SyncFindDbByName(&search, &info) != 0) return std::nullopt;
  StoredDb db;
  db.type = info.type;
  db.creator = info.creator;
  uint8_t handle = 0;
  if (SyncOpenDB(name.c_str(), 0, &handle, 0x90) != 0) return std::nullopt;
  Bytes block(1024);
  SyncAppInfoRequest request{};
  request.bufferSize = static_cast<uint16_t>(block.size());
  request.bytes = block.data();
  if (SyncReadDBAppInfoBlock(handle, &request) == 0) {
    block.resize(std::min<size_t>(request.blockSize, block.size()));
    db.appInfo = block;
  }
  for (uint16_t i = 0;; ++i) {
    Bytes record(65535);
    SyncRawRecordInfo r{};
    r.handle = handle;
    r.recordIndex = i;
    r.bufferCapacity = static_cast<uint16_t>(record.size());
    r.bytes = record.data();
    if (SyncReadRecordByIndex(&r) != 0) break;
    record.resize(r.recordSize);
    db.records.push_back(record);
  }
  SyncCloseDB(handle);
  return db;
}

std::vector<std::string> HandheldTest::databaseNames() {
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(handheldDir())) {
    std::string file = e.path().filename().string();
    if (file.size() > 4 && file.ends_with(".pdb")) names.push_back(file.substr(0, file.size() - 4));
  }
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace lumora::test
