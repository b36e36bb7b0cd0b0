#include "platform/registry/reg_file.h"

#include <gtest/gtest.h>

#include "platform/registry/registry.h"

namespace lumora::registry {
namespace {

using namespace std::string_literals;

Bytes ascii(const std::string& s) {
  return Bytes(s.begin(), s.end());
}

Bytes utf16(const std::string& s) {
  Bytes out{0xFF, 0xFE};
  for (char c : s) {
    out.push_back(static_cast<uint8_t>(c));
    out.push_back(0);
  }
  return out;
}

const char kKey[] = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts";

std::optional<RegValue> valueOf(const RegFile& file, const std::string& name,
                                const std::string& key = kKey) {
  const RegValues* values = file.findKey(key);
  if (!values) return std::nullopt;
  auto it = values->find(name);
  if (it == values->end()) return std::nullopt;
  return it->second;
}

TEST(RegFile, ValueKinds) {
  const std::string text = "Windows Registry Editor Version 5.00\r\n\r\n[" + std::string(kKey) +
                           "]\r\n"
                           "\"Arial (TrueType)\"=\"arial.ttf\"\r\n"
                           "\"Quoted \\\"Name\\\"\"=\"C:\\\\Fonts\\\\q.ttf\"\r\n"
                           "@=\"default\"\r\n"
                           "\"Count\"=dword:0000002a\r\n"
                           "\"Blob\"=hex:01,02,ff\r\n"
                           "\"Expand\"=hex(2):25,00,57,00,25,00,00,00\r\n"
                           "\"Wrapped\"=hex:0a,0b,\\\r\n  0c,0d\r\n";
  for (const Bytes& bytes : {ascii(text), utf16(text)}) {
    auto file = parseRegFile(bytes);
    ASSERT_TRUE(file);
    struct Expect {
      const char* name;
      uint32_t type;
      Bytes data;
    } cases[] = {
        {"Arial (TrueType)", kRegSz, ascii("arial.ttf\0"s)},
        {"Quoted \"Name\"", kRegSz, ascii("C:\\Fonts\\q.ttf\0"s)},
        {"", kRegSz, ascii("default\0"s)},
        {"Count", kRegDword, {0x2a, 0, 0, 0}},
        {"Blob", kRegBinary, {1, 2, 0xff}},
        {"Expand", kRegExpandSz, ascii("%W%\0"s)},
        {"Wrapped", kRegBinary, {0x0a, 0x0b, 0x0c, 0x0d}},
    };
    for (const auto& c : cases) {
      auto v = valueOf(*file, c.name);
      ASSERT_TRUE(v) << c.name;
      EXPECT_EQ(v->type, c.type) << c.name;
      EXPECT_EQ(v->data, c.data) << c.name;
    }
  }
}

TEST(RegFile, Regedit4KeepsHexStringsAsBytes) {
  auto file = parseRegFile(ascii("REGEDIT4\n[HKEY_X]\n\"E\"=hex(2):41,42,00\n"));
  ASSERT_TRUE(file);
  EXPECT_EQ(valueOf(*file, "E", "HKEY_X")->data, ascii("AB\0"s));
}

TEST(RegFile, NamesAreCaseInsensitive) {
  auto file = parseRegFile(ascii("REGEDIT4\n[HKEY_LOCAL_MACHINE\\Soft]\n\"Arial\"=\"a.ttf\"\n"));
  ASSERT_TRUE(file);
  EXPECT_TRUE(valueOf(*file, "ARIAL", "hkey_local_machine\\SOFT"));
}

TEST(RegFile, DeletionsAndLaterDefinitions) {
  auto file =
      parseRegFile(ascii("REGEDIT4\n"
                         "[HKEY_A]\n\"x\"=\"1\"\n\"y\"=\"2\"\n"
                         "[HKEY_A\\Sub]\n\"z\"=\"3\"\n"
                         "[HKEY_B]\n\"w\"=\"4\"\n"
                         "[HKEY_A]\n\"x\"=\"one\"\n\"y\"=-\n"
                         "[-HKEY_B]\n"));
  ASSERT_TRUE(file);
  EXPECT_EQ(valueOf(*file, "x", "HKEY_A")->data, ascii("one\0"s));
  EXPECT_FALSE(valueOf(*file, "y", "HKEY_A"));
  EXPECT_TRUE(valueOf(*file, "z", "HKEY_A\\Sub"));
  EXPECT_EQ(file->findKey("HKEY_B"), nullptr);

  file = parseRegFile(ascii("REGEDIT4\n[HKEY_A]\n[HKEY_A\\Sub]\n[HKEY_AB]\n[-HKEY_A]\n"));
  ASSERT_TRUE(file);
  EXPECT_EQ(file->findKey("HKEY_A\\Sub"), nullptr);
  EXPECT_NE(file->findKey("HKEY_AB"), nullptr);
}

TEST(RegFile, BadLinesAreSkippedAndTheRestRead) {
  auto file =
      parseRegFile(ascii("REGEDIT4\n"
                         "\"outside\"=\"no key yet\"\n"
                         "[HKEY_A]\n"
                         "; a comment\n"
                         "\"unclosed=\"x\"\n"
                         "\"trailing\"=\"x\" junk\n"
                         "\"badhex\"=hex:zz\n"
                         "\"bigdword\"=dword:123456789\n"
                         "\"nohexclose\"=hex(2:41\n"
                         "[broken\n"
                         "\"good\"=\"yes\"\n"));
  ASSERT_TRUE(file);
  const RegValues* values = file->findKey("HKEY_A");
  ASSERT_NE(values, nullptr);
  ASSERT_EQ(values->size(), 0u);  // "[broken" ends the key, so "good" has no key either
  EXPECT_FALSE(valueOf(*file, "outside", "HKEY_A"));
}

TEST(RegFile, RefusesTextWithoutAHeader) {
  for (std::string text : {"", "\n\n", "[HKEY_A]\n\"x\"=\"1\"\n", "Windows Registry Editor 4\n"})
    EXPECT_FALSE(parseRegFile(ascii(text))) << text;
}

}  // namespace
}  // namespace lumora::registry
