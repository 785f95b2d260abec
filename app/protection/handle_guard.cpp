#include "app/protection/handle_guard.h"

#include <algorithm>

namespace {

ULONG_PTR ValueOf(HANDLE handle) {
    return reinterpret_cast<ULONG_PTR>(handle);
}

// GetProcessHandleCount is everywhere we run, but Wine answers 0: then it tells nothing.
long long OwnHandleCount() {
    DWORD count = 0;
    if (!GetProcessHandleCount(GetCurrentProcess(), &count)) return 0;
    return count;
}

} // namespace

// What the system grants for the access a lock asked for: the generic rights mapped as files
// map them. Synchronising is left out: it depends on how the file was opened, not on who.
unsigned long Granted(unsigned long asked) {
    GENERIC_MAPPING files = {FILE_GENERIC_READ, FILE_GENERIC_WRITE, FILE_GENERIC_EXECUTE, FILE_ALL_ACCESS};
    DWORD mapped = asked;
    MapGenericMask(&mapped, &files);
    return mapped & ~static_cast<DWORD>(SYNCHRONIZE);
}

std::vector<std::size_t> Suspects(const std::vector<HeldLock>& held,
                                  const std::vector<std::pair<ULONG_PTR, unsigned long>>& listed,
                                  const std::vector<const void*>& vouched) {
    std::vector<std::size_t> suspects;
    std::vector<unsigned char> flagged(held.size());
    // The same pair as the table's, so that one sort serves both.
    std::vector<std::pair<ULONG_PTR, unsigned long>> byValue;
    byValue.reserve(held.size());
    for (std::size_t i = 0; i < held.size(); ++i)
        byValue.emplace_back(ValueOf(held[i].value), static_cast<unsigned long>(i));
    std::sort(byValue.begin(), byValue.end());
    for (std::size_t i = 0; i < byValue.size(); ++i) {
        bool twice = (i > 0 && byValue[i - 1].first == byValue[i].first) ||
                     (i + 1 < byValue.size() && byValue[i + 1].first == byValue[i].first);
        const HeldLock& lock = held[byValue[i].second];
        auto entry = std::lower_bound(listed.begin(), listed.end(), std::make_pair(byValue[i].first, 0ul));
        bool missing = entry == listed.end() || entry->first != byValue[i].first;
        // Another handle of ours that took the value: the document's, a watcher's.
        bool other = !missing &&
                     (entry->second & ~static_cast<unsigned long>(SYNCHRONIZE)) != Granted(lock.access) &&
                     std::find(vouched.begin(), vouched.end(), lock.owner) == vouched.end();
        if (twice || missing || other) flagged[byValue[i].second] = 1;
    }
    // In the order held gives them, without a second sort.
    for (std::size_t i = 0; i < held.size(); ++i)
        if (flagged[i]) suspects.push_back(i);
    return suspects;
}

std::vector<std::size_t> HandleGuard::FindLost(const std::vector<HeldLock>& held) {
    readTable_ = false;
    long long count = OwnHandleCount();
    long long others = count - static_cast<long long>(held.size());
    // Where the count is real and did not fall short of what we expect, nothing was closed.
    if (count > 0 && others_ >= 0 && others >= others_) {
        others_ = others;
        return {};
    }
    std::vector<std::size_t> lost = CompareWithTable(held);
    // The lost ones are no longer counted; once taken back, their new handles are held ones.
    if (count > 0) others_ = count - static_cast<long long>(held.size() - lost.size());
    return lost;
}

std::vector<std::size_t> HandleGuard::CompareWithTable(const std::vector<HeldLock>& held) {
    if (held.empty()) return {};
    readTable_ = true;
    if (!table_.Read(GetCurrentProcessId(), own_)) {
        // Without the table, every handle is asked: slow, but never blind.
        std::vector<std::size_t> lost;
        for (std::size_t i = 0; i < held.size(); ++i)
            if (!StillNames(held[i].value, held[i].identity)) lost.push_back(i);
        return lost;
    }
    if (!fileTypeAsked) {
        // The kind of object a file is, learnt from the first held handle that is still ours
        // beyond doubt. Until then every kind counts, and the granted access tells them apart.
        for (const HeldLock& lock : held) {
            if (!StillNames(lock.value, lock.identity)) continue;
            fileType_ = FileTypeIndex(lock.value, own_);
            break;
        }
        fileTypeAsked = true;
    }
    listed_.clear();
    listed_.reserve(own_.size());
    for (const HandleEntry& entry : own_)
        if (fileType_ == 0 || entry.type == fileType_) listed_.emplace_back(entry.value, entry.access);
    std::sort(listed_.begin(), listed_.end());
    std::vector<std::size_t> lost;
    // A value held twice is right for at most one of the files that hold it.
    for (std::size_t index : Suspects(held, listed_, vouched_)) {
        if (!StillNames(held[index].value, held[index].identity)) {
            lost.push_back(index);
        } else if (std::find(vouched_.begin(), vouched_.end(), held[index].owner) == vouched_.end()) {
            // Good, though suspected: a system that grants other rights than we think is not
            // asked about this handle's rights again. Forgotten wholesale once it grows.
            if (vouched_.size() >= 4096) vouched_.clear();
            vouched_.push_back(held[index].owner);
        }
    }
    return lost;
}
