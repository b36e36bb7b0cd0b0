// A toolkit for tests: plays a headless script, answers from it, and records every call
// the dialog procedure makes, in order.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "platform/ui/headless_toolkit.h"

namespace lumora::test {

class ScriptedToolkit : public ui::HeadlessToolkit {
 public:
  explicit ScriptedToolkit(std::string script) : HeadlessToolkit(std::move(script)) {
    previous_ = ui::setToolkit(this);
  }
  ~ScriptedToolkit() override { ui::setToolkit(previous_); }

  std::vector<std::string> calls;    // "setItemText 403 HotSync Action for Lumora", ...
  std::vector<std::string> reports;  // message boxes and notes, "[caption] text"
  ui::Window lastDialog = nullptr;

  // The calls that start with prefix.
  std::vector<std::string> callsStarting(const std::string& prefix) const {
    std::vector<std::string> out;
    for (const std::string& c : calls)
      if (c.rfind(prefix, 0) == 0) out.push_back(c);
    return out;
  }

  int messageBox(ui::Window o, std::string_view text, std::string_view caption,
                 uint32_t flags) override {
    note("messageBox [" + std::string(caption) + "] " + std::string(text) + " flags " +
         std::to_string(flags));
    return HeadlessToolkit::messageBox(o, text, caption, flags);
  }
  intptr_t dialogBox(const ui::DialogTemplate& t, ui::Window owner, ui::DialogProc proc,
                     void* param) override {
    note("dialogBox " + std::string(t.caption));
    return HeadlessToolkit::dialogBox(t, owner, proc, param);
  }
  void endDialog(ui::Window d, intptr_t result) override {
    note("endDialog " + std::to_string(result));
    HeadlessToolkit::endDialog(d, result);
  }
  void setWindowText(ui::Window d, std::string_view text) override {
    lastDialog = d;
    note("setWindowText " + std::string(text));
    HeadlessToolkit::setWindowText(d, text);
  }
  void setItemText(ui::Window d, int id, std::string_view text) override {
    note("setItemText " + std::to_string(id) + " " + std::string(text));
    HeadlessToolkit::setItemText(d, id, text);
  }
  void checkButton(ui::Window d, int id, bool on) override {
    note("checkButton " + std::to_string(id) + (on ? " on" : " off"));
    HeadlessToolkit::checkButton(d, id, on);
  }
  void checkRadioButton(ui::Window d, int first, int last, int id) override {
    note("checkRadioButton " + std::to_string(first) + "-" + std::to_string(last) + " " +
         std::to_string(id));
    ++quiet_;
    HeadlessToolkit::checkRadioButton(d, first, last, id);
    --quiet_;
  }
  ui::ImageId createMappedBitmap(ByteView bmp, ui::Rgb from, ui::Rgb to) override {
    char text[64];
    std::snprintf(text, sizeof text, "createMappedBitmap %06X->%06X", from, to);
    note(text);
    return HeadlessToolkit::createMappedBitmap(bmp, from, to);
  }
  ui::ImageId setItemImage(ui::Window d, int id, ui::ImageId image) override {
    // The top-left pixel shows which colour the light grey became.
    const ui::MappedBitmap* bitmap = images().get(image);
    char text[64];
    std::snprintf(text, sizeof text, "setItemImage %d %dx%d corner %06X", id,
                  bitmap ? bitmap->width : 0, bitmap ? bitmap->height : 0,
                  bitmap ? bitmap->at(0, 0) : 0);
    note(text);
    return HeadlessToolkit::setItemImage(d, id, image);
  }
  void deleteImage(ui::ImageId image) override {
    note("deleteImage");
    HeadlessToolkit::deleteImage(image);
  }
  std::optional<std::string> browseForFolder(ui::Window o, std::string_view title,
                                             uint32_t flags) override {
    note("browseForFolder " + std::string(title) + " flags " + std::to_string(flags));
    return HeadlessToolkit::browseForFolder(o, title, flags);
  }
  bool winHelp(ui::Window o, std::string_view file, uint32_t command, uint32_t data) override {
    note("winHelp " + std::string(file) + " " + std::to_string(command) + " " +
         std::to_string(data));
    return HeadlessToolkit::winHelp(o, file, command, data);
  }

 protected:
  void report(std::string_view line) override { reports.emplace_back(line); }

 private:
  void note(std::string call) {
    if (!quiet_) calls.push_back(std::move(call));
  }
  ui::Toolkit* previous_ = nullptr;
  int quiet_ = 0;
};

}  // namespace lumora::test
