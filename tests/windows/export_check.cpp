// A HotSync Manager's view of the built libraries: loads lumsync.dll and lumprep.dll from
// the program's folder and checks the result codes of their exports, and the layout of the
// host records the libraries exchange with the HotSync libraries. Built for 32-bit Windows
// and run under emulation, so it is one process that checks everything; prints one line
// per failed check and exits 1 when any failed.
#include <windows.h>

#include <stdlib.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <type_traits>

#include "conduit/exports.h"
#include "hotsync/api/hotsync.h"
#include "installer/lumprep.h"

namespace {

int failures = 0;
int checks = 0;

void expect(bool ok, const std::string& what) {
  ++checks;
  if (!ok) {
    ++failures;
    std::printf("FAIL: %s\n", what.c_str());
  }
}

void expectCode(int32_t actual, int32_t expected, const std::string& what) {
  expect(actual == expected,
         what + ": " + std::to_string(actual) + ", expected " + std::to_string(expected));
}

template <typename Fn>
Fn* exported(HMODULE library, const char* name) {
  auto* fn = reinterpret_cast<Fn*>(reinterpret_cast<void (*)()>(::GetProcAddress(library, name)));
  expect(fn != nullptr, std::string("export ") + name + " found");
  return fn;
}

void storeLe32(uint8_t* at, uint32_t v) {
  for (int i = 0; i < 4; ++i) at[i] = static_cast<uint8_t>(v >> (8 * i));
}

uint32_t loadLe32(const uint8_t* at) {
  return uint32_t{at[0]} | uint32_t{at[1]} << 8 | uint32_t{at[2]} << 16 | uint32_t{at[3]} << 24;
}

// The records as the HotSync Manager's 32-bit libraries read them.
void checkHostRecords() {
  struct Field {
    const char* what;
    size_t actual, expected;
  };
  const bool narrow = sizeof(void*) == 4;
  const Field fields[] = {
      {"raw record info size", sizeof(SyncRawRecordInfo), narrow ? 28u : 32u},
      {"raw record id", offsetof(SyncRawRecordInfo, recordId), 1},
      {"raw record index", offsetof(SyncRawRecordInfo, recordIndex), 5},
      {"raw record attributes", offsetof(SyncRawRecordInfo, attributes), 7},
      {"raw record category", offsetof(SyncRawRecordInfo, category), 8},
      {"raw record size", offsetof(SyncRawRecordInfo, recordSize), 14},
      {"raw record capacity", offsetof(SyncRawRecordInfo, bufferCapacity), 18},
      {"raw record bytes", offsetof(SyncRawRecordInfo, bytes), 20},
      {"app-info size", sizeof(SyncAppInfoRequest), narrow ? 44u : 48u},
      {"app-info buffer size", offsetof(SyncAppInfoRequest, bufferSize), 32},
      {"app-info block size", offsetof(SyncAppInfoRequest, blockSize), 34},
      {"app-info bytes", offsetof(SyncAppInfoRequest, bytes), 36},
      {"create size", sizeof(SyncCreateParams), 52},
      {"create creator", offsetof(SyncCreateParams, creator), 1},
      {"create flags", offsetof(SyncCreateParams, flags), 5},
      {"create card", offsetof(SyncCreateParams, card), 9},
      {"create name", offsetof(SyncCreateParams, name), 10},
      {"create type", offsetof(SyncCreateParams, type), 42},
      {"create version", offsetof(SyncCreateParams, version), 46},
      {"type/creator search size", sizeof(SyncSearchTypeCreator), 10},
      {"type/creator search flags", offsetof(SyncSearchTypeCreator, searchFlags), 1},
      {"type/creator search type", offsetof(SyncSearchTypeCreator, type), 2},
      {"type/creator search creator", offsetof(SyncSearchTypeCreator, creator), 6},
      {"name search card", offsetof(SyncSearchName, card), 1},
      {"name search name", offsetof(SyncSearchName, name), 5},
      {"database info card", offsetof(SyncDbInfo, card), 0},
      {"database info name", offsetof(SyncDbInfo, name), 10},
      {"database info size", sizeof(SyncDbInfo), 114},
      {"database info type", offsetof(SyncDbInfo, type), 6},
      {"database info creator", offsetof(SyncDbInfo, creator), 42},
      {"database info record count", offsetof(SyncDbInfo, recordCount), 78},
      {"sync properties size", sizeof(SyncProperties), 1198},
      {"name request size", sizeof(ConduitNameRequest), 80},
      {"configuration record size", sizeof(ConduitConfigRecord), 352},
  };
  for (const Field& f : fields) {
    expect(f.actual == f.expected, std::string(f.what) + " at " + std::to_string(f.actual) +
                                       ", expected " + std::to_string(f.expected));
  }
}

void checkConduit(HMODULE lumsync) {
  auto* info = exported<decltype(::GetConduitInfo)>(lumsync, "GetConduitInfo");
  auto* name = exported<decltype(::GetConduitName)>(lumsync, "GetConduitName");
  auto* cfg = exported<decltype(::CfgConduit)>(lumsync, "CfgConduit");
  auto* version = exported<decltype(::GetConduitVersion)>(lumsync, "GetConduitVersion");
  if (!info || !name || !cfg || !version) return;

  expectCode(version(), 0x102, "GetConduitVersion");
  char text[256] = {};
  expectCode(name(text, sizeof text), 0, "GetConduitName");
  expect(std::strcmp(text, "Lumora 2004") == 0, std::string("conduit name '") + text + "'");

  uint8_t request[80] = {};
  storeLe32(request, 1);
  storeLe32(request + 4, 80);
  uint8_t badRequest[80] = {};
  storeLe32(badRequest, 2);
  storeLe32(badRequest + 4, 80);
  uint32_t value = 0;
  struct InfoCase {
    const char* what;
    int32_t type;
    void* request;
    bool output;
    uint32_t size;
    int32_t expected;
  };
  const InfoCase infoCases[] = {
      {"display name", 0, request, true, sizeof text, 0},
      {"display name without request", 0, nullptr, true, sizeof text, 4212},
      {"display name, request version 2", 0, badRequest, true, sizeof text, 4213},
      {"version of the class library", 1, nullptr, true, 4, 0},
      {"default action", 2, nullptr, true, 4, 0},
      {"default action, size 2", 2, nullptr, true, 2, 4211},
      {"unknown type", 3, nullptr, true, 4, 4208},
      {"no output buffer", 0, request, false, 4, 4209},
  };
  for (const InfoCase& c : infoCases) {
    uint32_t size = c.size;
    void* out = c.type == 0 ? static_cast<void*>(text) : static_cast<void*>(&value);
    expectCode(info(c.type, c.request, c.output ? out : nullptr, &size), c.expected,
               std::string("GetConduitInfo, ") + c.what);
  }
  expectCode(info(0, request, text, nullptr), 4215, "GetConduitInfo without output size");
  uint32_t four = 4;
  value = 0xFFFFFFFF;
  expectCode(info(2, nullptr, &value, &four), 0, "GetConduitInfo, default action again");
  expect(value == 0, "default action is sync (0)");

  uint8_t record[352] = {};
  storeLe32(record, 1);
  storeLe32(record + 8, 1);
  std::memcpy(record + 16, "Alice", 5);
  storeLe32(record + 344, 0xAAAAAAAA);
  uint32_t recordSize = sizeof record;
  uint32_t shortSize = 100;
  uint8_t version2[352] = {};
  storeLe32(version2, 2);
  struct CfgCase {
    const char* what;
    int32_t type;
    void* record;
    uint32_t* size;
    int32_t expected;
  };
  const CfgCase cfgCases[] = {
      {"no record", 0, nullptr, &recordSize, 4212},
      {"no record size", 0, record, nullptr, 4216},
      {"record size 100", 0, record, &shortSize, 4218},
      {"configuration type 1", 1, record, &recordSize, 4217},
      {"record version 2", 0, version2, &recordSize, 4219},
  };
  for (const CfgCase& c : cfgCases)
    expectCode(cfg(c.type, c.record, c.size), c.expected, std::string("CfgConduit, ") + c.what);
  expect(loadLe32(record + 344) == 0xAAAAAAAA, "refused CfgConduit leaves the record alone");

  // A valid call runs the dialog; the headless front end plays "Handheld overwrites
  // Desktop", then OK.
  // The C runtime's copy of the environment is what the library reads.
  ::_putenv("LUMORA_DIALOG_SCRIPT=click 406\nclick 1\n");
  expectCode(cfg(0, record, &recordSize), 0, "CfgConduit, dialog played");
  expectCode(static_cast<int32_t>(loadLe32(record + 344)), 2, "chosen action after the dialog");
  expectCode(static_cast<int32_t>(loadLe32(record + 348)), 2, "choice scope after the dialog");
  ::_putenv("LUMORA_DIALOG_SCRIPT=");
}

void checkInstaller(HMODULE lumprep) {
  auto* execute = exported<std::remove_pointer_t<ExecuteFn>>(lumprep, "execute");
  auto* shorten = exported<std::remove_pointer_t<ShortenSizeFn>>(lumprep, "shorten_size");
  if (!execute || !shorten) return;

  struct SizeCase {
    int32_t size;
    const char* number;
  };
  const SizeCase sizes[] = {{0, "0.00"},
                            {1536, "1.50"},
                            {6, "0.01"},
                            {-1, "-0.00"},
                            {-2048, "-2.00"},
                            {102395, "100.00"},
                            {2147483647, "2097152.00"},
                            {INT32_MIN, "-2097152.00"}};
  for (const SizeCase& c : sizes) {
    char number[12] = {};
    char unit[3] = {};
    shorten(c.size, number, unit);
    expect(std::strcmp(number, c.number) == 0 && std::strcmp(unit, "KB") == 0,
           "shorten_size(" + std::to_string(c.size) + ") gave '" + number + "' '" + unit +
               "', expected '" + c.number + "' 'KB'");
  }

  char missing[] = "Z:\\no\\such\\program.exe";
  expectCode(execute(nullptr, 1), 0, "execute without command line");
  expectCode(execute(missing, 1), 0, "execute of a missing program");
}

}  // namespace

int main() {
  checkHostRecords();
  HMODULE lumsync = ::LoadLibraryA("lumsync.dll");
  expect(lumsync != nullptr, "lumsync.dll loads (error " + std::to_string(::GetLastError()) + ")");
  if (lumsync) checkConduit(lumsync);
  HMODULE lumprep = ::LoadLibraryA("lumprep.dll");
  expect(lumprep != nullptr, "lumprep.dll loads (error " + std::to_string(::GetLastError()) + ")");
  if (lumprep) checkInstaller(lumprep);
  std::printf("%d of %d checks passed (%d-bit)\n", checks - failures, checks,
              static_cast<int>(sizeof(void*) * 8));
  return failures == 0 ? 0 : 1;
}
