// Releases for editing in the model alone: what others may do to a released file, a part of a
// folder released while the rest stays held, an editor's save at a released path, the take-back
// when due (an editor that still holds the file delays it), and the period's parsing and clock.
#include "app/protection/protection_model.h"
#include "app/protection/release_period.h"

#include "settings/wide_text.h"
#include "tests/app/app_test_support.h"

using namespace apptest;

namespace {

void Add(ProtectionModel& model, const std::string& path, bool readable = false) {
    std::wstring wide = ToWidePath(path);
    model.Append(path, wide, FileKey(wide), readable);
}

bool Writable(const std::string& path) {
    std::vector<std::string> done = WhatGotThrough(path);
    return std::find(done.begin(), done.end(), "write") != done.end();
}

} // namespace

TEST(ReleasePeriod, SettingsValuesAndDueClockTimes) {
    const struct {
        const char* text;
        int minutes;
    } values[] = {
        {nullptr, 10}, {"", 10},
        {"1", 1},      {"1440", 1440},
        {" 30\t", 30}, {"0", 10},
        {"1441", 10},  {"-5", 10},
        {"+5", 10},    {"5.5", 10},
        {"5 min", 10}, {"0x10", 10},
        {"007", 7},    {"99999999999999999999", 10},
    };
    for (const auto& value : values)
        EXPECT_EQ(ParseReleaseMinutes(value.text), value.minutes) << (value.text ? value.text : "(none)");

    const struct {
        int hour, minute, second, millisecond;
        unsigned long long remaining;
        const char* clock;
    } times[] = {
        {14, 25, 0, 0, 10 * 60000ULL, "14:35"},
        {14, 25, 59, 999, 10 * 60000ULL, "14:35"}, // the clock shows the minute it returns in
        {14, 25, 59, 999, 10 * 60000ULL + 1, "14:36"},
        {23, 55, 0, 0, 10 * 60000ULL, "00:05"}, // past midnight
        {0, 0, 0, 0, 1440 * 60000ULL, "00:00"}, // the longest period: a whole day on
        {9, 5, 0, 0, 0, "09:05"},
    };
    for (const auto& time : times)
        EXPECT_EQ(ReleaseClockText(time.hour, time.minute, time.second, time.millisecond, time.remaining),
                  time.clock)
            << time.hour << ":" << time.minute << ":" << time.second << " + " << time.remaining;
}

