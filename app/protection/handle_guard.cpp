#include "app/protection/handle_guard.h"

#include <algorithm>
#include <iterator>

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

std::vector<std::size_t> HandleGuard::FindLost(const std::vector<HeldLock>& held,
                                               std::vector<std::size_t>* cleared) {
    readTable_ = false;
    long long count = OwnHandleCount();
    long long others = count - static_cast<long long>(held.size());
    bool pending = cleared && std::any_of(held.begin(), held.end(),
                                          [](const HeldLock& lock) { return lock.identity.pending; });
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

bool HandleGuard::GrantsAsAsked(const std::vector<HeldLock>& held, unsigned long access) const {
    for (const HeldLock& lock : held) {
        if (lock.access != access) continue;
        auto entry = std::lower_bound(listed_.begin(), listed_.end(), std::make_pair(ValueOf(lock.value), 0ul));
        if (entry != listed_.end() && entry->first == ValueOf(lock.value) &&
            (entry->second & ~static_cast<unsigned long>(SYNCHRONIZE)) == Granted(lock.access))
            return true;
    }
    return false;
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
        // The kind of object a file is, learnt from the first held handle that is still ours
        // beyond doubt, or without an identity yet, from any disk file of ours: all are of one
        // kind. Until then every kind counts, and the granted access tells them apart.
        for (const HeldLock& lock : held) {
            bool file = lock.identity.pending ? GetFileType(lock.value) == FILE_TYPE_DISK
                                              : StillNames(lock.value, lock.identity);
            if (!file) continue;
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
    std::vector<std::size_t> suspects = Suspects(held, listed_, vouched_);
    // Of the suspects that share a value, the latest opening: the only one that may own it.
    // Sorted by value, the latest last within each value.
    std::vector<std::pair<ULONG_PTR, unsigned long long>> openings;
    openings.reserve(suspects.size());
    for (std::size_t index : suspects)
        openings.emplace_back(ValueOf(held[index].value), held[index].identity.opened);
    std::sort(openings.begin(), openings.end());
    // Per access asked for: asked once, and only when needed.
    std::vector<std::pair<unsigned long, bool>> grantsAsAsked;
    std::vector<std::size_t> lost;
    for (std::size_t index : suspects) {
        const HeldLock& lock = held[index];
        if (lock.identity.pending) {
            // No identity to ask yet: decided by the table alone. Not listed: closed, or given
            // to something that is no file. Held twice and not the latest: given again after
            // it was closed. Listed with other rights: another handle of ours has the value,
            // provided the system grants what we ask for at all; where it does not, the
            // handle stays undecided (never cleared for its identity) rather than be let go.
            ULONG_PTR value = ValueOf(lock.value);
            auto entry = std::lower_bound(listed_.begin(), listed_.end(), std::make_pair(value, 0ul));
            bool missing = entry == listed_.end() || entry->first != value;
            auto after = std::upper_bound(openings.begin(), openings.end(),
                                          std::make_pair(value, ~0ull)); // past this value's latest
            bool older = after != openings.begin() && std::prev(after)->first == value &&
                         lock.identity.opened < std::prev(after)->second;
            bool other = !missing && (entry->second & ~static_cast<unsigned long>(SYNCHRONIZE)) != Granted(lock.access);
            bool otherHandle = false;
            if (other) {
                auto asked = std::find_if(grantsAsAsked.begin(), grantsAsAsked.end(),
                                          [&lock](const auto& pair) { return pair.first == lock.access; });
                if (asked == grantsAsAsked.end())
                    asked = grantsAsAsked.insert(grantsAsAsked.end(),
                                                 std::make_pair(lock.access, GrantsAsAsked(held, lock.access)));
                otherHandle = asked->second;
            }
            if (missing || older || otherHandle) lost.push_back(index);
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
    if (cleared) {
        // What the table lists as ours beyond suspicion, just now, on the thread that alone
        // opens locks: its identity may be taken, in this same turn of the loop.
        std::size_t next = 0;
        for (std::size_t i = 0; i < held.size(); ++i) {
            while (next < suspects.size() && suspects[next] < i)
                ++next;
            bool suspect = next < suspects.size() && suspects[next] == i;
            if (held[i].identity.pending && !suspect) cleared->push_back(i);
        }
    }
    return lost;
}
