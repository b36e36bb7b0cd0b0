#include "installer/font_queue.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "platform/registry/font_values.h"
#include "platform/registry/registry.h"
#include "tests/fonts/font_test_support.h"
#include "tests/platform/registry/private_fontconfig.h"
#include "tests/support/temp_dir.h"

namespace lumora::installer {
namespace {

using test::QueueRecorder;

// Registers faces in a fonts.reg of the Windows folder; each font file holds distinct bytes.
class FontQueue : public testing::Test {
 protected:
  void SetUp() override {
    QueueRecorder::reset();
    std::filesystem::create_directories(windows_ + "/Fonts");
    std::filesystem::create_directories(tmp_);
  }

  // value name -> data; data "file:NAME" creates Fonts/NAME, "expand:TEXT" is REG_EXPAND_SZ.
  void registerFonts(const std::vector<std::pair<std::string, std::string>>& values,
                     const char* key = "Windows NT") {
    std::string text =
        "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\"
        "Microsoft\\" +
        std::string(key) + "\\CurrentVersion\\Fonts]\r\n";
    uint8_t seed = 1;
    for (const auto& [name, data] : values) {
      if (data.starts_with("expand:")) {
        text += "\"" + name + "\"=hex(2):";
        for (char c : data.substr(7)) {
          char pair[8];
          std::snprintf(pair, sizeof pair, "%02x,00,", static_cast<unsigned char>(c));
          text += pair;
        }
        text += "00,00\r\n";
        continue;
      }
      test::writeFile(windows_ + "/Fonts/" + data, test::fontBytes(3000, seed++));
      text += "\"" + name + "\"=\"" + data + "\"\r\n";
    }
    test::writeText(windows_ + "/fonts.reg", text);
  }

  std::vector<std::string> queuedNames() {
    std::vector<std::string> names;
    for (const auto& call : QueueRecorder::calls) {
      EXPECT_EQ(call.user, "Dave");
      auto db = test::parseDatabase(*call.bytes);
      names.push_back(db ? db->name : "?");
    }
    return names;
  }

