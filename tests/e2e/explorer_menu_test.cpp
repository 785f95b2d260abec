// The Explorer's menu and paths handed in from outside: both verbs' commands protect a file and a
// folder in the running copy, a dozen starts at once end with one Verriq holding all, and odd
// command lines or malformed blocks neither end nor hang it.
#include "tests/e2e/driver.h"

#include "app/handover.h"

#include <array>

using namespace e2e;

namespace {

const wchar_t* const FileVerb = L"Software\\Classes\\*\\shell\\Verriq";
const wchar_t* const FolderVerb = L"Software\\Classes\\Directory\\shell\\Verriq";

bool VerbThere(const wchar_t* verb) { return RegistryText(verb, nullptr) && RegistryText(std::wstring(verb) + L"\\command", nullptr); }

// The command as the Explorer runs it: the item in place of %1.
std::string ExplorerCommand(const wchar_t* verb, const std::string& item) {
    std::string command = RegistryText(std::wstring(verb) + L"\\command", nullptr).value_or("");
    size_t at = command.find("%1");
    return at == std::string::npos ? std::string() : command.replace(at, 2, item);
}

// What the Verriq at main answers to a block: its receipt, or -1 when it did not answer in time.
LRESULT SendBlock(HWND main, ULONG_PTR tag, const void* data, DWORD size) {
    COPYDATASTRUCT block{tag, size, const_cast<void*>(data)};
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(main, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&block), SMTO_ABORTIFHUNG, 5000, &result))
        return -1;
    return static_cast<LRESULT>(result);
}

std::wstring Block(const std::vector<std::string>& paths) {
    std::wstring block;
    for (const std::string& path : paths) block += ToWide(path) + L'\0';
    return block;
}

} // namespace

class ExplorerMenu : public VerriqTest {
  protected:
    void SetUp() override { TakeBack(); }
    void TearDown() override { TakeBack(); }
    static void TakeBack() {
        RegDeleteTreeW(HKEY_CURRENT_USER, FileVerb);
        RegDeleteTreeW(HKEY_CURRENT_USER, FolderVerb);
    }
    // A second start that hands its paths over shows nothing and ends with 0, or with another
    // code when the running copy refused one of them.
    void HandOver(const std::string& commandLine, const std::string& folder = {}, bool allTaken = true) {
        Verriq caller;
        ASSERT_TRUE(caller.Start(box.appdata, commandLine, folder)) << commandLine;
        long code = caller.WaitExit(40000);
        EXPECT_NE(code, -1) << commandLine;
        EXPECT_EQ(code == 0, allTaken) << code << " " << commandLine;
        EXPECT_TRUE(caller.TopWindows().empty());
    }
    bool Lists(const std::string& row) {
        std::vector<std::string> rows = verriq.Rows();
        return std::find(rows.begin(), rows.end(), row) != rows.end();
    }
    std::string exe = "\"" + VerriqExe() + "\"";
};

