// "The same file": every spelling of one file or folder gives one key, and different files never
// share one; a file handed over twice in other spellings is one row. And what a folder row's
// tree knows reaches its tooltip: counts, the names not held and why, the released parts.
#include "app/handover.h"
#include "app/lock_texts.h"
#include "app/protection/path_key.h"
#include "app/protection/protection_model.h"
#include "app/protection/release_clock.h"

#include "controls/gadget.h"
#include "settings/text.h"
#include "settings/wide_text.h"
#include "tests/app/app_test_support.h"

#include <string>
#include <vector>

using namespace apptest;

namespace {

std::wstring ShortForm(const std::string& path) {
    std::wstring wide = ToWide(path);
    wchar_t buffer[MAX_PATH];
    DWORD length = GetShortPathNameW(wide.c_str(), buffer, MAX_PATH);
    return length > 0 && length < MAX_PATH ? std::wstring(buffer, length) : std::wstring();
}

// An empty folder of the temporary folder's, for this test program alone.
std::string FreshFolder(const std::string& name) {
    char temp[MAX_PATH] = "";
    GetTempPathA(sizeof temp, temp);
    std::string root = std::string(temp) + "verriq-" + name + "-" + std::to_string(GetCurrentProcessId());
    RemoveTree(root);
    CreateDirectoryA(root.c_str(), nullptr);
    return root;
}

std::string Here() {
    wchar_t folder[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, folder);
    std::string here = FromWide(folder);
    return here.back() == '\\' ? here : here + "\\";
}

} // namespace

TEST(SameFile, SpellingsOfOnePathShareAKeyAndOtherPathsDoNot) {
    const std::string deep = "C:\\" + std::string(150, 'a') + "\\" + std::string(150, 'b') + "\\Brief.txt";
    struct Case {
        std::string one, other;
        bool same;
    } cases[] = {
        {"C:\\Daten\\Brief.txt", "c:\\daten\\BRIEF.TXT", true},
        {"C:\\Ärger\\Brief.txt", "C:\\ärger\\brief.txt", true},
        {"C:\\Daten\\Brief.txt", "\\\\?\\C:\\Daten\\Brief.txt", true},
        {"\\\\server\\freigabe\\a.txt", "\\\\?\\UNC\\server\\freigabe\\a.txt", true},
        {"\\\\server\\freigabe\\a.txt", "\\\\SERVER\\Freigabe\\A.txt", true},
        {"C:\\Daten\\Brief.txt", "C:\\Daten\\alt\\..\\.\\Brief.txt", true},
        {"C:\\Daten\\Brief.txt", "C:/Daten/Brief.txt", true},
        {"C:\\Daten\\Brief.txt", "C:\\Daten\\Brief.txt. ", true},
        {"Brief.txt", Here() + "Brief.txt", true},
        // Past the classic limit the system's form carries the prefix; the key does not.
        {deep, FromWide(ToWidePath(deep)), true},
        {deep, FromWide(L"\\\\?\\" + ToWide(deep)), true},
        // The final backslash is a folder row's mark: the folder's row is not its file's.
        {"C:\\Daten\\Ordner\\", "C:\\Daten\\Ordner", false},
        {"C:\\Daten\\Ordner\\", "c:\\daten\\ordner\\", true},
        // The literal form is taken as it stands: a trailing dot there is part of the name.
        {"C:\\Daten\\Brief.txt", "\\\\?\\C:\\Daten\\Brief.txt.", false},
        {"C:\\Daten\\Brief.txt", "D:\\Daten\\Brief.txt", false},
        {"\\\\server\\freigabe\\a.txt", "\\\\andere\\freigabe\\a.txt", false},
        {"C:\\Daten\\Brief.txt", "C:\\Daten\\Brief.txt:strom", false},
    };
    for (const Case& c : cases) {
        std::wstring one = FileKey(ToWidePath(c.one)), other = FileKey(ToWidePath(c.other));
        EXPECT_EQ(one == other, c.same)
            << c.one << " | " << c.other << " -> " << FromWide(one) << " | " << FromWide(other);
        EXPECT_NE(one.substr(0, 4), L"\\\\?\\") << c.one;
    }
}

