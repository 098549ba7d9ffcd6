#include "edit/SelectionMap.h"

#include "app/DiagnosticsLog.h"
#include "model/Clip.h"
#include "model/ClipList.h"
#include "model/GraphicAsset.h"
#include "support/TestHome.h"

#include <gtest/gtest.h>

#include <cctype>
#include <functional>
#include <optional>

namespace orvik {

namespace {

using Indices = std::vector<int32_t>;
constexpr uint32_t kShift = SelectionMap::kShiftKey;
constexpr uint32_t kCtrl = SelectionMap::kControlKey;

// A list of `count` pictures, one after another on the graphic track.
RefPtr<ClipList> MakeList(int count) {
    RefPtr<ClipList> list = new ClipList;
    for (int i = 0; i < count; ++i) {
        RefPtr<Clip> clip = new Clip(new GraphicAsset("/pictures/p.bmp", 30), i * 30, 1);
        clip->SetDuration(30);
        list->Add(clip.get());
    }
    list->Relink();
    return list;
}

std::string LoggedDuring(const std::function<void()>& action) {
    OpenLog(test::Home(), 0);
    LogMessage("@@\n");
    action();
    std::string path = LogPath();
    CloseLog();
    std::string all = test::ReadFile(path);
    return all.substr(all.find("@@\n") + 3);
}

enum class Op { Mouse, List, Key };

struct Case {
    const char* name;
    int count;                  // clips in the list
    std::optional<Indices> map; // screen position -> list position
    Indices selected;           // list positions selected before
    int32_t anchor;             // screen position, -1 none
    Op op;
    // Mouse: clip, keys, alreadySelected. List: indices, keys.
    // Key: step, extend, page, amount.
    int32_t clip = 0;
    uint32_t keys = 0;
    bool already = false;
    Indices indices = {};
    int32_t step = 0;
    bool extend = false;
    int32_t page = 3;
    int32_t amount = 1;
    // Expected answers (focus 99 = left as the caller gave it).
    bool ok = true;
    Indices result = {};
    int32_t focus = 0;
    int32_t anchorAnswer = 0;
};

const Case kCases[] = {
    // Clicks.
    {"plain click", 8, {}, {}, -1, Op::Mouse, 2, 0, false, {}, 0, false, 3, 1, true, {2}, 2, 2},
    {"plain click replaces",
     8,
     {},
     {1, 2},
     1,
     Op::Mouse,
     4,
     0,
     false,
     {},
     0,
     false,
     3,
     1,
     true,
     {4},
     4,
     4},
    {"control click adds",
     8,
     {},
     {1, 2},
     1,
     Op::Mouse,
     4,
     kCtrl,
     false,
     {},
     0,
     false,
     3,
     1,
     true,
     {1, 2, 4},
     4,
     4},
    {"control click on selected removes",
     8,
     {},
     {1, 2},
     1,
     Op::Mouse,
     2,
     kCtrl,
     false,
     {},
     0,
     false,
     3,
     1,
     true,
     {1},
     -1,
     1},
    {"control click kept by the view",
     8,
     {},
     {1, 2},
     1,
     Op::Mouse,
     2,
     kCtrl,
     true,
     {},
     0,
     false,
     3,
     1,
     true,
     {1, 2},
     2,
     2},
    {"click on selected keeps group",
     8,
     {},
     {1, 2, 5},
     1,
     Op::Mouse,
     2,
     0,
     true,
     {},
     0,
     false,
     3,
     1,
     true,
     {1, 2, 5},
     2,
     2},
    {"shift click range forward",
     8,
     {},
     {2},
     2,
     Op::Mouse,
     5,
     kShift,
     false,
     {},
     0,
     false,
     3,
     1,
     true,
     {2, 3, 4, 5},
     5,
     2},
    {"shift click range backward drops rest",
     8,
     {},
     {2, 6},
     2,
     Op::Mouse,
     0,
     kShift,
     false,
     {},
     0,
     false,
     3,
     1,
     true,
     {0, 1, 2},
     0,
     2},
    {"shift control click adds range",
     8,
     {},
     {0},
     2,
     Op::Mouse,
     5,
     kShift | kCtrl,
     false,
     {},
     0,
     false,
     3,
     1,
     true,
     {0, 2, 3, 4, 5},
     5,
     2},
    {"shift click without anchor",
     8,
     {},
     {},
     -1,
     Op::Mouse,
     3,
     kShift,
     false,
     {},
     0,
     false,
     3,
     1,
     true,
     {3},
     3,
     3},
    {"click past the list",
     8,
     {},
     {1},
     1,
     Op::Mouse,
     8,
     0,
     false,
     {},
     0,
     false,
     3,
     1,
     false,
     {1},
     99,
     1},
    {"click before the list",
     8,
     {},
     {1},
     1,
     Op::Mouse,
     -1,
     0,
     false,
     {},
     0,
     false,
     3,
     1,
     false,
     {1},
     99,
     1},
    {"click on an empty list",
     0,
     {},
     {},
     -1,
     Op::Mouse,
     0,
     0,
     false,
     {},
     0,
     false,
     3,
     1,
     false,
     {},
     99,
     -1},
    {"filtered click",
     8,
     Indices{1, 3, 4, 6},
     {},
     -1,
     Op::Mouse,
     4,
     0,
     false,
     {},
     0,
     false,
     3,
     1,
     true,
     {4},
     4,
     4},
    {"filtered shift click spans screen positions",
     8,
     Indices{1, 3, 4, 6},
     {1},
     0,
     Op::Mouse,
     6,
     kShift,
     false,
     {},
     0,
     false,
     3,
     1,
     true,
     {1, 3, 4, 6},
     6,
     1},

    // Lists of clips.
    {"list replaces",
     8,
     {},
     {1},
     -1,
     Op::List,
     0,
     0,
     false,
     {5, 2, 2},
     0,
     false,
     3,
     1,
     true,
     {2, 5},
     5,
     5},
    {"control list toggles",
     8,
     {},
     {1, 2},
     -1,
     Op::List,
     0,
     kCtrl,
     false,
     {1, 3},
     0,
     false,
     3,
     1,
     true,
     {2, 3},
     1,
     1},
    {"shift list adds, focus and anchor stay",
     8,
     {},
     {1},
     1,
     Op::List,
     0,
     kShift,
     false,
     {6},
     0,
     false,
     3,
     1,
     true,
     {1, 6},
     99,
     1},
    {"empty list", 8, {}, {4}, 3, Op::List, 0, 0, false, {}, 0, false, 3, 1, true, {}, -1, 3},
    {"control toggles all off",
     8,
     {},
     {1},
     3,
     Op::List,
     0,
     kCtrl,
     false,
     {1},
     0,
     false,
     3,
     1,
     true,
     {},
     -1,
     3},
    {"list with a missing clip stops",
     8,
     {},
     {},
     -1,
     Op::List,
     0,
     0,
     false,
     {2, 9, 3},
     0,
     false,
     3,
     1,
     false,
     {2},
     2,
     2},
    {"control list with a missing clip stops",
     8,
     {},
     {4},
     -1,
     Op::List,
     0,
     kCtrl,
     false,
     {2, -1, 3},
     0,
     false,
     3,
     1,
     false,
     {2, 4},
     2,
     2},
    {"filtered list anchors on screen",
     8,
     Indices{1, 3, 4, 6},
     {},
     -1,
     Op::List,
     0,
     0,
     false,
     {4, 6},
     0,
     false,
     3,
     1,
     true,
     {4, 6},
     4,
     4},

    // Keys without Shift: the target becomes the only selected clip.
    {"first", 8, {}, {4}, 4, Op::Key, 0, 0, false, {}, 0, false, 3, 1, true, {0}, 0, 0},
    {"last", 8, {}, {4}, 4, Op::Key, 0, 0, false, {}, 1, false, 3, 1, true, {7}, 7, 7},
    {"back from the first selected",
     8,
     {},
     {3, 5},
     3,
     Op::Key,
     0,
     0,
     false,
     {},
     2,
     false,
     3,
     1,
     true,
     {2},
     2,
     2},
    {"forward from the last selected",
     8,
     {},
     {3, 5},
     3,
     Op::Key,
     0,
     0,
     false,
     {},
     3,
     false,
     3,
     1,
     true,
     {6},
     6,
     6},
    {"forward by two", 8, {}, {3}, 3, Op::Key, 0, 0, false, {}, 3, false, 3, 2, true, {5}, 5, 5},
    {"page back clamps", 8, {}, {1}, 1, Op::Key, 0, 0, false, {}, 4, false, 3, 1, true, {0}, 0, 0},
    {"page forward clamps",
     8,
     {},
     {6},
     6,
     Op::Key,
     0,
     0,
     false,
     {},
     5,
     false,
     3,
     1,
     true,
     {7},
     7,
     7},
    {"page forward", 8, {}, {1}, 1, Op::Key, 0, 0, false, {}, 5, false, 3, 1, true, {4}, 4, 4},
    {"all",
     8,
     {},
     {1},
     2,
     Op::Key,
     0,
     0,
     false,
     {},
     6,
     false,
     3,
     1,
     true,
     {0, 1, 2, 3, 4, 5, 6, 7},
     -1,
     2},
    {"unknown step is first",
     8,
     {},
     {4},
     4,
     Op::Key,
     0,
     0,
     false,
     {},
     9,
     false,
     3,
     1,
     true,
     {0},
     0,
     0},
    {"negative step is first",
     8,
     {},
     {4},
     4,
     Op::Key,
     0,
     0,
     false,
     {},
     -3,
     false,
     3,
     1,
     true,
     {0},
     0,
     0},
    {"move with nothing selected takes the anchor",
     8,
     {},
     {},
     5,
     Op::Key,
     0,
     0,
     false,
     {},
     3,
     false,
     3,
     1,
     true,
     {5},
     5,
     5},
    {"move with nothing selected and no anchor",
     8,
     {},
     {},
     -1,
     Op::Key,
     0,
     0,
     false,
     {},
     2,
     false,
     3,
     1,
     true,
     {0},
     0,
     0},
    {"anchor past a shrunk list",
     4,
     {},
     {},
     9,
     Op::Key,
     0,
     0,
     false,
     {},
     3,
     false,
     3,
     1,
     true,
     {0},
     0,
     0},
    {"keys on an empty list",
     0,
     {},
     {},
     -1,
     Op::Key,
     0,
     0,
     false,
     {},
     3,
     false,
     3,
     1,
     true,
     {},
     -1,
     -1},

    // Keys with Shift: ranges from the anchor.
    {"extend to first",
     8,
     {},
     {3, 4},
     3,
     Op::Key,
     0,
     0,
     false,
     {},
     0,
     true,
     3,
     1,
     true,
     {0, 1, 2, 3},
     0,
     3},
    {"extend to last",
     8,
     {},
     {3, 4},
     3,
     Op::Key,
     0,
     0,
     false,
     {},
     1,
     true,
     3,
     1,
     true,
     {3, 4, 5, 6, 7},
     7,
     3},
    {"extend all",
     8,
     {},
     {3, 4},
     3,
     Op::Key,
     0,
     0,
     false,
     {},
     6,
     true,
     3,
     1,
     true,
     {0, 1, 2, 3, 4, 5, 6, 7},
     -1,
     3},
    {"extend forward grows the far end",
     8,
     {},
     {3, 4},
     3,
     Op::Key,
     0,
     0,
     false,
     {},
     3,
     true,
     3,
     1,
     true,
     {3, 4, 5},
     5,
     3},
    {"extend back shrinks the far end",
     8,
     {},
     {3, 4},
     3,
     Op::Key,
     0,
     0,
     false,
     {},
     2,
     true,
     3,
     1,
     true,
     {3},
     3,
     3},
    {"extend back grows below the anchor",
     8,
     {},
     {1, 2, 3},
     3,
     Op::Key,
     0,
     0,
     false,
     {},
     2,
     true,
     3,
     1,
     true,
     {0, 1, 2, 3},
     0,
     3},
    {"extend back past the anchor",
     8,
     {},
     {3},
     3,
     Op::Key,
     0,
     0,
     false,
     {},
     4,
     true,
     3,
     1,
     true,
     {0, 1, 2, 3},
     0,
     3},
    {"extend page forward",
     8,
     {},
     {3},
     3,
     Op::Key,
     0,
     0,
     false,
     {},
     5,
     true,
     3,
     1,
     true,
     {3, 4, 5, 6},
     6,
     3},
    {"extend page forward clamps",
     8,
     {},
     {6},
     6,
     Op::Key,
     0,
     0,
     false,
     {},
     5,
     true,
     3,
     1,
     true,
     {6, 7},
     7,
     6},
    {"extend without anchor starts at the selection",
     8,
     {},
     {2},
     -1,
     Op::Key,
     0,
     0,
     false,
     {},
     3,
     true,
     3,
     1,
     true,
     {2, 3},
     3,
     2},

    // Filtered keys work on screen positions.
    {"filtered forward",
     8,
     Indices{1, 3, 4, 6},
     {3},
     1,
     Op::Key,
     0,
     0,
     false,
     {},
     3,
     false,
     3,
     1,
     true,
     {4},
     4,
     4},
    {"filtered all",
     8,
     Indices{1, 3, 4, 6},
     {3},
     1,
     Op::Key,
     0,
     0,
     false,
     {},
     6,
     false,
     3,
     1,
     true,
     {1, 3, 4, 6},
     -1,
     3},
    {"filtered extend to last",
     8,
     Indices{1, 3, 4, 6},
     {3},
     1,
     Op::Key,
     0,
     0,
     false,
     {},
     1,
     true,
     3,
     1,
     true,
     {3, 4, 6},
     6,
     3},
    {"filtered selection off screen",
     8,
     Indices{1, 3, 4, 6},
     {0, 7},
     -1,
     Op::Key,
     0,
     0,
     false,
     {},
     3,
     false,
     3,
     1,
     true,
     {1},
     1,
     1},
};

class SelectionMapCases : public testing::TestWithParam<Case> {};

TEST_P(SelectionMapCases, Answers) {
    const Case& c = GetParam();
    RefPtr<ClipList> list = MakeList(c.count);
    list->SetSelected(c.selected);
    SelectionMap map(list.get());
    if (c.map)
        map.SetFilter(*c.map);
    map.SetAnchor(c.anchor);

    Indices result = {77};
    int32_t focus = 99;
    int32_t anchor = 98;
    bool ok = true;
    switch (c.op) {
    case Op::Mouse:
        ok = map.SelectViaMouseClick(c.already, c.clip, c.keys, result, focus, anchor);
        break;
    case Op::List:
        ok = map.SelectViaIndexList(c.indices, c.keys, result, focus, anchor);
        break;
    case Op::Key:
        map.SelectViaKeyboard(c.page, c.amount, c.step, c.extend, result, focus, anchor);
        break;
    }
    EXPECT_EQ(ok, c.ok);
    EXPECT_EQ(result, c.result);
    EXPECT_EQ(focus, c.focus);
    EXPECT_EQ(anchor, c.anchorAnswer);
    // The list itself is left alone.
    Indices after;
    list->GetSelectedIndices(after);
    EXPECT_EQ(after, c.selected);
}

std::string CaseName(const testing::TestParamInfo<Case>& info) {
    std::string name;
    for (const char* p = info.param.name; *p; ++p)
        name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
    return name;
}

INSTANTIATE_TEST_SUITE_P(Table, SelectionMapCases, testing::ValuesIn(kCases), CaseName);

// What a view does with each answer: select exactly the result.
struct Clicker {
    RefPtr<ClipList> list;
    SelectionMap map;
    int32_t focus = 0, anchor = 0;
    Indices Click(int32_t clip, uint32_t keys) {
        Indices result;
        EXPECT_TRUE(map.SelectViaMouseClick(false, clip, keys, result, focus, anchor));
        list->SetSelected(result);
        Indices selected;
        list->GetSelectedIndices(selected);
        return selected;
    }
};

TEST(SelectionMap, ClickShiftClickThenControlClick) {
    Clicker v{MakeList(8), {}};
    v.map.SetList(v.list.get());
    EXPECT_EQ(v.Click(2, 0), (Indices{2}));
    EXPECT_EQ(v.Click(5, kShift), (Indices{2, 3, 4, 5}));
    EXPECT_EQ(v.focus, 5);
    EXPECT_EQ(v.anchor, 2);
    EXPECT_EQ(v.Click(3, kCtrl), (Indices{2, 4, 5}));
    EXPECT_EQ(v.focus, -1);
    EXPECT_EQ(v.anchor, 2);
    // The anchor did not move: a new Shift-click ranges from 2 again.
    EXPECT_EQ(v.Click(0, kShift), (Indices{0, 1, 2}));
}

TEST(SelectionMap, IndexConversions) {
    RefPtr<ClipList> list = MakeList(8);
    SelectionMap map(list.get());
    EXPECT_FALSE(map.IsFiltered());
    EXPECT_EQ(map.GetScreenCount(), 8);
    for (int32_t i : {-5, -1, 0, 3, 7, 12})
        EXPECT_EQ(map.ClipIndexToScreenIndex(i), i);
    for (int32_t i : {-5, -1, 0, 3, 7, 12})
        EXPECT_EQ(map.ScreenIndexToClipIndex(i), i);

    map.SetFilter({6, 1, 4});
    EXPECT_TRUE(map.IsFiltered());
    EXPECT_EQ(map.GetScreenCount(), 3);
    EXPECT_EQ(map.ClipIndexToScreenIndex(6), 0);
    EXPECT_EQ(map.ClipIndexToScreenIndex(1), 1);
    EXPECT_EQ(map.ClipIndexToScreenIndex(4), 2);
    EXPECT_EQ(map.ClipIndexToScreenIndex(-1), -1);
    EXPECT_EQ(map.ScreenIndexToClipIndex(0), 6);
    EXPECT_EQ(map.ScreenIndexToClipIndex(2), 4);
    EXPECT_EQ(map.ScreenIndexToClipIndex(-2), -2);

    int32_t screen = 5;
    std::string log = LoggedDuring([&] { screen = map.ClipIndexToScreenIndex(3); });
    EXPECT_EQ(screen, 0);
    EXPECT_EQ(log, "SelectionMap::ClipIndexToScreenIndex: unexpected state\n");
    int32_t clip = 5;
    log = LoggedDuring([&] { clip = map.ScreenIndexToClipIndex(3); });
    EXPECT_EQ(clip, -1);
    EXPECT_EQ(log, "SelectionMap::ScreenIndexToClipIndex: unexpected state\n");

    map.ClearFilter();
    EXPECT_EQ(map.ClipIndexToScreenIndex(3), 3);
}

TEST(SelectionMap, MissingClipsAreLogged) {
    RefPtr<ClipList> list = MakeList(3);
    SelectionMap map(list.get());
    Indices result;
    int32_t focus = 0, anchor = 0;
    EXPECT_EQ(LoggedDuring([&] { map.SelectViaMouseClick(false, 3, 0, result, focus, anchor); }),
              "SelectionMap::SelectViaMouseClick: missing clip!\n");
    EXPECT_EQ(LoggedDuring([&] {
                  map.SelectViaIndexList({0, 5, 6}, kCtrl, result, focus, anchor);
              }),
              "SelectionMap::SelectViaIndexList: missing clip!\n");
    EXPECT_EQ(result, (Indices{0}));
    // A map without a list answers like an empty one.
    SelectionMap none;
    EXPECT_EQ(none.GetScreenCount(), 0);
    EXPECT_FALSE(none.SelectViaMouseClick(false, 0, 0, result, focus, anchor));
    EXPECT_TRUE(result.empty());
}

} // namespace

} // namespace orvik
