#include "platform/ui/win32/win32_toolkit.h"

#include <windows.h>

#include <commdlg.h>
#include <shlobj.h>

#include <map>
#include <string>

#include "platform/files/files.h"
#include "platform/ui/mapped_bitmap.h"

namespace lumora::ui::win32 {
namespace {

HWND hwnd(Window w) {
  return static_cast<HWND>(w);
}

// The module that holds this code: the conduit library, whose resources hold template 101.
HINSTANCE ownModule() {
  HMODULE module = nullptr;
  ::GetModuleHandleExA(
      GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
      reinterpret_cast<LPCSTR>(&ownModule), &module);
  return module;
}

constexpr int kDialogTemplateId = 101;

HelpCalls gHelpCalls{&::WinHelpA, &::ShellExecuteA};

// WinHelp reads only its own format: the help file of a page "X.html" is "X.hlp" beside it.
std::string winHelpFileOf(std::string_view page) {
  constexpr std::string_view kPage = ".html";
  std::string file(page);
  if (file.size() > kPage.size() &&
      ::lstrcmpiA(file.c_str() + file.size() - kPage.size(), kPage.data()) == 0)
    file.replace(file.size() - kPage.size(), kPage.size(), ".hlp");
  return file;
}

// The procedure of the modal dialog being shown; dialogs of this toolkit are modal, one
// at a time per thread.
thread_local DialogProc activeProc = nullptr;

INT_PTR CALLBACK dialogThunk(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  if (!activeProc) return FALSE;
  switch (message) {
    case WM_INITDIALOG:
      return activeProc(dialog, {DialogMessage::initDialog, 0, reinterpret_cast<void*>(lParam)});
    case WM_COMMAND:
      return activeProc(dialog, {DialogMessage::command, LOWORD(wParam), nullptr});
    case WM_HELP:
      return activeProc(dialog, {DialogMessage::help, 0, nullptr});
    case WM_SYSCOLORCHANGE:
      return activeProc(dialog, {DialogMessage::sysColorChange, 0, nullptr});
    default:
      return FALSE;
  }
}

// A 32-bit top-down DIB section holding the pixels.
HBITMAP toBitmap(const MappedBitmap& image) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = image.width;
  info.bmiHeader.biHeight = -image.height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bitmap = ::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!bitmap || !bits) return nullptr;
  auto* out = static_cast<uint32_t*>(bits);
  for (size_t i = 0; i < image.pixels.size(); ++i) out[i] = image.pixels[i];  // 0x00RRGGBB
  return bitmap;
}

class Win32Toolkit final : public Toolkit {
 public:
  int messageBox(Window owner, std::string_view text, std::string_view caption,
                 uint32_t flags) override {
    const std::string t(text), c(caption);
    return ::MessageBoxA(hwnd(owner), t.c_str(), c.c_str(), flags);
  }

  bool getOpenFileName(OpenFileRequest& request) override {
    // The structure of the oldest common-dialog version (76 bytes on 32-bit Windows), which
    // every version accepts.
    OPENFILENAMEA ofn{};
    ofn.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
    ofn.hwndOwner = hwnd(request.owner);
    const std::string filter(request.filter), dir(request.initialDir);
    ofn.lpstrFilter = filter.empty() ? nullptr : filter.c_str();
    ofn.lpstrFile = request.fileBuffer;
    ofn.nMaxFile = request.fileBufferSize;
    ofn.lpstrInitialDir = dir.empty() ? nullptr : dir.c_str();
    ofn.Flags = request.flags;
    return ::GetOpenFileNameA(&ofn) != 0;
  }

  uint32_t commDlgExtendedError() override { return ::CommDlgExtendedError(); }

