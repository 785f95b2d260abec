// Keeps an eye on the handles Verriq holds: another program of the same user can close them
// from outside, and the value of a closed handle may be given to the next object we open. The
// guard finds the held handles that are no longer ours or name another file; it closes nothing
// and changes nothing itself. No window code here.
#pragma once

#include "app/protection/file_identity.h"
#include "app/protection/handle_table.h"

#include <windows.h>

#include <vector>

struct HeldLock {
    HANDLE value;
    FileIdentity identity;
    const void* owner;    // what holds it, so that a value held twice is told apart
    unsigned long access; // what it was opened with (GENERIC_READ, FILE_LIST_DIRECTORY)
};

class HandleGuard {
  public:
    // Of held (every handle Verriq holds right now, with the identity taken when each was
    // opened), the positions of those that are lost: no longer Verriq's, or naming another file. Cheap
    // while nothing happened: where the system counts our handles, nothing more is asked unless
    // the count fell short; elsewhere the system's table is read once.
    // A handle whose identity is still pending is judged by the table alone (see
    // CompareWithTable). cleared, when given, receives the positions of the pending ones the
    // table lists as ours beyond suspicion: their identity may be taken now, before this thread
    // opens anything else (the table is read for them even where the count said nothing).
    std::vector<std::size_t> FindLost(const std::vector<HeldLock>& held, std::vector<std::size_t>* cleared = nullptr);
    // How the last call decided, for measurements: true when it read the system's table.
    bool ReadTable() const { return readTable_; }

  private:
    std::vector<std::size_t> CompareWithTable(const std::vector<HeldLock>& held, std::vector<std::size_t>* cleared);

    HandleTable table_;
    std::vector<HandleEntry> own_;
    std::vector<std::pair<ULONG_PTR, unsigned long>> listed_; // value, granted access
    // Held handles found good although the system grants them other access than expected.
    std::vector<const void*> vouched_;
    unsigned short fileType_ = 0;
    bool fileTypeAsked = false;
    // Handles we own besides the held ones, at the last call; -1 before the first count.
    long long others_ = -1;
    bool readTable_ = false;
};

// The suspects among held (positions, ascending) given the file handles the table lists for our
// process (value and granted access, sorted): every held value the table does not list, every
// value held twice, and every value granted other access than its lock asked for, unless
// vouched for. Only these are asked about their identity.
// verdicts, when given, receives one entry per suspect: for a lock whose identity is pending,
// whether the table alone shows it lost. cleared receives the pending ones not suspected.
std::vector<std::size_t> Suspects(const std::vector<HeldLock>& held,
                                  const std::vector<std::pair<ULONG_PTR, unsigned long>>& listed,
                                  const std::vector<const void*>& vouched,
                                  std::vector<unsigned char>* verdicts = nullptr,
                                  std::vector<std::size_t>* cleared = nullptr);
