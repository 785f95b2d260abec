// Closing the main window: the documents are written before the question, "Nein" ends the
// program, "Ja" hides it with every lock held, and only left Ctrl + left Shift + the letter
// brings it back.
#include "tests/e2e/app_steps.h"

using namespace e2e;

namespace {

const std::vector<Key> LeftCtrlLeftShiftX = {{VK_LCONTROL, false}, {VK_LSHIFT, false}, {'X', false}};
// Wine tells right Shift from left by the extended-key flag.
const std::vector<Key> RightCtrlLeftShiftX = {{VK_RCONTROL, true}, {VK_LSHIFT, false}, {'X', false}};
const std::vector<Key> LeftCtrlRightShiftX = {{VK_LCONTROL, false}, {VK_RSHIFT, true}, {'X', false}};

// Holds the keys long enough for several polls of the watcher (every 100 ms) and waits for
// test while they are down.
template <class F> bool HoldWhile(const std::vector<Key>& keys, F test, int timeoutMs = 1500) {
    bool result = HoldKeysWhile(keys, test, timeoutMs);
    // GetAsyncKeyState keeps a key-up out of sight for about 50 ms under Wine.
    Sleep(300);
    return result;
}

} // namespace

class Background : public VerriqTest {
  protected:
    void SetUp() override {
        held = box.MakeFile("vertraulich.txt", "streng geheim");
        // Line ends as another editor may leave them: the close request must write CR LF.
        WriteFileList(held + "\n");
    }
    std::string held;
};

TEST_F(Background, YesHidesWithTheLocksHeldTheLeftKeysBringItBackAsItWasAndNoEnds) {
    Start(1);
    HWND main = verriq.main();
    RequestClose();
    HWND question = WaitQuestion();
    ASSERT_NE(question, nullptr) << "no close question";
    // Written while the question is still on screen.
    EXPECT_EQ(ReadBytes(box.fileList()), held + "\r\n");
    EXPECT_EQ(ReadBytes(box.settings()), "[Einstellungen]\r\nSpecialKey = 88\r\n");
    std::string text = MessageBoxText(question);
    EXPECT_NE(text.find("Strg + Shift + X"), std::string::npos) << text;
    SaveScreenshot("close_question");
    ASSERT_TRUE(PressButton(question, "Ja"));
    ASSERT_TRUE(WaitFor([&] { return !IsWindowVisible(main); })) << "the window was not hidden";
    EXPECT_TRUE(verriq.Running());
    EXPECT_TRUE(LockedAgainstOthers(held, "streng geheim", box.root)) << "hiding let the file go";
    // The right-hand keys do not count.
    EXPECT_FALSE(HoldWhile(RightCtrlLeftShiftX, [&] { return IsWindowVisible(main) != 0; }, 800));
    EXPECT_FALSE(HoldWhile(LeftCtrlRightShiftX, [&] { return IsWindowVisible(main) != 0; }, 800));
    EXPECT_TRUE(HoldWhile(LeftCtrlLeftShiftX, [&] { return IsWindowVisible(main) && GetForegroundWindow() == main; }))
        << "left Ctrl + left Shift + X did not bring the window back in front";
    EXPECT_FALSE(IsZoomed(main));
    EXPECT_EQ(verriq.StatusText(), StatusFor(1));
    // Held while visible: it just stays in front.
    EXPECT_TRUE(HoldWhile(LeftCtrlLeftShiftX, [&] { return GetForegroundWindow() == main; }));
    // A maximised window comes back maximised.
    PostMessageA(main, WM_SYSCOMMAND, SC_MAXIMIZE, 0);
    ASSERT_TRUE(WaitFor([&] { return IsZoomed(main) != 0; }));
    Hide();
    EXPECT_TRUE(HoldWhile(LeftCtrlLeftShiftX, [&] { return IsWindowVisible(main) != 0; }));
    EXPECT_TRUE(IsZoomed(main)) << "the window came back restored";

    RequestClose();
    question = WaitQuestion();
    ASSERT_NE(question, nullptr);
    ASSERT_TRUE(PressButton(question, "Nein"));
    EXPECT_EQ(verriq.WaitExit(), 0);
    EXPECT_TRUE(ReadableByOthers(held, "streng geheim", box.root));
}
