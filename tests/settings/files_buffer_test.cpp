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

TEST_P(LineReading, AllThreeLineEndsReadTheSame) {
    Lines expected{"eins", "zwei", "drei"};
    EXPECT_EQ(Read("eins\r\nzwei\r\ndrei\r\n"), expected);
    EXPECT_EQ(Read("eins\nzwei\ndrei\n"), expected);
    EXPECT_EQ(Read("eins\rzwei\rdrei\r"), expected);
    EXPECT_EQ(Read("eins\r\nzwei\ndrei\r"), expected);
}

TEST_P(LineReading, LastLineWithoutEndAndNoExtraLineAfterTheLastEnd) {
    EXPECT_EQ(Read("a\r\nb"), (Lines{"a", "b"}));
    EXPECT_EQ(Read("a\r\n"), (Lines{"a"}));
    EXPECT_EQ(Read("a"), (Lines{"a"}));
    EXPECT_EQ(Read(""), Lines{});
}

TEST_P(LineReading, EmptyLinesBetweenLineEnds) {
    EXPECT_EQ(Read("a\r\n\r\nb"), (Lines{"a", "", "b"}));
    // LF then CR: the CR starts a line of its own.
    EXPECT_EQ(Read("a\n\rb"), (Lines{"a", "", "b"}));
    EXPECT_EQ(Read("a\r\rb"), (Lines{"a", "", "b"}));
}

TEST_P(LineReading, AFileOfOnlyLineEnds) {
    EXPECT_EQ(Read("\r\n\r\n\n\r\r\n"), (Lines{"", "", "", "", ""}));
    EXPECT_EQ(Read("\n"), (Lines{""}));
    EXPECT_EQ(Read("\r"), (Lines{""}));
}

TEST_P(LineReading, AZeroByteEndsALineAndOtherBytesPassUnchanged) {
    EXPECT_EQ(Read(std::string("a\0b\r\n", 5)), (Lines{"a", "b"}));
    EXPECT_EQ(Read("C:\\Pfad\\Stra\xDF"
                   "e.txt\t \x7F\xFF"),
              (Lines{"C:\\Pfad\\Stra\xDF"
                     "e.txt\t \x7F\xFF"}));
}

TEST_P(LineReading, ReadingPastTheEndGivesEmptyLines) {
    BufferedMemoryFile file("x\r\n", GetParam());
    EXPECT_EQ(ReadLine(&file.file), "x");
    EXPECT_EQ(AtEndOfData(&file.file), 1);
    EXPECT_EQ(ReadLine(&file.file), "");
    EXPECT_EQ(ReadLine(&file.file), "");
}

TEST_P(LineReading, AgreesWithThePlainSplitOnRandomText) {
    std::mt19937 random(GetParam() + 1);
    const char alphabet[] = {'a', 'b', '\r', '\n', '\0', 'z'};
    for (int round = 0; round < 300; ++round) {
        std::string data(random() % 300, ' ');
        for (char& c : data)
            c = alphabet[random() % sizeof alphabet];
        ASSERT_EQ(Read(data), SplitLines(data)) << "round " << round;
    }
}

std::string Filler(std::size_t length) {
    std::string text(length, ' ');
    for (std::size_t i = 0; i < length; ++i)
        text[i] = static_cast<char>('a' + i % 26);
    return text;
}

TEST(LineReadingAtTheBufferEdge, CrAsTheLastByteOfTheBuffer) {
    std::string first = Filler(FileBufferSize - 1);
    // CR LF split by the boundary: one line end, not two.
    EXPECT_EQ(BufferedMemoryFile(first + "\r\nnext").ReadAllLines(), (Lines{first, "next"}));
    // CR alone at the boundary: the byte after it, from the next fill, is kept.
    EXPECT_EQ(BufferedMemoryFile(first + "\rnext").ReadAllLines(), (Lines{first, "next"}));
    // CR as the very last byte of a file exactly one buffer long.
    EXPECT_EQ(BufferedMemoryFile(first + "\r").ReadAllLines(), (Lines{first}));
    EXPECT_EQ(BufferedMemoryFile(first + "\r\r").ReadAllLines(), (Lines{first, ""}));
}

TEST(LineReadingAtTheBufferEdge, LinesLongerThanTheBuffer) {
    std::string longLine = Filler(3 * FileBufferSize + 17);
    EXPECT_EQ(BufferedMemoryFile(longLine + "\r\nkurz\r\n" + longLine).ReadAllLines(),
              (Lines{longLine, "kurz", longLine}));
}

