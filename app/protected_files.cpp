#include "app/protected_files.h"

#include "app/application.h"
#include "controls/gadget.h"
#include "controls/status_bar.h"
#include "controls/toolbar.h"
#include "framework/requesters.h"
#include "settings/files.h"
#include "settings/linked_list.h"
#include "settings/text.h"

#include <windows.h>

#include <string>

LinkedList* ProtectedFiles = nullptr;

namespace {

// Appends the row's lock at the end of the list, keeping the pairing with the rows. False when
// no memory was left for the entry.
bool AppendLock(HFILE handle) {
    GoToElement(ProtectedFiles, ListCount(ProtectedFiles) - 1);
    auto* entry = static_cast<ProtectedFile*>(InsertAfterCurrent(ProtectedFiles));
    if (!entry) return false;
    entry->handle = handle;
    return true;
}

void MarkUnprotected(Number list, int row) { WriteGadgetItemColor(list, row, 1, FailedLockColor, -1); }

// Appends a row for path and locks the file. A row that could not be paired with an entry is
// taken out again, so that rows and locks never drift apart.
void AddProtectedFile(const char* path) {
    int row = GadgetItemCount(GadgetFileList);
    InsertGadgetItem(GadgetFileList, -1, path, nullptr, 0);
    if (GadgetItemCount(GadgetFileList) != row + 1) return;
    HFILE handle = OpenFileLock(path, LockMode);
    if (!AppendLock(handle)) {
        if (handle != HFILE_ERROR) _lclose(handle);
        DeleteGadgetItem(GadgetFileList, row);
        return;
    }
    if (handle == HFILE_ERROR) MarkUnprotected(GadgetFileList, row);
}

} // namespace

void CreateProtectedFileList() { ProtectedFiles = CreateLinkedList(sizeof(ProtectedFile), nullptr); }

void AddFiles() {
    std::string path = ShowOpenFileDialog("Dateien hinzufügen", "", "Alle Dateien|*.*", 0, 1);
    if (path.empty()) return;
    BeginGadgetBatch(GadgetFileList);
    while (!path.empty()) {
        AddProtectedFile(path.c_str());
        path = NextChosenFileName();
    }
    EndGadgetBatch(GadgetFileList);
    UpdateStatusText();
}

void RemoveSelectedFiles() {
    BeginGadgetBatch(GadgetFileList);
    for (int row; (row = ReadGadgetState(GadgetFileList)) != -1;) {
        if (auto* entry = static_cast<ProtectedFile*>(GoToElement(ProtectedFiles, row))) {
            // A row that was never held has nothing to release.
            if (entry->handle != HFILE_ERROR) _lclose(entry->handle);
            RemoveCurrentElement(ProtectedFiles);
        }
        DeleteGadgetItem(GadgetFileList, row);
    }
    EndGadgetBatch(GadgetFileList);
    SetToolbarButtonDisabled(ToolbarMain, ItemRemoveFiles, 1);
    UpdateStatusText();
}

void LockListedFiles(Number list) {
    BeginGadgetBatch(list);
    for (int row = 0, count = GadgetItemCount(list); row < count; ++row) {
        HFILE handle = OpenFileLock(ReadGadgetItemText(list, row, 0), LockMode);
        if (!AppendLock(handle)) {
            // Without an entry the row could never be released; do not hold what we cannot let go.
            if (handle != HFILE_ERROR) _lclose(handle);
            handle = HFILE_ERROR;
            AppendLock(handle);
        }
        if (handle == HFILE_ERROR) MarkUnprotected(list, row);
    }
    EndGadgetBatch(list);
    // The rows were counted before any file was held.
    UpdateStatusText();
}

void OnFileListEvent() {
    SetToolbarButtonDisabled(ToolbarMain, ItemRemoveFiles, ReadGadgetState(GadgetFileList) == -1 ? 1 : 0);
}

int HeldLockCount() {
    int held = 0;
    if (!ProtectedFiles) return 0;
    for (ListElement* element = ProtectedFiles->first; element; element = element->next)
        if (static_cast<ProtectedFile*>(ElementData(element))->handle != HFILE_ERROR) ++held;
    return held;
}

std::int32_t ProtectedFileHandle(int index) {
    if (!ProtectedFiles || index < 0 || index >= ListCount(ProtectedFiles)) return HFILE_ERROR;
    ListElement* element = ProtectedFiles->first;
    for (int i = 0; i < index; ++i) element = element->next;
    return static_cast<ProtectedFile*>(ElementData(element))->handle;
}

void UpdateStatusText() {
    int held = HeldLockCount();
    std::string text = FormatInteger(static_cast<std::int32_t>(held));
    text += held == 1 ? " Datei wird geschützt" : " Dateien werden geschützt";
    SetStatusFieldText(StatusBarMain, 0, text.c_str());
}
