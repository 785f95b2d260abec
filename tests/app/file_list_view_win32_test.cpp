// The file list as the model's view: ten thousand entries are ten thousand rows that say what
// their entries say, red exactly where an entry is not held, and the selection and texts follow
// the entries when some go.
#include "app/protected_files.h"

#include "controls/gadget.h"
#include "controls/list_gadget.h"
#include "settings/file_list_codec.h"
#include "tests/app/app_test_support.h"

#include <string>
#include <vector>

using namespace apptest;

namespace {

constexpr int ManyFiles = 10000;

int TextColor(int row) { return ReadGadgetItemColor(GadgetFileList, row, ColorText, 0); }
std::string Cell(int row, int column) { return ReadGadgetItemText(GadgetFileList, row, column); }

} // namespace

class FileListView : public MainWindowTest {};

TEST_F(FileListView, TenThousandEntriesAreRowsInTheirColoursAndFollowRemovals) {
    // A few files that exist among many that do not: the missing ones cannot be held.
    std::vector<std::string> lines;
    std::vector<int> existing = {0, 4321, ManyFiles - 1};
    for (int i = 0; i < ManyFiles; ++i) lines.push_back(root + "\\fehlt\\" + std::to_string(i) + ".txt");
    for (int i : existing) lines[i] = MakeFile(std::to_string(i) + ".txt");
    lines[17] += std::string(ReadableSuffix); // read allowed, as the list document says it
    AddListedFiles(lines);

    ASSERT_EQ(Protection().Size(), static_cast<std::size_t>(ManyFiles));
    ASSERT_EQ(GadgetItemCount(GadgetFileList), ManyFiles);
    for (int row : {0, 1, 17, 4321, 4322, ManyFiles - 2, ManyFiles - 1}) {
        const ProtectedFile& file = Protection().Files()[row];
        EXPECT_EQ(Cell(row, 0), file.path) << row;
        EXPECT_EQ(Cell(row, 1), LevelText(file.readable)) << row;
        EXPECT_EQ(TextColor(row), file.state == LockState::Held ? -1 : FailedLockColor) << row;
    }
    EXPECT_TRUE(Protection().Files()[17].readable);
    EXPECT_EQ(TextColor(4321), -1);
    EXPECT_EQ(TextColor(4322), FailedLockColor);

    // The last three and one in the middle go; the rest move up and nothing stays selected.
    for (int row : {2, ManyFiles - 3, ManyFiles - 2, ManyFiles - 1}) Select(row);
    std::string after = Protection().Files()[3].path;
    std::string middle = Protection().Files()[4321].path;
    RemoveSelectedFiles();
    ASSERT_EQ(GadgetItemCount(GadgetFileList), ManyFiles - 4);
    EXPECT_EQ(Cell(2, 0), after);
    EXPECT_EQ(Cell(4320, 0), middle);
    EXPECT_EQ(TextColor(4320), -1) << "the held row's colour moved with it";
    EXPECT_EQ(ReadGadgetState(GadgetFileList), -1);
    EXPECT_FALSE(RemoveEnabled());
    EXPECT_EQ(Protection().HeldCount(), 2);

    // Files chosen again that are listed already are selected, not listed twice.
    AddChosenFiles({Protection().Files()[4320].path, root + "\\neu.txt"});
    ASSERT_EQ(GadgetItemCount(GadgetFileList), ManyFiles - 3);
    EXPECT_EQ(Cell(ManyFiles - 4, 0), root + "\\neu.txt");
    EXPECT_EQ(ReadGadgetState(GadgetFileList), 4320);

    ReleaseAllProtectedFiles();
    EXPECT_EQ(GadgetItemCount(GadgetFileList), 0);
}
