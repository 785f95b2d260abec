// A hidden main window built the way the program builds it, on a scratch appdata folder, for
// the application's tests.
#pragma once

#include "app/application.h"
#include "app/layout.h"
#include "app/main_window.h"
#include "app/file_list_view.h"
#include "app/protected_files.h"
#include "framework/window.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace apptest {

// The framework services, once per test program, in the program's own order.
void StartServicesOnce();

bool WriteBytes(const std::string& path, const std::string& bytes);
std::string ReadBytes(const std::string& path);
void RemoveTree(const std::string& path);
// True when another opener (sharing everything) is refused: the file is held.
bool IsHeld(const std::string& path);
// What another program managed to do to the file, by name, each attempt undone where it can be:
// every kind of open, copying it away, deleting, renaming, and putting another file in its place.
std::vector<std::string> WhatGotThrough(const std::string& path);
// What a file at "lesen erlaubt" lets through.
extern const std::vector<std::string> ReadingOnly;
// Runs the thread's messages for that long, or until test holds (ten seconds at most).
void Pump(int milliseconds);
bool PumpUntil(const std::function<bool()>& test, int milliseconds = 10000);

// Answers every message box this thread shows while it lives, as a user would, and keeps what
// each said: the program's own boxes, opened for real, are what the tests read.
class AnsweredBoxes {
  public:
    struct Box {
        std::string title;
        std::string text;
        bool asks; // Ja and Nein, or OK alone
    };
    explicit AnsweredBoxes(int answer = IDOK);
    ~AnsweredBoxes();
    AnsweredBoxes(const AnsweredBoxes&) = delete;
    AnsweredBoxes& operator=(const AnsweredBoxes&) = delete;

    std::vector<Box> seen;
    int answer; // IDYES or IDNO for a box that asks; a box with OK alone gets OK

  private:
    static LRESULT CALLBACK Watch(int code, WPARAM wParam, LPARAM lParam);
    HHOOK hook;
};

class MainWindowTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // A file below the scratch folder holding text; its full path.
    std::string MakeFile(const std::string& name, const std::string& text = "Inhalt");
    std::string StatusText() const;
    bool RemoveEnabled() const;
    void Select(int row);
    // The window takes its messages as the program's does: timers, folders, drops, requests.
    void Serve(void (*end)() = nullptr);

    std::string root;    // scratch folder, also "appdata"
    std::string storage; // root\Ondrak\VerriqTest\ after EnsureStorageFolders
    MainWindow served;
};

} // namespace apptest