TEST(SameFile, AShortNameIsWrittenOutLongWhereTheFileExists) {
    const std::string root = FreshFolder("samefile");
    const std::string folder = root + "\\Ein langer Ordnername";
    CreateDirectoryA(folder.c_str(), nullptr);
    const std::string file = folder + "\\Ein langer Dateiname.txt";
    WriteBytes(file, "Inhalt");
    std::wstring shortFile = ShortForm(file), shortFolder = ShortForm(folder);
    if (shortFile.find(L'~') == std::wstring::npos) GTEST_SKIP() << "no 8.3 names on this volume";

    const std::wstring longKey = FileKey(ToWidePath(file));
    struct Case {
        std::wstring path;
        bool same;
    } cases[] = {
        {shortFile, true},
        {L"\\\\?\\" + shortFile, true},
        {shortFolder + L"\\Ein langer Dateiname.txt", true},
        // A folder row spelled short is its folder's row, the mark kept.
        {shortFolder + L"\\", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FileKey(c.path) == longKey, c.same) << FromWide(c.path);
    EXPECT_EQ(FileKey(shortFolder + L"\\"), FileKey(ToWidePath(folder + "\\")));

    // Gone from the disk, the short form is all there is: it stays, and still is no other file's.
    DeleteFileA(file.c_str());
    EXPECT_NE(FileKey(shortFile).find(L'~'), std::wstring::npos);
    EXPECT_NE(FileKey(shortFile), longKey);
    RemoveTree(root);
}

class SameFileArriving : public MainWindowTest {};

TEST_F(SameFileArriving, AFileHandedOverTwiceInOtherSpellingsIsOneRowAndThatRowIsSelected) {
    std::string file = MakeFile("Ein langer Dateiname.txt"), other = MakeFile("anders.txt");
    CreateDirectoryA((root + "\\Zwischen").c_str(), nullptr);
    AddArrivingPaths({ToWide(file)});
    AddArrivingPaths({ToWide(other)});
    ASSERT_EQ(Protection().Files().size(), 2u);

    std::vector<std::wstring> spellings = {ToWide(root + "\\ZWISCHEN\\..\\ein langer dateiname.TXT")};
    std::wstring shortFile = ShortForm(file);
    if (shortFile.find(L'~') != std::wstring::npos) spellings.push_back(shortFile);
    for (const std::wstring& spelling : spellings) {
        AddArrivingPaths({spelling});
        EXPECT_EQ(Protection().Files().size(), 2u) << FromWide(spelling);
        EXPECT_EQ(ReadGadgetItemState(GadgetFileList, 0) & 1, 1) << FromWide(spelling);
        EXPECT_EQ(ReadGadgetItemState(GadgetFileList, 1) & 1, 0) << FromWide(spelling);
    }
    EXPECT_EQ(Protection().Files()[0].state, LockState::Held);
    EXPECT_EQ(Protection().UnprotectedRows(), 0);
}

TEST(FolderFacts, CountsNamesAndReleasedPartsReachTheTooltip) {
    const std::string root = FreshFolder("facts");
    const std::string folder = root + "\\Ordner\\";
    CreateDirectoryA(folder.c_str(), nullptr);
    CreateDirectoryA((folder + "Entwurf").c_str(), nullptr);
    std::vector<UniqueFile> busy;
    for (int i = 0; i < 8; ++i) {
        std::string name = folder + "datei" + std::to_string(i) + ".txt";
        WriteBytes(name, "Inhalt");
        // Three of them another program keeps open for itself.
        if (i % 3 == 0)
            busy.emplace_back(
                CreateFileW(ToWide(name).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    }
    WriteBytes(folder + "Entwurf\\text.txt", "Inhalt");
    {
        ProtectionModel model;
        std::wstring wide = ToWidePath(folder);
        model.Append(folder, wide, FileKey(wide), false);
        while (model.AnyFolderBusy())
            model.WorkFolders(50);
        const ProtectedTree& tree = *model.Files()[0].tree;

        TreeFacts facts = tree.Facts();
        EXPECT_EQ(facts.heldFiles, 6);
        EXPECT_EQ(facts.unheldFiles, 3);
        EXPECT_FALSE(facts.busy);
        EXPECT_FALSE(facts.tooMany);
        std::vector<std::pair<std::string, Unheld>> unheld;
        tree.ForEachUnheld([&](const std::wstring& name, const Unheld& why) {
            unheld.emplace_back(FromWide(name), why);
            return true;
        });
        ASSERT_EQ(unheld.size(), 3u);
        int visits = 0;
        tree.ForEachUnheld([&](const std::wstring&, const Unheld&) { return ++visits < 2; });
        EXPECT_EQ(visits, 2) << "a visitor that has seen enough stops the walk";

        // The text carries each fact: the counts, every name with its reason, and no others.
        std::string text = FolderSummary(tree);
        EXPECT_NE(text.find(FormatGroupedInteger(6)), std::string::npos) << text;
        EXPECT_NE(text.find(FormatGroupedInteger(3)), std::string::npos) << text;
        for (const auto& [name, why] : unheld) {
            EXPECT_EQ(why.state, LockState::InUse) << name;
            EXPECT_NE(text.find(name + ": " + LockReason(why)), std::string::npos) << name << "\n" << text;
        }
        EXPECT_EQ(unheld[0].first, "datei0.txt");
        EXPECT_EQ(text.find("datei1.txt"), std::string::npos) << text;
        EXPECT_EQ(UnprotectedReason(model.Files()[0]), text);

        // A part released: its name and its due time; what is held is counted without it.
        unsigned long long due = MonotonicMilliseconds() + 3 * 60 * 60 * 1000ULL;
        ASSERT_TRUE(model.ReleaseInside(0, L"Entwurf", due));
        ASSERT_EQ(tree.Releases().size(), 1u);
        EXPECT_EQ(tree.Facts().heldFiles, 5);
        text = FolderSummary(tree);
        EXPECT_NE(text.find("Entwurf: "), std::string::npos) << text;
        EXPECT_NE(text.find(DueClockText(due)), std::string::npos) << text;
        EXPECT_NE(text.find(FormatGroupedInteger(5)), std::string::npos) << text;

        // Everyone lets go: whole again, and a whole row has nothing to say.
        busy.clear();
        model.TakeBack(0);
        model.RetryUnheld(0);
        while (model.AnyFolderBusy())
            model.WorkFolders(50);
        model.MakeAllDue();
        model.RetryDueInFolders(1000);
        EXPECT_EQ(tree.Facts().unheldFiles, 0);
        EXPECT_EQ(UnprotectedReason(model.Files()[0]), "");
    }
    RemoveTree(root);
}
