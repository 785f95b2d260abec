// Verriq's own view of the system's table of open handles: which handles a process has, and of
// which kind of object. The table comes from outside: its sizes and counts are checked before
// anything is read, and its buffer grows only up to a bound. No window code here.
#pragma once

#include <windows.h>

#include <cstddef>
#include <vector>

struct HandleEntry {
    ULONG_PTR process = 0;    // the owner's process id
    ULONG_PTR value = 0;      // the handle's value in that process
    unsigned long access = 0; // granted access
    unsigned short type = 0;  // object type index, the same for every object of one kind
};

class HandleTable {
  public:
    // Reads the table anew and keeps the entries of process (every process for 0). False when
    // the system has no such table or its answer does not add up; entries is empty then.
    bool Read(ULONG_PTR process, std::vector<HandleEntry>& entries);

  private:
    std::vector<unsigned char> buffer_; // kept from one read to the next: the table's size changes little
};

// Checks one answer of the system (bytes long, of which returned were filled) and appends the
// entries of process (0: all). entrySize: the size of one record, which the system gives no
// other way. False for an answer whose count does not fit in what was returned.
bool ParseHandleTable(const unsigned char* bytes, std::size_t returned, std::size_t entrySize,
                      ULONG_PTR process, std::vector<HandleEntry>& entries);

// The object type index of files (disk files, devices and pipes alike: the system keeps them in
// one kind), learnt from a file handle of this process among entries; 0 when it cannot be told.
unsigned short FileTypeIndex(HANDLE ownFile, const std::vector<HandleEntry>& entries);
