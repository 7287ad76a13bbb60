// What the launcher relies on from the Windows services, checked the same way
// against the host stand-in and, built for Windows, against the real services
// under Wine. A difference between the two runs is a fault of the stand-in.
//
// The registry cases work in a scratch key under HKEY_LOCAL_MACHINE, the file
// cases in a scratch folder below the current directory; both are removed
// again.
#include "platform.h"

#include <cstring>
#include <filesystem>
#include <iterator>
#include <set>
#include <string>

#include <gtest/gtest.h>

namespace {

const char ScratchKey[] = "SOFTWARE\\LauncherContract";
const DWORD Poison = 0xDEADBEEF;
const BYTE GuardByte = 0xA5;
const size_t GuardSize = 8;

// A buffer of `capacity` usable bytes followed by guard bytes that no call may touch.
struct GuardedBuffer {
    explicit GuardedBuffer(size_t capacity) : capacity(capacity) {
        memset(bytes, GuardByte, sizeof bytes);
    }
    BYTE* data() {
        return bytes;
    }
    char* text() {
        return reinterpret_cast<char*>(bytes);
    }
    bool GuardIntact() const {
        for (size_t i = capacity; i < capacity + GuardSize; i++)
            if (bytes[i] != GuardByte)
                return false;
        return true;
    }
    size_t capacity;
    BYTE bytes[512 + GuardSize];
};

std::string Bytes(const void* data, size_t size) {
    return std::string(static_cast<const char*>(data), size);
}

class RegistryContract : public ::testing::Test {
  protected:
    void SetUp() override {
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, ScratchKey);
        ASSERT_EQ(ERROR_SUCCESS,
                  RegCreateKeyExA(HKEY_LOCAL_MACHINE, ScratchKey, 0, nullptr,
                                  REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key, nullptr));
    }
    void TearDown() override {
        RegCloseKey(key);
        EXPECT_EQ(ERROR_SUCCESS, RegDeleteKeyA(HKEY_LOCAL_MACHINE, ScratchKey));
    }

    void Set(const char* name, DWORD type, const std::string& data) {
        ASSERT_EQ(ERROR_SUCCESS,
                  RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE*>(data.data()),
                                 DWORD(data.size())))
            << "value " << name;
    }
    // A REG_SZ stored with its terminator, as the launcher's own values are.
    void SetText(const char* name, const std::string& text) {
        Set(name, REG_SZ, std::string(text.c_str(), text.size() + 1));
    }

    HKEY key = nullptr;
};

// ---- Opening keys ---------------------------------------------------------------------

TEST_F(RegistryContract, OpenKeyFindsTheKeyByAnySpellingAndFailsForAMissingOne) {
    SetText("Marker", "here");
    struct Row {
        const char* name;
        const char* path;
        LONG expected;
    } rows[] = {
        {"as created", "SOFTWARE\\LauncherContract", ERROR_SUCCESS},
        {"trailing backslash", "SOFTWARE\\LauncherContract\\", ERROR_SUCCESS},
        {"other case", "software\\LAUNCHERcontract", ERROR_SUCCESS},
        {"missing key", "SOFTWARE\\LauncherContract\\Missing", ERROR_FILE_NOT_FOUND},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        HKEY opened = reinterpret_cast<HKEY>(uintptr_t(Poison));
        LONG status = RegOpenKeyExA(HKEY_LOCAL_MACHINE, row.path, 0, KEY_ALL_ACCESS, &opened);
        ASSERT_EQ(row.expected, status);
        if (status != ERROR_SUCCESS)
            continue;
        char data[16] = {};
        DWORD size = sizeof data;
        EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExA(opened, "Marker", nullptr, nullptr,
                                                  reinterpret_cast<BYTE*>(data), &size))
            << "the opened key is not the one created";
        EXPECT_STREQ("here", data);
        RegCloseKey(opened);
    }
}

