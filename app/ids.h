// Every number the application hands the system for its main window: menu and toolbar commands,
// timers and private messages. Kept in one place so that no two parts pick the same one, and a
// reader sees at once what the main window can be told.
#pragma once

#include <windows.h>

// Toolbar buttons and menu items share one numbering space.
enum : int {
    ItemAddFiles = 1,
    ItemRemoveFiles = 2,
    ItemQuitButton = 3,
    ItemQuitMenu = 4,
    ItemAbout = 5,
    ItemChangeHotKey = 6,
    ItemAddFolder = 7,
    ItemStartWithWindows = 8,
    ItemAllowReading = 9,
    ItemOfferInExplorer = 10,
    ItemShowWindow = 11,
    ItemReleaseForEditing = 12,
    // The release period's choices under "Programm": the fixed ones, then a value from the
    // settings that is none of them.
    ItemReleasePeriodFirst = 13,
    ItemReleasePeriodLast = 19,
};

// The main window's timers. None of them has a callback of its own: each arrives as WM_TIMER
// at the main window's one procedure.
enum : UINT_PTR {
    RetryTimer = 1,       // files not held yet are tried again
    FolderWorkTimer,      // the next slice of folder work, while input waits
    FolderRetryTimer,     // a file inside a folder is due for another try
    DefenceTimer,         // the locks are checked against the system's handle table
    LookTimer,            // the picture looks whether a warning is due
    BatchTimer,           // handed-over paths to protect have gone quiet
    ReleaseBatchTimer,    // handed-over paths to release have gone quiet
    QuitEndTimer,         // a quit request has its answer: end, or tell why not
    ReleaseTimer,         // the earliest release for editing is due
};

// Messages the main window posts to itself or is sent by helpers on other threads.
enum : UINT {
    FolderMessage = WM_APP + 1, // a folder's watcher saw changes (wParam: the tree), or 0: work
    HolderMessage,              // the lookup of who holds a file has answers
    PictureMessage,             // the notification area tells of a click on the picture
};
