#include "app/storage.h"

#include "app/application.h"
#include "app/protected_files.h"
#include "controls/gadget.h"
#include "settings/files.h"
#include "settings/settings_document.h"

const char* const FileListName = "Dateien.ini";
const char* const SettingsName = "Einstellungen.ini";
const char* const SettingsGroup = "Einstellungen";
const char* const SpecialKeyName = "SpecialKey";

namespace {

std::string MakerFolder() { return ReadEnvironmentVariable("appdata") + "\\Ondrak\\"; }

std::string DocumentPath(const char* product, const char* name) {
    return StorageFolder(product) + (name ? name : "");
}

} // namespace

std::string StorageFolder(const char* product) { return MakerFolder() + (product ? product : "") + "\\"; }

void EnsureStorageFolders(const char* product) {
    std::string maker = MakerFolder();
    if (QueryFileSize(maker.c_str()) != FileSizeFolder) MakeDirectory(maker.c_str());
    std::string storage = StorageFolder(product);
    if (QueryFileSize(storage.c_str()) != FileSizeFolder) MakeDirectory(storage.c_str());
}

void EnsureFileListDocument(const char* product, const char* name) {
    std::string path = DocumentPath(product, name);
    // Only where nothing is: an existing list, or a folder of that name, is left alone.
    if (QueryFileSize(path.c_str()) != FileSizeNothing) return;
    CreateDataFile(FileListFile, path.c_str());
    CloseDataFile(FileListFile);
}

void EnsureSettingsDocument(const char* product, const char* name) {
    std::string path = DocumentPath(product, name);
    if (QueryFileSize(path.c_str()) != FileSizeNothing) return;
    CreateSettings(path.c_str());
    SelectSettingsGroup(SettingsGroup);
    WriteSettingNumber(SpecialKeyName, DefaultSpecialKey);
    CloseSettings();
}

void LoadFileList(Number list, const char* product, const char* name) {
    std::string path = DocumentPath(product, name);
    // A list that cannot be opened (a folder of that name, no rights) reads as empty; reading
    // an unopened file would never report its end.
    if (OpenDataFile(FileListFile, path.c_str())) {
        // Thousands of rows must not cost a repaint each.
        BeginGadgetBatch(list);
        while (!IsEndOfFile(FileListFile)) {
            std::string line = ReadTextLine(FileListFile);
            InsertGadgetItem(list, -1, line.c_str(), nullptr, 0);
        }
        EndGadgetBatch(list);
        CloseDataFile(FileListFile);
    }
    UpdateStatusText();
}

void LoadSettings(const char* product, const char* name) {
    std::string path = DocumentPath(product, name);
    OpenSettings(path.c_str());
    SelectSettingsGroup(SettingsGroup);
    // Taken as read: a value outside A to Z stays until the user picks a letter.
    SpecialKey = ReadSettingNumber(SpecialKeyName, DefaultSpecialKey);
    CloseSettings();
}

void SaveFileList(Number list, const char* product, const char* name) {
    std::string path = DocumentPath(product, name);
    // A list that cannot be created writes nothing; the rows in memory stay as they are.
    if (!CreateDataFile(FileListFile, path.c_str())) return;
    for (int row = 0, count = GadgetItemCount(list); row < count; ++row)
        WriteTextLine(FileListFile, ReadGadgetItemText(list, row, 0));
    CloseDataFile(FileListFile);
}

void SaveSettings(const char* product, const char* name) {
    std::string path = DocumentPath(product, name);
    CreateSettings(path.c_str());
    SelectSettingsGroup(SettingsGroup);
    WriteSettingNumber(SpecialKeyName, SpecialKey);
    CloseSettings();
}
