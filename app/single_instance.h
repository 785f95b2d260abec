// One Verriq per user and storage folder. The first copy holds a named mutex in the session's
// namespace; a later start finds it there, asks the running copy to show its window through a
// registered message and ends without touching the documents.
#pragma once

#include <windows.h>

#include <string>

// Names derived from the storage folder (case ignored), so that copies with other folders,
// other users and other sessions never meet.
std::wstring InstanceMutexName(const std::string& storageFolder);
std::wstring ShowRequestName(const std::string& storageFolder);
// The property the copy for this folder sets on its main window once it takes paths in.
std::wstring HandOverPropertyName(const std::string& storageFolder);

// True when no other copy runs for this folder; the claim lasts until the process ends. A
// mutex that cannot be made at all claims nothing and lets this copy run.
bool ClaimInstance(const std::string& storageFolder);
// Whether a copy for this folder holds the claim, looked at without taking it.
bool InstanceClaimed(const std::string& storageFolder);
// The message that asks the copy for this folder to show its main window in front.
UINT ShowRequestMessage(const std::string& storageFolder);
// Asks the running copy for this folder to show its main window; true when the request went out.
bool AskRunningCopyToShow(const std::string& storageFolder);
