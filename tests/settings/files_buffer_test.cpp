#include "settings/buffered_file.h"
#include "settings/memory_file.h"

#include <gtest/gtest.h>

#include <random>

namespace {

using Lines = std::vector<std::string>;

// The line rules hold for the real buffer, for none at all, and for tiny buffers that put every
// line end on a boundary somewhere.
class LineReading : public ::testing::TestWithParam<int> {
  protected:
    Lines Read(const std::string& data) { return BufferedMemoryFile(data, GetParam()).ReadAllLines(); }
};

INSTANTIATE_TEST_SUITE_P(BufferSizes, LineReading, ::testing::Values(FileBufferSize, 0, 1, 2, 3, 7));

// Every mix of line ends, empty lines and zero bytes turns up in a few hundred random texts.
TEST_P(LineReading, AgreesWithThePlainSplitOnRandomText) {
    std::mt19937 random(GetParam() + 1);
    const char alphabet[] = {'a', 'b', '\r', '\n', '\0', 'z'};
    for (int round = 0; round < 300; ++round) {
        std::string data(random() % 300, ' ');
        for (char& c : data)
            c = alphabet[random() % sizeof alphabet];
        ASSERT_EQ(Read(data), SplitLines(data)) << "round " << round;
    }
    // Other bytes pass untouched, and reading past the end gives nothing.
    EXPECT_EQ(Read("C:\\Stra\337e.txt\t \x7F\xFF"), Lines{"C:\\Stra\337e.txt\t \x7F\xFF"});
    BufferedMemoryFile file("x\r\n", GetParam());
    EXPECT_EQ(ReadLine(&file.file), "x");
    EXPECT_EQ(AtEndOfData(&file.file), 1);
    EXPECT_EQ(ReadLine(&file.file), "");
}

// Looking ahead moves the buffer, not the file: one read per buffer's worth (15004 bytes:
// four), then the end is found by the last line and by the reader's end test.
TEST(LineReadingAtTheBufferEdge, LinesLongerThanTheBufferAreReadOnce) {
    BufferedMemoryFile file(Filler(10000) + "\r\n" + Filler(5000) + "\rx");
    EXPECT_EQ(file.ReadAllLines(), (Lines{Filler(10000), Filler(5000), "x"}));
    EXPECT_EQ(file.memory.moves, 0);
    EXPECT_EQ(file.memory.reads, 6);
}

TEST(BufferedWriting, GathersSmallWritesAndPassesLargeOnesWhole) {
    BufferedMemoryFile file("");
    std::string expected;
    for (std::size_t size : {6u, 6u, 3000u, 1084u, 1u, 4095u, 4096u, 9000u, 5u}) {
        std::string piece = Filler(size);
        ASSERT_EQ(WriteBuffered(&file.file, piece.data(), static_cast<int>(size)), static_cast<int>(size));
        expected += piece;
        if (expected.size() == 12) {
            EXPECT_EQ(file.memory.writes, 0);
        }
    }
    FlushBuffered(&file.file);
    int writes = file.memory.writes;
    FlushBuffered(&file.file);
    EXPECT_EQ(file.memory.writes, writes);
    EXPECT_EQ(file.memory.data, expected);
}

TEST(BufferedWriting, WritingAfterReadingContinuesWhereTheReaderStands) {
    BufferedMemoryFile file("eins\r\nzwei\r\ndrei\r\n");
    EXPECT_EQ(ReadLine(&file.file), "eins");
    EXPECT_EQ(WriteBuffered(&file.file, "ZWEI", 4), 4);
    // Reading again writes the pending bytes first and goes on behind them.
    EXPECT_EQ(ReadLine(&file.file), "");
    EXPECT_EQ(ReadLine(&file.file), "drei");
    EXPECT_EQ(AtEndOfData(&file.file), 1);
    WriteBuffered(&file.file, "vier", 4);
    FlushBuffered(&file.file);
    EXPECT_EQ(file.memory.data, "eins\r\nZWEI\r\ndrei\r\nvier");

    BufferedMemoryFile unbuffered("abc", 0);
    EXPECT_EQ(AtEndOfData(&unbuffered.file), 0);
    EXPECT_EQ(WriteBuffered(&unbuffered.file, "X", 1), 1);
    EXPECT_EQ(unbuffered.memory.data, "Xbc");
    unsigned char rest[8];
    EXPECT_EQ(ReadBuffered(&unbuffered.file, rest, 8), 2);
}

TEST(BufferedReading, LargeReadsBypassTheBuffer) {
    std::string data = Filler(20000);
    BufferedMemoryFile file(data);
    std::string out(20000, '\0');
    EXPECT_EQ(ReadBuffered(&file.file, &out[0], 10), 10);
    EXPECT_EQ(ReadBuffered(&file.file, &out[10], 12000), 12000);
    EXPECT_EQ(ReadBuffered(&file.file, &out[12010], 10000), 7990);
    EXPECT_EQ(out, data);
    EXPECT_EQ(ReadBuffered(&file.file, &out[0], 1), 0);

    BufferedFile closed{};
    EXPECT_EQ(AtEndOfData(&closed), 1);
    EXPECT_EQ(AtEndOfData(nullptr), 1);
    EXPECT_EQ(ReadLine(nullptr), "");
    EXPECT_EQ(WriteBuffered(&closed, "x", 1), 0);
    FlushBuffered(nullptr);
}

} // namespace
