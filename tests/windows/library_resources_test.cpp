// The built conduit library under Windows: its exports are found by name, and its resources
// agree with the tables the dialog logic uses everywhere else.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "conduit/resources/bitmaps.h"
#include "conduit/resources/strings.h"

namespace lumora {
namespace {

class ConduitLibrary : public ::testing::Test {
 protected:
  void SetUp() override {
    module_ = ::LoadLibraryA(LUMORA_LUMSYNC_DLL);
    ASSERT_NE(module_, nullptr) << LUMORA_LUMSYNC_DLL;
  }
  void TearDown() override {
    if (module_) ::FreeLibrary(module_);
  }
  HMODULE module_ = nullptr;
};

TEST_F(ConduitLibrary, EveryExportIsFoundByItsPlainName) {
  for (const char* name :
       {"OpenConduit", "GetConduitName", "GetConduitVersion", "ConfigureConduit", "GetConduitInfo",
        "CfgConduit", "DllRegisterServer", "DllUnregisterServer"})
    EXPECT_NE(::GetProcAddress(module_, name), nullptr) << name;
}

TEST_F(ConduitLibrary, StringResourcesMatchTheStringTable) {
  for (const auto& entry : conduit::stringTable()) {
    char text[256] = {};
    int n = ::LoadStringA(module_, entry.id, text, sizeof text);
    EXPECT_EQ(std::string(text, n > 0 ? n : 0), entry.text) << entry.id;
  }
}

TEST_F(ConduitLibrary, ActionBitmapsMatchTheEmbeddedFiles) {
  for (uint32_t id : {103u, 104u, 105u, 106u}) {
    HRSRC found = ::FindResourceA(module_, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(2));
    ASSERT_NE(found, nullptr) << id;
    DWORD size = ::SizeofResource(module_, found);
    auto* bytes = static_cast<const uint8_t*>(::LockResource(::LoadResource(module_, found)));
    auto embedded = conduit::bitmapResource(id);
    ASSERT_TRUE(embedded.has_value()) << id;
    // A bitmap resource is the .bmp file without its 14-byte file header.
    ASSERT_EQ(size + 14, embedded->size()) << id;
    EXPECT_TRUE(std::equal(bytes, bytes + size, embedded->begin() + 14)) << id;
  }
}

TEST_F(ConduitLibrary, DialogTemplate101IsThere) {
  HRSRC found = ::FindResourceA(module_, MAKEINTRESOURCEA(101), MAKEINTRESOURCEA(5));
  ASSERT_NE(found, nullptr);
  auto* bytes = static_cast<const uint8_t*>(::LockResource(::LoadResource(module_, found)));
  ASSERT_GE(::SizeofResource(module_, found), 26u);
  // An extended template starts with version 1 and signature 0xFFFF; then help id,
  // extended style, style, the number of controls.
  EXPECT_EQ(bytes[0] | bytes[1] << 8, 1);
  EXPECT_EQ(bytes[2] | bytes[3] << 8, 0xFFFF);
  EXPECT_EQ(bytes[16] | bytes[17] << 8, 31);
}

}  // namespace
}  // namespace lumora
