// How fast rows go into a visible report list: one InsertGadgetItem at a time, as a single
// append behaves, against the same rows in one batch (AddGadgetItems), which suspends redrawing.
// Prints rows per second for both and their ratio.
#include "controls/gadget.h"
#include "controls/list_gadget.h"
#include "core/clock_win32.h"
#include "framework/window.h"

#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr Number BenchWindow = 0;
constexpr Number BenchList = 1;

void Pump() {
    while (WaitEventTimeout(0)) {
    }
}

void FreshList() {
    CreateListGadget(BenchList, 0, 47, 400, 300, "Geschützte Dateien", 0, 0x4001000C);
    SendMessageA(GadgetHandle(BenchList), LVM_SETCOLUMNWIDTH, 0, LVSCW_AUTOSIZE_USEHEADER);
    Pump();
}

} // namespace

int main(int argc, char** argv) {
    int rows = argc > 1 ? std::atoi(argv[1]) : 10000;
    InitWindows();
    InitGadgets();
    OpenTopWindow(BenchWindow, 0, 0, 400, 400, "Liste", 0xCD0001, nullptr);

    std::vector<std::string> texts;
    for (int i = 0; i < rows; ++i)
        texts.push_back("C:\\Users\\Benutzer\\Dokumente\\Ordner " + std::to_string(i / 100) + "\\Datei " +
                        std::to_string(i) + ".txt");
    std::vector<const char*> pointers;
    for (const std::string& text : texts)
        pointers.push_back(text.c_str());

    FreshList();
    double start = MonotonicSeconds();
    for (const char* text : pointers)
        InsertGadgetItem(BenchList, -1, text, nullptr, 0);
    Pump();
    double single = MonotonicSeconds() - start;
    int singleCount = GadgetItemCount(BenchList);

    FreshList(); // the number's reuse frees the first list
    start = MonotonicSeconds();
    int added = AddGadgetItems(BenchList, pointers.data(), static_cast<int>(pointers.size()));
    Pump();
    double batch = MonotonicSeconds() - start;
    int batchCount = GadgetItemCount(BenchList);

    // The floor: the bare control messages, redrawing off, no gadget layer in between.
    FreshList();
    HWND list = GadgetHandle(BenchList);
    start = MonotonicSeconds();
    SendMessageA(list, WM_SETREDRAW, FALSE, 0);
    for (int i = 0; i < rows; ++i) {
        LVITEMA item{};
        item.mask = LVIF_TEXT;
        item.iItem = i;
        item.pszText = const_cast<char*>(pointers[i]);
        SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
    }
    SendMessageA(list, WM_SETREDRAW, TRUE, 0);
    RedrawWindow(list, nullptr, nullptr, RDW_ERASE | RDW_FRAME | RDW_INVALIDATE | RDW_ALLCHILDREN);
    Pump();
    double floor = MonotonicSeconds() - start;

    std::printf("rows: %d\n", rows);
    std::printf("one at a time: %d rows in %.3f s = %.0f rows/s (%.1f us/row)\n", singleCount, single,
                singleCount / single, single * 1e6 / singleCount);
    std::printf("batch:         %d rows in %.3f s = %.0f rows/s (%.1f us/row)\n", added, batch,
                batchCount / batch, batch * 1e6 / batchCount);
    std::printf("floor (bare LVM_INSERTITEMA, redraw off): %.3f s = %.0f rows/s (%.1f us/row)\n", floor,
                rows / floor, floor * 1e6 / rows);
    std::printf("ratio: batch is %.1f times faster than one at a time, %.2f times the floor\n",
                single / batch, batch / floor);
    CloseTopWindow(BenchWindow);
    return singleCount == rows && batchCount == rows ? 0 : 1;
}
