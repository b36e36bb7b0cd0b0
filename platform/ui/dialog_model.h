// The state of a dialog's controls without a window: what the headless front end and the
// test toolkits show, and what a click does to it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/ui/dialog_template.h"
#include "platform/ui/toolkit.h"

namespace lumora::ui {

class DialogModel {
 public:
  struct Control {
    const ControlTemplate* source;
    std::string text;
    bool checked = false;
    bool enabled = true;
    ImageId image = 0;
  };

  explicit DialogModel(const DialogTemplate& t);

  Control* find(int id);
  const Control* find(int id) const;
  const std::vector<Control>& controls() const { return controls_; }

  // A user's click on control id: an automatic check box toggles first. Returns the
  // command the dialog procedure receives, nullopt when the control sends none (static,
  // group box, picture, edit, disabled or missing).
  std::optional<int> click(int id);

  std::string caption;
  bool ended = false;
  intptr_t result = 0;

 private:
  std::vector<Control> controls_;
};

}  // namespace lumora::ui
