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

class OpenedDialogs : public ::testing::Test {
 protected:
  void SetUp() override {
    test::writeText(dir.path() + "\\Lumdex.ini", "[Lumdex]\r\nSyncDir=" + dir.path() + "\r\n");
    library = ::LoadLibraryA("lumsync.dll");
    ASSERT_NE(library, nullptr);
    cfg = reinterpret_cast<CfgConduitFn*>(
        reinterpret_cast<void (*)()>(::GetProcAddress(library, "CfgConduit")));
    ASSERT_NE(cfg, nullptr);
  }
  void TearDown() override {
    if (library) ::FreeLibrary(library);
  }
  static std::vector<uint8_t> makeRecord() {
    std::vector<uint8_t> rec(kRecordSize, 0);
    storeLe32(&rec[record::kVersion], 1);
    storeLe32(&rec[record::kIdentifier], 1);
    std::memcpy(&rec[record::kUserName], "Alice", 5);
    storeLe32(&rec[record::kChosenSyncType], kUntouched);
    storeLe32(&rec[record::kChoiceScope], kUntouched);
    return rec;
  }

  test::TempDir dir;
  test::ScopedEnv windows{"LUMORA_WINDOWS_DIR", dir.path()};
  HMODULE library = nullptr;
  CfgConduitFn* cfg = nullptr;
};

// The bitmaps of the picture controls 1000-1003, as the dialog shows them.
std::vector<HBITMAP> actionImages(HWND dialog) {
  std::vector<HBITMAP> images;
  for (int id = 1000; id <= 1003; ++id)
    images.push_back(reinterpret_cast<HBITMAP>(
        ::SendDlgItemMessageA(dialog, id, STM_GETIMAGE, IMAGE_BITMAP, 0)));
  return images;
}

// Every bitmap a picture control held when the dialog replaced it, and every one given.
std::vector<HBITMAP> gSeenImages;
LRESULT CALLBACK watchImages(int code, WPARAM wParam, LPARAM lParam) {
  const auto* msg = reinterpret_cast<const CWPSTRUCT*>(lParam);
  if (code == HC_ACTION && msg->message == STM_SETIMAGE) {
    int id = ::GetDlgCtrlID(msg->hwnd);
    if (id >= 1000 && id <= 1003) {
      gSeenImages.push_back(
          reinterpret_cast<HBITMAP>(::SendMessageA(msg->hwnd, STM_GETIMAGE, IMAGE_BITMAP, 0)));
      gSeenImages.push_back(reinterpret_cast<HBITMAP>(msg->lParam));
    }
  }
  return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

TEST_F(OpenedDialogs, LeaveNoBitmapBehind) {
  HHOOK hook = ::SetWindowsHookExA(WH_CALLWNDPROC, &watchImages, nullptr, ::GetCurrentThreadId());
  ASSERT_NE(hook, nullptr);
  const DWORD before = ::GetGuiResources(::GetCurrentProcess(), GR_GDIOBJECTS);
  for (int i = 0; i < 10; ++i) {
    gSeenImages.clear();
    auto rec = makeRecord();
    std::thread closer([] {
      if (HWND dialog = waitForDialog()) ::PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    });
    uint32_t size = kRecordSize;
    EXPECT_EQ(cfg(0, rec.data(), &size), 0);
    closer.join();
    // Four controls, each with the template's bitmap and then the dialog's; checked before
    // the next opening can reuse a handle.
    ASSERT_EQ(gSeenImages.size(), 8u) << "opening " << i;
    for (size_t k = 0; k < gSeenImages.size(); ++k) {
      EXPECT_NE(gSeenImages[k], nullptr);
      EXPECT_EQ(::GetObjectType(gSeenImages[k]), 0u)
          << "opening " << i << ": the " << (k % 2 ? "dialog's" : "template's")
          << " bitmap of control " << 1000 + k / 2 << " is still there";
    }
  }
  const DWORD after = ::GetGuiResources(::GetCurrentProcess(), GR_GDIOBJECTS);
  ::UnhookWindowsHookEx(hook);
  // Wine does not count GDI objects (0); Windows does.
  if (before != 0) {
    EXPECT_LE(after, before);
  }
}

// The window the user works in, which owns the dialog; on WM_APP it asks for a second
// dialog while the first is open.
struct Foreground {
  CfgConduitFn* cfg = nullptr;
  std::vector<uint8_t> second;
  std::atomic<int> secondResult{-1};
};
Foreground* gForeground = nullptr;

LRESULT CALLBACK foregroundProc(HWND w, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_APP && gForeground) {
    uint32_t size = kRecordSize;
    gForeground->secondResult = gForeground->cfg(0, gForeground->second.data(), &size);
    return 0;
  }
  return ::DefWindowProcA(w, message, wParam, lParam);
}

TEST_F(OpenedDialogs, AreOwnedByTheForegroundWindowAndOneAtATime) {
  WNDCLASSA wc{};
  wc.lpfnWndProc = &foregroundProc;
  wc.hInstance = ::GetModuleHandleA(nullptr);
  wc.lpszClassName = "LumoraForeground";
  ::RegisterClassA(&wc);
  HWND owner =
      ::CreateWindowA("LumoraForeground", "HotSync Manager", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0,
                      300, 200, nullptr, nullptr, wc.hInstance, nullptr);
  ASSERT_NE(owner, nullptr);
  ::SetForegroundWindow(owner);
  MSG msg;
  while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageA(&msg);
  HWND foreground = ::GetForegroundWindow();
  EXPECT_EQ(foreground, owner);

  Foreground fg;
  fg.cfg = cfg;
  fg.second = makeRecord();
  const auto secondBefore = fg.second;
  gForeground = &fg;
  auto rec = makeRecord();
  HWND dialogOwner = nullptr;
  std::vector<HBITMAP> shownBefore, shownAfter;
  std::vector<DWORD> typesAfter;
  std::thread user([&] {
    HWND dialog = waitForDialog();
    if (!dialog) return;
    dialogOwner = ::GetWindow(dialog, GW_OWNER);
    shownBefore = actionImages(dialog);
    ::PostMessageA(owner, WM_APP, 0, 0);
    for (int i = 0; i < 100 && fg.secondResult < 0; ++i) ::Sleep(50);
    shownAfter = actionImages(dialog);
    for (HBITMAP b : shownAfter) typesAfter.push_back(::GetObjectType(b));
    // Do nothing, then OK: the first dialog still writes its own record.
    ::PostMessageA(dialog, WM_COMMAND, 407, 0);
    ::PostMessageA(dialog, WM_COMMAND, IDOK, 0);
    ::Sleep(1000);
    if (::IsWindow(dialog)) ::PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
  });
  uint32_t size = kRecordSize;
  EXPECT_EQ(cfg(0, rec.data(), &size), 0);
  user.join();
  gForeground = nullptr;
  ::DestroyWindow(owner);

  EXPECT_NE(dialogOwner, nullptr);
  EXPECT_EQ(dialogOwner, foreground);
  EXPECT_EQ(fg.secondResult, 0);
  EXPECT_EQ(fg.second, secondBefore);
  EXPECT_EQ(shownAfter, shownBefore);
  EXPECT_EQ(typesAfter, std::vector<DWORD>(4, OBJ_BITMAP));
  EXPECT_EQ(loadLe32(&rec[record::kChosenSyncType]), 6u);
}

}  // namespace
}  // namespace lumora
