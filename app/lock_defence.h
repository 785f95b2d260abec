// Defends the locks against other programs and explains the files it cannot hold: every second
// the handles held are checked (HandleGuard); one closed from outside is taken back at once and
// the user told by a balloon; for a file another program keeps open, that program is looked up
// (holder_lookup) and named in its row.
#pragma once

#include "app/protection/protection_model.h"

#include <windows.h>

#include <string>
#include <vector>

constexpr unsigned DefenceInterval = 1000;

// Starts the checks on the main window's timer. Needs the window; nothing happens without one.
void StartLockDefence(HWND main);
void StopLockDefence(HWND main);
// One round of checks at once, as the timer does it.
void DefendLocks();
// The lookup's answers arrived: the rows name who holds their files.
void ShowHolderAnswers();

// What the balloon says about the files taken back (never empty when outcome is not).
std::string TakenBackText(const std::vector<TakenBack>& outcome);