TEST_F(RegistryContract, SetValueThroughAReadOnlyHandleIsRefused) {
    HKEY readOnly = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, ScratchKey, 0, KEY_READ, &readOnly));
    const BYTE data[] = "x";
    EXPECT_EQ(ERROR_ACCESS_DENIED, RegSetValueExA(readOnly, "Refused", 0, REG_SZ, data, 2));
    RegCloseKey(readOnly);
    DWORD size = 0;
    EXPECT_EQ(ERROR_FILE_NOT_FOUND,
              RegQueryValueExA(key, "Refused", nullptr, nullptr, nullptr, &size));
}

// ---- Reading one value ------------------------------------------------------------------

TEST_F(RegistryContract, QueryValueReportsTheSizeForEveryBufferCapacity) {
    SetText("Version", "6.0.2800"); // 9 bytes with the terminator
    struct Row {
        const char* name;
        bool withBuffer;
        DWORD capacity;
        LONG expected;
    } rows[] = {
        {"no buffer", false, Poison, ERROR_SUCCESS},
        {"no buffer, size 0", false, 0, ERROR_SUCCESS},
        {"one byte short", true, 8, ERROR_MORE_DATA},
        {"empty buffer", true, 0, ERROR_MORE_DATA},
        {"exact size", true, 9, ERROR_SUCCESS},
        {"room to spare", true, 64, ERROR_SUCCESS},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        GuardedBuffer buffer(row.withBuffer ? row.capacity : 0);
        DWORD type = Poison;
        DWORD size = row.capacity;
        LONG status = RegQueryValueExA(key, "Version", nullptr, &type,
                                       row.withBuffer ? buffer.data() : nullptr, &size);
        EXPECT_EQ(row.expected, status);
        EXPECT_EQ(9u, size) << "the size written back";
        EXPECT_EQ(REG_SZ, type);
        EXPECT_TRUE(buffer.GuardIntact()) << "written past the buffer";
        if (status == ERROR_SUCCESS && row.withBuffer) {
            EXPECT_EQ(Bytes("6.0.2800", 9), Bytes(buffer.data(), 9));
        }
    }
}

TEST_F(RegistryContract, QueryValueOfAMissingValueFails) {
    BYTE data[16];
    DWORD size = sizeof data;
    EXPECT_EQ(ERROR_FILE_NOT_FOUND,
              RegQueryValueExA(key, "ProgramPath", nullptr, nullptr, data, &size));
    size = 0;
    EXPECT_EQ(ERROR_FILE_NOT_FOUND,
              RegQueryValueExA(key, "ProgramPath", nullptr, nullptr, nullptr, &size));
}

TEST_F(RegistryContract, QueryValueReturnsTheStoredBytesWhateverTheirType) {
    struct Row {
        const char* name;
        DWORD type;
        std::string stored;
        std::string read; // what the query gives back
    } rows[] = {
        {"dword into a text buffer", REG_DWORD, Bytes("\x78\x56\x34\x12", 4),
         Bytes("\x78\x56\x34\x12", 4)},
        {"empty string, nothing stored", REG_SZ, "", ""},
        {"empty string, terminator stored", REG_SZ, Bytes("", 1), Bytes("", 1)},
        {"binary", REG_BINARY, Bytes("\x00\xFF\x80", 3), Bytes("\x00\xFF\x80", 3)},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Set("Value", row.type, row.stored);
        GuardedBuffer buffer(32);
        DWORD type = Poison;
        DWORD size = 32;
        ASSERT_EQ(ERROR_SUCCESS,
                  RegQueryValueExA(key, "Value", nullptr, &type, buffer.data(), &size));
        EXPECT_EQ(row.type, type);
        EXPECT_EQ(row.read.size(), size);
        EXPECT_EQ(row.read, Bytes(buffer.data(), size));
        EXPECT_TRUE(buffer.GuardIntact());

        DWORD sizeOnly = Poison;
        EXPECT_EQ(ERROR_SUCCESS,
                  RegQueryValueExA(key, "Value", nullptr, nullptr, nullptr, &sizeOnly));
        EXPECT_EQ(row.read.size(), sizeOnly) << "size asked without a buffer";
    }
}

