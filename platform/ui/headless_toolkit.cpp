#include "platform/ui/headless_toolkit.h"

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/files/files.h"
#include "platform/ui/help.h"

namespace lumora::ui {
namespace {

constexpr uint32_t kFnErrBufferTooSmall = 0x3003;

std::string_view trimmed(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
    s.remove_suffix(1);
  return s;
}

// Splits off the first word; rest keeps the remainder without its leading blanks.
std::string_view firstWord(std::string_view s, std::string_view& rest) {
  size_t end = s.find_first_of(" \t");
  std::string_view word = s.substr(0, end);
  rest = end == std::string_view::npos ? std::string_view() : trimmed(s.substr(end));
  return word;
}

std::optional<int> parseId(std::string_view s) {
  int v = 0;
  auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
  if (ec != std::errc() || p != s.data() + s.size()) return std::nullopt;
  return v;
}

std::optional<Rgb> parseColor(std::string_view s) {
  if (s.size() != 6) return std::nullopt;
  uint32_t v = 0;
  auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), v, 16);
  if (ec != std::errc() || p != s.data() + s.size()) return std::nullopt;
  return v;
}

}  // namespace

ParsedScript parseDialogScript(std::string_view text) {
  ParsedScript out;
  size_t lineNo = 0;
  for (size_t start = 0; start < text.size();) {
    size_t nl = text.find('\n', start);
    if (nl == std::string_view::npos) nl = text.size();
    std::string_view line = trimmed(text.substr(start, nl - start));
    start = nl + 1;
    ++lineNo;
    if (line.empty() || line.front() == '#') continue;
    std::string_view rest;
    std::string_view verb = firstWord(line, rest);
    auto fail = [&](const std::string& why) {
      out.error = "line " + std::to_string(lineNo) + ": " + why;
      out.steps.clear();
      return out;
    };
    ScriptStep step;
    if (verb == "click" || verb == "check" || verb == "type") {
      std::string_view after;
      std::string_view idText = firstWord(rest, after);
      auto id = parseId(idText);
      if (!id)
        return fail(std::string(verb) + " needs a control id, not '" + std::string(idText) + "'");
      step.id = *id;
      if (verb == "click") {
        if (!after.empty()) return fail("click takes only a control id");
        step.kind = ScriptStep::Kind::click;
      } else if (verb == "check") {
        if (after != "on" && after != "off") return fail("check needs on or off");
        step.kind = ScriptStep::Kind::check;
        step.on = after == "on";
      } else {
        step.kind = ScriptStep::Kind::type;
        step.text = std::string(after);
      }
    } else if (verb == "help" || verb == "close") {
      if (!rest.empty()) return fail(std::string(verb) + " takes nothing");
      step.kind = verb == "help" ? ScriptStep::Kind::help : ScriptStep::Kind::close;
    } else if (verb == "colors") {
      auto c = parseColor(rest);
      if (!c) return fail("colors needs a hex colour RRGGBB");
      step.kind = ScriptStep::Kind::colors;
      step.color = *c;
    } else if (verb == "browse" || verb == "open") {
      step.kind = verb == "browse" ? ScriptStep::Kind::browse : ScriptStep::Kind::open;
      if (rest == "\"\"")
        step.text = std::string();
      else if (!rest.empty())
        step.text = std::string(rest);
    } else {
      return fail("unknown action '" + std::string(verb) + "'");
    }
    out.steps.push_back(std::move(step));
  }
  return out;
}

void HeadlessToolkit::report(std::string_view line) {
  std::string text(line);
  text += '\n';
  std::fputs(text.c_str(), stderr);
}

int HeadlessToolkit::messageBox(Window, std::string_view text, std::string_view caption, uint32_t) {
  report("[" + std::string(caption) + "] " + std::string(text));
  return kIdOk;
}

bool HeadlessToolkit::getOpenFileName(OpenFileRequest& request) {
  lastError_ = 0;
  if (fileAnswers_.empty()) return false;
  std::optional<std::string> answer = std::move(fileAnswers_.front());
  fileAnswers_.pop_front();
  if (!answer) return false;
  // One full path, then the empty string that ends the selection.
  if (!request.fileBuffer || answer->size() + 2 > request.fileBufferSize) {
    lastError_ = kFnErrBufferTooSmall;
    return false;
  }
  std::memcpy(request.fileBuffer, answer->data(), answer->size());
  request.fileBuffer[answer->size()] = '\0';
  request.fileBuffer[answer->size() + 1] = '\0';
  return true;
}

