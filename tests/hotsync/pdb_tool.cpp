// Test helper for the cross-checks with an independent .pdb reader and writer:
//   pdb_tool write <handheld folder>          writes the database "Perl Check" through the
//                                              Sync Manager
//   pdb_tool dump <handheld folder> <name>    prints a database read through the Sync Manager
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "common/bytes.h"
#include "hotsync/api/hotsync_host.h"

namespace {

std::string hex(const uint8_t* p, size_t n) {
  std::string out;
  char two[3];
  for (size_t i = 0; i < n; ++i) {
    std::snprintf(two, sizeof two, "%02x", p[i]);
    out += two;
  }
  return out;
}

std::string code(uint32_t v) {
  std::string s;
  for (int shift = 24; shift >= 0; shift -= 8) s += static_cast<char>(v >> shift);
  return s;
}

int fail(const char* what, int32_t result) {
  std::fprintf(stderr, "pdb_tool: %s failed with 0x%X\n", what, static_cast<unsigned>(result));
  return 1;
}

int write() {
  SyncCreateParams p{};
  p.creator = lumora::fourCC("LmTs");
  p.flags = 0x0008;
  std::strcpy(p.name, "Perl Check");
  p.type = lumora::fourCC("DATA");
  p.version = 2;
  if (int32_t r = SyncCreateDB(&p)) return fail("SyncCreateDB", r);
  std::vector<uint8_t> app{0x00, 0x0C, 0x00, 0x00, 0x14, 0x05};
  SyncAppInfoRequest req{};
  req.bufferSize = req.blockSize = static_cast<uint16_t>(app.size());
  req.bytes = app.data();
  if (int32_t r = SyncWriteDBAppInfoBlock(p.handle, &req))
    return fail("SyncWriteDBAppInfoBlock", r);
  std::vector<uint8_t> big(5125);
  for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<uint8_t>(i * 7);
  std::vector<std::vector<uint8_t>> records{{'f', 'i', 'r', 's', 't'}, {}, big};
  for (auto& bytes : records) {
    SyncRawRecordInfo info{};
    info.handle = p.handle;
    info.category = 2;
    info.recordSize = static_cast<uint32_t>(bytes.size());
    info.bytes = bytes.data();
    if (int32_t r = SyncWriteRec(&info)) return fail("SyncWriteRec", r);
  }
  if (int32_t r = SyncCloseDB(p.handle)) return fail("SyncCloseDB", r);
  return 0;
}

int dump(const char* name) {
  SyncSearchName search{SYNC_SEARCH_OPTIONS, 0, name};
  SyncDbInfo info{};
  if (int32_t r = SyncFindDbByName(&search, &info)) return fail("SyncFindDbByName", r);
  uint8_t h = 0;
  if (int32_t r = SyncOpenDB(name, 0, &h, 0x90)) return fail("SyncOpenDB", r);
  std::printf("name=%s\ntype=%s\ncreator=%s\nversion=%u\nattributes=%u\nrecords=%u\n", info.name,
              code(info.type).c_str(), code(info.creator).c_str(), info.version, info.attributes,
              info.recordCount);
  std::vector<uint8_t> buffer(65536);
  SyncAppInfoRequest req{};
  req.bufferSize = 65535;
  req.bytes = buffer.data();
  if (SyncReadDBAppInfoBlock(h, &req) == 0)
    std::printf("appinfo=%s\n",
                hex(buffer.data(), std::min<size_t>(req.blockSize, req.bufferSize)).c_str());
  for (uint16_t i = 0; i < info.recordCount; ++i) {
    SyncRawRecordInfo rec{};
    rec.handle = h;
    rec.recordIndex = i;
    rec.bufferCapacity = 65535;
    rec.bytes = buffer.data();
    if (int32_t r = SyncReadRecordByIndex(&rec)) return fail("SyncReadRecordByIndex", r);
    std::printf("record=%u %u %s\n", rec.recordId, rec.category,
                hex(buffer.data(), rec.recordSize).c_str());
  }
  SyncCloseDB(h);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::string command = argc > 1 ? argv[1] : "";
  if (command == "--help" || argc < 3 || (command == "dump" && argc < 4)) {
    std::printf(
        "usage: pdb_tool write <handheld folder>\n"
        "       pdb_tool dump <handheld folder> <database name>\n");
    return command == "--help" ? 0 : 2;
  }
  if (int32_t r = HsConnect(argv[2], "Perl")) return fail("HsConnect", r);
  int status = command == "write" ? write() : command == "dump" ? dump(argv[3]) : 2;
  if (int32_t r = HsDisconnect(); r && status == 0) return fail("HsDisconnect", r);
  return status;
}