TEST(ReleaseInModel, RowsAndPartsOfFoldersAreLetGoUntilDueAndHeldAgainAtTheirLevelWithWhatAppeared) {
    char temp[MAX_PATH] = "";
    GetTempPathA(sizeof temp, temp);
    const std::string root = std::string(temp) + "verriq-release-" + std::to_string(GetCurrentProcessId());
    RemoveTree(root);
    CreateDirectoryA(root.c_str(), nullptr);
    CreateDirectoryA((root + "\\Ordner").c_str(), nullptr);
    CreateDirectoryA((root + "\\Ordner\\Entwurf").c_str(), nullptr);
    const std::string letter = root + "\\brief.txt", readable = root + "\\lesen.txt";
    const std::string draft = root + "\\Ordner\\Entwurf\\text.txt", kept = root + "\\Ordner\\bleibt.txt";
    const std::string single = root + "\\Ordner\\einzeln.txt";
    for (const std::string& path : {letter, readable, draft, kept, single})
        WriteBytes(path, "Inhalt");
    {
        ProtectionModel model;
        Add(model, letter);
        Add(model, readable, true);
        Add(model, root + "\\Ordner\\");
        while (model.AnyFolderBusy())
            model.WorkFolders(50);
        ASSERT_EQ(model.HeldCount(), 5);

        const unsigned long long now = 1000000;
        EXPECT_TRUE(model.Release(0, now + 60000));
        EXPECT_TRUE(model.Release(1, now + 60000));
        // Only the subfolder and one file of the folder row; the rest stays held.
        EXPECT_TRUE(model.ReleaseInside(2, L"Entwurf", now + 120000));
        EXPECT_TRUE(model.ReleaseInside(2, L"einzeln.txt", now + 60000));
        EXPECT_FALSE(model.ReleaseInside(0, L"x", now)) << "a file row has no parts";
        for (const std::string& path : {letter, readable, draft, single})
            EXPECT_TRUE(Writable(path)) << path;
        EXPECT_FALSE(IsHeld(letter));
        EXPECT_TRUE(IsHeld(kept));
        EXPECT_EQ(WhatGotThrough(kept), std::vector<std::string>{});
        // A release is no gap: nothing to warn about, and the held count is true.
        EXPECT_EQ(model.Files()[0].state, LockState::Released);
        EXPECT_EQ(model.UnprotectedRows(), 0);
        EXPECT_EQ(model.AlarmingRows(GetTickCount64()), 0);
        EXPECT_EQ(model.ReleasedRows(), 3);
        EXPECT_EQ(model.HeldCount(), 1);
        EXPECT_TRUE(IsWhole(model.Files()[2]));

        // Editors save by deleting and writing anew, or by renaming a new file over the old one.
        ASSERT_TRUE(DeleteFileA(draft.c_str()));
        ASSERT_TRUE(WriteBytes(draft, "neu"));
        ASSERT_TRUE(WriteBytes(letter + ".tmp", "neuer Brief"));
        ASSERT_TRUE(MoveFileExA((letter + ".tmp").c_str(), letter.c_str(), MOVEFILE_REPLACE_EXISTING));
        EXPECT_EQ(ReadBytes(letter), "neuer Brief");
        ASSERT_TRUE(WriteBytes(root + "\\Ordner\\Entwurf\\neu.txt", "dazu"));

        // Not due yet: nothing changes.
        std::vector<int> changed;
        model.TakeBackDue(now + 59999, changed);
        EXPECT_TRUE(changed.empty());
        EXPECT_EQ(model.NextReleaseDue(), now + 60000);

        // Due while an editor still has the letter open: it waits as a busy file does.
        UniqueFile editor(CreateFileA(letter.c_str(), GENERIC_READ | GENERIC_WRITE,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                                      nullptr));
        ASSERT_TRUE(editor);
        model.TakeBackDue(now + 60000, changed);
        EXPECT_EQ(changed, (std::vector<int>{0, 1, 2}));
        EXPECT_EQ(model.Files()[0].state, LockState::InUse);
        EXPECT_EQ(model.AlarmingRows(GetTickCount64()), 1);
        EXPECT_EQ(WhatGotThrough(readable), ReadingOnly);
        EXPECT_TRUE(IsHeld(single));
        EXPECT_TRUE(Writable(draft)) << "the subfolder is due later";
        editor.reset();
        EXPECT_TRUE(model.RetryUnheld(0));
        EXPECT_EQ(WhatGotThrough(letter), std::vector<std::string>{});

        // The subfolder comes back with the draft saved anew and the file made meanwhile.
        changed.clear();
        model.TakeBackDue(now + 120000, changed);
        EXPECT_EQ(changed, std::vector<int>{2});
        while (model.AnyFolderBusy())
            model.WorkFolders(50);
        EXPECT_EQ(WhatGotThrough(draft), std::vector<std::string>{});
        EXPECT_TRUE(IsHeld(root + "\\Ordner\\Entwurf\\neu.txt"));
        EXPECT_EQ(model.NextReleaseDue(), 0u);
        EXPECT_EQ(model.ReleasedRows(), 0);

        // A whole folder row taken back at once finds what appeared meanwhile.
        EXPECT_TRUE(model.Release(2, now + 60000));
        EXPECT_FALSE(IsHeld(kept));
        ASSERT_TRUE(WriteBytes(root + "\\Ordner\\später.txt", "später"));
        EXPECT_TRUE(model.TakeBack(2));
        EXPECT_FALSE(model.TakeBack(2)) << "nothing left to take back";
        while (model.AnyFolderBusy())
            model.WorkFolders(50);
        EXPECT_TRUE(IsHeld(root + "\\Ordner\\später.txt"));
        EXPECT_TRUE(IsHeld(kept));
        EXPECT_EQ(model.HeldCount(), 7);
    }
    RemoveTree(root);
}
