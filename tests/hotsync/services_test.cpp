// HotSync log, conduit manager, install aide, fault injector and trace, through the C API.
#include <regex>

#include "tests/hotsync/hotsync_fixture.h"

namespace lumora::hotsync::test {
namespace {

using lumora::test::fileExists;
using lumora::test::readFile;
using lumora::test::readText;
using lumora::test::writeFile;
using lumora::test::writeText;

class Log : public HotSyncTest {
 protected:
  std::string logFile(const std::string& user = "Alice") {
    return tmp.file("windows/HotSync/" + user + "/HotSync.log");
  }
};

TEST_F(Log, EntriesGoToTheUsersFileAndTheObserver) {
  log.clear();
  EXPECT_EQ(LogAddEntry("Lumora: failed to read record.", -1, 0), 0);
  EXPECT_EQ(LogAddFormattedEntry(22, 0, "Quillet: error %ld.", 5L), 0);
  std::string longText(3000, 'x');
  EXPECT_EQ(LogAddFormattedEntry(-1, 0, "%s|", longText.c_str()), 0);

  ASSERT_EQ(log.size(), 3u);
  EXPECT_EQ(log[0].text, "Lumora: failed to read record.");
  EXPECT_EQ(log[0].activity, -1);
  EXPECT_EQ(log[1].text, "Quillet: error 5.");
  EXPECT_EQ(log[1].activity, 22);
  EXPECT_EQ(log[2].text, longText + "|");

  std::string text = readText(logFile());
  const std::regex line(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d  \[(-?\d+)\] ([^\n]*)\n)");
  std::vector<std::string> entries;
  for (std::sregex_iterator it(text.begin(), text.end(), line), end; it != end; ++it)
    entries.push_back((*it)[1].str() + " " + (*it)[2].str());
  EXPECT_EQ(entries, (std::vector<std::string>{"-1 Lumora: failed to read record.",
                                               "22 Quillet: error 5.", "-1 " + longText + "|"}));
  EXPECT_EQ(LogAddEntry(nullptr, -1, 0), SYNC_ERR_BAD_ARG);
  EXPECT_EQ(LogAddFormattedEntry(-1, 0, nullptr), SYNC_ERR_BAD_ARG);
}

TEST_F(Log, WithoutAUserOnlyTheObserverHearsIt) {
  HsDisconnect();
  log.clear();
  std::string before = fileExists(logFile()) ? readText(logFile()) : "";
  EXPECT_EQ(LogAddEntry("Lumora: sync operation completed successfully.", -1, 0), 0);
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(fileExists(logFile()) ? readText(logFile()) : "", before);
}

TEST_F(Log, HostileUserNamesStayInTheHotSyncFolder) {
  HsDisconnect();
  ASSERT_EQ(HsConnect(handheld.c_str(), "../../evil"), 0);
  EXPECT_EQ(LogAddEntry("hello", -1, 0), 0);
  EXPECT_TRUE(fileExists(logFile("%2E.%2F..%2Fevil")));
  EXPECT_FALSE(fileExists(tmp.file("evil")));
  char folder[512];
  EXPECT_EQ(HsUserFolder("../../evil", folder, sizeof folder), 0);
  EXPECT_EQ(std::string(folder), tmp.file("windows/HotSync/%2E.%2F..%2Fevil"));
  EXPECT_EQ(HsUserFolder("Alice", folder, 5), SYNC_ERR_TOO_LARGE);
}

class ConduitManager : public HotSyncTest {
 protected:
  std::string value(const char* field, const char* creator = "LmDx") {
    char buffer[64];
    int32_t r = CmGetConduitValue(creator, field, buffer, sizeof buffer);
    return r == 0 ? buffer : "<" + std::to_string(r) + ">";
  }
  std::string registry() { return tmp.file("windows/conduits.ini"); }
};

TEST_F(ConduitManager, RegistersOneSectionPerCreator) {
  std::filesystem::create_directories(tmp.file("windows"));
  writeText(registry(), "; kept\r\n[Othr]\r\nType=1\r\n");
  EXPECT_EQ(CmInstallCreator("LmDx", 1), 0);
  EXPECT_EQ(CmInstallCreator("LmDx", 1), CM_ERR_ALREADY_REGISTERED);
  EXPECT_EQ(CmSetCreatorName("LmDx", "lumsync.dll"), 0);
  EXPECT_EQ(CmSetCreatorDirectory("LmDx", "Lumdir"), 0);
  EXPECT_EQ(CmSetCreatorTitle("LmDx", "Lumora 2004"), 0);
  EXPECT_EQ(readText(registry()),
            "; kept\r\n[Othr]\r\nType=1\r\n[LmDx]\r\nType=1\r\nLibrary=lumsync.dll\r\n"
            "Directory=Lumdir\r\nTitle=Lumora 2004\r\n");
  EXPECT_EQ(value("library"), "lumsync.dll");
  EXPECT_EQ(value("Directory"), "Lumdir");
  EXPECT_EQ(value("title"), "Lumora 2004");
  EXPECT_EQ(value("type"), "1");
  EXPECT_EQ(value("colour"), "<" + std::to_string(SYNC_ERR_BAD_ARG) + ">");
  char small[4];
  EXPECT_EQ(CmGetConduitValue("LmDx", "library", small, sizeof small), SYNC_ERR_TOO_LARGE);
  EXPECT_STREQ(small, "lum");

  EXPECT_EQ(CmRemoveConduitByCreatorID("LmDx"), 0);
  EXPECT_EQ(readText(registry()), "; kept\r\n[Othr]\r\nType=1\r\n");
  EXPECT_EQ(value("library"), "<" + std::to_string(CM_ERR_NOT_REGISTERED) + ">");
  EXPECT_EQ(CmRemoveConduitByCreatorID("LmDx"), CM_ERR_NOT_REGISTERED);  // nothing to do: "done"
  EXPECT_LE(CmRemoveConduitByCreatorID("LmDx"), 1);
  EXPECT_EQ(CmSetCreatorTitle("LmDx", "x"), CM_ERR_NOT_REGISTERED);
}

TEST_F(ConduitManager, RefusesWhatWouldBreakTheFile) {
  for (const char* creator :
       std::vector<const char*>{"LmD", "LmDxx", "a]bc", "a=bc", " abc", nullptr})
    EXPECT_EQ(CmInstallCreator(creator, 1), CM_ERR_INVALID_CREATOR) << (creator ? creator : "null");
  ASSERT_EQ(CmInstallCreator("LmDx", 1), 0);
  EXPECT_EQ(CmSetCreatorTitle("LmDx", "two\r\n[Evil]"), CM_ERR_REGISTRY_ACCESS);
  EXPECT_EQ(CmSetCreatorTitle("LmDx", nullptr), CM_ERR_INVALID_POINTER);
  EXPECT_GT(CmRemoveConduitByCreatorID(nullptr), 1);
  EXPECT_EQ(value("title"), "");
}

TEST_F(ConduitManager, StorageFailuresAreNeverSuccess) {
  std::filesystem::create_directories(registry());  // conduits.ini that cannot be read
  EXPECT_EQ(CmInstallCreator("LmDx", 1), CM_ERR_STORAGE);
  EXPECT_EQ(CmSetCreatorTitle("LmDx", "x"), CM_ERR_STORAGE);
  EXPECT_GT(CmRemoveConduitByCreatorID("LmDx"), 1);  // "1 or less" would read as done

  writeText(tmp.file("plain"), "");
  lumora::test::ScopedEnv blocked("LUMORA_WINDOWS_DIR", tmp.file("plain/windows"));
  EXPECT_EQ(CmInstallCreator("LmDx", 1), CM_ERR_STORAGE);
}

class InstallAide : public HotSyncTest {
 protected:
  std::string queue(const std::string& name = "") {
    return tmp.file("windows/HotSync/Alice/Install") + (name.empty() ? "" : "/" + name);
  }
  std::string dbFile(const std::string& dbName, const std::vector<Bytes>& records = {}) {
    Database db;
    db.name = dbName;
    db.type = fourCC("ttfn");
    db.creator = fourCC("TTFt");
    for (const Bytes& r : records) db.records.push_back({0, uint32_t(db.records.size() + 1), r});
    std::string path = tmp.file(dbName + ".src.pdb");
    writeFile(path, *serializePdb(db));
    return path;
  }
  static int32_t queueFile(const char* user, const std::string& path) {
    std::string u = user ? user : "", p = path;
    return PltInstallFile(user ? u.data() : nullptr, p.data());
  }
};

TEST_F(InstallAide, QueueKeepsItsOwnCopy) {
  std::string source = dbFile("TTFonts_DB", {{1, 2}});
  Bytes image = readFile(source);
  ASSERT_EQ(queueFile("Alice", source), 0);
  std::filesystem::remove(source);
  EXPECT_EQ(readFile(queue("TTFonts_DB.src.pdb")), image);
  ASSERT_EQ(queueFile("Alice", dbFile("TTFonts_DB", {{3}})), 0);  // replaces the queued one
  EXPECT_NE(readFile(queue("TTFonts_DB.src.pdb")), image);
  EXPECT_EQ(std::filesystem::directory_iterator(queue()) != std::filesystem::directory_iterator(),
            true);
  size_t files = 0;
  for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(queue())) ++files;
  EXPECT_EQ(files, 1u);  // no temporary left behind

