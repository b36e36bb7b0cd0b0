#include "installer/font_queue.h"

#include <memory>
#include <optional>
#include <string>

#include "fonts/hresult.h"
#include "platform/registry/font_values.h"
#include "platform/registry/registry.h"

namespace lumora::installer {
namespace {

using fonts::installer::Status;

Status registryFailure(int32_t error, std::string reason) {
  return Status{fonts::hresultFromWin32(error), std::move(reason)};
}

struct FontKey {
  Status status;
  std::unique_ptr<registry::Key> key;
};

FontKey openFontKey() {
  auto& r = registry::registry();
  uint32_t platform = 0;
  if (int32_t error = r.platformId(platform); error != 0)
    return {registryFailure(error, "cannot tell the Windows version"), nullptr};
  std::string_view path = registry::fontKeyPath(platform);
  registry::OpenedKey opened = r.openLocalMachineKey(path);
  if (opened.error != kErrorSuccess)
    return {registryFailure(opened.error, "cannot open the font key " + std::string(path)),
            nullptr};
  return {Status{}, std::move(opened.key)};
}

struct FontsFolder {
  Status status;
  std::string path;
};

FontsFolder fontsFolder() {
  registry::WindowsFolder folder = registry::windowsFolder(registry::registry());
  if (folder.tooLong) return {Status{fonts::kEUnexpected, "the Windows folder is too long"}, {}};
  if (folder.error != 0)
    return {registryFailure(folder.error, "cannot find the Windows folder"), {}};
  return {Status{}, registry::fontsFolderOf(folder.path)};
}

// Converts and queues the font of one registry value; values of other types are passed over.
// folder is looked up on first need.
Status queueValue(registry::Key& key, std::string_view valueName,
                  std::optional<std::string>& folder, std::string_view userName,
                  fonts::QueueFileFn queue) {
  registry::ValueText value = registry::readValueText(key, valueName);
  if (value.error != kErrorSuccess)
    return registryFailure(value.error, "no font registered as \"" + std::string(valueName) + "\"");
  if (value.type != registry::kRegSz) return {};
  std::string path = value.text;
  // Per-user fonts are registered by their full path.
  if (!registry::isFullPath(value.text)) {
    if (!folder) {
      FontsFolder found = fontsFolder();
      if (!found.status.ok()) return found.status;
      folder = std::move(found.path);
    }
    path = *folder + value.text;
  }
  return fonts::installer::convertAndQueueFont(path, userName, queue);
}

}  // namespace

const std::array<std::string_view, 12> kSomeFaces{
    "Arial (TrueType)",
    "Arial Bold (TrueType)",
    "Arial Bold Italic (TrueType)",
    "Arial Italic (TrueType)",
    "Times New Roman (TrueType)",
    "Times New Roman Bold (TrueType)",
    "Times New Roman Bold Italic (TrueType)",
    "Times New Roman Italic (TrueType)",
    "Verdana (TrueType)",
    "Verdana Bold (TrueType)",
    "Verdana Bold Italic (TrueType)",
    "Verdana Italic (TrueType)",
};

Status queueTtf(std::string_view userName, std::string_view face, uint32_t styles,
                fonts::QueueFileFn queue) {
  FontKey key = openFontKey();
  if (!key.status.ok()) return key.status;
  std::optional<std::string> folder;  // asked for only when a font is to be converted
  auto remaining = static_cast<uint8_t>(styles & 0xFF);
  while (remaining != 0) {
    const Style* style = nullptr;
    for (const Style& s : kStyles) {
      if (remaining & s.bit) {
        style = &s;
        break;
      }
    }
    if (!style) break;
    remaining = static_cast<uint8_t>(remaining & ~style->bit);
    const std::string valueName = registry::fontValueName(face, style->suffix);
    Status done = queueValue(*key.key, valueName, folder, userName, queue);
    if (!done.ok()) return done;
  }
  return {};
}

Status queueSomeTtfs(std::string_view userName, fonts::QueueFileFn queue) {
  FontKey key = openFontKey();
  if (!key.status.ok()) return key.status;
  FontsFolder found = fontsFolder();
  if (!found.status.ok()) return found.status;
  std::optional<std::string> folder = std::move(found.path);
  for (std::string_view valueName : kSomeFaces) {
    Status done = queueValue(*key.key, valueName, folder, userName, queue);
    if (!done.ok()) return done;
  }
  return {};
}

}  // namespace lumora::installer
