// Started at 100, 150 or 200 % display scale, Verriq lays itself out at that scale: the window,
// toolbar, list, status bar, buttons and pictures grow and never cover each other, and the
// hot-key dialog shows its whole label.
#include "tests/e2e/driver.h"

using namespace e2e;

namespace {

// Wine reads the screen's DPI from these two values when a program starts; the driver started
// before and stays at its own. The old values come back afterwards, so that the tests after
// this one run at 96 DPI again.
struct ScreenScale {
    const std::pair<HKEY, const char*> places[2] = {{HKEY_CURRENT_USER, "Control Panel\\Desktop"},
                                                    {HKEY_CURRENT_CONFIG, "Software\\Fonts"}};
    DWORD saved[2] = {};
    bool present[2] = {};
    explicit ScreenScale(DWORD dpi) {
        for (int i = 0; i < 2; ++i) {
            DWORD size = sizeof saved[i];
            present[i] = !RegGetValueA(places[i].first, places[i].second, "LogPixels", RRF_RT_REG_DWORD, nullptr,
                                       &saved[i], &size);
            RegSetKeyValueA(places[i].first, places[i].second, "LogPixels", REG_DWORD, &dpi, sizeof dpi);
        }
    }
    ~ScreenScale() {
        for (int i = 0; i < 2; ++i)
            if (present[i]) RegSetKeyValueA(places[i].first, places[i].second, "LogPixels", REG_DWORD, &saved[i], 4);
            else RegDeleteKeyValueA(places[i].first, places[i].second, "LogPixels");
    }
};

int Scaled(int value, int dpi) { return MulDiv(value, dpi, 96); }

// Whether any pixel of the area is as dark as text on the dialog's face.
bool HoldsText(const RECT& area) {
    for (COLORREF pixel : GrabPixels(area))
        if (GetRValue(pixel) + GetGValue(pixel) + GetBValue(pixel) < 3 * 100) return true;
    return false;
}

} // namespace

class DisplayScale : public VerriqTest {};

TEST_F(DisplayScale, At100And150And200Percent) {
    std::string file = box.MakeFile("a.txt", "A");
    WriteFileList(file + "\r\n");
    for (int dpi : {96, 144, 192}) {
        SCOPED_TRACE(std::to_string(dpi) + " DPI");
        {
            ScreenScale scale(static_cast<DWORD>(dpi));
            Start(1);
        }
        HWND main = verriq.main();
        BringToFront(main);
        Sleep(300);
        SaveScreenshot("display_scale_" + std::to_string(dpi), main);
        // The inner size grows with the scale (the minimum height counts without the menu bar).
        RECT client = {};
        GetClientRect(main, &client);
        EXPECT_GE(client.right, Scaled(400, dpi));
        EXPECT_GE(client.bottom, Scaled(200, dpi));
        // Toolbar, list and status bar one below the other, each whole inside the window.
        RECT toolbar = ChildRect(verriq.toolbar()), list = ChildRect(verriq.list()),
             status = ChildRect(verriq.statusBar());
        EXPECT_LE(toolbar.bottom, list.top);
        EXPECT_LE(list.bottom, status.top);
        EXPECT_EQ(status.bottom, client.bottom);
        EXPECT_GE(status.bottom - status.top, Scaled(18, dpi));
        // The pictures are of the scale's size, and so are the buttons around them: none is cut
        // off at the window's right edge, however narrow the window is made.
        LRESULT buttonSize = SendMessageA(verriq.toolbar(), TB_GETBUTTONSIZE, 0, 0);
        EXPECT_GE(HIWORD(buttonSize), Scaled(32, dpi));
        RECT outer = {};
        GetWindowRect(main, &outer);
        MouseDrag(outer.right - 2, outer.bottom - 2, outer.left + 50, outer.top + 50);
        Sleep(500);
        for (int button : {ButtonAdd, ButtonQuit}) {
            RECT place = verriq.ButtonRect(button), inside = ClientOnScreen(main);
            EXPECT_GE(place.top, inside.top) << button;
            EXPECT_LE(place.right, inside.right) << button;
        }
        // The hot-key dialog, its label and field at the same scale; the label's text fits: its
        // last pixel columns and rows are bare (a cut text reaches them, or wraps into them).
        ChooseMenuEntry(main, 0, 0);
        HWND dialog = verriq.WaitWindow("Tastenkombination ändern");
        ASSERT_NE(dialog, nullptr) << "the menu did not open the dialog";
        HWND field = nullptr;
        ASSERT_TRUE(WaitFor([&] { return (field = FindChildByClass(dialog, HOTKEY_CLASSA)) != nullptr; }));
        HWND label = FindChildByClass(dialog, "Static");
        ASSERT_NE(label, nullptr);
        Sleep(300);
        GetClientRect(dialog, &client);
        EXPECT_GE(client.right, Scaled(400, dpi));
        EXPECT_GE(client.bottom, Scaled(40, dpi));
        RECT labelPlace = ChildRect(label), fieldPlace = ChildRect(field);
        EXPECT_LE(labelPlace.right, fieldPlace.left);
        EXPECT_LE(fieldPlace.right, client.right);
        EXPECT_EQ(fieldPlace.bottom - fieldPlace.top, Scaled(20, dpi));
        RECT text = ClientOnScreen(label);
        EXPECT_TRUE(HoldsText(text)) << "the label shows nothing";
        RECT rightEdge = {text.right - 2, text.top, text.right, text.bottom};
        RECT bottomEdge = {text.left, text.bottom - 2, text.right, text.bottom};
        EXPECT_FALSE(HoldsText(rightEdge)) << "the label's text runs into its right edge";
        EXPECT_FALSE(HoldsText(bottomEdge)) << "the label's text runs into its bottom edge";
        SaveScreenshot("display_scale_dialog_" + std::to_string(dpi), dialog);
        Tap('K');
        ASSERT_TRUE(WaitFor([&] { return !IsWindow(dialog); })) << "K did not close the dialog";
        Quit();
    }
}
