// The Windows build's own memory and string routines, compiled here from the
// same source under other names, so that they run beside the host's C library
// (and, in the sanitizer build, with every byte they read checked).
#define TEXT_ROUTINE(name) Routine_##name
#include "../../support/win32/textroutines.cpp"

#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

namespace {

const unsigned char Guard = 0xA5;
const size_t GuardSize = 8;

// A block with guard bytes on both sides of the `size` bytes under test.
struct GuardedBlock {
    explicit GuardedBlock(size_t size) : bytes(size + 2 * GuardSize, Guard), size(size) {}
    unsigned char* Start() {
        return bytes.data() + GuardSize;
    }
    bool GuardsIntact() const {
        for (size_t i = 0; i < GuardSize; i++)
            if (bytes[i] != Guard || bytes[GuardSize + size + i] != Guard)
                return false;
        return true;
    }
    std::vector<unsigned char> bytes;
    size_t size;
};

// Text on the heap in a block of exactly its bytes, with no terminator after
// them unless the text holds one: a read past the end is a sanitizer error.
std::unique_ptr<char[]> Unterminated(const std::string& text) {
    std::unique_ptr<char[]> block(new char[text.size()]);
    if (!text.empty())
        std::copy(text.begin(), text.end(), block.get());
    return block;
}

int Sign(int value) {
    return (value > 0) - (value < 0);
}

TEST(TextRoutines, MemcpyCopiesExactlyTheBlock) {
    for (size_t size : {0, 1, 3, 260}) {
        SCOPED_TRACE("size " + std::to_string(size));
        std::vector<unsigned char> source(size);
        for (size_t i = 0; i < size; i++)
            source[i] = static_cast<unsigned char>(0x80 + i * 7);
        GuardedBlock destination(size);

        EXPECT_EQ(destination.Start(), Routine_memcpy(destination.Start(), source.data(), size));

        EXPECT_EQ(source,
                  std::vector<unsigned char>(destination.Start(), destination.Start() + size));
        EXPECT_TRUE(destination.GuardsIntact());
    }
}

TEST(TextRoutines, MemsetFillsWithTheValueAsAByte) {
    struct Row {
        size_t size;
        int value;
        unsigned char expected;
    } rows[] = {
        {0, 'x', 0}, {1, 0, 0}, {5, 0x7F, 0x7F}, {64, 0x80, 0x80}, {3, 0x1FF, 0xFF}, {2, -1, 0xFF},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE("size " + std::to_string(row.size) + ", value " + std::to_string(row.value));
        GuardedBlock block(row.size);

        EXPECT_EQ(block.Start(), Routine_memset(block.Start(), row.value, row.size));

        EXPECT_EQ(std::vector<unsigned char>(row.size, row.expected),
                  std::vector<unsigned char>(block.Start(), block.Start() + row.size));
        EXPECT_TRUE(block.GuardsIntact());
    }
}

TEST(TextRoutines, StrlenCountsToTheFirstZero) {
    struct Row {
        std::string text; // the routine sees it up to its first zero
        size_t expected;
    } rows[] = {{"", 0},
                {"a", 1},
                {"\xFF\x80\x01", 3},
                {std::string("ab\0cd", 5), 2},
                {std::string(300, 'x'), 300}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text);
        EXPECT_EQ(row.expected, Routine_strlen(row.text.c_str()));
    }
}

TEST(TextRoutines, StrnlenStopsAtTheCapacity) {
    struct Row {
        std::string bytes; // the whole block; no terminator after it
        size_t capacity;
        size_t expected;
    } rows[] = {
        {"", 0, 0},
        {"abc", 0, 0},
        {"abc", 2, 2},
        {"abc", 3, 3}, // full to capacity, no terminator: nothing past it is read
        {std::string("abc\0", 4), 4, 3},
        {std::string("a\0c", 3), 3, 1},
        {"\x80\xFF", 2, 2},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.bytes + " capacity " + std::to_string(row.capacity));
        std::unique_ptr<char[]> block = Unterminated(row.bytes);
        EXPECT_EQ(row.expected, Routine_strnlen(block.get(), row.capacity));
    }
}

TEST(TextRoutines, StrchrFindsTheFirstByteOrTheTerminator) {
    const char text[] = "a,b\xE9,\xE9";
    struct Row {
        const char* name;
        int character;
        int expectedOffset; // -1: not found
    } rows[] = {
        {"first of two", ',', 1},
        {"first byte", 'a', 0},
        {"absent", 'z', -1},
        {"terminator", 0, 6},
        {"upper-half byte as unsigned char", 0xE9, 3},
        {"upper-half byte as signed char", static_cast<char>(0xE9), 3},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const char* found = Routine_strchr(text, row.character);
        if (row.expectedOffset < 0)
            EXPECT_EQ(nullptr, found);
        else
            EXPECT_EQ(text + row.expectedOffset, found);
    }
}

TEST(TextRoutines, StrncmpComparesBytesAsUnsigned) {
    struct Row {
        std::string a, b; // blocks of exactly these bytes, no terminator after them
        size_t count;
        int sign;
    } rows[] = {
        {"", "", 0, 0},
        {"abc", "xyz", 0, 0},
        {"abc", "abc", 3, 0},
        {"abc", "abd", 3, -1},
        {"abd", "abc", 3, 1},
        {"ab", "abd", 2, 0}, // the count ends the compare: nothing past it is read
        {std::string("ab\0", 3), std::string("abc", 3), 3, -1},
        {std::string("abc", 3), std::string("ab\0", 3), 3, 1},
        {std::string("a\0x", 3), std::string("a\0y", 3), 3, 0}, // nothing after the end counts
        {"a\x80", "a\x7F", 2, 1},
        {"\x7F", "\xFF", 1, -1},
        {"\xE9", "\xC9", 1, 1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.a + " against " + row.b + ", count " + std::to_string(row.count));
        std::unique_ptr<char[]> a = Unterminated(row.a);
        std::unique_ptr<char[]> b = Unterminated(row.b);
        EXPECT_EQ(row.sign, Sign(Routine_strncmp(a.get(), b.get(), row.count)));
    }
}

} // namespace