// A string handed over without its terminator: when the byte after the given
// size is a zero, it is taken in as the terminator; otherwise the string is
// stored unterminated, reported at its length, and read back with a
// terminator after it when the buffer has room for one.
TEST_F(RegistryContract, StringsWithoutTerminatorAreTerminatedWherePossible) {
    const char counted[] = "5.50";   // a zero follows the 4 bytes given
    const char followed[] = "5.50X"; // a non-zero byte follows them
    ASSERT_EQ(ERROR_SUCCESS,
              RegSetValueExA(key, "Counted", 0, REG_SZ, reinterpret_cast<const BYTE*>(counted), 4));
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(key, "Unterminated", 0, REG_SZ,
                                            reinterpret_cast<const BYTE*>(followed), 4));
    struct Row {
        const char* name;
        const char* value;
        DWORD capacity;
        DWORD size;       // as reported
        std::string read; // the first five bytes of the buffer afterwards
    } rows[] = {
        {"zero after the data", "Counted", 16, 5, Bytes("5.50", 5)},
        {"unterminated, room for a terminator", "Unterminated", 16, 4, Bytes("5.50", 5)},
        {"unterminated, no room", "Unterminated", 4, 4, Bytes("5.50\xA5", 5)},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        GuardedBuffer buffer(row.capacity);
        DWORD size = row.capacity;
        ASSERT_EQ(ERROR_SUCCESS,
                  RegQueryValueExA(key, row.value, nullptr, nullptr, buffer.data(), &size));
        EXPECT_EQ(row.size, size);
        EXPECT_EQ(row.read, Bytes(buffer.data(), 5));
        EXPECT_TRUE(buffer.GuardIntact());
    }
}

// ---- Looking through a key's values -------------------------------------------------------

TEST_F(RegistryContract, QueryInfoKeyCountsNamesWithoutTerminatorAndTheLongestData) {
    SetText("A", "short");
    Set("Longest Name", REG_DWORD, Bytes("\x01\x00\x00\x00", 4));
    Set("Bin", REG_BINARY, std::string(37, '\x7F'));
    DWORD values = Poison, longestName = Poison, longestData = Poison;
    ASSERT_EQ(ERROR_SUCCESS,
              RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values,
                               &longestName, &longestData, nullptr, nullptr));
    EXPECT_EQ(3u, values);
    EXPECT_EQ(12u, longestName) << "\"Longest Name\" is 12 characters";
    EXPECT_EQ(37u, longestData) << "the binary value's 37 bytes";
}

// The NT family keeps strings in UTF-16 and reports their stored size: twice
// what the ANSI functions read back, so a buffer of that size always fits.
TEST_F(RegistryContract, QueryInfoKeyCountsAStringAsStoredInUtf16) {
    SetText("Font", "C:\\WINDOWS\\FONTS\\vietnam.ttf"); // 28 bytes and a terminator
    Set("Bin", REG_BINARY, std::string(40, '\x7F'));
    DWORD longestData = Poison;
    ASSERT_EQ(ERROR_SUCCESS,
              RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                               nullptr, &longestData, nullptr, nullptr));
    EXPECT_EQ(2u * 29u, longestData);
}

// Windows lists values in the order they were created; Wine lists them by
// name. The launcher looks at every value and relies on neither order.
TEST_F(RegistryContract, EnumValueListsEveryValueOnceThenNoMoreItems) {
    const std::string names[] = {"Zeta", "alpha", "Mid"};
    for (const std::string& name : names)
        SetText(name.c_str(), name);
    std::multiset<std::string> seen;
    DWORD index = 0;
    for (; index < 3; index++) {
        SCOPED_TRACE(index);
        char name[64] = {};
        DWORD nameLength = sizeof name;
        ASSERT_EQ(ERROR_SUCCESS,
                  RegEnumValueA(key, index, name, &nameLength, nullptr, nullptr, nullptr, nullptr));
        seen.insert(name);
    }
    EXPECT_EQ(std::multiset<std::string>(std::begin(names), std::end(names)), seen);
    char name[64];
    DWORD nameLength = sizeof name;
    EXPECT_EQ(ERROR_NO_MORE_ITEMS,
              RegEnumValueA(key, index, name, &nameLength, nullptr, nullptr, nullptr, nullptr));
}

