// Which program keeps a file open. Restart Manager is asked first; where it names nobody (as
// under Wine), the system's handle table is searched: the handles of every process the user may
// open are duplicated and asked for their file's path. That can hang on some pipes, so all of
// it runs on a thread of its own, each handle's questions on one that can be abandoned, and the
// window only ever gets a posted message. No window code here.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// Asked again at most this often while a file stays busy.
constexpr unsigned long long HolderAskInterval = 30000;

// Answers are announced to window with message (wParam and lParam 0) from now on.
void StartHolderLookup(HWND window, unsigned message);
// A file that another program keeps open, the question about it and its answer: one record all
// the way, so that the program carries one kind of list for it.
struct BusyFile {
    std::wstring key;    // as rows compare it (FileKey)
    std::wstring path;   // to ask with
    std::string program; // the answer: "WINWORD.EXE", or "WINWORD.EXE: Microsoft Word"; empty: nobody
    unsigned long long asked = 0; // tick of the last question
};

// Asks who holds the file, unless it was asked within the interval before tick now. Main
// thread only.
void AskHolder(const BusyFile& file, unsigned long long now);
// Forgets the questions about files no longer busy, so that a file that becomes busy again is
// asked about at once. Main thread only.
void ForgetHoldersOfOthers(const std::vector<BusyFile>& busy);
// The answers that arrived since the last call.
std::vector<BusyFile> TakeHolderAnswers();

// The search itself, on the calling thread: the programs that have the file at path open, as
// the row shows them; empty when nobody is found within about limit milliseconds.
std::string FindHolders(const std::wstring& path, unsigned long limitMilliseconds);
// The search through the handle table alone (Restart Manager left out).
std::string FindHoldersInHandleTable(const std::wstring& path, unsigned long limitMilliseconds);