  test::TempDir dir_;
  std::string windows_ = dir_.file("win");
  std::string tmp_ = dir_.file("tmp");
  test::ScopedEnv windowsEnv_{"LUMORA_WINDOWS_DIR", windows_};
  test::ScopedEnv tmpEnv_{"TMPDIR", tmp_};
};

using Names = std::vector<std::string>;

const std::vector<std::pair<std::string, std::string>> kArial = {
    {"Arial (TrueType)", "arial.ttf"},
    {"Arial Bold (TrueType)", "arialbd.ttf"},
    {"Arial Bold Italic (TrueType)", "arialbi.ttf"},
    {"Arial Italic (TrueType)", "ariali.ttf"},
};

TEST_F(FontQueue, StyleWalks) {
  registerFonts(kArial);
  struct Case {
    const char* label;
    uint32_t styles;
    Names names;
  } cases[] = {
      {"none", 0x00, {}},
      {"all_four_in_order", 0x0F, {"arial.ttf", "arialbd.ttf", "arialbi.ttf", "ariali.ttf"}},
      {"regular_then_unknown_bit", 0x11, {"arial.ttf"}},
      {"unknown_bit_only", 0x10, {}},
      {"italic_and_bold", 0x0A, {"arialbd.ttf", "ariali.ttf"}},
      {"higher_bits_ignored", 0xFF04, {"arialbi.ttf"}},
  };
  for (const auto& c : cases) {
    QueueRecorder::reset();
    auto status = queueTtf("Dave", "Arial", c.styles, &QueueRecorder::queue);
    EXPECT_TRUE(status.ok()) << c.label << ": " << status.reason;
    EXPECT_EQ(queuedNames(), c.names) << c.label;
  }
  EXPECT_TRUE(test::entriesOf(tmp_).empty());
}

TEST_F(FontQueue, AMissingStyleEndsTheWalk) {
  registerFonts({kArial[0], kArial[2], kArial[3]});  // no bold
  auto status = queueTtf("Dave", "Arial", 0x0F, &QueueRecorder::queue);
  EXPECT_EQ(static_cast<uint32_t>(status.code), 0x80070002u);
  EXPECT_EQ(queuedNames(), Names{"arial.ttf"});
}

TEST_F(FontQueue, ValuesThatAreNotPlainStringsArePassedOver) {
  registerFonts(
      {kArial[0], {"Arial Bold (TrueType)", "expand:%WINDIR%\\Fonts\\arialbd.ttf"}, kArial[2]});
  auto status = queueTtf("Dave", "Arial", 0x07, &QueueRecorder::queue);
  EXPECT_TRUE(status.ok()) << status.reason;
  EXPECT_EQ(queuedNames(), (Names{"arial.ttf", "arialbi.ttf"}));
}

TEST_F(FontQueue, AFullPathValueIsUsedAsItIs) {
  const std::string own = dir_.file("user-fonts/mine.ttf");
  std::filesystem::create_directories(dir_.file("user-fonts"));
  test::writeFile(own, test::fontBytes(777, 9));
  test::writeText(windows_ + "/fonts.reg",
                  "REGEDIT4\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\"
                  "Fonts]\n\"Mine (TrueType)\"=\"" +
                      own + "\"\n");
  EXPECT_TRUE(queueTtf("Dave", "Mine", 1, &QueueRecorder::queue).ok());
  ASSERT_EQ(QueueRecorder::calls.size(), 1u);
  auto db = test::parseDatabase(*QueueRecorder::calls[0].bytes);
  EXPECT_EQ(db->name, "mine.ttf");
  EXPECT_EQ(db->records[0].data, test::fontBytes(777, 9));
}

TEST_F(FontQueue, AFailingConversionEndsTheWalk) {
  registerFonts(kArial);
  std::filesystem::remove(windows_ + "/Fonts/arialbd.ttf");
  auto status = queueTtf("Dave", "Arial", 0x0F, &QueueRecorder::queue);
  EXPECT_EQ(static_cast<uint32_t>(status.code), 0x80070002u);
  EXPECT_EQ(queuedNames(), Names{"arial.ttf"});
}

TEST_F(FontQueue, SomeTtfsQueuesTheTwelveFacesInOrder) {
  std::vector<std::pair<std::string, std::string>> all;
  for (size_t i = 0; i < kSomeFaces.size(); ++i)
    all.push_back({std::string(kSomeFaces[i]), "f" + std::to_string(i) + ".ttf"});
  registerFonts(all);
  EXPECT_TRUE(queueSomeTtfs("Dave", &QueueRecorder::queue).ok());
  Names expected;
  for (size_t i = 0; i < kSomeFaces.size(); ++i)
    expected.push_back("f" + std::to_string(i) + ".ttf");
  EXPECT_EQ(queuedNames(), expected);
}

TEST_F(FontQueue, SomeTtfsStopsAtTheFirstMissingFace) {
  registerFonts({{"Arial (TrueType)", "a.ttf"},
                 {"Arial Bold (TrueType)", "b.ttf"},
                 {"Arial Bold Italic (TrueType)", "c.ttf"},
                 {"Times New Roman (TrueType)", "t.ttf"}});
  auto status = queueSomeTtfs("Dave", &QueueRecorder::queue);
  EXPECT_EQ(static_cast<uint32_t>(status.code), 0x80070002u);
  EXPECT_EQ(queuedNames(), (Names{"a.ttf", "b.ttf", "c.ttf"}));
}

TEST_F(FontQueue, WithoutTheFontKeyNothingIsQueued) {
  registerFonts(kArial, "Windows");  // only the key of the 95 family
  EXPECT_EQ(static_cast<uint32_t>(queueTtf("Dave", "Arial", 1, &QueueRecorder::queue).code),
            0x80070002u);
  EXPECT_EQ(static_cast<uint32_t>(queueSomeTtfs("Dave", &QueueRecorder::queue).code), 0x80070002u);
  EXPECT_TRUE(QueueRecorder::calls.empty());
}

// A registry of a given platform with one Arial value and a Windows folder on drive C.
class PlatformRegistry final : public registry::Registry {
 public:
  uint32_t platform = registry::kPlatformWin32Nt;
  std::vector<std::string> opened;
  int folderQueries = 0;
  int32_t versionError = 0;