TEST_F(RegistryContract, EnumValueNeedsRoomForTheNameTerminatorButNotForTheData) {
    const std::string data = std::string(11, 'd'); // stored as binary: no terminator involved
    Set("Vietnam (TrueType)", REG_BINARY, data);   // an 18-character name
    struct Row {
        const char* name;
        DWORD nameCapacity;
        DWORD dataCapacity;
        LONG expected;
    } rows[] = {
        {"name without room for its terminator", 18, 64, ERROR_MORE_DATA},
        {"name and terminator", 19, 64, ERROR_SUCCESS},
        {"data exactly", 19, 11, ERROR_SUCCESS},
        {"data one byte short", 64, 10, ERROR_MORE_DATA},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        GuardedBuffer name(row.nameCapacity);
        GuardedBuffer value(row.dataCapacity);
        DWORD nameLength = row.nameCapacity;
        DWORD size = row.dataCapacity;
        DWORD type = Poison;
        LONG status =
            RegEnumValueA(key, 0, name.text(), &nameLength, nullptr, &type, value.data(), &size);
        EXPECT_EQ(row.expected, status);
        EXPECT_TRUE(name.GuardIntact()) << "written past the name";
        EXPECT_TRUE(value.GuardIntact()) << "written past the data";
        if (status != ERROR_SUCCESS)
            continue;
        EXPECT_EQ(18u, nameLength) << "the name's length comes back without its terminator";
        EXPECT_STREQ("Vietnam (TrueType)", name.text());
        EXPECT_EQ(11u, size);
        EXPECT_EQ(REG_BINARY, type);
        EXPECT_EQ(data, Bytes(value.data(), size));
    }
}

TEST_F(RegistryContract, EnumValueGivesStringDataAsStored) {
    SetText("Vietnam (TrueType)", "C:\\WINDOWS\\FONTS\\vietnam.ttf"); // 28 bytes and a terminator
    char name[64];
    GuardedBuffer value(29);
    DWORD nameLength = sizeof name;
    DWORD size = 29;
    DWORD type = Poison;
    ASSERT_EQ(ERROR_SUCCESS,
              RegEnumValueA(key, 0, name, &nameLength, nullptr, &type, value.data(), &size));
    EXPECT_EQ(REG_SZ, type);
    EXPECT_EQ(29u, size);
    EXPECT_STREQ("C:\\WINDOWS\\FONTS\\vietnam.ttf", value.text());
    EXPECT_TRUE(value.GuardIntact());
}

// ---- Kernel ------------------------------------------------------------------------------

TEST(KernelContract, CreateMutexReportsANameThatAlreadyExists) {
    const char name[] = "LauncherContractMutex";
    SetLastError(Poison);
    HANDLE first = CreateMutexA(nullptr, TRUE, name);
    DWORD firstError = GetLastError();
    ASSERT_NE(nullptr, first);
    EXPECT_NE(DWORD(ERROR_ALREADY_EXISTS), firstError) << "a new name";

    SetLastError(Poison);
    HANDLE second = CreateMutexA(nullptr, TRUE, name);
    EXPECT_EQ(DWORD(ERROR_ALREADY_EXISTS), GetLastError()) << "the same name again";
    EXPECT_NE(nullptr, second) << "the existing mutex is still opened";
    CloseHandle(second);
    CloseHandle(first);
}

// The launcher reads a result of at least the buffer's size as "did not fit"
// and never reads a cut-off path: whether the system terminates it then
// differs between Windows versions.
TEST(KernelContract, ModuleFileNameThatDoesNotFitIsReportedByItsLength) {
    GuardedBuffer whole(MAX_PATH);
    DWORD length = GetModuleFileNameA(nullptr, whole.text(), MAX_PATH);
    ASSERT_GT(length, 4u);
    ASSERT_LT(length, DWORD(MAX_PATH));
    EXPECT_EQ(strlen(whole.text()), size_t(length)) << "a path that fits is terminated";
    EXPECT_EQ(':', whole.text()[1]) << whole.text();

    const DWORD small = 4;
    GuardedBuffer cut(small);
    DWORD cutLength = GetModuleFileNameA(nullptr, cut.text(), small);
    EXPECT_GE(cutLength, small);
    EXPECT_TRUE(cut.GuardIntact()) << "written past the buffer";
    EXPECT_EQ(Bytes(whole.text(), small - 1), Bytes(cut.text(), small - 1));
}

