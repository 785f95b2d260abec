#include "app/storage.h"

#include "app/application.h"
#include "app/protected_files.h"
#include "controls/gadget.h"
#include "settings/files.h"
#include "settings/settings_document.h"

#include <vector>

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

void LoadFileList(const char* product, const char* name) {
    std::string path = DocumentPath(product, name);
    std::vector<std::string> paths;
    // A list that cannot be opened (a folder of that name, no rights) reads as empty; reading
    // an unopened file would never report its end.
    if (OpenDataFile(FileListFile, path.c_str())) {
        while (!IsEndOfFile(FileListFile))
            paths.push_back(ReadTextLine(FileListFile));
        CloseDataFile(FileListFile);
    }
    AddListedFiles(paths);
}

void LoadSettings(const char* product, const char* name) {
    std::string path = DocumentPath(product, name);
    OpenSettings(path.c_str());
    SelectSettingsGroup(SettingsGroup);
    // Taken as read: a value outside A to Z stays until the user picks a letter.
    SpecialKey = ReadSettingNumber(SpecialKeyName, DefaultSpecialKey);
    CloseSettings();
}

void SaveFileList(const char* product, const char* name) {
    std::string path = DocumentPath(product, name);
    // A list that cannot be created writes nothing; the entries in memory stay as they are.
    if (!CreateDataFile(FileListFile, path.c_str())) return;
    for (const ProtectedFile& file : ProtectedFileList())
        WriteTextLine(FileListFile, file.path.c_str());
    CloseDataFile(FileListFile);
}

void OnFileListChanged() { SaveFileList(ProductName, FileListName); }

void SaveSettings(const char* product, const char* name) {
    std::string path = DocumentPath(product, name);
    CreateSettings(path.c_str());
    SelectSettingsGroup(SettingsGroup);
    WriteSettingNumber(SpecialKeyName, SpecialKey);
    CloseSettings();
}
