// The picture in the notification area: there from start to end, hidden window or not. It
// shows whether everything is protected, says how much in its tooltip, brings the window on a
// click, offers "Anzeigen" and "Beenden" on a right click, and speaks up with a balloon when
// protection stays incomplete while nobody looks at the window.
#pragma once

#include <windows.h>

#include <string>

// Adds the picture for the main window and follows the protection from then on. hiddenStart: started without a window, so the first look comes
// after the first retry. Without a notification area nothing else changes.
void StartNotificationArea(HWND main, bool hiddenStart);
// Takes the picture away; every way out calls it. Harmless when there is none.
void StopNotificationArea();
// The protection changed: picture, tooltip and, in time, the balloon follow.
void OnProtectionChanged();
// What reaches the main window for the picture: a click or key on it (PictureMessage), the
// notification area made anew (the Explorer restarted), the look timer, a new scale.
void OnPictureEvent(WPARAM wParam, LPARAM lParam);
void AddPictureAgain();
void LookAtProtection();
void FollowPictureScale(int dpi);
// A balloon on the picture; false when there is no picture to show it on.
bool ShowNotifyBalloon(const char* title, const char* text, bool warning);

// "Verriq: 12 Dateien werden geschützt, 2 nicht geschützt, 1 zum Bearbeiten freigegeben" for
// held files, unprotected rows and released rows.
std::string NotifyTooltipText(int held, int unprotected, int released = 0);
// "2 Dateien nicht geschützt".
std::string NotProtectedText(int rows);

// When a warning is due. The picture's owner looks after the first retry at a hidden start,
// then while anything is not protected every LookInterval milliseconds.
struct BalloonRule {
    bool told = false;               // said since protection was last whole
    unsigned long long since = 0;    // tick of the first look that found an alarming row; 0: none
    // One look at tick now: true when the balloon is due now. whole: every row fully
    // protected; alarming: rows worth telling; hidden: the window is not shown; early: the
    // look after the first retry of a hidden start, which need not wait for the row to stay.
    bool Look(unsigned long long now, bool whole, int alarming, bool hidden, bool early);
};
constexpr unsigned long long WarnAfter = 10000;
constexpr unsigned LookInterval = 2000;
