// The conduit's configuration dialog as a real Win32 dialog (run under Wine and Xvfb): a
// thread waits for the window and types keys; the record and the ini file tell the result.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>
#include <vector>

#include "common/bytes.h"
#include "conduit/dialog/config_record.h"
#include "tests/support/temp_dir.h"

namespace lumora {
namespace {

namespace record = conduit::record;
constexpr uint32_t kUntouched = 0xAAAAAAAA;
constexpr size_t kRecordSize = 352;
using CfgConduitFn = int32_t(int32_t, void*, uint32_t*);

// A key as the keyboard sends it; alt holds Alt down around it.
struct Key {
  BYTE vk;
  bool alt = false;
};

void press(const Key& k) {
  if (k.alt) ::keybd_event(VK_MENU, 0, 0, 0);
  ::keybd_event(k.vk, 0, 0, 0);
  ::keybd_event(k.vk, 0, KEYEVENTF_KEYUP, 0);
  if (k.alt) ::keybd_event(VK_MENU, 0, KEYEVENTF_KEYUP, 0);
  ::Sleep(150);
}

HWND waitForDialog() {
  for (int i = 0; i < 200; ++i) {
    if (HWND w = ::FindWindowA(nullptr, "Lumora 2004")) return w;
    ::Sleep(50);
  }
  return nullptr;
}

struct Case {
  const char* what;
  std::vector<Key> keys;
  uint32_t chosen;
  uint32_t scope;
};

TEST(Win32Dialog, KeysChooseTheAction) {
  const Case cases[] = {
      {"Esc cancels", {{VK_ESCAPE}}, kUntouched, kUntouched},
      {"do nothing, next only", {{'N', true}, {VK_RETURN}}, 6, record::kScopeNextOnly},
      {"desktop overwrites, as default",
       {{'D', true}, {'A', true}, {VK_RETURN}},
       3,
       record::kScopeDefaultAndNext},
  };
  test::TempDir dir;
  test::ScopedEnv windows("LUMORA_WINDOWS_DIR", dir.path());
  test::writeText(dir.path() + "\\Lumdex.ini", "[Lumdex]\r\nSyncDir=" + dir.path() + "\r\n");
  HMODULE library = ::LoadLibraryA("lumsync.dll");
  ASSERT_NE(library, nullptr);
  auto* cfg = reinterpret_cast<CfgConduitFn*>(
      reinterpret_cast<void (*)()>(::GetProcAddress(library, "CfgConduit")));
  ASSERT_NE(cfg, nullptr);
  for (const Case& c : cases) {
    std::vector<uint8_t> rec(kRecordSize, 0);
    storeLe32(&rec[record::kVersion], 1);
    storeLe32(&rec[record::kIdentifier], 1);
    std::memcpy(&rec[record::kUserName], "Alice", 5);
    storeLe32(&rec[record::kDefaultSyncType], 0);
    storeLe32(&rec[record::kNextSyncType], 0);
    storeLe32(&rec[record::kChosenSyncType], kUntouched);
    storeLe32(&rec[record::kChoiceScope], kUntouched);
    std::atomic<bool> found{false};
    std::thread typist([&] {
      HWND dialog = waitForDialog();
      if (!dialog) return;
      found = true;
      ::SetForegroundWindow(dialog);
      ::Sleep(300);
      for (const Key& k : c.keys) press(k);
      // A dialog still open after the keys would block the test: close it.
      ::Sleep(500);
      if (::IsWindow(dialog)) ::PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    });
    uint32_t size = kRecordSize;
    EXPECT_EQ(cfg(0, rec.data(), &size), 0) << c.what;
    typist.join();
    EXPECT_TRUE(found) << c.what;
    EXPECT_EQ(loadLe32(&rec[record::kChosenSyncType]), c.chosen) << c.what;
    EXPECT_EQ(loadLe32(&rec[record::kChoiceScope]), c.scope) << c.what;
  }
  ::FreeLibrary(library);
}

}  // namespace
}  // namespace lumora
