// A long command line handed to the running copy: 150 quoted paths of about a hundred
// characters each arrive whole, each is listed and held, and the caller's exit code says 0 only
// when every path arrived; a path the running copy refuses makes it say otherwise.
#include "tests/e2e/driver.h"

#include <algorithm>
#include <cstdio>

using namespace e2e;

namespace {

constexpr int Paths = 150;
// Each quoted path with its blank takes about this much of the line, as the Explorer's and
// scripts' long paths do.
constexpr std::size_t QuotedLength = 97;

} // namespace

class LongLine : public VerriqTest {
  protected:
    // Files whose quoted paths fill about QuotedLength characters each.
    std::vector<std::string> MakeFiles(const std::string& stem, int count) {
        std::vector<std::string> files;
        for (int i = 0; i < count; ++i) {
            char number[8];
            std::snprintf(number, sizeof number, "-%03d", i);
            std::string prefix = box.files + "\\" + stem + number + " ";
            std::size_t fill = QuotedLength > prefix.size() + 7 ? QuotedLength - prefix.size() - 7 : 1;
            std::string name = stem + number + " " + std::string(fill, 'x') + ".txt";
            files.push_back(box.MakeFile(name, "Inhalt " + std::to_string(i)));
        }
        return files;
    }
    static std::string Quoted(const std::vector<std::string>& paths) {
        std::string line;
        for (const std::string& path : paths)
            line += " \"" + path + "\"";
        return line;
    }
    // Starts a second Verriq with the line and gives its exit code (-1: still running after 60 s).
    long HandOver(const std::string& arguments) {
        Verriq caller;
        EXPECT_TRUE(caller.Start(box.appdata, exe + arguments, box.root));
        long code = caller.WaitExit(60000);
        EXPECT_TRUE(caller.TopWindows().empty());
        return code;
    }
    std::string exe = "\"" + VerriqExe() + "\"";
};

TEST_F(LongLine, HundredFiftyPathsArriveWhole) {
    std::vector<std::string> files = MakeFiles("Jahresabschluss Belege", Paths);
    std::string arguments = " /SCHUETZEN" + Quoted(files);
    ASSERT_GT(arguments.size(), 14000u);
    Start(0);
    DWORD start = GetTickCount();
    EXPECT_EQ(HandOver(arguments), 0) << arguments.size() << " characters";
    EXPECT_TRUE(Holding(Paths, 10000 - static_cast<int>(GetTickCount() - start)));
    std::vector<std::string> rows = verriq.Rows();
    std::sort(rows.begin(), rows.end());
    EXPECT_EQ(rows, files);
    // On disk at once, every one of them.
    std::string list = ReadBytes(box.fileList());
    for (const std::string& file : files)
        EXPECT_NE(list.find(file.substr(file.rfind('\\') + 1)), std::string::npos) << file;
    for (int i : {0, Paths / 2, Paths - 1})
        EXPECT_TRUE(LockedAgainstOthers(files[i], "Inhalt " + std::to_string(i), box.root)) << files[i];
    EXPECT_EQ(MainWindows(false), 1);
    Quit();
}

TEST_F(LongLine, ARefusedPathIsTold) {
    std::vector<std::string> files = MakeFiles("Abgelehnt dazwischen", 4);
    Start(0);
    // Characters no file name may hold: the running copy refuses this one path.
    std::string refused = box.files + "\\frage?.txt";
    long code = HandOver(" /schuetzen" + Quoted({files[0], files[1]}) + Quoted({refused}) +
                         Quoted({files[2], files[3]}));
    EXPECT_NE(code, 0);
    EXPECT_NE(code, -1);
    ASSERT_TRUE(Holding(4, 10000));
    std::vector<std::string> rows = verriq.Rows();
    std::sort(rows.begin(), rows.end());
    EXPECT_EQ(rows, files);
    // A path too long for any receiver, alone: refused too, and told.
    code = HandOver(" /schuetzen \"" + box.files + "\\" + std::string(1100, 'y') + ".txt\"");
    EXPECT_NE(code, 0);
    EXPECT_NE(code, -1);
    // The same paths again: listed already, so they arrived.
    EXPECT_EQ(HandOver(" /schuetzen" + Quoted(files)), 0);
    Sleep(800);
    EXPECT_EQ(verriq.RowCount(), 4);
    Quit();
}