intptr_t HeadlessToolkit::dialogBox(const DialogTemplate& t, Window, DialogProc proc, void* param) {
  if (!proc || open_) return -1;
  std::string script;
  if (script_) {
    script = *script_;
  } else if (const char* env = std::getenv(kDialogScriptVariable)) {
    script = env;
  }
  ParsedScript parsed = parseDialogScript(script);
  scriptError_ = parsed.error;
  if (!parsed.error.empty()) report("dialog script: " + parsed.error);

  dialog_ = std::make_unique<DialogModel>(t);
  open_ = dialog_.get();
  Window w = open_;
  proc(w, {DialogMessage::initDialog, 0, param});
  for (const ScriptStep& step : parsed.steps) {
    if (open_->ended) break;
    play(step, w, proc);
  }
  if (!open_->ended) proc(w, {DialogMessage::command, kIdCancel, nullptr});
  // A procedure that refuses to close is closed anyway: nobody is left to press a button.
  intptr_t result = open_->ended ? open_->result : intptr_t{kIdCancel};
  open_ = nullptr;
  folderAnswers_.clear();
  fileAnswers_.clear();
  return result;
}

void HeadlessToolkit::play(const ScriptStep& step, Window w, DialogProc proc) {
  using Kind = ScriptStep::Kind;
  switch (step.kind) {
    case Kind::click:
      if (auto command = open_->click(step.id))
        proc(w, {DialogMessage::command, *command, nullptr});
      else
        report("dialog script: control " + std::to_string(step.id) + " cannot be clicked");
      break;
    case Kind::check:
      if (const DialogModel::Control* c = open_->find(step.id);
          c && c->source->kind == ControlKind::autoCheckBox) {
        if (c->checked != step.on) {
          ScriptStep click;
          click.id = step.id;
          play(click, w, proc);
        }
      } else {
        report("dialog script: control " + std::to_string(step.id) + " is no check box");
      }
      break;
    case Kind::type:
      if (DialogModel::Control* c = open_->find(step.id);
          c && c->source->kind == ControlKind::editBox && c->enabled)
        c->text = step.text.value_or("");
      else
        report("dialog script: control " + std::to_string(step.id) + " is no edit box");
      break;
    case Kind::help:
      proc(w, {DialogMessage::help, 0, nullptr});
      break;
    case Kind::colors:
      buttonFace_ = step.color;
      proc(w, {DialogMessage::sysColorChange, 0, nullptr});
      break;
    case Kind::close:
      proc(w, {DialogMessage::command, kIdCancel, nullptr});
      break;
    case Kind::browse:
      folderAnswers_.push_back(step.text);
      break;
    case Kind::open:
      fileAnswers_.push_back(step.text);
      break;
  }
}

void HeadlessToolkit::endDialog(Window dialog, intptr_t result) {
  if (DialogModel* m = model(dialog)) {
    m->ended = true;
    m->result = result;
  }
}

void HeadlessToolkit::setWindowText(Window dialog, std::string_view text) {
  if (DialogModel* m = model(dialog)) m->caption = std::string(text);
}

void HeadlessToolkit::setItemText(Window dialog, int id, std::string_view text) {
  if (DialogModel* m = model(dialog))
    if (DialogModel::Control* c = m->find(id)) c->text = std::string(text);
}

std::string HeadlessToolkit::getItemText(Window dialog, int id) {
  if (DialogModel* m = model(dialog))
    if (const DialogModel::Control* c = m->find(id)) return c->text;
  return {};
}

void HeadlessToolkit::checkButton(Window dialog, int id, bool checked) {
  if (DialogModel* m = model(dialog))
    if (DialogModel::Control* c = m->find(id)) c->checked = checked;
}

bool HeadlessToolkit::isButtonChecked(Window dialog, int id) {
  if (DialogModel* m = model(dialog))
    if (const DialogModel::Control* c = m->find(id)) return c->checked;
  return false;
}

void HeadlessToolkit::enableItem(Window dialog, int id, bool enabled) {
  if (DialogModel* m = model(dialog))
    if (DialogModel::Control* c = m->find(id)) c->enabled = enabled;
}

ImageId HeadlessToolkit::createMappedBitmap(ByteView bmpFile, Rgb from, Rgb to) {
  auto image = decodeMappedBitmap(bmpFile, from, to);
  return image ? images_.add(std::move(*image)) : 0;
}

ImageId HeadlessToolkit::setItemImage(Window dialog, int id, ImageId image) {
  DialogModel* m = model(dialog);
  DialogModel::Control* c = m ? m->find(id) : nullptr;
  if (!c || c->source->kind != ControlKind::picture) return 0;
  ImageId previous = c->image;
  c->image = image;
  return previous;
}

std::optional<std::string> HeadlessToolkit::browseForFolder(Window, std::string_view title,
                                                            uint32_t) {
  if (folderAnswers_.empty()) {
    report(std::string(title) + ": no folder given, cancelled");
    return std::nullopt;
  }
  std::optional<std::string> answer = std::move(folderAnswers_.front());
  folderAnswers_.pop_front();
  return answer;
}

bool HeadlessToolkit::winHelp(Window, std::string_view helpFile, uint32_t, uint32_t data) {
  // Without a window there is no browser to start; say where the page is.
  if (!files::fileSystem().existsForRead(helpFile)) return false;
  report("help: " + helpUrl(helpFile, data));
  return true;
}

}  // namespace lumora::ui
