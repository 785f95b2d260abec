// Locks closed behind the model's back, as another program closes them from outside: the
// identity check refuses a value that now names another file, the guard finds exactly the lost
// handles (a value given to a new file of ours among them), and taking them back closes nothing
// that may now be someone else's. The handle table's answer is checked before use.
#include "app/protection/handle_guard.h"
#include "app/protection/holder_lookup.h"
#include "app/protection/protection_model.h"

#include "settings/wide_text.h"
#include "tests/app/app_test_support.h"

#include <algorithm>
#include <cstdio>

using namespace apptest;

namespace {

class Scratch {
  public:
    explicit Scratch(const char* name) {
        char temp[MAX_PATH] = "";
        GetTempPathA(sizeof temp, temp);
        root = std::string(temp) + name + std::to_string(GetCurrentProcessId());
        RemoveTree(root);
        CreateDirectoryA(root.c_str(), nullptr);
    }
    ~Scratch() { RemoveTree(root); }
    std::string Make(const std::string& name) {
        std::string path = root + "\\" + name;
        WriteBytes(path, name);
        return path;
    }
    std::string root;
};

HANDLE Open(const std::string& path) {
    return CreateFileW(ToWidePath(path).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
}

} // namespace

TEST(FileIdentity, RefusesAHandleValueThatNowNamesAnotherFileOrNoFile) {
    Scratch scratch("verriq-identity-");
    std::string a = scratch.Make("a.txt"), b = scratch.Make("b.txt");
    HANDLE first = Open(a);
    ASSERT_NE(first, INVALID_HANDLE_VALUE);
    FileIdentity identity = TakeFileIdentity(first, ToWidePath(a));
    ASSERT_TRUE(identity.known);
    EXPECT_TRUE(StillNames(first, identity));
    // The value is closed behind our back and the system gives it to the next file opened.
    CloseHandle(first);
    HANDLE second = Open(b);
    ASSERT_NE(second, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(StillNames(second, identity));
    if (second == first) {
        EXPECT_FALSE(StillNames(first, identity)) << "the reused value was vouched for";
    }
    CloseHandle(second);
    // Not a file at all, or nothing.
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    EXPECT_FALSE(StillNames(event, identity));
    CloseHandle(event);
    EXPECT_FALSE(StillNames(first, identity));
    // Renaming keeps the identity: it names the file, not the path.
    HANDLE again = Open(a);
    FileIdentity before = TakeFileIdentity(again, ToWidePath(a));
    CloseHandle(again);
    ASSERT_TRUE(MoveFileA(a.c_str(), (scratch.root + "\\umbenannt.txt").c_str()));
    again = Open(scratch.root + "\\umbenannt.txt");
    EXPECT_TRUE(StillNames(again, before));
    CloseHandle(again);
}

TEST(HandleGuard, FindsExactlyTheLostHandlesAmongThousandsAndTheModelTakesThemBackWithoutClosingAnything) {
    Scratch scratch("verriq-guard-");
    ProtectionModel model;
    std::vector<std::string> paths;
    for (int i = 0; i < 300; ++i) {
        paths.push_back(scratch.Make("datei" + std::to_string(i) + ".txt"));
        std::wstring wide = ToWidePath(paths.back());
        model.Append(paths.back(), wide, FileKey(wide), i % 2 == 1);
    }
    std::vector<HeldLock> held;
    model.CollectHeld(held);
    ASSERT_EQ(held.size(), 300u);
    HandleGuard guard;
    EXPECT_EQ(guard.FindLost(held), std::vector<std::size_t>{});

    // Two closed from outside; the value of one goes to a file another part of us opens, the
    // way the list document is written.
    CloseHandle(held[10].value);
    CloseHandle(held[201].value);
    std::string stranger = scratch.Make("fremd.txt");
    HANDLE reused =
        CreateFileW(ToWidePath(stranger).c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(reused, INVALID_HANDLE_VALUE);
    std::vector<std::size_t> lost = guard.FindLost(held);
    EXPECT_EQ(lost, (std::vector<std::size_t>{10, 201}));

    std::vector<const void*> owners;
    for (std::size_t index : lost)
        owners.push_back(held[index].owner);
    std::vector<TakenBack> outcome = model.TakeBackLost(owners);
    ASSERT_EQ(outcome.size(), 2u);
    EXPECT_EQ(outcome[0].row, 10);
    EXPECT_FALSE(outcome[0].Failed());
    EXPECT_EQ(outcome[1].row, 201);
    // The stranger's handle is still open and still names its file: nothing of ours closed it.
    BY_HANDLE_FILE_INFORMATION information;
    EXPECT_TRUE(GetFileInformationByHandle(reused, &information));
    EXPECT_TRUE(IsHeld(paths[10]));
    // At its row's level: others may read it, not change it.
    EXPECT_EQ(WhatGotThrough(paths[201]), ReadingOnly);
    held.clear();
    model.CollectHeld(held);
    EXPECT_EQ(guard.FindLost(held), std::vector<std::size_t>{});

    // The same value held twice (ours given to the file of a new row) is wrong for one of them.
    CloseHandle(held[20].value);
    std::string newer = scratch.Make("neu.txt");
    UniqueFile otherRow(Open(newer));
    std::vector<HeldLock> twice = held;
    twice.push_back(
        HeldLock{otherRow.get(), TakeFileIdentity(otherRow.get(), ToWidePath(newer)), nullptr, GENERIC_READ});
    lost = guard.FindLost(twice);
    EXPECT_EQ(lost, std::vector<std::size_t>{20});
    model.TakeBackLost({held[20].owner});
    EXPECT_TRUE(IsHeld(paths[20]));
    EXPECT_TRUE(GetFileInformationByHandle(otherRow.get(), &information))
        << "taking back closed a value not ours";
    CloseHandle(reused);
}

TEST(HandleGuard, FolderTreesAreCheckedAndTakenBackToo) {
    Scratch scratch("verriq-guard-tree-");
    CreateDirectoryA((scratch.root + "\\Ordner").c_str(), nullptr);
    std::string inside = scratch.Make("Ordner\\drin.txt");
    ProtectionModel model;
    std::wstring wide = ToWidePath(scratch.root + "\\Ordner\\");
    model.Append(scratch.root + "\\Ordner\\", wide, FileKey(wide), false);
    while (model.AnyFolderBusy())
        model.WorkFolders(50);
    std::vector<HeldLock> held;
    model.CollectHeld(held);
    ASSERT_EQ(held.size(), 2u); // the folder and its file
    for (const HeldLock& lock : held)
        CloseHandle(lock.value);
    HandleGuard guard;
    std::vector<std::size_t> lost = guard.FindLost(held);
    ASSERT_EQ(lost.size(), 2u);
    std::vector<TakenBack> outcome = model.TakeBackLost({held[0].owner, held[1].owner});
    ASSERT_EQ(outcome.size(), 2u);
    for (const TakenBack& file : outcome)
        EXPECT_FALSE(file.Failed()) << file.name;
    EXPECT_TRUE(IsHeld(inside));
    EXPECT_EQ(model.HeldCount(), 1);
    EXPECT_FALSE(MoveFileA((scratch.root + "\\Ordner").c_str(), (scratch.root + "\\Anders").c_str()));
}

TEST(HandleTable, RefusesAnAnswerWhoseCountDoesNotFitAndFindsOurOwnFiles) {
    // A count far beyond the bytes returned, and an entry size smaller than a record.
    std::vector<unsigned char> bytes(2 * sizeof(ULONG_PTR) + 3 * 40, 0);
    ULONG_PTR count = 1000000;
    memcpy(bytes.data(), &count, sizeof count);
    std::vector<HandleEntry> entries;
    EXPECT_FALSE(ParseHandleTable(bytes.data(), bytes.size(), 40, 0, entries));
    EXPECT_FALSE(ParseHandleTable(bytes.data(), bytes.size(), 4, 0, entries));
    EXPECT_FALSE(ParseHandleTable(bytes.data(), 3, 40, 0, entries));
    EXPECT_TRUE(entries.empty());

    Scratch scratch("verriq-table-");
    UniqueFile own(Open(scratch.Make("x.txt")));
    HandleTable table;
    ASSERT_TRUE(table.Read(GetCurrentProcessId(), entries));
    EXPECT_NE(FileTypeIndex(own.get(), entries), 0);
    for (const HandleEntry& entry : entries)
        EXPECT_EQ(entry.process, GetCurrentProcessId());
}

TEST(HolderLookup, NamesTheProgramThatHoldsAFileAndNobodyForAFileNobodyHolds) {
    Scratch scratch("verriq-holder-");
    std::string path = scratch.Make("offen.txt");
    // Our own process is never named (a second row is told apart elsewhere); the test's own
    // handle on the file names nobody, and a missing file nobody either. Naming another program
    // is the end-to-end suite's part.
    UniqueFile own(Open(path));
    EXPECT_EQ(FindHoldersInHandleTable(ToWidePath(path), 2000), "");
    EXPECT_EQ(FindHolders(ToWidePath(scratch.root + "\\fehlt.txt"), 2000), "");
}

// At start-up a lock's identity is taken late, once the table lists it as ours. A lock closed
// from outside before that, whose value then goes to a lock opened after it, must be found lost
// on the table's word alone, and the late identity must never be taken of the file that has
// the value now: it would vouch for the wrong file from then on.
TEST(HandleGuard, ALockClosedBeforeItsLateIdentityIsFoundLostAndTheLateIdentitiesNameTheRightFiles) {
    Scratch scratch("verriq-late-");
    ProtectionModel model;
    std::vector<std::string> paths;
    auto append = [&](const std::string& name) {
        paths.push_back(scratch.Make(name));
        std::wstring wide = ToWidePath(paths.back());
        model.Append(paths.back(), wide, FileKey(wide), false);
    };
    for (int i = 0; i < 40; ++i)
        append("datei" + std::to_string(i) + ".txt");
    std::vector<HeldLock> held;
    model.CollectHeld(held);
    ASSERT_EQ(held.size(), 40u);

    // Row 3 is closed from outside and its value goes to the lock of a row added afterwards;
    // row 8 is closed and its value goes to a handle of ours that writes, as the list does;
    // row 12 is closed and nothing takes its value.
    HANDLE value3 = held[3].value;
    CloseHandle(held[3].value);
    append("neu.txt");
    CloseHandle(held[8].value);
    std::string stranger = scratch.Make("fremd.txt");
    UniqueFile writer(
        CreateFileW(ToWidePath(stranger).c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(writer.valid());
    CloseHandle(held[12].value);
    held.clear();
    model.CollectHeld(held);
    ASSERT_EQ(held.size(), 41u);
    if (held[40].value != value3) std::puts("the new row did not get the closed value; the rest still counts");

    HandleGuard guard;
    std::vector<std::size_t> cleared;
    std::vector<std::size_t> lost = guard.FindLost(held, &cleared);
    EXPECT_EQ(lost, (std::vector<std::size_t>{3, 8, 12}));
    for (std::size_t index : {3u, 8u, 12u})
        EXPECT_EQ(std::count(cleared.begin(), cleared.end(), index), 0) << "row " << index << " was cleared";
    // In slices, as the defence takes them: a budget of none still takes one at a time.
    std::size_t taken = 0;
    for (int slice = 0; slice < 100 && taken < cleared.size(); ++slice)
        taken += model.TakeLateIdentities(held, cleared, 0);
    EXPECT_EQ(taken, cleared.size());
    EXPECT_EQ(model.TakeLateIdentities(held, cleared, 50), 0u) << "an identity was taken twice";

    std::vector<TakenBack> outcome = model.TakeBackLost({held[3].owner, held[8].owner, held[12].owner});
    ASSERT_EQ(outcome.size(), 3u);
    for (const TakenBack& file : outcome)
        EXPECT_FALSE(file.Failed()) << file.name;
    for (const std::string& path : paths)
        EXPECT_TRUE(IsHeld(path)) << path;
    BY_HANDLE_FILE_INFORMATION information;
    EXPECT_TRUE(GetFileInformationByHandle(writer.get(), &information)) << "taking back closed a value not ours";

    // The late identities name each row's own file: a value given away later is refused.
    held.clear();
    model.CollectHeld(held);
    cleared.clear();
    EXPECT_EQ(guard.FindLost(held, &cleared), std::vector<std::size_t>{});
    model.TakeLateIdentities(held, cleared, 1000);
    held.clear();
    model.CollectHeld(held);
    for (std::size_t i = 0; i < held.size(); ++i) {
        ASSERT_TRUE(held[i].identity.known) << "row " << i;
        BY_HANDLE_FILE_INFORMATION own;
        HANDLE check = CreateFileW(ToWidePath(paths[i]).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                   nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(check, INVALID_HANDLE_VALUE);
        ASSERT_TRUE(GetFileInformationByHandle(check, &own));
        CloseHandle(check);
        EXPECT_EQ(held[i].identity.index,
                  (static_cast<unsigned long long>(own.nFileIndexHigh) << 32) | own.nFileIndexLow)
            << paths[i];
    }
}
