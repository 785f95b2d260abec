// Releasing protected files for editing: the user lets Verriq let go of rows (or, from outside,
// of a file or folder inside a folder row) for a period; protection returns by itself when it is
// due, through a timer on the main window. A release is never stored: any start protects all.
#pragma once

#include <string>
#include <vector>

// The period's choices, appended to the menu being built; checked as the period stands (read
// from the settings before), which is offered too when it is none of the fixed choices.
void AddReleasePeriodMenu();
// One of the choices was picked: the period changes for releases from now on. False when it
// was no choice; the caller saves the settings.
bool ChooseReleasePeriod(int item);

// The row menu's entry: releases every selected row, or takes them all back when all are
// released already.
void ReleaseSelectionForEditing();
// Paths handed in from outside: each row or part of a folder row they name is released; a
// path Verriq does not protect changes nothing and is told.
void ReleaseArrivingPaths(const std::vector<std::wstring>& paths);

// The release timer came: what is due is protected again.
void TakeBackDueReleases();
