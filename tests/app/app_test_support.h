// A hidden main window built the way the program builds it, on a scratch appdata folder, for
// the application's tests.
#pragma once

#include "app/application.h"
#include "app/layout.h"
#include "app/file_list_view.h"
#include "app/protected_files.h"
#include "framework/window.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

namespace apptest {

// The framework services, once per test program, in the program's own order.
void StartServicesOnce();

bool WriteBytes(const std::string& path, const std::string& bytes);
std::string ReadBytes(const std::string& path);
void RemoveTree(const std::string& path);
// True when another opener (sharing everything) is refused: the file is held.
bool IsHeld(const std::string& path);

class MainWindowTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // A file below the scratch folder holding text; its full path.
    std::string MakeFile(const std::string& name, const std::string& text = "Inhalt");
    std::string StatusText() const;
    bool RemoveEnabled() const;
    void Select(int row);

    std::string root;    // scratch folder, also "appdata"
    std::string storage; // root\Ondrak\VerriqTest\ after EnsureStorageFolders
};

} // namespace apptest
