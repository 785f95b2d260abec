#include "settings/file_names.h"

#include <gtest/gtest.h>

TEST(IsValidFileName, RejectsEmptyControlAndReservedCharacters) {
    EXPECT_EQ(IsValidFileName(nullptr), 0);
    EXPECT_EQ(IsValidFileName(""), 0);
    EXPECT_EQ(IsValidFileName("Dateien.ini"), 1);
    EXPECT_EQ(IsValidFileName("Stra\xDF"
                              "e 1 (neu).txt"),
              1);
    EXPECT_EQ(IsValidFileName(" "), 1);
    for (char reserved : std::string("\"*/:<>?\\|")) {
        std::string name = std::string("a") + reserved + "b";
        EXPECT_EQ(IsValidFileName(name.c_str()), 0) << reserved;
    }
    EXPECT_EQ(IsValidFileName("a\tb"), 0);
    EXPECT_EQ(IsValidFileName("\x1F"), 0);
    EXPECT_EQ(IsValidFileName("\x7F"), 1);
}

namespace {
std::string Query(const char* path, SizeQueryKind expected) {
    std::string query;
    EXPECT_EQ(PrepareSizeQuery(path, query), expected) << path;
    return query;
}
} // namespace

TEST(PrepareSizeQuery, DriveForms) {
    EXPECT_EQ(Query("C:", SizeQueryKind::Drive), "C:\\");
    EXPECT_EQ(Query("c:\\", SizeQueryKind::Drive), "c:\\");
    EXPECT_EQ(Query("C:/", SizeQueryKind::Drive), "C:\\");
    EXPECT_EQ(Query("C:\\\\\\", SizeQueryKind::Drive), "C:\\");
    // A name on a drive's current folder is a path like any other.
    EXPECT_EQ(Query("C:x", SizeQueryKind::Search), "C:x");
    EXPECT_EQ(Query("1:", SizeQueryKind::Search), "1:");
}

TEST(PrepareSizeQuery, TrailingBackslashesGoButNeverTheFirstCharacter) {
    EXPECT_EQ(Query("C:\\Ordner\\\\", SizeQueryKind::Search), "C:\\Ordner");
    EXPECT_EQ(Query("\\\\server\\share\\", SizeQueryKind::Search), "\\\\server\\share");
    EXPECT_EQ(Query("\\\\\\", SizeQueryKind::Search), "\\");
    EXPECT_EQ(Query("a", SizeQueryKind::Search), "a");
}

TEST(PrepareSizeQuery, PathsThatNameNothing) {
    Query(nullptr, SizeQueryKind::Nothing);
    Query("", SizeQueryKind::Nothing);
    Query("C:\\*.ini", SizeQueryKind::Nothing);
    Query("C:\\Datei?.ini", SizeQueryKind::Nothing);
    std::string longest = "C:\\" + std::string(MaximumPathLength - 3, 'a');
    Query(longest.c_str(), SizeQueryKind::Search);
    // Cutting a longer path would answer for another file.
    std::string tooLong = longest + "b";
    Query(tooLong.c_str(), SizeQueryKind::Nothing);
}

TEST(PrepareFolderPath, StripsTrailingBlanksAndSeparators) {
    std::string folder;
    EXPECT_TRUE(PrepareFolderPath("C:\\Daten\\Neu\\ / \\", folder));
    EXPECT_EQ(folder, "C:\\Daten\\Neu");
    EXPECT_TRUE(PrepareFolderPath("Neu", folder));
    EXPECT_EQ(folder, "Neu");
    EXPECT_FALSE(PrepareFolderPath(nullptr, folder));
    EXPECT_FALSE(PrepareFolderPath("", folder));
    EXPECT_FALSE(PrepareFolderPath(" \\/", folder));
    std::string tooLong(MaximumPathLength + 1, 'a');
    EXPECT_FALSE(PrepareFolderPath(tooLong.c_str(), folder));
}
