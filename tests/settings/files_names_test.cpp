#include "settings/file_names.h"

#include <gtest/gtest.h>

TEST(IsValidFileName, RejectsEmptyControlAndReservedCharacters) {
    EXPECT_EQ(IsValidFileName(nullptr), 0);
    for (const char* good : {"Dateien.ini", "Stra\337e 1 (neu).txt", " ", "\x7F"})
        EXPECT_EQ(IsValidFileName(good), 1) << good;
    for (const char* bad :
         {"", "a\tb", "\x1F", "a\"b", "a*b", "a/b", "a:b", "a<b", "a>b", "a?b", "a\\b", "a|b"})
        EXPECT_EQ(IsValidFileName(bad), 0) << bad;
}

TEST(PrepareSizeQuery, DrivesPathsAndWhatNamesNothing) {
    std::string longest = "C:\\" + std::string(MaximumPathLength - 3, 'a');
    // Cutting a longer path would answer for another file.
    std::string tooLong = longest + "b";
    struct {
        const char* path;
        SizeQueryKind kind;
        const char* query; // null: not looked at
    } cases[] = {
        {"C:", SizeQueryKind::Drive, "C:\\"},
        {"C:/", SizeQueryKind::Drive, "C:\\"},
        {"C:\\\\\\", SizeQueryKind::Drive, "C:\\"},
        // A name on a drive's current folder is a path like any other.
        {"C:x", SizeQueryKind::Search, "C:x"},
        {"1:", SizeQueryKind::Search, "1:"},
        // Trailing backslashes go, but never the first character.
        {"C:\\Ordner\\\\", SizeQueryKind::Search, "C:\\Ordner"},
        {"\\\\\\", SizeQueryKind::Search, "\\"},
        {longest.c_str(), SizeQueryKind::Search, nullptr},
        {nullptr, SizeQueryKind::Nothing, nullptr},
        {"", SizeQueryKind::Nothing, nullptr},
        {"C:\\*.ini", SizeQueryKind::Nothing, nullptr},
        {tooLong.c_str(), SizeQueryKind::Nothing, nullptr},
    };
    for (const auto& c : cases) {
        std::string query;
        EXPECT_EQ(PrepareSizeQuery(c.path, query), c.kind) << (c.path ? c.path : "null");
        if (c.query) {
            EXPECT_EQ(query, c.query);
        }
    }
}

TEST(PrepareFolderPath, StripsTrailingBlanksAndSeparators) {
    std::string folder;
    EXPECT_TRUE(PrepareFolderPath("C:\\Daten\\Neu\\ / \\", folder));
    EXPECT_EQ(folder, "C:\\Daten\\Neu");
    std::string tooLong(MaximumPathLength + 1, 'a');
    for (const char* nothing : {static_cast<const char*>(nullptr), "", " \\/", tooLong.c_str()})
        EXPECT_FALSE(PrepareFolderPath(nothing, folder));
}