  // Windows path text is mapped onto the host.
  lumora::test::ScopedEnv drive("LUMORA_DRIVE_C", tmp.file("c"));
  std::filesystem::create_directories(tmp.file("c/Fonts"));
  std::filesystem::copy_file(queue("TTFonts_DB.src.pdb"), tmp.file("c/Fonts/arial.pdb"));
  EXPECT_EQ(queueFile("Alice", "C:\\Fonts\\arial.pdb"), 0);
  EXPECT_TRUE(fileExists(queue("arial.pdb")));
}

TEST_F(InstallAide, RefusesWhatItCannotQueue) {
  std::string source = dbFile("Font");
  EXPECT_EQ(queueFile("Alice", tmp.file("missing.pdb")), SYNC_ERR_NOT_FOUND);
  EXPECT_EQ(queueFile("Alice", tmp.path()), SYNC_ERR_NOT_FOUND);  // a folder
  EXPECT_EQ(queueFile("", source), SYNC_ERR_BAD_ARG);
  EXPECT_EQ(queueFile(nullptr, source), SYNC_ERR_BAD_ARG);
  writeFile(tmp.file(".hidden.pdb"), {1});
  EXPECT_EQ(queueFile("Alice", tmp.file(".hidden.pdb")), SYNC_ERR_BAD_ARG);
  writeText(tmp.file("plain"), "");
  lumora::test::ScopedEnv blocked("LUMORA_WINDOWS_DIR", tmp.file("plain/windows"));
  EXPECT_EQ(queueFile("Alice", source), SYNC_ERR_STORAGE);
}

TEST_F(InstallAide, InstallsValidFilesAndKeepsTheRest) {
  makeDb("Pic", {{1}});
  makeDb("Busy");
  ASSERT_EQ(queueFile("Alice", dbFile("TTFonts_DB", {{5, 6}})), 0);
  ASSERT_EQ(queueFile("Alice", dbFile("Pic", {{7}, {8}})), 0);
  ASSERT_EQ(queueFile("Alice", dbFile("Busy")), 0);
  writeFile(tmp.file("junk.pdb"), {1, 2, 3});
  ASSERT_EQ(queueFile("Alice", tmp.file("junk.pdb")), 0);
  uint8_t busy;
  ASSERT_EQ(SyncOpenDB("Busy", 0, &busy, 0x90), 0);

  std::vector<std::pair<std::string, std::string>> rejected;
  auto onReject = [](const char* file, const char* reason, void* context) {
    static_cast<decltype(rejected)*>(context)->emplace_back(file, reason);
  };
  EXPECT_EQ(HsInstallQueued("Alice", onReject, &rejected), 2);
  ASSERT_EQ(rejected.size(), 2u);
  EXPECT_EQ(rejected[0].first, "Busy.src.pdb");
  EXPECT_NE(rejected[0].second.find("is open"), std::string::npos) << rejected[0].second;
  EXPECT_EQ(rejected[1].first, "junk.pdb");
  EXPECT_NE(rejected[1].second.find("not a database file"), std::string::npos);
  EXPECT_TRUE(fileExists(queue("junk.pdb")));
  EXPECT_TRUE(fileExists(queue("Busy.src.pdb")));
  EXPECT_FALSE(fileExists(queue("Pic.src.pdb")));
  EXPECT_FALSE(fileExists(queue("TTFonts_DB.src.pdb")));

  EXPECT_EQ(onDisk("TTFonts_DB.pdb").records.at(0).data, (Bytes{5, 6}));
  EXPECT_EQ(onDisk("Pic.pdb").records.size(), 2u);  // replaced
  SyncSearchName s{SYNC_SEARCH_OPTIONS, 0, "TTFonts_DB"};
  SyncDbInfo info{};
  EXPECT_EQ(SyncFindDbByName(&s, &info), 0);
  EXPECT_EQ(SyncCloseDB(busy), 0);
  EXPECT_EQ(HsInstallQueued("Alice", nullptr, nullptr), 1);
  EXPECT_EQ(HsInstallQueued("Nobody", nullptr, nullptr), 0);
  HsDisconnect();
  EXPECT_EQ(HsInstallQueued("Alice", nullptr, nullptr), -1);
}

class Faults : public HotSyncTest {};

TEST_F(Faults, TheNthCallReturnsTheCode) {
  uint8_t h = create("Pic");
  HsResetFaults();
  HsInjectFault("SyncWriteRec", 2, SYNC_ERR_STORAGE, 0);
  EXPECT_EQ(append(h, {1}), 0);
  EXPECT_EQ(append(h, {2}), SYNC_ERR_STORAGE);
  EXPECT_EQ(append(h, {3}), 0);
  EXPECT_EQ(HsCallCount("SyncWriteRec"), 3);
  EXPECT_EQ(SyncCloseDB(h), 0);
  EXPECT_EQ(HsCallCount(nullptr), 4);
  auto db = onDisk("Pic.pdb");
  ASSERT_EQ(db.records.size(), 2u);  // the failed call changed nothing
  EXPECT_EQ(db.records[1].data, Bytes{3});

  HsInjectFault("CmInstallCreator", 1, -7, 0);
  EXPECT_EQ(CmInstallCreator("LmDx", 1), -7);
  HsInjectFault("SyncFindDbByTypeCreator", 0, SYNC_ERR_STORAGE, 0);  // every call from now on
  SyncSearchTypeCreator st{SYNC_SEARCH_OPTIONS, SYNC_SEARCH_NEW, 0, 0};
  SyncDbInfo info{};
  for (int i = 0; i < 3; ++i) EXPECT_EQ(SyncFindDbByTypeCreator(&st, &info), SYNC_ERR_STORAGE);
  HsResetFaults();
  EXPECT_EQ(SyncFindDbByTypeCreator(&st, &info), 0);
  EXPECT_EQ(HsCallCount("SyncFindDbByTypeCreator"), 1);
}

TEST_F(Faults, AThrownFaultIsAnInt32) {
  HsInjectFault("SyncOpenDB", 1, 5, 1);
  uint8_t h;
  try {
    SyncOpenDB("Pic", 0, &h, 0x90);
    FAIL() << "no exception";
  } catch (int32_t code) {
    EXPECT_EQ(code, 5);
  }
  // The lock was released: the next call works.
  EXPECT_EQ(SyncOpenDB("Pic", 0, &h, 0x90), SYNC_ERR_NOT_FOUND);
}

TEST_F(Faults, TheEnvironmentArmsFaultsAtConnect) {
  makeDb("Pic");
  lumora::test::ScopedEnv faults("LUMORA_HOTSYNC_FAULTS",
                                 "SyncOpenDB:2:0x10004403, SyncCloseDB:1:9:throw, nonsense");
  log.clear();
  reconnect();
  ASSERT_EQ(log.size(), 1u);
  EXPECT_NE(log[0].text.find("\"nonsense\""), std::string::npos);
  uint8_t h;
  ASSERT_EQ(SyncOpenDB("Pic", 0, &h, 0x90), 0);
  EXPECT_EQ(SyncOpenDB("Pic", 0, &h, 0x90), static_cast<int32_t>(0x10004403));
  EXPECT_THROW(SyncCloseDB(h), int32_t);
  EXPECT_EQ(SyncCloseDB(h), 0);
}

TEST_F(Log, TraceReachesItsObserver) {
  std::vector<LogEntry> traces;
  EXPECT_EQ(SyncTrace("dropped"), 0);
  HsSetTraceObserver(&HotSyncTest::capture, &traces);
  EXPECT_EQ(SyncTrace("Could not open \"LumdexFormatDb\""), 0);
  ASSERT_EQ(traces.size(), 1u);
  EXPECT_EQ(traces[0].text, "Could not open \"LumdexFormatDb\"");
}

}  // namespace
}  // namespace lumora::hotsync::test
