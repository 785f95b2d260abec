#include "app/background.h"

#include "app/application.h"
#include "app/storage.h"
#include "controls/gadget.h"
#include "controls/label.h"
#include "controls/shortcut_field.h"
#include "core/handles_win32.h"
#include "framework/dpi.h"
#include "framework/requesters.h"
#include "framework/window.h"
#include "settings/wide_text.h"

#include <algorithm>
#include <string>

std::atomic<std::int32_t> SpecialKey{DefaultSpecialKey};

namespace {

// Lines are joined by a single CR; the doubled apostrophes are the texts' own quotation marks.
const char* const QuestionForX = "Die Anwendung wird jetzt versteckt und arbeitet im Hintergrund weiter.\r"
                                 "Ausgewählte Dateien werden weiterhin geschützt.\r"
                                 "Um die Anwendung aufrufen zu können, drücken Sie die folgende "
                                 "Tastenkombination: Strg + Shift + X.\r"
                                 "Diese Tastenkombination können Sie im Programmfenster im Menü unter "
                                 "''Programm'' jederzeit ändern.\r"
                                 "Falls Sie das Programm beenden möchten, drücken Sie auf ''Nein''.";

const char* const QuestionForOwnKey = "Die Anwendung wird jetzt versteckt und arbeitet im Hintergrund weiter.\r"
                                      "Ausgewählte Dateien werden weiterhin geschützt.\r"
                                      "Um die Anwendung aufrufen zu können, drücken Sie die von Ihnen "
                                      "eingestellte Tastenkombination.\r"
                                      "Ihre eingestellte Tastenkombination können Sie im Programmfenster im Menü "
                                      "unter ''Programm'' jederzeit ändern.\r"
                                      "Falls Sie das Programm beenden möchten, drücken Sie auf ''Nein''.";

bool IsDown(int virtualKey) { return GetAsyncKeyState(virtualKey) < 0; }

// All the watcher knows, given before it starts; nothing of it is freed while it runs.
struct Watcher {
    HWND main = nullptr;
    UINT showMessage = 0;
    UniqueKernelHandle stop;
    UniqueKernelHandle thread;
};
Watcher watcher;

DWORD WINAPI WatchHotKey(void* parameter) {
    const Watcher& self = *static_cast<const Watcher*>(parameter);
    // Waiting on the stop signal is the pause between two looks at the keyboard.
    while (WaitForSingleObject(self.stop.get(), HotKeyPollInterval) == WAIT_TIMEOUT) {
        // All three are asked on every pass, so that a key's state never lingers from an old pass.
        bool control = IsDown(VK_LCONTROL);
        bool shift = IsDown(VK_LSHIFT);
        bool letter = IsDown(SpecialKey);
        if (control && shift && letter) PostMessageW(self.main, self.showMessage, 0, 0);
    }
    return 0;
}

} // namespace

const char* CloseQuestionText(int specialKey) { return specialKey == 'X' ? QuestionForX : QuestionForOwnKey; }

bool IsHotKeyLetter(int shortcut) { return shortcut >= 'A' && shortcut <= 'Z'; }

void OnCloseRequest() {
    // Written before asking: whatever the answer, or if the session ends meanwhile, the list is safe.
    SaveDocuments();
    int answer = ShowMessageBox("Hintergrundprozess", CloseQuestionText(SpecialKey), MB_YESNO | MB_ICONQUESTION);
    if (answer == IDYES) {
        // Every lock stays held; only the window goes.
        SetWindowHidden(WindowMain, 1);
        return;
    }
    if (SaveForQuit()) ShutDown();
}

bool StartHotKeyWatcher(HWND main, UINT showMessage) {
    if (watcher.thread) return true;
    watcher.main = main;
    watcher.showMessage = showMessage;
    watcher.stop.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!watcher.stop) return false;
    watcher.thread.reset(CreateThread(nullptr, 0, WatchHotKey, &watcher, 0, nullptr));
    return watcher.thread.valid();
}

void StopHotKeyWatcher() {
    if (!watcher.thread) return;
    SetEvent(watcher.stop.get());
    // One look at the keyboard takes microseconds; a watcher that does not end within a second
    // is stuck in the system, and the process ends around it.
    if (WaitForSingleObject(watcher.thread.get(), 1000) != WAIT_OBJECT_0) {
        watcher.thread.release();
        return;
    }
    watcher.thread.reset();
    watcher.stop.reset();
}

namespace {

// The label's text at the dialog's scale: fonts do not grow in step with the scale, so the
// label is as wide and high as its text needs where the scaled figures would cut it.
SIZE LabelTextSize(const char* text, int dpi) {
    SIZE size{};
    ScopedGetDc screen(nullptr);
    ScopedSelect font(screen.get(), GadgetFontForDpi(dpi));
    std::wstring wide = ToWide(text);
    GetTextExtentPoint32W(screen.get(), wide.c_str(), static_cast<int>(wide.size()), &size);
    return size;
}

} // namespace

void OpenHotKeyDialog() {
    // Sizes at 96 DPI; the dialog opens over the main window, on its screen and at its scale.
    HWND main = WindowHandle(WindowMain);
    const char* text = "Drücken Sie jetzt eine beliebige Taste (a-z):";
    int dpi = DpiForWindow(main);
    auto scale = [dpi](int value) { return ScaleForDpi(value, dpi); };
    SIZE needed = LabelTextSize(text, dpi);
    int labelWidth = std::max<int>(needed.cx, scale(220));
    int height = std::max<int>(needed.cy, scale(20));
    int fieldLeft = scale(10) + labelWidth + scale(10);
    int width = std::max(fieldLeft + scale(150) + scale(10), scale(400));
    if (!OpenTopWindow(WindowHotKey, 0, 0, width, height + scale(20), "Tastenkombination ändern",
                       WindowCentreOnParent, main))
        return;
    CreateLabelGadget(GadgetHotKeyText, scale(10), scale(10), labelWidth, height, text, 0);
    CreateShortcutGadget(GadgetHotKeyField, width - scale(160), scale(10), scale(150), scale(20),
                         HotKeyFieldStart);
    FocusGadget(GadgetHotKeyField);
    SetWindowDisabled(WindowMain, 1);
}

void OnHotKeyField() {
    int shortcut = ReadGadgetState(GadgetHotKeyField);
    if (IsHotKeyLetter(shortcut)) {
        SpecialKey = shortcut;
        // Closed first: a failure to save is told over the main window.
        CloseHotKeyDialog(WindowHotKey, WindowMain);
        OnSettingsChanged();
        return;
    }
    // A refused key never becomes the hot key: saved on a close request, a digit or a
    // modified letter would leave a hidden window that no combination can call back.
    WriteGadgetState(GadgetHotKeyField, HotKeyFieldStart);
}

void CloseHotKeyDialog(int window, int owner) {
    CloseTopWindow(window);
    SetWindowDisabled(owner, 0);
}