TEST(LineReadingAtTheBufferEdge, LookingAheadMovesTheBufferNotTheFile) {
    BufferedMemoryFile file(Filler(10000) + "\r\n" + Filler(5000) + "\rx");
    EXPECT_EQ(file.ReadAllLines().size(), 3u);
    EXPECT_EQ(file.memory.moves, 0);
    // One read per buffer's worth (15004 bytes: four), then the end is found twice: by the last
    // line, which has no line end, and by the reader's end test.
    EXPECT_EQ(file.memory.reads, 6);
}

TEST(BufferedWriting, SmallWritesGatherInTheBufferUntilFlushed) {
    BufferedMemoryFile file("");
    EXPECT_EQ(WriteBuffered(&file.file, "eins\r\n", 6), 6);
    EXPECT_EQ(WriteBuffered(&file.file, "zwei\r\n", 6), 6);
    EXPECT_EQ(file.memory.writes, 0);
    FlushBuffered(&file.file);
    EXPECT_EQ(file.memory.data, "eins\r\nzwei\r\n");
    EXPECT_EQ(file.memory.writes, 1);
    FlushBuffered(&file.file);
    EXPECT_EQ(file.memory.writes, 1);
}

TEST(BufferedWriting, WritesThatFillOrExceedTheBuffer) {
    BufferedMemoryFile file("");
    std::string expected;
    for (std::size_t size : {3000u, 1096u, 1u, 4095u, 4096u, 9000u, 5u}) {
        std::string piece = Filler(size);
        ASSERT_EQ(WriteBuffered(&file.file, piece.data(), static_cast<int>(size)), static_cast<int>(size));
        expected += piece;
    }
    FlushBuffered(&file.file);
    EXPECT_EQ(file.memory.data, expected);
}

TEST(BufferedWriting, WritingAfterReadingContinuesWhereTheReaderStands) {
    BufferedMemoryFile file("eins\r\nzwei\r\ndrei\r\n");
    EXPECT_EQ(ReadLine(&file.file), "eins");
    EXPECT_EQ(WriteBuffered(&file.file, "ZWEI", 4), 4);
    // Reading again writes the pending bytes first and goes on behind them.
    EXPECT_EQ(ReadLine(&file.file), "");
    EXPECT_EQ(ReadLine(&file.file), "drei");
    EXPECT_EQ(file.memory.data, "eins\r\nZWEI\r\ndrei\r\n");
    EXPECT_EQ(AtEndOfData(&file.file), 1);
    WriteBuffered(&file.file, "vier", 4);
    FlushBuffered(&file.file);
    EXPECT_EQ(file.memory.data, "eins\r\nZWEI\r\ndrei\r\nvier");
}

TEST(BufferedWriting, WithoutABufferEveryCallGoesToTheFile) {
    BufferedMemoryFile file("abc", 0);
    EXPECT_EQ(AtEndOfData(&file.file), 0);
    EXPECT_EQ(file.memory.position, 0u);
    EXPECT_EQ(WriteBuffered(&file.file, "X", 1), 1);
    EXPECT_EQ(file.memory.data, "Xbc");
    unsigned char rest[8];
    EXPECT_EQ(ReadBuffered(&file.file, rest, 8), 2);
}

TEST(BufferedReading, LargeReadsBypassTheBuffer) {
    std::string data = Filler(20000);
    BufferedMemoryFile file(data);
    std::string out(20000, '\0');
    EXPECT_EQ(ReadBuffered(&file.file, &out[0], 10), 10);
    EXPECT_EQ(ReadBuffered(&file.file, &out[10], 12000), 12000);
    EXPECT_EQ(ReadBuffered(&file.file, &out[12010], 10000), 7990);
    EXPECT_EQ(out.substr(0, 20000), data);
    EXPECT_EQ(ReadBuffered(&file.file, &out[0], 1), 0);
}

TEST(BufferedFile, AClosedRecordReadsNothingAndIsAtItsEnd) {
    BufferedFile closed{};
    EXPECT_EQ(AtEndOfData(&closed), 1);
    EXPECT_EQ(AtEndOfData(nullptr), 1);
    EXPECT_EQ(ReadLine(&closed), "");
    EXPECT_EQ(ReadLine(nullptr), "");
    EXPECT_EQ(WriteBuffered(&closed, "x", 1), 0);
    FlushBuffered(nullptr);
}

} // namespace
