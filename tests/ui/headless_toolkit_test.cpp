// The headless front end: its script and how it plays a dialog.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/ui/headless_toolkit.h"
#include "tests/support/temp_dir.h"

namespace lumora::ui {
namespace {

TEST(DialogScript, ParsesEveryAction) {
  using Kind = ScriptStep::Kind;
  ParsedScript p = parseDialogScript(
      "# comment\n"
      "click 404\n"
      "  check 1012 off  \r\n"
      "check 1013 on\n"
      "\n"
      "type 1010 C:\\My Pictures\\ \n"
      "type 1010\n"
      "help\nclose\ncolors 00FF7f\n"
      "browse /home/a b\nbrowse\nbrowse \"\"\nopen C:\\f.ttf\nopen");
  ASSERT_EQ(p.error, "");
  struct Want {
    Kind kind;
    int id;
    bool on;
    std::optional<std::string> text;
  } want[] = {
      {Kind::click, 404, false, {}},         {Kind::check, 1012, false, {}},
      {Kind::check, 1013, true, {}},         {Kind::type, 1010, false, "C:\\My Pictures\\"},
      {Kind::type, 1010, false, ""},         {Kind::help, 0, false, {}},
      {Kind::close, 0, false, {}},           {Kind::colors, 0, false, {}},
      {Kind::browse, 0, false, "/home/a b"}, {Kind::browse, 0, false, std::nullopt},
      {Kind::browse, 0, false, ""},          {Kind::open, 0, false, "C:\\f.ttf"},
      {Kind::open, 0, false, std::nullopt},
  };
  ASSERT_EQ(p.steps.size(), std::size(want));
  for (size_t i = 0; i < std::size(want); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(p.steps[i].kind, want[i].kind);
    EXPECT_EQ(p.steps[i].id, want[i].id);
    EXPECT_EQ(p.steps[i].on, want[i].on);
    EXPECT_EQ(p.steps[i].text, want[i].text);
  }
  EXPECT_EQ(p.steps[7].color, 0x00FF7Fu);
  EXPECT_TRUE(parseDialogScript("").steps.empty());
  EXPECT_EQ(parseDialogScript("").error, "");
}

TEST(DialogScript, RefusesWrongLinesWithTheirNumber) {
  struct Case {
    const char* script;
    const char* error;
  } cases[] = {
      {"click", "line 1: click needs a control id, not ''"},
      {"click 12x", "line 1: click needs a control id, not '12x'"},
      {"click 1 2", "line 1: click takes only a control id"},
      {"click 1\n\ncheck 1012 yes", "line 3: check needs on or off"},
      {"colors 12345", "line 1: colors needs a hex colour RRGGBB"},
      {"colors 12345G", "line 1: colors needs a hex colour RRGGBB"},
      {"help me", "line 1: help takes nothing"},
      {"press 1", "line 1: unknown action 'press'"},
      {"type x y", "line 1: type needs a control id, not 'x'"},
  };
  for (const Case& c : cases) {
    ParsedScript p = parseDialogScript(c.script);
    EXPECT_EQ(p.error, c.error) << c.script;
    EXPECT_TRUE(p.steps.empty()) << c.script;
  }
}

constexpr ControlTemplate kControls[] = {
    {1, ControlKind::defPushButton, "OK", 0, 0, 10, 10},
    {2, ControlKind::pushButton, "Cancel", 0, 0, 10, 10},
    {5, ControlKind::autoCheckBox, "Box", 0, 0, 10, 10},
    {6, ControlKind::radioButton, "Radio", 0, 0, 10, 10},
    {7, ControlKind::editBox, "", 0, 0, 10, 10},
    {8, ControlKind::staticText, "Label", 0, 0, 10, 10},
};
constexpr DialogTemplate kTemplate{"Test", 100, 100, "MS Sans Serif", 8, kControls};

// A procedure that logs what it hears and closes on OK (and on Cancel unless stubborn).
struct Log {
  std::vector<std::string> events;
  bool stubborn = false;
  void* param = nullptr;
} gLog;

bool logProc(Window dialog, const DialogEvent& e) {
  Toolkit& tk = toolkit();
  switch (e.message) {
    case DialogMessage::initDialog:
      gLog.param = e.param;
      gLog.events.push_back("init");
      break;
    case DialogMessage::command:
      gLog.events.push_back("command " + std::to_string(e.control) +
                            (tk.isButtonChecked(dialog, 5) ? " box on" : ""));
      if (e.control == 1) tk.endDialog(dialog, 10);
      if (e.control == 2 && !gLog.stubborn) tk.endDialog(dialog, 20);
      break;
    case DialogMessage::help:
      gLog.events.push_back("help");
      break;
    case DialogMessage::sysColorChange:
      gLog.events.push_back("colors " + std::to_string(tk.sysColor(SysColor::buttonFace)));
      break;
  }
  return true;
}

class Quiet : public HeadlessToolkit {
 public:
  using HeadlessToolkit::HeadlessToolkit;
  std::vector<std::string> lines;

