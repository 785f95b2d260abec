// The picture in the notification area, found where a user sees it: in the bar's own pixels.
// It is there from the start, a click brings the hidden window, its menu quits with the list
// written, it is gone after the end, and a hidden start speaks up only when a file is missing.
#include "tests/e2e/driver.h"

using namespace e2e;

namespace {

struct Picture {
    POINT centre;
    bool warning; // the red mark beside the padlock
};

HWND Bar() {
    HWND bar = FindWindowA("Shell_TrayWnd", nullptr);
    return bar && IsWindowVisible(bar) ? bar : nullptr;
}

bool Gold(COLORREF c) { return GetRValue(c) >= 200 && GetGValue(c) >= 120 && GetGValue(c) <= 215 && GetBValue(c) <= 90; }
bool Red(COLORREF c) { return GetRValue(c) >= 170 && GetGValue(c) <= 90 && GetBValue(c) <= 90; }

// The program's picture among the bar's pixels, by its padlock: the rightmost gold there is.
// The task buttons at the left show no picture under Wine, but only the right end is searched.
std::optional<Picture> FindPicture() {
    HWND bar = Bar();
    if (!bar) return std::nullopt;
    RECT area{};
    GetWindowRect(bar, &area);
    area.left = std::max(area.left, area.right - 300);
    std::vector<COLORREF> pixels = GrabPixels(area);
    int width = area.right - area.left, height = area.bottom - area.top;
    if (pixels.size() != static_cast<size_t>(width * height)) return std::nullopt;
    int right = -1, top = height, bottom = -1;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            if (Gold(pixels[y * width + x])) {
                right = std::max(right, x);
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
    if (right < 0) return std::nullopt;
    // The padlock fills the right half of the picture; the warning mark stands at its left.
    int side = bottom - top + 1;
    bool warning = false;
    for (int y = top; y <= bottom; ++y)
        for (int x = std::max(0, right - 2 * side); x < right; ++x) warning = warning || Red(pixels[y * width + x]);
    return Picture{{area.left + right - side / 2, area.top + (top + bottom) / 2}, warning};
}

// A balloon is a tooltip of the bar's own process drawn as a balloon; the tooltip of a pointer
// resting on the picture is not one.
HWND FindBalloon() {
    HWND bar = FindWindowA("Shell_TrayWnd", nullptr);
    DWORD barProcess = 0;
    if (!bar || !GetWindowThreadProcessId(bar, &barProcess)) return nullptr;
    for (HWND tip = nullptr; (tip = FindWindowExA(nullptr, tip, "tooltips_class32", nullptr));) {
        DWORD owner = 0;
        GetWindowThreadProcessId(tip, &owner);
        if (owner == barProcess && IsWindowVisible(tip) && (GetWindowLongA(tip, GWL_STYLE) & TTS_BALLOON)) return tip;
    }
    return nullptr;
}

} // namespace

class NotificationArea : public VerriqTest {
  protected:
    void SetUp() override { held = box.MakeFile("bericht.txt", "vierteljährlich"); }
    void StartHidden() {
        // The pointer off the bar, so that no tooltip of a resting pointer comes up.
        HoverAt(GetSystemMetrics(SM_CXSCREEN) / 2, GetSystemMetrics(SM_CYSCREEN) / 3);
        verriq.Kill();
        ASSERT_TRUE(verriq.Start(box.appdata, "\"" + VerriqExe() + "\" /hintergrund"));
        ASSERT_NE(verriq.WaitMainWindow(15000, false), nullptr) << "no main window";
    }

    std::optional<Picture> WaitPicture(bool warning) {
        std::optional<Picture> found;
        WaitFor([&] { return (found = FindPicture()) && found->warning == warning; }, 10000, 100);
        return found && found->warning == warning ? found : std::nullopt;
    }
    // Right click, then the mnemonic of "Beenden".
    void QuitFromMenu(const Picture& picture, const char* shot = nullptr) {
        MouseClick(picture.centre.x, picture.centre.y, true);
        ASSERT_NE(verriq.WaitTopWindowOfClass("#32768", 5000), nullptr) << "the picture's menu did not open";
        if (shot) SaveScreenshot(shot, nullptr);
        Tap('B');
        EXPECT_EQ(verriq.WaitExit(), 0);
    }

    std::string held;
};

TEST_F(NotificationArea, ThereFromTheStartAClickShowsTheWindowItsMenuQuitsWithTheListSavedAndAHiddenStartWarns) {
    WriteFileList(held + "\r\n");
    Start(1);
    std::optional<Picture> picture = WaitPicture(false);
    ASSERT_TRUE(picture) << "no picture without a warning in the notification area";
    SaveScreenshot("notification_area_whole", Bar());
    HWND main = verriq.main();
    Hide();
    ASSERT_TRUE(FindPicture()) << "hiding the window took the picture away";
    MouseClick(picture->centre.x, picture->centre.y);
    EXPECT_TRUE(WaitFor([&] { return IsWindowVisible(main) && GetForegroundWindow() == main; }))
        << "a click on the picture did not bring the window in front";
    // A list that went missing on disk is there again after quitting by the menu.
    DeleteFileA(box.fileList().c_str());
    picture = FindPicture();
    ASSERT_TRUE(picture);
    QuitFromMenu(*picture, "notification_area_menu");
    EXPECT_EQ(ReadBytes(box.fileList()), held + "\r\n");
    EXPECT_TRUE(ReadableByOthers(held, "vierteljährlich", box.root));
    EXPECT_TRUE(WaitFor([] { return !FindPicture(); }, 3000, 100)) << "the picture stayed after the end";

    // A hidden start speaks up only when a file is missing.
    StartHidden();
    picture = WaitPicture(false);
    ASSERT_TRUE(picture) << "no picture";
    // Well past the first look after the first retry.
    EXPECT_FALSE(WaitFor([] { return FindBalloon() != nullptr; }, 5000, 100)) << "a balloon with nothing to tell";
    MouseClick(picture->centre.x, picture->centre.y);
    ASSERT_TRUE(WaitFor([&] { return IsWindowVisible(verriq.main()) != 0; })) << "the click did not show the window";
    HWND question = AskToClose();
    ASSERT_NE(question, nullptr);
    ASSERT_TRUE(PressButton(question, "Nein"));
    EXPECT_EQ(verriq.WaitExit(), 0);
    EXPECT_TRUE(WaitFor([] { return !FindPicture(); }, 3000, 100)) << "the picture stayed after the end";
    WriteFileList(held + "\r\n" + box.files + "\\noch-nicht-da.txt\r\n");
    StartHidden();
    ASSERT_TRUE(WaitPicture(true)) << "no picture with a warning";
    EXPECT_TRUE(WaitFor([] { return FindBalloon() != nullptr; }, 10000, 100)) << "no balloon";
    SaveScreenshot("notification_area_warning", nullptr);
    // The missing file arrives: the picture is whole again.
    box.MakeFile("noch-nicht-da.txt", "jetzt");
    picture = WaitPicture(false);
    EXPECT_TRUE(picture) << "the warning stayed once everything was held";
    if (picture) {
        QuitFromMenu(*picture);
    }
}