  class ArialKey final : public registry::Key {
   public:
    int32_t queryValue(std::string_view name, uint32_t* type, uint8_t* data,
                       uint32_t* size) override {
      if (name != "Arial (TrueType)") return kErrorFileNotFound;
      *type = registry::kRegSz;
      if (!data || *size < 10) {
        *size = 10;
        return data ? kErrorMoreData : 0;
      }
      std::memcpy(data, "arial.ttf", 10);
      *size = 10;
      return 0;
    }
  };

  registry::OpenedKey openLocalMachineKey(std::string_view path) override {
    opened.emplace_back(path);
    return {0, std::make_unique<ArialKey>()};
  }
  int32_t platformId(uint32_t& id) override {
    id = platform;
    return versionError;
  }
  uint32_t windowsDirectory(char* buffer, uint32_t size) override {
    ++folderQueries;
    if (size < 11) return 11;
    std::memcpy(buffer, "C:\\WINDOWS", 11);
    return 10;
  }
  int32_t lastError() override { return 0; }
};

class ScopedRegistry {
 public:
  explicit ScopedRegistry(registry::Registry& r) : previous_(registry::setRegistry(&r)) {}
  ~ScopedRegistry() { registry::setRegistry(previous_); }

 private:
  registry::Registry* previous_;
};

TEST_F(FontQueue, TheKeyFollowsThePlatformAndTheFontLivesInTheWindowsFontsFolder) {
  test::ScopedEnv drive("LUMORA_DRIVE_C", dir_.file("c"));
  std::filesystem::create_directories(dir_.file("c/WINDOWS/Fonts"));
  test::writeFile(dir_.file("c/WINDOWS/Fonts/arial.ttf"), test::fontBytes(100, 3));
  struct Case {
    uint32_t platform;
    const char* key;
  } cases[] = {{2, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts"},
               {1, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Fonts"}};
  for (auto c : cases) {
    QueueRecorder::reset();
    PlatformRegistry r;
    r.platform = c.platform;
    ScopedRegistry scoped(r);
    EXPECT_TRUE(queueTtf("Dave", "Arial", 1, &QueueRecorder::queue).ok());
    EXPECT_EQ(r.opened, std::vector<std::string>{c.key});
    ASSERT_EQ(QueueRecorder::calls.size(), 1u);
    EXPECT_EQ(test::parseDatabase(*QueueRecorder::calls[0].bytes)->records[0].data,
              test::fontBytes(100, 3));
  }
}

TEST_F(FontQueue, NoStylesOpensNothingButTheKey) {
  PlatformRegistry r;
  ScopedRegistry scoped(r);
  EXPECT_TRUE(queueTtf("Dave", "Arial", 0, &QueueRecorder::queue).ok());
  EXPECT_EQ(r.opened.size(), 1u);
  EXPECT_EQ(r.folderQueries, 0);
}

TEST_F(FontQueue, AFailingVersionQueryEndsTheCall) {
  PlatformRegistry r;
  r.versionError = 1150;
  ScopedRegistry scoped(r);
  EXPECT_EQ(static_cast<uint32_t>(queueTtf("Dave", "Arial", 1, &QueueRecorder::queue).code),
            0x8007047Eu);
  EXPECT_TRUE(r.opened.empty());
}

TEST_F(FontQueue, FindsFacesThroughFontconfigWithoutFontsReg) {
  test::PrivateFontconfig fc(dir_);
  if (!fc.ready()) GTEST_SKIP() << "no DejaVu Sans found at configure time";
  EXPECT_TRUE(queueTtf("Dave", "DejaVu Sans", 0x01, &QueueRecorder::queue).ok());
  ASSERT_EQ(QueueRecorder::calls.size(), 1u);
  auto db = test::parseDatabase(*QueueRecorder::calls[0].bytes);
  ASSERT_TRUE(db);
  EXPECT_EQ(db->name, "DejaVuSans.ttf");
  Bytes all;
  for (const auto& r : db->records) all.insert(all.end(), r.data.begin(), r.data.end());
  EXPECT_EQ(all, test::readFile(fc.fontPath()));

  QueueRecorder::reset();
  auto status = queueTtf("Dave", "DejaVu Sans", 0x03, &QueueRecorder::queue);
  EXPECT_EQ(static_cast<uint32_t>(status.code), 0x80070002u);  // no bold face installed
  EXPECT_EQ(QueueRecorder::calls.size(), 1u);
}

}  // namespace
}  // namespace lumora::installer