TEST_F(ExplorerMenu, TheEntryWritesBothVerbsWhoseCommandsProtectAFileAndAFolderAndOddInputNeitherEndsNorHangs) {
    std::string file = box.MakeFile("Vertrag.txt", "unterschrieben");
    std::string folder = box.files + "\\Belege", inside = folder + "\\Quittung.txt";
    MakeFolders(folder);
    WriteBytes(inside, "bezahlt");
    std::string relative = box.MakeFile("Notiz relativ.txt", "von nebenan");
    Start(0);
    ChooseMenuEntry(verriq.main(), 0, EntryOfferInExplorer);
    ASSERT_TRUE(WaitFor([] { return VerbThere(FileVerb) && VerbThere(FolderVerb); })) << "the verbs were not written";
    for (const wchar_t* verb : {FileVerb, FolderVerb})
        EXPECT_EQ(RegistryText(verb, L"Icon"), exe + ",0");
    ChooseMenuEntry(verriq.main(), 0, 0, "explorer_menu_checked");
    // The Explorer quotes the item in place of %1 and starts the command from its own folder.
    HandOver(ExplorerCommand(FileVerb, file), box.root);
    ASSERT_TRUE(Holding(1, 10000));
    EXPECT_TRUE(LockedAgainstOthers(file, "unterschrieben", box.root));
    HandOver(ExplorerCommand(FolderVerb, folder), box.root);
    ASSERT_TRUE(Holding(2, 10000));
    EXPECT_TRUE(Lists(folder + "\\"));
    EXPECT_TRUE(LockedAgainstOthers(inside, "bezahlt", box.root));
    // A script's relative path, made full against its own folder; the argument in any case.
    HandOver(exe + " /SCHUETZEN \"Notiz relativ.txt\"", box.files);
    ASSERT_TRUE(Holding(3, 10000));
    EXPECT_TRUE(Lists(relative));
    // Each change is on disk at once; the new row is the selection; one Verriq runs.
    EXPECT_NE(ReadBytes(box.fileList()).find("Notiz relativ.txt"), std::string::npos);
    EXPECT_TRUE(WaitFor([&] { return verriq.SelectedRows() == std::vector<int>{2}; })) << "the new row was not selected";
    EXPECT_EQ(MainWindows(false), 1);
    // A file already listed is selected, not listed again.
    HandOver(ExplorerCommand(FileVerb, file), box.root);
    EXPECT_TRUE(WaitFor([&] { return verriq.SelectedRows() == std::vector<int>{0}; })) << "the listed row was not selected";
    EXPECT_EQ(verriq.RowCount(), 3);
    ChooseMenuEntry(verriq.main(), 0, EntryOfferInExplorer);
    EXPECT_TRUE(WaitFor([] { return !VerbThere(FileVerb) && !VerbThere(FolderVerb); })) << "the verbs stayed";
    EXPECT_FALSE(RegistryText(FileVerb, L"Icon") || RegistryText(FolderVerb, L"Icon"));

    // Odd command lines and malformed blocks neither end nor hang the running copy.
    std::string good = box.MakeFile("gut.txt", "kommt dazu"), missing = box.files + "\\kommt noch.txt";
    // Refused one by one: an empty path, thousands of characters, characters no name may hold;
    // the good path and the one not there yet between them come through.
    std::string huge = box.files + "\\" + std::string(3000, 'x') + ".txt";
    HandOver(exe + " /schuetzen \"\" \"" + huge + "\" \"" + good + "\" \"" + box.files + "\\a<b>|c.txt\" \"" + missing +
             "\" \"" + box.files + "\\frage?.txt\"",
             {}, false);
    ASSERT_TRUE(WaitFor([&] { return verriq.RowCount() == 5; }, 10000)) << verriq.RowCount();
    EXPECT_TRUE(Lists(good) && Lists(missing));
    EXPECT_TRUE(Holding(4));
    // Nothing after the argument, or the argument alone with a blank: the copy stays as it is.
    HandOver(exe + " /schuetzen");
    HandOver(exe + " /Schuetzen \"   \"", {}, false);
    HWND main = verriq.main();
    std::wstring valid = Block({box.files + "\\per-nachricht.txt"});
    struct Case {
        const char* what;
        ULONG_PTR tag;
        std::wstring bytes;
        DWORD size; // in bytes; the block's own size when 0
    };
    std::wstring many;
    for (int i = 0; i <= static_cast<int>(MaxHandOverPaths); ++i) many += ToWide(box.files + "\\viele-" + std::to_string(i)) + L'\0';
    const Case cases[] = {
        {"another tag", HandOverTag - 1, valid, 0},
        {"no terminating zero", HandOverTag, ToWide(box.files + "\\ohne-ende.txt"), 0},
        {"an odd size", HandOverTag, valid, static_cast<DWORD>(valid.size() * 2 - 1)},
        {"no data", HandOverTag, L"", 0},
        {"a lone surrogate", HandOverTag, ToWide(box.files + "\\x") + L'\xD800' + L".txt" + L'\0', 0},
        {"too many paths", HandOverTag, many, 0},
        {"a size beyond the bound", HandOverTag, std::wstring(MaxHandOverBytes / 2 + 8, L'a') + L'\0', 0},
    };
    for (const Case& c : cases) {
        DWORD size = c.size ? c.size : static_cast<DWORD>(c.bytes.size() * sizeof(wchar_t));
        LRESULT answer = SendBlock(main, c.tag, c.bytes.data(), size);
        EXPECT_TRUE(answer != HandOverReceipt && answer != HandOverPathsRefused) << c.what << ": " << answer;
        DWORD_PTR result = 0;
        EXPECT_TRUE(verriq.Running() && SendMessageTimeoutW(main, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 3000, &result))
            << c.what;
    }
    Sleep(1000);
    EXPECT_EQ(verriq.RowCount(), 5) << "a malformed block added rows";
    // Taken: a well-formed block, its refused paths left out and the sender told.
    std::wstring mixed = Block({"", "relativ.txt", box.files + "\\per-nachricht.txt", "\\\\?\\C:\\geraet"});
    EXPECT_EQ(SendBlock(main, HandOverTag, mixed.data(), static_cast<DWORD>(mixed.size() * 2)), HandOverPathsRefused);
    EXPECT_TRUE(WaitFor([&] { return verriq.RowCount() == 6; })) << verriq.RowCount();
    Sleep(800);
    EXPECT_EQ(verriq.RowCount(), 6);
    EXPECT_TRUE(Lists(box.files + "\\per-nachricht.txt"));
    EXPECT_TRUE(LockedAgainstOthers(file, "unterschrieben", box.root));
    Quit();
}

TEST_F(ExplorerMenu, ADozenStartsAtOnceEndWithOneVerriqHoldingEveryFile) {
    constexpr int Starts = 12;
    std::array<Verriq, Starts> starts;
    std::vector<std::string> files;
    for (int i = 0; i < Starts; ++i) files.push_back(box.MakeFile("Bild-" + std::to_string(i) + ".jpg", "Bild " + std::to_string(i)));
    for (int i = 0; i < Starts; ++i)
        ASSERT_TRUE(starts[i].Start(box.appdata, exe + " /schuetzen \"" + files[i] + "\"", box.root));
    Verriq* first = nullptr;
    int ended = 0;
    for (Verriq& start : starts) {
        long code = start.WaitExit(60000);
        if (code == -1 && !first) {
            first = &start;
            continue;
        }
        EXPECT_EQ(code, 0);
        ++ended;
    }
    ASSERT_NE(first, nullptr) << "no Verriq kept running";
    EXPECT_EQ(ended, Starts - 1);
    ASSERT_NE(first->WaitMainWindow(), nullptr);
    EXPECT_TRUE(WaitFor([&] { return first->StatusText() == StatusFor(Starts); }, 20000)) << first->StatusText();
    EXPECT_EQ(first->RowCount(), Starts);
    EXPECT_EQ(MainWindows(false), 1);
    for (int i = 0; i < Starts; i += 5)
        EXPECT_TRUE(LockedAgainstOthers(files[i], "Bild " + std::to_string(i), box.root)) << files[i];
}