TEST(KernelContract, VersionInfoOfTheClassicSizeIsFilledIn) {
    OSVERSIONINFOA info;
    memset(&info, 0, sizeof info);
    info.dwOSVersionInfoSize = 148;
    ASSERT_EQ(148u, sizeof info);
    ASSERT_TRUE(GetVersionExA(&info));
    EXPECT_GE(info.dwMajorVersion, 4u);
    EXPECT_TRUE(info.dwPlatformId == VER_PLATFORM_WIN32_NT ||
                info.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS)
        << "platform " << info.dwPlatformId;

    OSVERSIONINFOA wrongSize;
    memset(&wrongSize, 0, sizeof wrongSize);
    wrongSize.dwOSVersionInfoSize = 100;
    EXPECT_FALSE(GetVersionExA(&wrongSize));
}

TEST(KernelContract, DefaultAnsiCodePageHasNoLeadBytes) {
    CPINFO info;
    memset(&info, 0xA5, sizeof info);
    ASSERT_TRUE(GetCPInfo(CP_ACP, &info));
    EXPECT_EQ(1u, info.MaxCharSize);
    EXPECT_EQ(0, info.LeadByte[0]);
    EXPECT_EQ(0, info.LeadByte[1]);
}

// ---- Files --------------------------------------------------------------------------------

class FileContract : public ::testing::Test {
  protected:
    void SetUp() override {
        std::filesystem::remove_all("contract-scratch");
        ASSERT_TRUE(std::filesystem::create_directory("contract-scratch"));
    }
    void TearDown() override {
        std::filesystem::remove_all("contract-scratch");
    }

    static void WriteWhole(const char* path, const std::string& content) {
        HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, file) << path;
        DWORD written = Poison;
        EXPECT_TRUE(WriteFile(file, content.data(), DWORD(content.size()), &written, nullptr));
        EXPECT_EQ(content.size(), written);
        CloseHandle(file);
    }

    static HANDLE OpenForReading(const char* path) {
        return CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    }
};

TEST_F(FileContract, AttributesTellDirectoriesFilesAndMissingPaths) {
    WriteWhole("contract-scratch\\font.ttf", "x");
    DWORD directory = GetFileAttributesA("contract-scratch");
    ASSERT_NE(INVALID_FILE_ATTRIBUTES, directory);
    EXPECT_NE(0u, directory & FILE_ATTRIBUTE_DIRECTORY) << std::hex << directory;

    DWORD file = GetFileAttributesA("contract-scratch\\font.ttf");
    ASSERT_NE(INVALID_FILE_ATTRIBUTES, file);
    EXPECT_EQ(0u, file & FILE_ATTRIBUTE_DIRECTORY) << std::hex << file;

    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA("contract-scratch\\missing.ttf"));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA("contract-scratch\\missing\\x.ttf"));
}

TEST_F(FileContract, OpeningADirectoryOrAMissingFileAsAFileFails) {
    EXPECT_EQ(INVALID_HANDLE_VALUE, OpenForReading("contract-scratch"));
    EXPECT_EQ(INVALID_HANDLE_VALUE, OpenForReading("contract-scratch\\missing.ttf"));
}

TEST_F(FileContract, CreateAlwaysTruncatesAndReadingAtTheEndGivesNothing) {
    WriteWhole("contract-scratch\\copy.ttf", "old and longer content");
    WriteWhole("contract-scratch\\copy.ttf", "new");

    HANDLE file = OpenForReading("contract-scratch\\copy.ttf");
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    char buffer[64];
    DWORD read = Poison;
    EXPECT_TRUE(ReadFile(file, buffer, sizeof buffer, &read, nullptr));
    EXPECT_EQ("new", Bytes(buffer, read));

    read = Poison;
    EXPECT_TRUE(ReadFile(file, buffer, sizeof buffer, &read, nullptr)) << "read at the end";
    EXPECT_EQ(0u, read);
    CloseHandle(file);
}

} // namespace