  // The template comes from the library's resources (dialog 101, the same layout).
  intptr_t dialogBox(const DialogTemplate&, Window owner, DialogProc proc, void* param) override {
    DialogProc outer = activeProc;
    activeProc = proc;
    INT_PTR r = ::DialogBoxParamA(ownModule(), MAKEINTRESOURCEA(kDialogTemplateId), hwnd(owner),
                                  &dialogThunk, reinterpret_cast<LPARAM>(param));
    activeProc = outer;
    return r;
  }
  void endDialog(Window dialog, intptr_t result) override { ::EndDialog(hwnd(dialog), result); }
  void setWindowText(Window dialog, std::string_view text) override {
    ::SetWindowTextA(hwnd(dialog), std::string(text).c_str());
  }
  void setItemText(Window dialog, int id, std::string_view text) override {
    ::SetDlgItemTextA(hwnd(dialog), id, std::string(text).c_str());
  }
  std::string getItemText(Window dialog, int id) override {
    HWND item = ::GetDlgItem(hwnd(dialog), id);
    if (!item) return {};
    int length = ::GetWindowTextLengthA(item);
    if (length <= 0) return {};
    std::string text(static_cast<size_t>(length) + 1, '\0');
    int n = ::GetWindowTextA(item, text.data(), length + 1);
    text.resize(n > 0 ? static_cast<size_t>(n) : 0);
    return text;
  }
  void checkButton(Window dialog, int id, bool checked) override {
    ::CheckDlgButton(hwnd(dialog), id, checked ? BST_CHECKED : BST_UNCHECKED);
  }
  bool isButtonChecked(Window dialog, int id) override {
    return ::IsDlgButtonChecked(hwnd(dialog), id) == BST_CHECKED;
  }
  void checkRadioButton(Window dialog, int first, int last, int id) override {
    ::CheckRadioButton(hwnd(dialog), first, last, id);
  }
  void enableItem(Window dialog, int id, bool enabled) override {
    ::EnableWindow(::GetDlgItem(hwnd(dialog), id), enabled);
  }

  // The project's checked .bmp decoder maps the colour; Windows gets the pixels.
  ImageId createMappedBitmap(ByteView bmpFile, Rgb from, Rgb to) override {
    auto image = decodeMappedBitmap(bmpFile, from, to);
    if (!image) return 0;
    HBITMAP bitmap = toBitmap(*image);
    if (!bitmap) return 0;
    ImageId id = next_++;
    bitmaps_[id] = bitmap;
    return id;
  }
  ImageId setItemImage(Window dialog, int id, ImageId image) override {
    auto it = bitmaps_.find(image);
    HBITMAP bitmap = it == bitmaps_.end() ? nullptr : it->second;
    auto old = reinterpret_cast<HBITMAP>(::SendDlgItemMessageA(
        hwnd(dialog), id, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(bitmap)));
    if (!old) return 0;
    for (const auto& [known, handle] : bitmaps_)
      if (handle == old) return known;
    // The control loaded this one from the template; replacing it hands it back to us.
    ::DeleteObject(old);
    return 0;
  }
  void deleteImage(ImageId image) override {
    auto it = bitmaps_.find(image);
    if (it == bitmaps_.end()) return;
    ::DeleteObject(it->second);
    bitmaps_.erase(it);
  }

  Rgb sysColor(SysColor) override {
    COLORREF c = ::GetSysColor(COLOR_BTNFACE);
    return rgb(GetRValue(c), GetGValue(c), GetBValue(c));
  }

  std::optional<std::string> browseForFolder(Window owner, std::string_view title,
                                             uint32_t flags) override {
    const std::string t(title);
    char display[MAX_PATH] = {};
    BROWSEINFOA info{};
    info.hwndOwner = hwnd(owner);
    info.pszDisplayName = display;
    info.lpszTitle = t.c_str();
    info.ulFlags = flags;
    LPITEMIDLIST item = ::SHBrowseForFolderA(&info);
    if (!item) return std::nullopt;
    char path[MAX_PATH] = {};
    std::string chosen = ::SHGetPathFromIDListA(item, path) ? path : "";
    IMalloc* malloc = nullptr;
    if (SUCCEEDED(::SHGetMalloc(&malloc)) && malloc) {
      malloc->Free(item);
      malloc->Release();
    }
    return chosen;
  }

  Window foregroundWindow() override { return ::GetForegroundWindow(); }

  // The help file when it is there, else the page in the shell's program for it.
  bool winHelp(Window owner, std::string_view page, uint32_t command, uint32_t data) override {
    auto& fs = files::fileSystem();
    const std::string file = winHelpFileOf(page);
    if (file != page && fs.existsForRead(file))
      return gHelpCalls.winHelp(hwnd(owner), file.c_str(), command, data) != 0;
    if (!fs.existsForRead(page)) return false;
    const std::string path(page);
    auto r = reinterpret_cast<INT_PTR>(gHelpCalls.shellExecute(hwnd(owner), "open", path.c_str(),
                                                               nullptr, nullptr, SW_SHOWNORMAL));
    return r > 32;
  }

 private:
  std::map<ImageId, HBITMAP> bitmaps_;
  ImageId next_ = 1;
};

}  // namespace

Toolkit& toolkit() {
  static Win32Toolkit t;
  return t;
}

HelpCalls setHelpCalls(const HelpCalls& calls) {
  HelpCalls previous = gHelpCalls;
  gHelpCalls = calls;
  return previous;
}

}  // namespace lumora::ui::win32
