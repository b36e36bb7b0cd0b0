#include "fonts/font_selection.h"

#include <algorithm>
#include <vector>

#include "fonts/conduit_converter.h"
#include "platform/profile/profile.h"

namespace lumora::fonts {
namespace {

// One description and pattern pair, each part zero-terminated.
constexpr std::string_view kFilter{"TTF\0*.TTF\0", 10};

// The next zero-terminated string from at; empty at the end of the buffer.
std::string_view stringAt(std::span<const char> buffer, size_t at) {
  if (at >= buffer.size()) return {};
  auto begin = buffer.begin() + static_cast<std::ptrdiff_t>(at);
  auto end = std::find(begin, buffer.end(), '\0');
  return std::string_view(&*begin, static_cast<size_t>(end - begin));
}

// Folders the host names by its own paths take "/"; Windows folders take "\".
std::string joined(std::string_view folder, std::string_view name) {
  const char separator = !folder.empty() && folder.front() == '/' ? '/' : '\\';
  std::string path(folder);
  if (path.empty() || (path.back() != '\\' && path.back() != '/')) path += separator;
  return path + std::string(name);
}

}  // namespace

void walkSelection(std::span<const char> selection,
                   const std::function<void(const std::string&)>& onPath,
                   const std::function<void(const std::string&)>& onTooLong) {
  std::string_view first = stringAt(selection, 0);
  if (first.empty()) return;
  auto deliver = [&](const std::string& path) {
    if (path.size() >= kPathCapacity)
      onTooLong(path);
    else
      onPath(path);
  };
  size_t at = first.size() + 1;
  if (at >= selection.size() || selection[at] == '\0') {
    deliver(std::string(first));
    return;
  }
  for (std::string_view name = stringAt(selection, at); !name.empty();
       name = stringAt(selection, at)) {
    deliver(joined(first, name));
    at += name.size() + 1;
  }
}

void pickAndQueueFonts(ui::Window owner, std::string_view userName,
                       char (&fontFolder)[kPathCapacity], QueueFileFn queue) {
  std::vector<char> selection(kSelectionSize, '\0');
  profile::getString("Lumdex", "TTFontDirectory", kFontFolderDefault, fontFolder, kPathCapacity,
                     "Lumdex.ini");

  ui::OpenFileRequest request;
  request.owner = owner;
  request.fileBuffer = selection.data();
  request.fileBufferSize = static_cast<uint32_t>(selection.size());
  request.filter = kFilter;
  request.initialDir = fontFolder;
  request.flags = kFontDialogFlags;
  auto& tk = ui::toolkit();
  const bool picked = tk.getOpenFileName(request);
  const uint32_t error = tk.commDlgExtendedError();
  if (!picked) {
    if (error == kBufferTooSmall) tk.messageBox(owner, "Too many files selected!", "", ui::kMbOk);
    return;
  }
  walkSelection(
      selection,
      [&](const std::string& path) { conduit::convertAndQueueFont(path, userName, owner, queue); },
      [&](const std::string& path) {
        tk.messageBox(owner, "The path \"" + path + "\" is too long!", "Path too long", ui::kMbOk);
      });
}

}  // namespace lumora::fonts
