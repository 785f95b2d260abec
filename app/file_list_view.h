// The protection model as the user sees it in the file list: a row per entry with its path and
// level, red while not whole, a tooltip that says why, a row menu, and the count in the status
// bar. Reads the model; changes nothing in it.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// Text colour of a row whose file is not held: it must not look protected.
constexpr int FailedLockColor = 0x0000C0;

// The text of a row's "Zugriff" column.
const char* LevelText(bool readable);

// The file list draws its rows from the model: one row per entry, asked for when shown.
void ConnectFileListRows();
// The list has as many rows as the model has entries; call after entries were added.
void ShowRows();
// Entries went: the selection goes with them, and the rows follow the model.
void RemoveRows();
// The row is drawn again as its entry stands now: level or release, red while not whole.
void ShowAccess(int row);
void ShowRowState(int row);
void ShowRowStates();
// The entries are gone (tests, the way out): so are the rows.
void ForgetRows();

// Rows of the list, top to bottom, that are selected.
std::vector<int> SelectedRows();
// Selects exactly these rows and brings the first into sight.
void SelectRows(const std::vector<int>& rows);
// Every selected row allows reading (false without a selection): the row menu's check mark.
bool SelectionAllowsReading();
// Every selected row is released for editing as a whole (false without a selection).
bool SelectionReleased();
// "Entfernen" is enabled exactly while a row is selected.
void OnFileListEvent();

// The tooltip that tells why the row under the pointer (client point of the list) is not
// whole; made when first needed.
void TrackRowTooltip(HWND list, POINT client);
void HideTooltip();
// The main window is going, and its tooltip with it.
void ForgetTooltip();

// The row menu, at the pointer after a click, below the focused selected row after Shift+F10
// or the menu key (position -1, -1). Only rows have a menu: a click beside them opens none.
void ShowRowMenu(HWND list, LPARAM position);

// Writes the number of files actually held, or a folder's progress, into the status bar, and
// lets the notification area's picture follow.
void UpdateStatusText();

// The list's columns across its whole width: "Zugriff" as wide as its texts, the path the rest.
void FitFileListColumns();
