// The configuration dialog's procedure, driven through the scripted toolkit.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "common/bytes.h"
#include "conduit/config_dialog.h"
#include "conduit/dialog/config_record.h"
#include "conduit/dialog/dialog_procedure.h"
#include "conduit/exports.h"
#include "conduit/library_entry.h"
#include "conduit/settings.h"
#include "platform/profile/profile.h"
#include "tests/dialog/scripted_toolkit.h"
#include "tests/support/temp_dir.h"

namespace lumora::conduit {
namespace {

using test::ScriptedToolkit;
namespace fs = std::filesystem;

constexpr uint32_t kUntouched = 0xAAAAAAAA;

std::vector<uint8_t> makeRecord(uint32_t next, uint32_t def, uint32_t identifier = 7,
                                std::string_view user = "Alice") {
  std::vector<uint8_t> rec(kConfigRecordSize, 0);
  storeLe32(rec.data() + record::kVersion, 1);
  storeLe32(rec.data() + record::kIdentifier, identifier);
  std::copy(user.begin(), user.end(), rec.begin() + record::kUserName);
  storeLe32(rec.data() + record::kDefaultSyncType, def);
  storeLe32(rec.data() + record::kNextSyncType, next);
  storeLe32(rec.data() + record::kChosenSyncType, kUntouched);
  storeLe32(rec.data() + record::kChoiceScope, kUntouched);
  return rec;
}

class ConfigDialog : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(dir.file("windows"));
    fs::create_directories(dir.file("c/Lumdex"));
    fs::create_directories(dir.file("c/Pictures"));
    useIni("[Lumdex]\r\nSyncDir=C:\\Lumdex\r\n");
  }
  void TearDown() override { setFontSelection(nullptr); }

  void useIni(const std::string& text) {
    test::writeText(dir.file("windows/Lumdex.ini"), text);
    loadSettings(settings());
  }
  std::string iniValue(const char* key) {
    char value[400];
    profile::getString(kIniSection, key, "<absent>", value, sizeof value, kIniFile);
    return value;
  }
  std::unique_ptr<ScriptedToolkit> run(const std::string& script, std::vector<uint8_t>& rec) {
    auto tk = std::make_unique<ScriptedToolkit>(script);
    runConfigDialog(rec.data(), nullptr);
    return tk;
  }
  std::string text(const ScriptedToolkit& tk, int id) { return tk.dialog()->find(id)->text; }
  bool checked(const ScriptedToolkit& tk, int id) { return tk.dialog()->find(id)->checked; }

  test::TempDir dir;
  test::ScopedEnv windows{"LUMORA_WINDOWS_DIR", dir.file("windows")};
  test::ScopedEnv driveC{"LUMORA_DRIVE_C", dir.file("c")};
};

TEST_F(ConfigDialog, InitialisesInOrder) {
  useIni("[Lumdex]\r\nSyncDir=C:\\Lumdex\r\nTTFontDirectory=D:\\Fonts\r\n");
  auto rec = makeRecord(3, 2);
  auto tk = run("close", rec);
  const std::vector<std::string> expected = {
      "dialogBox Change HotSync Action",
      "setItemText 403 HotSync Action for Lumora",
      "setItemText 1010 C:\\Lumdex",
      "setItemText 1011 D:\\Fonts",
      "setWindowText Lumora 2004",
      "checkButton 1013 on",
      "checkButton 1012 on",
      "checkButton 1014 on",
      "createMappedBitmap C0C0C0->C0C0C0",
      "setItemImage 1000 48x24 corner C0C0C0",
      "createMappedBitmap C0C0C0->C0C0C0",
      "setItemImage 1001 48x24 corner C0C0C0",
      "createMappedBitmap C0C0C0->C0C0C0",
      "setItemImage 1002 48x24 corner C0C0C0",
      "createMappedBitmap C0C0C0->C0C0C0",
      "setItemImage 1003 48x24 corner C0C0C0",
      "checkRadioButton 404-407 405",
      "setItemText 1005 Desktop overwrites Palm organizer.",
      "setItemText 1004 Palm organizer overwrites Desktop.",
      "setItemText 1006 Alice's Current Settings:",
  };
  ASSERT_GE(tk->calls.size(), expected.size());
  EXPECT_EQ(std::vector<std::string>(tk->calls.begin(), tk->calls.begin() + expected.size()),
            expected);
  EXPECT_EQ(tk->dialog()->caption, "Lumora 2004");
}

