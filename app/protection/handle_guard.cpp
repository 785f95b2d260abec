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
                                  const std::vector<const void*>& vouched, std::vector<unsigned char>* verdicts,
                                  std::vector<std::size_t>* cleared) {
    enum : unsigned char { Suspect = 1, Gone = 2, OtherRights = 4 };
    std::vector<std::size_t> suspects;
    std::vector<unsigned char> flagged(held.size());
    // The kinds of access (reading, listing) some lock is listed with exactly as asked.
    unsigned long asGranted[4];
    std::size_t grantedKinds = 0;
    // The same pair as the table's, so that one sort serves both.
    std::vector<std::pair<ULONG_PTR, unsigned long>> byValue;
    byValue.reserve(held.size());
    for (std::size_t i = 0; i < held.size(); ++i)
        byValue.emplace_back(ValueOf(held[i].value), static_cast<unsigned long>(i));
    std::sort(byValue.begin(), byValue.end());
    for (std::size_t i = 0; i < byValue.size(); ++i) {
        const HeldLock& lock = held[byValue[i].second];
        bool later = false, twice = false;
        for (std::size_t j : {i - 1, i + 1}) {
            if (j >= byValue.size() || byValue[j].first != byValue[i].first) continue;
            twice = true;
            later = later || held[byValue[j].second].identity.opened > lock.identity.opened;
        }
        auto entry = std::lower_bound(listed.begin(), listed.end(), std::make_pair(byValue[i].first, 0ul));
        bool missing = entry == listed.end() || entry->first != byValue[i].first;
        bool exact = !missing && (entry->second & ~static_cast<unsigned long>(SYNCHRONIZE)) == Granted(lock.access);
        if (exact && grantedKinds < 4 &&
            std::find(asGranted, asGranted + grantedKinds, lock.access) == asGranted + grantedKinds)
            asGranted[grantedKinds++] = lock.access;
        // Another handle of ours that took the value: the document's, a watcher's.
        bool other = !missing && !exact && std::find(vouched.begin(), vouched.end(), lock.owner) == vouched.end();
        if (twice || missing || other)
            flagged[byValue[i].second] = Suspect | (missing || later ? Gone : 0) | (other ? OtherRights : 0);
    }
    // In the order held gives them, without a second sort.
    for (std::size_t i = 0; i < held.size(); ++i) {
        if (!flagged[i]) {
            if (cleared && held[i].identity.pending) cleared->push_back(i);
            continue;
        }
        suspects.push_back(i);
        if (!verdicts) continue;
        // Judged without an identity: not listed (closed, or given to something that is no
        // file); held twice while another lock opened later (values are not given twice while
        // open); or listed with another handle's rights, where the system grants this kind of
        // access as asked at all. Elsewhere it stays undecided rather than be let go wrongly.
        bool otherHandle = (flagged[i] & OtherRights) &&
                           std::find(asGranted, asGranted + grantedKinds, held[i].access) != asGranted + grantedKinds;
        verdicts->push_back((flagged[i] & Gone) || otherHandle);
    }
    return suspects;
}

std::vector<std::size_t> HandleGuard::FindLost(const std::vector<HeldLock>& held,
                                               std::vector<std::size_t>* cleared) {
    readTable_ = false;
    long long count = OwnHandleCount();
    long long others = count - static_cast<long long>(held.size());
    bool pending = false;
    for (std::size_t i = 0; cleared && !pending && i < held.size(); ++i)
        pending = held[i].identity.pending;
    // Where the count is real and did not fall short of what we expect, nothing was closed; a
    // late identity is still taken only after a look at the table.
    if (count > 0 && others_ >= 0 && others >= others_ && !pending) {
        others_ = others;
        return {};
    }
    std::vector<std::size_t> lost = CompareWithTable(held, cleared);
    // The lost ones are no longer counted; once taken back, their new handles are held ones.
    if (count > 0) others_ = count - static_cast<long long>(held.size() - lost.size());
    return lost;
}

std::vector<std::size_t> HandleGuard::CompareWithTable(const std::vector<HeldLock>& held,
                                                       std::vector<std::size_t>* cleared) {
    if (held.empty()) return {};
    readTable_ = true;
    if (!table_.Read(GetCurrentProcessId(), own_)) {
        // Without the table, every handle is asked: slow, but never blind. One whose identity
        // is still to come cannot be asked, and nothing else tells it ours: it is taken as it
        // stands, as every identity was taken before they came late.
        std::vector<std::size_t> lost;
        for (std::size_t i = 0; i < held.size(); ++i) {
            if (held[i].identity.pending) {
                if (cleared) cleared->push_back(i);
            } else if (!StillNames(held[i].value, held[i].identity)) {
                lost.push_back(i);
            }
        }
        return lost;
    }
    if (!fileTypeAsked) {
        // The kind of object a file is, learnt from the first held handle that names a disk
        // file: whichever file it is, ours or not, every disk file is of that one kind. Until
        // then every kind counts, and the granted access tells them apart.
        for (const HeldLock& lock : held) {
            if (GetFileType(lock.value) != FILE_TYPE_DISK) continue;
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
    std::vector<unsigned char> verdicts;
    // What the table lists as ours beyond suspicion, just now, on the thread that alone opens
    // locks, is cleared: its identity may be taken in this same turn of the loop.
    std::vector<std::size_t> suspects = Suspects(held, listed_, vouched_, &verdicts, cleared);
    std::vector<std::size_t> lost;
    for (std::size_t k = 0; k < suspects.size(); ++k) {
        std::size_t index = suspects[k];
        const HeldLock& lock = held[index];
        if (lock.identity.pending) {
            // No identity to ask yet: the table's word alone decides (see Suspects).
            if (verdicts[k]) lost.push_back(index);
            continue;
        }
        if (!StillNames(lock.value, lock.identity)) {
            lost.push_back(index);
        } else if (std::find(vouched_.begin(), vouched_.end(), lock.owner) == vouched_.end()) {
            // Good, though suspected: a system that grants other rights than we think is not
            // asked about this handle's rights again. Forgotten wholesale once it grows.
            if (vouched_.size() >= 4096) vouched_.clear();
            vouched_.push_back(lock.owner);
        }
    }
    return lost;
}
