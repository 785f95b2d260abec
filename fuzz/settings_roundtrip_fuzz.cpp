// Parse, write, parse again: the entries must be the same, and writing them again must give
// the same bytes.
#include "settings_fuzz_support.h"

#include <cstdint>

using namespace settings_fuzz;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    SettingsDocument first;
    OpenInMemory(&first, data, size);
    std::string written = Written(&first);
    if (!MarkCollision(&first, written)) {
        SettingsDocument second;
        OpenInMemory(&second, written.data(), written.size());
        Require(SameEntries(&first, &second));
        Require(Written(&second) == written);
        ReleaseSettingsDocument(&second);
    }
    ReleaseSettingsDocument(&first);
    return 0;
}