TEST_F(ConfigDialog, SyncTypesSelectRadioAndText) {
  struct Case {
    uint32_t type;
    int radio;
    const char* text;
  } cases[] = {
      {0, 404, "Synchronize the files."},
      {1, 404, "Synchronize the files."},
      {2, 406, "Palm organizer overwrites Desktop."},
      {3, 405, "Desktop overwrites Palm organizer."},
      {4, 407, "Do Nothing."},
      {5, 407, "Do Nothing."},
      {6, 407, "Do Nothing."},
      {7, 407, "Do Nothing."},
      {0x80000000u, 407, "Do Nothing."},
      {0xFFFFFFFFu, 407, "Do Nothing."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.type);
    auto rec = makeRecord(c.type, c.type);
    auto tk = run("close", rec);
    for (int radio = 404; radio <= 407; ++radio) EXPECT_EQ(checked(*tk, radio), radio == c.radio);
    EXPECT_EQ(text(*tk, 1005), c.text);
    EXPECT_EQ(text(*tk, 1004), c.text);
  }
}

TEST_F(ConfigDialog, ZeroIdentifierKeepsTemplateTexts) {
  auto rec = makeRecord(2, 3, /*identifier=*/0);
  auto tk = run("close", rec);
  EXPECT_EQ(text(*tk, 1004), "Static");
  EXPECT_EQ(text(*tk, 1005), "Static");
  EXPECT_EQ(text(*tk, 1006), "<User's Current Settings Place Holder>");
  EXPECT_TRUE(checked(*tk, 406));  // the radio follows nextSyncType regardless
}

TEST_F(ConfigDialog, UserNameNeverReadPastItsField) {
  auto rec = makeRecord(0, 0, 7, std::string(64, 'N'));
  auto tk = run("close", rec);
  EXPECT_EQ(text(*tk, 1006), std::string(63, 'N') + "'s Current Settings:");
}

TEST_F(ConfigDialog, CheckBoxesOpenFromSettings) {
  struct Case {
    const char* ini;
    bool depth16, density144, compressed;
  } cases[] = {
      {"", true, true, true},
      {"AcceptedDensity=72\r\nAcceptedDepth=8\r\nAcceptedCompression=0\r\n", false, false, false},
      {"AcceptedDepth=4\r\n", false, true, true},
      {"AcceptedDepth=272\r\n", true, true, true},  // cut to 8 bits: 16
      {"AcceptedDensity=143\r\nAcceptedCompression=2\r\n", true, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.ini);
    useIni(std::string("[Lumdex]\r\n") + c.ini);
    auto rec = makeRecord(0, 0);
    auto tk = run("close", rec);
    EXPECT_EQ(checked(*tk, 1012), c.depth16);
    EXPECT_EQ(checked(*tk, 1013), c.density144);
    EXPECT_EQ(checked(*tk, 1014), c.compressed);
    EXPECT_FALSE(checked(*tk, 411));
  }
}

