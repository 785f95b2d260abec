// A document followed by a sequence of select / read / write / reserve operations decoded from
// the input. A number written must read back at once, a reserved value must hold what was put
// in it, and at the end the document must survive being written and read again.
#include "settings_fuzz_support.h"

#include <cstdint>

using namespace settings_fuzz;

namespace {

class Input {
  public:
    Input(const std::uint8_t* data, std::size_t size) : data(data), size(size) {}
    bool Empty() const { return at >= size; }
    std::uint8_t Byte() { return at < size ? data[at++] : 0; }
    std::size_t Take(std::size_t count) {
        std::size_t start = at;
        at = count < size - at ? at + count : size;
        return start;
    }
    const std::uint8_t* data;
    std::size_t size;
    std::size_t at = 0;
};

// Names from a small alphabet (letters in both cases, a German letter in both cases, a digit,
// an underscore), so that operations meet the same groups and keys again.
std::string Name(Input& input, unsigned length) {
    static const char alphabet[] = {'a', 'A', 'b', 'B', '\xE4', '\xC4', '_', '1'};
    std::string name;
    for (unsigned i = 0; i < length; ++i)
        name += alphabet[input.Byte() % sizeof alphabet];
    return name;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Input input(data, size);
    std::size_t documentSize = input.Byte();
    documentSize = documentSize * 256 + input.Byte();
    std::size_t start = input.Take(documentSize);
    SettingsDocument document;
    OpenInMemory(&document, data + start, input.at - start);

    for (int steps = 0; !input.Empty() && steps < 256; ++steps) {
        std::uint8_t operation = input.Byte();
        std::string name = Name(input, (operation >> 3) % 5);
        switch (operation % 5) {
        case 0: {
            int result = SelectDocumentGroup(&document, name.c_str());
            Require(result == 1 ? !document.pendingGroup : (!name.empty() && document.pendingGroup));
            break;
        }
        case 1:
            ReadDocumentNumber(&document, name.c_str(), 0);
            break;
        case 2: {
            std::uint32_t bits = 0;
            for (int i = 0; i < 4; ++i)
                bits = bits << 8 | input.Byte();
            int value = static_cast<int>(bits);
            WriteDocumentNumber(&document, name.c_str(), value);
            Require(!document.pendingGroup);
            Require(ReadDocumentNumber(&document, name.c_str(), value ^ 1) == value);
            break;
        }
        case 3: {
            std::size_t length = input.Byte();
            char* value = ReserveDocumentValue(&document, name.c_str(), length);
            Require(value != nullptr);
            std::memset(value, 'v', length); // the sanitizer checks the block is that long
            value[length] = 0;
            const char* found = FindDocumentValue(&document, name.c_str());
            Require(found == value && std::strlen(found) == length);
            break;
        }
        default:
            FindDocumentValue(&document, name.c_str());
            break;
        }
    }

    std::string written = Written(&document);
    if (!MarkCollision(&document, written)) {
        SettingsDocument again;
        OpenInMemory(&again, written.data(), written.size());
        Require(SameEntries(&document, &again));
        ReleaseSettingsDocument(&again);
    }
    ReleaseSettingsDocument(&document);
    return 0;
}
