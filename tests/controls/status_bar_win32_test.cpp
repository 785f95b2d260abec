// Status bars in real framework windows: field edges, the size grip, texts and re-layout.
#include "controls/status_bar.h"

#include "settings/wide_text.h"
#include "tests/controls/controls_test_support.h"

#include <algorithm>
#include <string>

using namespace controls_test;

namespace {

constexpr unsigned FixedWindow = WS_CAPTION | WindowCentreOnScreen;
using Edges = std::vector<int>;

Edges EdgesOf(HWND bar) {
    int count = static_cast<int>(SendMessageA(bar, SB_GETPARTS, 0, 0));
    Edges edges(count > 0 ? count : 0);
    if (count > 0) SendMessageA(bar, SB_GETPARTS, count, reinterpret_cast<LPARAM>(edges.data()));
    return edges;
}

std::string Text(HWND bar, int field) {
    wchar_t buffer[256] = {};
    SendMessageW(bar, SB_GETTEXTW, field, reinterpret_cast<LPARAM>(buffer));
    return FromWide(buffer);
}

class StatusBarTest : public WindowFixture {
  protected:
    void OpenWithBar(unsigned flags) {
        InitStatusBars();
        Open(flags, 400, 220, "Status");
        bar = reinterpret_cast<HWND>(OpenStatusBar(1, window));
        ASSERT_NE(bar, nullptr);
    }
    // The one shared field's edge: short of the size grip in a sizeable window.
    int SharedEdge(HWND of) { return ClientOf(window).right - ClientOf(of).bottom + 3; }
    void Resize(int width, int height) {
        SetWindowPos(window, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    HWND bar = nullptr;
};

TEST_F(StatusBarTest, SitsAtTheBottomAndTellsTheWindowToLayOutAgain) {
    OpenWithBar(ResizableWindow);
    DrainEvents();
    bar = reinterpret_cast<HWND>(OpenStatusBar(1, window));
    std::vector<int> codes = Pump(200);
    EXPECT_NE(std::find(codes.begin(), codes.end(), SizeWindowEvent), codes.end());
    RECT area{};
    GetWindowRect(bar, &area);
    MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&area), 2);
    EXPECT_EQ(area.bottom, ClientOf(window).bottom);
    EXPECT_EQ(area.right - area.left, ClientOf(window).right);
    EXPECT_GE(area.bottom - area.top, 18);
}

TEST_F(StatusBarTest, FixedFieldsComeFirstAndSharedOnesSplitTheRest) {
    OpenWithBar(FixedWindow);
    ASSERT_EQ(ClientOf(window).right, 400);
    AddStatusField(100);
    AddStatusField(KeepCurrent);
    EXPECT_EQ(EdgesOf(bar), (Edges{100, 400}));
    AddStatusField(KeepCurrent);
    EXPECT_EQ(EdgesOf(bar), (Edges{100, 250, 400}));
    for (int i = 0; i < MaxStatusFields + 20; ++i)
        AddStatusField(1);
    EXPECT_EQ(EdgesOf(bar).size(), static_cast<size_t>(MaxStatusFields));
    // The last field cannot hold a text of its own: the control takes its index for its simple mode.
    SetStatusFieldText(1, MaxStatusFields - 2, "vorletzte");
    EXPECT_EQ(Text(bar, MaxStatusFields - 2), "vorletzte");
}

TEST_F(StatusBarTest, TextsInAnyScriptWithTheirAlignmentAndFrame) {
    OpenWithBar(ResizableWindow);
    for (int i = 0; i < 5; ++i)
        AddStatusField(60);
    // Themed bars draw the grip over the last characters of right-aligned text.
    std::string right = VisualStylesActive() ? "\t\trechts    " : "\t\trechts";
    struct Case {
        const char* text;
        int flags;
        std::string shown;
        int frame;
    } cases[] = {
        {"Отчёт łódź 日本 geschützt", 0, "Отчёт łódź 日本 geschützt", 0},
        {"Mitte", StatusTextCentred, "\tMitte", 0},
        {"rechts", StatusTextRight, right, 0},
        {"hoch", StatusTextRaised | StatusTextBorderless, "hoch", SBT_POPOUT}, // raised wins
        {nullptr, StatusTextBorderless, "", SBT_NOBORDERS},
    };
    for (int field = 0; field < 5; ++field) {
        const Case& c = cases[field];
        SetStatusFieldText(1, field, c.text, c.flags);
        EXPECT_EQ(Text(bar, field), c.shown) << field;
        EXPECT_EQ(HIWORD(SendMessageA(bar, SB_GETTEXTLENGTHA, field, 0)), c.frame) << field;
    }
    SetStatusFieldText(99, 0, "niemand");
    EXPECT_EQ(Text(bar, 0), cases[0].shown);
}

TEST_F(StatusBarTest, TheGripAndOnlyANewSizeChangeTheLayout) {
    OpenWithBar(ResizableWindow);
    AddStatusField(KeepCurrent);
    EXPECT_EQ(EdgesOf(bar), Edges{SharedEdge(bar)});
    ShowWindow(window, SW_MAXIMIZE);
    ASSERT_TRUE(IsZoomed(window));
    EXPECT_EQ(EdgesOf(bar), Edges{ClientOf(window).right}); // no grip when maximised
    ShowWindow(window, SW_RESTORE);
    EXPECT_EQ(EdgesOf(bar), Edges{SharedEdge(bar)});

    // Mark the current layout: only a new layout would replace it.
    RECT client = ClientOf(window);
    int marker = 50;
    SendMessageA(bar, SB_SETPARTS, 1, reinterpret_cast<LPARAM>(&marker));
    for (int i = 0; i < 3; ++i)
        SendMessageA(window, WM_SIZE, SIZE_RESTORED, MAKELPARAM(client.right, client.bottom));
    SendMessageA(window, WM_SIZE, SIZE_MINIMIZED, 0);
    EXPECT_EQ(EdgesOf(bar), Edges{50});
    Resize(500, 300);
    EXPECT_EQ(EdgesOf(bar), Edges{SharedEdge(bar)});

    // A bar that takes over is the one laid out from the next resize on.
    HWND second = reinterpret_cast<HWND>(OpenStatusBar(2, window));
    ASSERT_NE(second, nullptr);
    AddStatusField(KeepCurrent);
    Resize(520, 300);
    EXPECT_EQ(EdgesOf(second), Edges{SharedEdge(second)});
}

TEST_F(StatusBarTest, NumbersAreFreedWithTheWindowAndOnReuse) {
    OpenWithBar(FixedWindow);
    HWND second = reinterpret_cast<HWND>(OpenStatusBar(1, window));
    EXPECT_FALSE(IsWindow(bar));
    Number dynamic = OpenStatusBar(AnyNumber, window);
    ASSERT_NE(dynamic, 0);
    AddStatusField(120);
    SetStatusFieldText(dynamic, 0, "dynamisch");
    CloseTopWindow(TestWindow);
    EXPECT_FALSE(IsWindow(second));
    // Both numbers are free: writing to them does nothing.
    SetStatusFieldText(1, 0, "weg");
    SetStatusFieldText(dynamic, 0, "weg");
    EXPECT_EQ(OpenStatusBar(1, nullptr), 0);
}

} // namespace
