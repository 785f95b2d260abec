// The release links a trimmed C++ runtime (cmake/release_runtime.cpp). Allocation failures must
// still reach the program as std::bad_alloc, the one error it catches (the line reader keeps what
// fits); the runtime's own size checks go through the replaced functions, the heap's refusals do
// not. Both hold in every build.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory>
#include <new>
#include <vector>

namespace {

// Volatile, so that the compiler neither sees the sizes nor warns about them.
volatile std::size_t moreThanAddressable = std::numeric_limits<std::size_t>::max() / 2;
volatile std::size_t moreThanAllowed = PTRDIFF_MAX / sizeof(int) + 1;

TEST(ReleaseRuntime, AllocationFailuresArriveAsBadAlloc) {
    std::allocator<int> ints;
    EXPECT_THROW(ints.allocate(moreThanAddressable), std::bad_array_new_length);
    EXPECT_THROW(ints.allocate(moreThanAllowed), std::bad_alloc);

    // The largest block a vector may ask for is more than a process can hold in one piece; the
    // caught failure leaves the vector as it was and the program working.
    std::vector<char> bytes(16, 'x');
    EXPECT_THROW(bytes.reserve(bytes.max_size()), std::bad_alloc);
    bytes.push_back('y');
    ASSERT_EQ(bytes.size(), 17u);
    EXPECT_EQ(bytes.back(), 'y');
}

} // namespace
