// The model alone, without a window or a list control: what it holds, what it counts, how a
// row removed hands its file to the next row, how a file let go by another program is taken on
// a retry and changes level, and how a folder is worked through when nobody is told of its changes.
#include "app/lock_texts.h"
#include "app/protection/protection_model.h"

#include "settings/wide_text.h"
#include "tests/app/app_test_support.h"

using namespace apptest;

namespace {

void Add(ProtectionModel& model, const std::string& path) {
    std::wstring wide = ToWidePath(path);
    model.Append(path, wide, FileKey(wide), false);
}

} // namespace

TEST(ProtectionModelAlone, HoldsCountsHandsOverAndRetriesWithoutAWindow) {
    char temp[MAX_PATH] = "";
    GetTempPathA(sizeof temp, temp);
    const std::string root = std::string(temp) + "verriq-model-" + std::to_string(GetCurrentProcessId());
    RemoveTree(root);
    CreateDirectoryA(root.c_str(), nullptr);
    CreateDirectoryA((root + "\\Ordner").c_str(), nullptr);
    const std::string a = root + "\\a.txt", busy = root + "\\belegt.txt", inside = root + "\\Ordner\\drin.txt";
    for (const std::string& path : {a, busy, inside}) WriteBytes(path, "Inhalt");
    UniqueFile other(CreateFileW(ToWidePath(busy).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                                 nullptr));
    ASSERT_TRUE(other);
    {
        ProtectionModel model;
        Add(model, a);
        Add(model, busy);
        Add(model, a);
        Add(model, root + "\\Ordner\\");
        while (model.AnyFolderBusy()) model.WorkFolders(50);

        const LockState expected[] = {LockState::Held, LockState::InUse, LockState::Duplicate, LockState::Held};
        for (int i = 0; i < 4; ++i) EXPECT_EQ(model.Files()[i].state, expected[i]) << i;
        EXPECT_NE(UnprotectedReason(model.Files()[2]).find(a), std::string::npos);
        EXPECT_TRUE(IsHeld(inside));
        // Files: a once and the one in the folder; the busy file and a's second row hold none.
        EXPECT_EQ(model.HeldCount(), 2);
        EXPECT_EQ(model.UnprotectedRows(), 2);

        // The first row of a goes: the second takes its file over at once.
        model.Remove({0});
        ASSERT_EQ(model.Size(), 3u);
        EXPECT_EQ(model.Files()[1].state, LockState::Held);
        EXPECT_TRUE(IsHeld(a));

        // The other program lets go: the next retry holds the file at its row's level.
        other.reset();
        std::vector<int> changed;
        EXPECT_TRUE(model.RetryUnheld(0, &changed));
        EXPECT_EQ(changed, std::vector<int>{0});
        EXPECT_EQ(WhatGotThrough(busy), std::vector<std::string>{});
        EXPECT_TRUE(model.SetReadable(0, true));
        EXPECT_EQ(WhatGotThrough(busy), ReadingOnly);
        EXPECT_EQ(model.HeldCount(), 3);
    }
    // Gone with the model: nothing it held stays held.
    EXPECT_FALSE(IsHeld(a));
    EXPECT_FALSE(IsHeld(inside));
    RemoveTree(root);
}