TEST_F(ConfigDialog, CheckBoxesStoreAtOnceAndCancelKeepsThem) {
  struct Case {
    const char* ini;
    const char* script;
    const char* key;
    const char* stored;
  } cases[] = {
      {"", "click 1012", "AcceptedDepth", "8"},
      {"", "click 1012\nclick 1012", "AcceptedDepth", "16"},
      {"AcceptedDepth=4\r\n", "click 1012\nclick 1012", "AcceptedDepth", "8"},
      {"", "click 1013", "AcceptedDensity", "72"},
      {"AcceptedDensity=72\r\n", "click 1013", "AcceptedDensity", "144"},
      {"", "click 1014", "AcceptedCompression", "0"},
      {"AcceptedCompression=0\r\n", "click 1014\nclose", "AcceptedCompression", "1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.script);
    useIni(std::string("[Lumdex]\r\n") + c.ini);
    auto rec = makeRecord(0, 0);
    auto tk = run(std::string(c.script) + "\nclick 2", rec);
    EXPECT_EQ(iniValue(c.key), c.stored);
    EXPECT_EQ(tk->callsStarting("endDialog"), std::vector<std::string>{"endDialog 1"});
    EXPECT_EQ(loadLe32(rec.data() + record::kChosenSyncType), kUntouched);
  }
  // Memory follows the file.
  useIni("[Lumdex]\r\n");
  auto rec = makeRecord(0, 0);
  run("click 1012\nclick 1013\nclick 1014", rec);
  const DeviceCapabilities& caps = settings().acceptedCapabilities;
  EXPECT_EQ(caps.depth, 8);
  EXPECT_EQ(caps.density, 72);
  EXPECT_EQ(caps.compression, 0);
}

TEST_F(ConfigDialog, RadioButtonsAreExclusive) {
  auto rec = makeRecord(0, 0);
  auto tk = run("click 406\nclick 405", rec);
  EXPECT_EQ(tk->callsStarting("checkRadioButton").back(), "checkRadioButton 404-407 405");
  for (int radio = 404; radio <= 407; ++radio) EXPECT_EQ(checked(*tk, radio), radio == 405);
}

TEST_F(ConfigDialog, SetFolder) {
  const std::string tooLong = "C:\\" + std::string(257, 'x');
  struct Case {
    const char* name;
    std::string script;
    std::string folder;  // syncFolder, SyncDir and the edit box afterwards
  } cases[] = {
      {"chosen", "browse C:\\Pictures\nclick 1008", "C:\\Pictures"},
      {"cancelled, typed text discarded", "type 1010 C:\\Typed\nbrowse\nclick 1008", "C:\\Lumdex"},
      {"folder without a path", "browse \"\"\nclick 1008", "C:\\Lumdex"},
      {"path longer than a setting holds", "browse " + tooLong + "\nclick 1008", "C:\\Lumdex"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    useIni("[Lumdex]\r\nSyncDir=C:\\Lumdex\r\n");
    auto rec = makeRecord(0, 0);
    auto tk = run(c.script + "\nclose", rec);
    EXPECT_EQ(tk->callsStarting("browseForFolder"),
              std::vector<std::string>{"browseForFolder Select sync folder flags 8"});
    EXPECT_STREQ(settings().syncFolder, c.folder.c_str());
    EXPECT_EQ(iniValue("SyncDir"), c.folder);
    EXPECT_EQ(text(*tk, 1010), c.folder);
  }
}

TEST_F(ConfigDialog, OkWritesTheChoice) {
  struct Case {
    const char* clicks;
    uint32_t chosen, scope;
  } cases[] = {
      {"click 404", 0, 2},
      {"click 405\nclick 411", 3, 1},
      {"click 406", 2, 2},
      {"click 407", 6, 2},
      {"click 407\nclick 411", 6, 1},
      {"click 411\nclick 411", 3, 2},  // the radio of nextSyncType stays
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.clicks);
    auto rec = makeRecord(3, 3);
    auto tk = run(std::string(c.clicks) + "\ntype 1010 C:\\Pictures\nclick 1", rec);
    EXPECT_EQ(loadLe32(rec.data() + record::kChosenSyncType), c.chosen);
    EXPECT_EQ(loadLe32(rec.data() + record::kChoiceScope), c.scope);
    EXPECT_EQ(tk->callsStarting("endDialog"), std::vector<std::string>{"endDialog 0"});
    EXPECT_STREQ(settings().syncFolder, "C:\\Pictures");
    EXPECT_EQ(iniValue("SyncDir"), "C:\\Pictures");
    EXPECT_TRUE(tk->reports.empty());
  }
}

TEST_F(ConfigDialog, OkRefusesInvalidFolders) {
  test::writeText(dir.file("c/file.bmp"), "not a folder");
  // A folder that exists but whose path is longer than a setting holds.
  std::string deep = dir.file("c");
  std::string typedDeep = "C:";
  while (typedDeep.size() < 270) {
    deep += "/" + std::string(40, 'd');
    typedDeep += "\\" + std::string(40, 'd');
  }
  fs::create_directories(deep);
  struct Case {
    const char* name;
    std::string typed;
  } cases[] = {
      {"empty", ""},
      {"two characters naming a drive", "C:"},
      {"missing folder", "C:\\Nowhere"},
      {"a file", "C:\\file.bmp"},
      {"longer than 259 characters", typedDeep},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    useIni("[Lumdex]\r\nSyncDir=C:\\Lumdex\r\n");
    auto rec = makeRecord(0, 0);
    auto tk = run("click 407\ntype 1010 " + c.typed + "\nclick 1\nclick 2", rec);
    EXPECT_EQ(
        tk->callsStarting("messageBox"),
        std::vector<std::string>{"messageBox [Invalid path] Please enter a valid path! flags 0"});
    // The choice is in the record although the dialog stayed open and was cancelled.
    EXPECT_EQ(loadLe32(rec.data() + record::kChosenSyncType), 6u);
    EXPECT_EQ(loadLe32(rec.data() + record::kChoiceScope), 2u);
    EXPECT_EQ(tk->callsStarting("endDialog"), std::vector<std::string>{"endDialog 1"});
    EXPECT_STREQ(settings().syncFolder, "C:\\Lumdex");
    EXPECT_EQ(iniValue("SyncDir"), "C:\\Lumdex");
  }
}

TEST_F(ConfigDialog, ThreeCharacterPathAndHostPathsAreValid) {
  fs::create_directories(dir.file("drive_x"));
  test::ScopedEnv driveX{"LUMORA_DRIVE_C", dir.file("drive_c")};
  fs::create_directories(dir.file("drive_c"));
  for (std::string typed : {std::string("X:\\"), dir.file("c/Pictures")}) {
    SCOPED_TRACE(typed);
    auto rec = makeRecord(0, 0);
    auto tk = run("type 1010 " + typed + "\nclick 1", rec);
    EXPECT_EQ(tk->callsStarting("endDialog"), std::vector<std::string>{"endDialog 0"});
    EXPECT_EQ(iniValue("SyncDir"), typed);
  }
}

TEST_F(ConfigDialog, CloseBoxIsCancel) {
  auto rec = makeRecord(0, 0);
  auto tk = run("click 406\ntype 1010 C:\\Pictures\nclose", rec);
  EXPECT_EQ(tk->callsStarting("endDialog"), std::vector<std::string>{"endDialog 1"});
  EXPECT_EQ(loadLe32(rec.data() + record::kChosenSyncType), kUntouched);
  EXPECT_EQ(iniValue("SyncDir"), "C:\\Lumdex");
  EXPECT_STREQ(settings().syncFolder, "C:\\Lumdex");
  EXPECT_EQ(openConfigRecord(), nullptr);
}

struct FontCall {
  ui::Window owner = nullptr;
  std::string user;
  const char* folder = nullptr;
  uint8_t* record = nullptr;
  int count = 0;
};
FontCall gFontCall;

void recordFontCall(ui::Window owner, std::string_view user, char (&folder)[kPathCapacity]) {
  gFontCall.owner = owner;
  gFontCall.user = std::string(user);
  gFontCall.folder = folder;
  gFontCall.record = openConfigRecord();
  ++gFontCall.count;
}

TEST_F(ConfigDialog, FontCommandReachesTheFontSelection) {
  gFontCall = {};
  setFontSelection(&recordFontCall);
  auto rec = makeRecord(0, 0, 7, "Bob");
  auto tk = run("click 1015", rec);
  EXPECT_EQ(gFontCall.count, 1);
  EXPECT_EQ(gFontCall.owner, tk->lastDialog);
  EXPECT_NE(gFontCall.owner, nullptr);
  EXPECT_EQ(gFontCall.user, "Bob");
  EXPECT_EQ(gFontCall.folder, settings().fontFolder);
  EXPECT_EQ(gFontCall.record, rec.data());
  EXPECT_EQ(openConfigRecord(), nullptr);  // the record pointer ends with the dialog
}

// A second dialog requested while one is open (here from the open dialog's font command)
// returns at once; the open dialog keeps its record and its images.
std::vector<uint8_t>* gSecondRecord = nullptr;
void openSecondDialog(ui::Window, std::string_view, char (&)[kPathCapacity]) {
  gFontCall.record = openConfigRecord();
  runConfigDialog(gSecondRecord->data(), nullptr);
  ++gFontCall.count;
}

TEST_F(ConfigDialog, ASecondDialogWhileOneIsOpenChangesNothing) {
  gFontCall = {};
  auto rec = makeRecord(0, 0);
  auto second = makeRecord(0, 0);
  const auto secondBefore = second;
  gSecondRecord = &second;
  setFontSelection(&openSecondDialog);
  auto tk = run("click 1015\nclick 406\nclick 1", rec);
  EXPECT_EQ(gFontCall.count, 1);
  EXPECT_EQ(gFontCall.record, rec.data());
  EXPECT_EQ(tk->callsStarting("dialogBox").size(), 1u);
  EXPECT_EQ(second, secondBefore);
  EXPECT_EQ(loadLe32(rec.data() + record::kChosenSyncType), 2u);
  EXPECT_EQ(tk->callsStarting("endDialog"), std::vector<std::string>{"endDialog 0"});
  EXPECT_EQ(openConfigRecord(), nullptr);
  // The images the dialog shows are still there until it has closed.
  EXPECT_EQ(tk->callsStarting("deleteImage").size(),
            tk->callsStarting("createMappedBitmap").size());
  // Once closed, the next dialog opens as usual.
  setFontSelection(nullptr);
  auto again = run("click 407\nclick 1", second);
  EXPECT_EQ(loadLe32(second.data() + record::kChosenSyncType), 6u);
}

class ForegroundToolkit : public ScriptedToolkit {
 public:
  using ScriptedToolkit::ScriptedToolkit;
  ui::Window foregroundWindow() override { return &foreground; }
  intptr_t dialogBox(const ui::DialogTemplate& t, ui::Window owner, ui::DialogProc proc,
                     void* param) override {
    owners.push_back(owner);
    return ScriptedToolkit::dialogBox(t, owner, proc, param);
  }
  int foreground = 0;
  std::vector<ui::Window> owners;
};

TEST_F(ConfigDialog, TheForegroundWindowOwnsTheDialogUnlessAnOwnerIsGiven) {
  auto rec = makeRecord(0, 0);
  ForegroundToolkit tk("close");
  int given = 0;
  runConfigDialog(rec.data(), nullptr);
  runConfigDialog(rec.data(), &given);
  EXPECT_EQ(tk.owners, (std::vector<ui::Window>{&tk.foreground, &given}));
}

TEST_F(ConfigDialog, FontFolderCommand) {
  useIni("[Lumdex]\r\nTTFontDirectory=D:\\Old\r\n");
  {
    auto rec = makeRecord(0, 0);
    auto tk = run("browse D:\\New Fonts\nclick 1016", rec);
    EXPECT_EQ(tk->callsStarting("browseForFolder"),
              std::vector<std::string>{"browseForFolder Select fonts folder flags 8"});
    EXPECT_EQ(text(*tk, 1011), "D:\\New Fonts");
    EXPECT_EQ(iniValue("TTFontDirectory"), "D:\\New Fonts");
    EXPECT_STREQ(settings().fontFolder, "D:\\Old");  // the font selection rereads the file
  }
  {
    auto rec = makeRecord(0, 0);
    auto tk = run("browse\nclick 1016", rec);
    EXPECT_EQ(text(*tk, 1011), "D:\\Old");
    EXPECT_EQ(iniValue("TTFontDirectory"), "D:\\New Fonts");
  }
}

TEST(ConfigDialogProc, OtherCommandsAreIgnored) {
  ScriptedToolkit tk("");
  for (int id : {0, 3, 403, 410, 1000, 1004, 1009, 1010, 1011, 1017, -1, 65535})
    EXPECT_TRUE(configDialogProc(nullptr, {ui::DialogMessage::command, id, nullptr})) << id;
  EXPECT_TRUE(tk.calls.empty());
}

TEST_F(ConfigDialog, ColourChangeReloadsTheBitmaps) {
  auto rec = makeRecord(0, 0);
  auto tk = run("colors 336699\ncolors 102030", rec);
  auto images = tk->callsStarting("setItemImage");
  ASSERT_EQ(images.size(), 12u);
  EXPECT_EQ(images[4], "setItemImage 1000 48x24 corner 336699");
  EXPECT_EQ(images[11], "setItemImage 1003 48x24 corner 102030");
  EXPECT_EQ(tk->callsStarting("createMappedBitmap")[4], "createMappedBitmap C0C0C0->336699");
  // Each reload deletes the four it replaced; closing releases the last four.
  EXPECT_EQ(tk->callsStarting("deleteImage").size(), 12u);
  EXPECT_EQ(tk->images().live(), 0u);
}

TEST_F(ConfigDialog, HelpWithoutModulePathDoesNothing) {
  if (moduleHandle()) GTEST_SKIP() << "the module is known in this process";
  auto rec = makeRecord(0, 0);
  auto tk = run("help\nclick 9", rec);
  EXPECT_TRUE(tk->callsStarting("winHelp").empty());
}

void anchorInTestProgram() {}

TEST_F(ConfigDialog, HelpOpensThePageBesideTheModule) {
  processAttach(reinterpret_cast<const void*>(&anchorInTestProgram));
  auto rec = makeRecord(0, 0);
  auto tk = run("help\nclick 9", rec);
  processDetach();
  if (moduleHandle() != reinterpret_cast<const void*>(&anchorInTestProgram))
    GTEST_SKIP() << "another module attached first";
  std::string folder = fs::canonical("/proc/self/exe").parent_path().string();
  std::string expected = "winHelp " + folder + "/hotsync.html 1 131471";
  EXPECT_EQ(tk->callsStarting("winHelp"), (std::vector<std::string>{expected, expected}));
}

TEST(HelpFilePath, CutsAfterTheLastSeparator) {
  struct Case {
    const char* module;
    std::optional<std::string> help;
  } cases[] = {
      {"/opt/lumora/bin/liblumsync.so", "/opt/lumora/bin/hotsync.html"},
      {"C:\\Palm\\lumsync.dll", "C:\\Palm\\hotsync.html"},
      {"C:\\Palm/sub\\x.dll", "C:\\Palm/sub\\hotsync.html"},
      {"\\lumsync.dll", std::nullopt},
      {"/liblumsync.so", std::nullopt},
      {"lumsync.dll", std::nullopt},
      {"", std::nullopt},
      {"a\\", "a\\hotsync.html"},
  };
  for (const Case& c : cases) EXPECT_EQ(helpFilePath(c.module), c.help) << c.module;
}

TEST_F(ConfigDialog, CfgConduitShowsTheDialogAndReturnsZero) {
  auto rec = makeRecord(0, 0);
  uint32_t size = kConfigRecordSize;
  ScriptedToolkit tk("click 407\nclick 1");
  EXPECT_EQ(CfgConduit(0, rec.data(), &size), 0);
  EXPECT_EQ(loadLe32(rec.data() + record::kChosenSyncType), 6u);
  EXPECT_EQ(loadLe32(rec.data() + record::kChoiceScope), 2u);
  EXPECT_EQ(tk.calls.front(), "dialogBox Change HotSync Action");
  EXPECT_EQ(tk.callsStarting("endDialog"), std::vector<std::string>{"endDialog 0"});
}

}  // namespace
}  // namespace lumora::conduit
