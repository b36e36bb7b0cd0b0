#include "platform/ui/dialog_model.h"

namespace lumora::ui {

DialogModel::DialogModel(const DialogTemplate& t) : caption(t.caption ? t.caption : "") {
  controls_.reserve(t.controls.size());
  for (const ControlTemplate& c : t.controls) controls_.push_back({&c, c.text ? c.text : ""});
}

DialogModel::Control* DialogModel::find(int id) {
  if (id == kNoId) return nullptr;
  for (Control& c : controls_)
    if (c.source->id == id) return &c;
  return nullptr;
}

const DialogModel::Control* DialogModel::find(int id) const {
  return const_cast<DialogModel*>(this)->find(id);
}

std::optional<int> DialogModel::click(int id) {
  Control* c = find(id);
  if (!c || !c->enabled) return std::nullopt;
  switch (c->source->kind) {
    case ControlKind::autoCheckBox:
      c->checked = !c->checked;
      return id;
    case ControlKind::pushButton:
    case ControlKind::defPushButton:
    case ControlKind::radioButton:
      return id;
    default:
      return std::nullopt;
  }
}

}  // namespace lumora::ui
