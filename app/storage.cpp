#include "app/storage.h"

#include "app/application.h"
#include "app/protection/file_list_document.h"
#include "app/protection/protection_model.h"
#include "app/protection/release_period.h"
#include "framework/requesters.h"
#include "settings/files.h"
#include "settings/settings_document.h"
#include "settings/text.h"
#include "settings/wide_text.h"

#include <windows.h>

#include <iterator>

const char* const FileListName = "Dateien.ini";
const char* const SettingsName = "Einstellungen.ini";
const char* const SettingsGroup = "Einstellungen";
const char* const SpecialKeyName = "SpecialKey";
const char* const ReleasePeriodName = "Freigabe";

namespace {


// The last save of the list that failed: where and why. A failure already told is not told
// again until a save has succeeded.
std::string failedPath;
unsigned long failedError = 0;
bool failureTold = false;

// A list that stood there but could not be read at start is never replaced while we run: the
// paths in it would be lost without the user ever having seen them.
bool listUnread = false;
unsigned long unreadError = 0;

std::string MakerFolder() { return ReadEnvironmentVariable("appdata") + "\\Ondrak\\"; }

std::string DocumentPath(const char* product, const char* name) {
    return StorageFolder(product) + (name ? name : "");
}

void TellFailureOnce() {
    if (failureTold) return;
    failureTold = true;
    ShowMessageBox("Liste nicht gespeichert", SaveFailureText().c_str(), MB_OK | MB_ICONWARNING);
}

// The settings' last failed save, told as the list's is.
std::string settingsFailure;
bool settingsFailureTold = false;

void TellSettingsFailureOnce() {
    if (settingsFailureTold) return;
    settingsFailureTold = true;
    ShowMessageBox("Einstellungen nicht gespeichert", settingsFailure.c_str(), MB_OK | MB_ICONWARNING);
}

// Kept between saves: a list saved on every change reuses memory whose pages are in place.
std::string saveBuffer;

// The list's lines as the document stores them, from the protection model.
const std::string& ListDocumentBytes() {
    FileListEncoder encoder(saveBuffer, SystemAnsiCodePage());
    for (const ProtectedFile& file : Protection().Files()) {
        if (!file.readable) {
            encoder.Add(file.path);
            continue;
        }
        encoder.AddText(file.path);
        encoder.Add(ReadableSuffix);
    }
    encoder.Finish();
    return saveBuffer;
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
    WriteSettingNumber(ReleasePeriodName, DefaultReleaseMinutes);
    CloseSettings();
}

bool LoadFileList(const char* product, const char* name, std::vector<std::string>& lines) {
    std::string path = DocumentPath(product, name);
    std::string bytes;
    unsigned long error = 0;
    // A temporary file left by a save that died is not looked at: the list itself is whole.
    listUnread = false;
    lines.clear();
    if (!ReadFileListDocument(ToWidePath(path), &bytes, &error)) {
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return true;
        listUnread = true;
        unreadError = error;
        // An empty window without a word would look like a lost list.
        std::string text = "Die Liste der geschützten Dateien konnte nicht aus " + path +
                           " gelesen werden: " + SystemErrorText(error) +
                           ".\rDamit sie erhalten bleibt, wird sie bis zum nächsten Start nicht überschrieben.";
        ShowMessageBox("Liste nicht gelesen", text.c_str(), MB_OK | MB_ICONWARNING);
        return false;
    }
    lines = FileListLines(bytes);
    // The first save after start-up writes into the pages the list was read into.
    saveBuffer = std::move(bytes);
    return true;
}

void LoadSettings(const char* product, const char* name) {
    std::string path = DocumentPath(product, name);
    OpenSettings(path.c_str());
    SelectSettingsGroup(SettingsGroup);
    // Taken as read: a value outside A to Z stays until the user picks a letter.
    SpecialKey = ReadSettingNumber(SpecialKeyName, DefaultSpecialKey);
    SetReleaseMinutes(ParseReleaseMinutes(FindSettingValue(ReleasePeriodName)));
    CloseSettings();
}

bool SaveFileList(const char* product, const char* name) {
    std::string path = DocumentPath(product, name);
    // A storage folder deleted while we run is made again rather than losing the list.
    if (QueryFileSize(StorageFolder(product).c_str()) != FileSizeFolder) EnsureStorageFolders(product);
    unsigned long error = listUnread ? unreadError : 0;
    if (!listUnread && ReplaceFileListDocument(ToWidePath(path), ListDocumentBytes(), &error)) {
        failureTold = false;
        return true;
    }
    failedPath = path;
    failedError = error;
    return false;
}

bool SaveSettings(const char* product, const char* name) {
    std::string path = DocumentPath(product, name);
    bool saved = CreateSettings(path.c_str()) != 0;
    unsigned long error = saved ? 0 : GetLastError();
    SelectSettingsGroup(SettingsGroup);
    WriteSettingNumber(SpecialKeyName, SpecialKey);
    WriteSettingNumber(ReleasePeriodName, ReleaseMinutes());
    if (!CloseSettings() && saved) {
        saved = false;
        error = GetLastError();
    }
    if (saved) {
        settingsFailureTold = false;
        return true;
    }
    settingsFailure = "Die Einstellungen konnten nicht in " + path +
                      " gespeichert werden: " + SystemErrorText(error) +
                      ".\rTastenkürzel und Freigabedauer gelten, solange " + ProductName + " läuft.";
    return false;
}

void OnSettingsChanged() {
    if (!SaveSettings(ProductName, SettingsName)) TellSettingsFailureOnce();
}

void OnFileListChanged() {
    if (!SaveFileList(ProductName, FileListName)) TellFailureOnce();
}

bool SaveDocuments() {
    bool saved = SaveFileList(ProductName, FileListName);
    if (!SaveSettings(ProductName, SettingsName)) TellSettingsFailureOnce();
    if (!saved) TellFailureOnce();
    return saved;
}

void SaveDocumentsQuietly() {
    SaveFileList(ProductName, FileListName);
    SaveSettings(ProductName, SettingsName);
}

bool SaveForQuit() {
    bool saved = SaveFileList(ProductName, FileListName);
    // The hot key is not worth staying for, yet the user learns that it is not kept.
    if (!SaveSettings(ProductName, SettingsName)) TellSettingsFailureOnce();
    if (saved) return true;
    std::string text = SaveFailureText() +
                       "\r\rTrotzdem beenden? Dann sind die Dateien nicht mehr geschützt, und die Änderungen "
                       "seit dem letzten Speichern fehlen beim nächsten Start. Mit ''Nein'' kehren Sie zum "
                       "Programmfenster zurück.";
    return ShowMessageBox("Liste nicht gespeichert", text.c_str(), MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2) == IDYES;
}

bool SaveForRequestedQuit() {
    bool saved = SaveFileList(ProductName, FileListName);
    SaveSettings(ProductName, SettingsName);
    return saved;
}

std::string SaveFailureText() {
    return "Die Liste der geschützten Dateien konnte nicht in " + failedPath +
           " gespeichert werden: " + SystemErrorText(failedError) + ".\rDie Dateien bleiben geschützt, solange " +
           ProductName + " läuft.";
}


