// Quitting from outside: "Verriq.exe /beenden" asks the running copy for its storage folder to
// save and end, the way a setup or a script needs it before it replaces or removes the exe. The
// request travels like paths to protect (WM_COPYDATA, QuitHandOverTag); the running copy saves
// while the sender waits for its answer, and ends right after. It never asks anybody: a list it
// cannot save keeps it running and protecting, and the user is told once the sender is answered.
#pragma once

#include <windows.h>

#include <string>

extern const wchar_t* const QuitArgument;

// True when any argument after the program's name is QuitArgument (case ignored).
bool IsQuitRequest(const wchar_t* commandLine);

// What a start with QuitArgument ends with, so that a setup can start the new exe the way the
// old one ran.
enum QuitExitCode : unsigned {
    QuitNoneRunning = 0, // no copy ran; this start did not become one either
    QuitNotEnded = 1,    // the running copy could not save its list, or did not end in time
    QuitEndedShown = 2,  // the running copy saved and ended; its window was shown
    QuitEndedHidden = 3, // the running copy saved and ended; it ran without a window
};

// Asks the copy for this storage folder to quit and waits, bounded, until its process is gone.
// It never claims the instance itself.
QuitExitCode QuitRunningCopy(const std::string& storageFolder);

// A quit request reached the main window (WM_COPYDATA, QuitHandOverTag): saves while the
// sender waits, and answers whether we end. The end itself, or the word why not, follows on
// QuitEndTimer, through AfterAnswer, once the sender has its answer.
class QuitInbox {
  public:
    LRESULT Take(HWND window, const COPYDATASTRUCT& data);
    void AfterAnswer();

  private:
    // Set only by a request this copy took: the timer alone never ends it.
    bool endAccepted_ = false;
    bool refusalPending_ = false;
};
