// Template 101 as a layout: every control inside the dialog and its group, ids and
// mnemonics unambiguous, and dialog units converted as the system does.
#include <gtest/gtest.h>

#include <cctype>
#include <map>
#include <set>

#include "conduit/resources/action_dialog_template.h"

namespace lumora::ui {
namespace {

const DialogTemplate& t = conduit::configDialogTemplate();

TEST(ConfigTemplate, ControlsFitTheDialogAndIdsAreUnique) {
  std::set<int> ids;
  for (const ControlTemplate& c : t.controls) {
    SCOPED_TRACE(c.text);
    EXPECT_GE(c.x, 0);
    EXPECT_GE(c.y, 0);
    EXPECT_LE(c.x + c.cx, t.cx);
    EXPECT_LE(c.y + c.cy, t.cy);
    if (c.id != kNoId) {
      EXPECT_TRUE(ids.insert(c.id).second) << c.id;
    }
  }
  for (int id : {1,    2,    9,    403,  404,  405,  406,  407,  411,  1000, 1001, 1002,
                 1003, 1004, 1005, 1006, 1008, 1010, 1011, 1012, 1013, 1014, 1015, 1016})
    EXPECT_TRUE(t.control(id)) << id;
  EXPECT_EQ(t.control(kNoId), nullptr);
}

TEST(ConfigTemplate, MnemonicsAreUnique) {
  std::map<char, std::string> seen;
  for (const ControlTemplate& c : t.controls) {
    std::string_view text = c.text;
    for (size_t i = 0; i + 1 < text.size(); ++i) {
      if (text[i] != '&') continue;
      char m = static_cast<char>(std::tolower(static_cast<unsigned char>(text[i + 1])));
      EXPECT_TRUE(seen.emplace(m, text).second) << text << " and " << seen[m];
      break;
    }
  }
  EXPECT_EQ(seen.size(), 7u);
}

TEST(ConfigTemplate, ControlsSitInsideTheirGroupBox) {
  // Radio buttons, pictures and the default check box belong to the action group.
  const ControlTemplate* group = t.control(conduit::kIdActionGroup);
  ASSERT_TRUE(group);
  for (int id : {404, 405, 406, 407, 411, 1000, 1001, 1002, 1003}) {
    const ControlTemplate* c = t.control(id);
    SCOPED_TRACE(id);
    EXPECT_GT(c->x, group->x);
    EXPECT_GT(c->y, group->y);
    EXPECT_LT(c->x + c->cx, group->x + group->cx);
    EXPECT_LT(c->y + c->cy, group->y + group->cy);
  }
}

TEST(ConfigTemplate, TabStopsInTemplateOrder) {
  std::vector<int> stops;
  for (const ControlTemplate& c : t.controls)
    if (c.style & kWsTabStop) stops.push_back(c.id);
  EXPECT_EQ(stops, (std::vector<int>{404, 411, 1, 2, 9, 1008, 1010, 1012, 1013, 1014, 1016, 1015}));
}

TEST(DialogUnits, ConvertLikeTheSystem) {
  struct Case {
    int baseX, baseY, du;
    int x, y;
  } cases[] = {
      {6, 13, 262, 393, 426},                    // the template font on the system
      {6, 13, 285, 428, 463}, {7, 13, 1, 2, 2},  // 1.75 and 1.625 round up
      {7, 13, 2, 4, 3},                          // 3.5 rounds up, 3.25 down
      {5, 12, 0, 0, 0},
  };
  for (const Case& c : cases) {
    DialogUnits u{c.baseX, c.baseY};
    EXPECT_EQ(u.x(c.du), c.x) << c.du;
    EXPECT_EQ(u.y(c.du), c.y) << c.du;
  }
  // "A..Za..z" 312 pixels wide: (312 / 26 + 1) / 2 = 6.
  EXPECT_EQ(averageCharWidth(312), 6);
  EXPECT_EQ(averageCharWidth(364), 7);
  EXPECT_EQ(averageCharWidth(338), 7);  // 6.5 rounds up
  EXPECT_EQ(averageCharWidth(337), 6);
}

}  // namespace
}  // namespace lumora::ui