 protected:
  void report(std::string_view line) override { lines.emplace_back(line); }
};

TEST(HeadlessToolkit, PlaysTheScriptAgainstTheControls) {
  struct Case {
    const char* script;
    std::vector<std::string> events;
    intptr_t result;
  } cases[] = {
      {"click 5\nclick 5\nclick 1\nclick 2",
       {"init", "command 5 box on", "command 5", "command 1"},
       10},
      {"check 5 off\ncheck 5 on\ncheck 5 on", {"init", "command 5 box on", "command 2 box on"}, 20},
      {"click 6\nclick 8\nclick 7\nclick 99", {"init", "command 6", "command 2"}, 20},
      {"help\ncolors 000010\nclose\nclick 1", {"init", "help", "colors 16", "command 2"}, 20},
      {"", {"init", "command 2"}, 20},
      {"bogus", {"init", "command 2"}, 20},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.script);
    gLog = {};
    Quiet tk{c.script};
    Toolkit* previous = setToolkit(&tk);
    int param = 0;
    EXPECT_EQ(tk.dialogBox(kTemplate, nullptr, &logProc, &param), c.result);
    setToolkit(previous);
    EXPECT_EQ(gLog.events, c.events);
    EXPECT_EQ(gLog.param, &param);
  }
}

TEST(HeadlessToolkit, ClosesADialogThatRefusesToClose) {
  gLog = {};
  gLog.stubborn = true;
  Quiet tk{"click 2"};
  Toolkit* previous = setToolkit(&tk);
  EXPECT_EQ(tk.dialogBox(kTemplate, nullptr, &logProc, nullptr), kIdCancel);
  setToolkit(previous);
  EXPECT_EQ(gLog.events, (std::vector<std::string>{"init", "command 2", "command 2"}));
}

TEST(HeadlessToolkit, TypesOnlyIntoEditBoxesAndIgnoresStrangers) {
  Quiet tk{"type 7 hello\ntype 8 nope\nclick 1"};
  Toolkit* previous = setToolkit(&tk);
  tk.dialogBox(kTemplate, nullptr, &logProc, nullptr);
  setToolkit(previous);
  EXPECT_EQ(tk.dialog()->find(7)->text, "hello");
  EXPECT_EQ(tk.dialog()->find(8)->text, "Label");
  EXPECT_EQ(tk.lines, std::vector<std::string>{"dialog script: control 8 is no edit box"});
  // A handle that is no open dialog reaches nothing.
  int stranger = 0;
  tk.setItemText(&stranger, 7, "x");
  tk.checkButton(&stranger, 5, true);
  EXPECT_FALSE(tk.isButtonChecked(&stranger, 5));
}

TEST(HeadlessToolkit, ReadsTheScriptFromTheEnvironment) {
  gLog = {};
  test::ScopedEnv script{kDialogScriptVariable, "click 1"};
  Quiet tk;
  Toolkit* previous = setToolkit(&tk);
  EXPECT_EQ(tk.dialogBox(kTemplate, nullptr, &logProc, nullptr), 10);
  setToolkit(previous);
}

// Asks for a file and a folder on every command, closing on OK.
std::vector<std::string> gAnswers;
bool askingProc(Window dialog, const DialogEvent& e) {
  if (e.message != DialogMessage::command) return true;
  if (e.control == 1) {
    toolkit().endDialog(dialog, 0);
    return true;
  }
  char buffer[12] = {};
  OpenFileRequest r;
  r.fileBuffer = buffer;
  r.fileBufferSize = sizeof buffer;
  bool picked = toolkit().getOpenFileName(r);
  gAnswers.push_back(picked ? std::string(buffer) + (buffer[std::strlen(buffer) + 1] ? "+" : "")
                            : "no file " + std::to_string(toolkit().commDlgExtendedError()));
  auto folder = toolkit().browseForFolder(dialog, "Pick", 8);
  gAnswers.push_back(folder ? "folder '" + *folder + "'" : "no folder");
  return true;
}

TEST(HeadlessToolkit, AnswersFileAndFolderDialogsInTurn) {
  gAnswers.clear();
  Quiet tk{
      "open C:\\a.ttf\nbrowse D:\\x\nclick 2\n"
      "open C:\\much-too-long.ttf\nbrowse \"\"\nclick 2\n"
      "open\nclick 2\nclick 1"};
  Toolkit* previous = setToolkit(&tk);
  tk.dialogBox(kTemplate, nullptr, &askingProc, nullptr);
  setToolkit(previous);
  EXPECT_EQ(gAnswers, (std::vector<std::string>{"C:\\a.ttf", "folder 'D:\\x'", "no file 12291",
                                                "folder ''", "no file 0", "no folder"}));
}

TEST(HeadlessToolkit, AnswersFileDialogsFromTheScript) {
  Quiet tk;
  char buffer[16];
  OpenFileRequest r;
  r.fileBuffer = buffer;
  r.fileBufferSize = sizeof buffer;
  EXPECT_FALSE(tk.getOpenFileName(r));  // nothing scripted: cancelled
  EXPECT_EQ(tk.commDlgExtendedError(), 0u);
  EXPECT_EQ(tk.messageBox(nullptr, "Too many files selected!", "", kMbOk), kIdOk);
  EXPECT_EQ(tk.lines, std::vector<std::string>{"[] Too many files selected!"});
  EXPECT_FALSE(tk.browseForFolder(nullptr, "Select sync folder", 8));
}

}  // namespace
}  // namespace lumora::ui
