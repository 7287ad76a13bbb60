#include "probes.h"
#include "standin.h"

#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

const char BrowserKey[] = "SOFTWARE\\Microsoft\\Internet Explorer";
const char ProductKey[] = "SOFTWARE\\Lumenor Network\\Lumenor Scrivo\\2002";

// Leaves `word` all over the stack below the caller's frame, where the locals
// of the caller's next call will lie: what a probe reads without writing first
// then shows through.
__attribute__((noinline)) void PaintStack(DWORD word) {
    volatile DWORD area[4096];
    for (volatile DWORD& slot : area)
        slot = word;
}

class ProbesTest : public ::testing::Test {
  protected:
    void SetUp() override {
        standin::Reset();
    }
    void TearDown() override {
        standin::Reset();
    }

    // The caller's path buffer, with guard bytes after it that no read may touch.
    struct GuardedPath {
        char path[MAX_PATH];
        char guard[16];
    } buffer;
    static constexpr char Guard = '\x5A';

    void FillBuffer() {
        memset(&buffer, Guard, sizeof buffer);
    }
    bool GuardIntact() const {
        for (char c : buffer.guard)
            if (c != Guard)
                return false;
        return true;
    }
};

// ---- Windows version ---------------------------------------------------------

TEST_F(ProbesTest, VersionCodeClassifiesEachPlatformByItsFields) {
    const DWORD nt = VER_PLATFORM_WIN32_NT, nine = VER_PLATFORM_WIN32_WINDOWS;
    struct Row {
        const char* name;
        DWORD platform, major, minor, build;
        int expected;
    } rows[] = {
        // The 9x family carries major and minor in the build field's high word.
        {"Windows 95", nine, 4, 0, 0x040003B6, 0},
        {"9x minor 9", nine, 4, 9, 0x040903B6, 0},
        {"9x minor 10, build 2222", nine, 4, 10, 2222, 1},
        {"9x minor 10, build 2223", nine, 4, 10, 2223, 2},
        {"9x minor 10, build 0", nine, 4, 10, 0, 1},
        {"Windows 98 (build 1998)", nine, 4, 10, 0x040A07CE, 2},
        {"Windows 98 SE (build 2222)", nine, 4, 10, 0x040A08AE, 2},
        {"9x build field compared whole, low word 0", nine, 4, 10, 0x00010000, 2},
        {"9x minor 89, build 2222", nine, 4, 89, 2222, 1},
        {"9x minor 89, build 2223", nine, 4, 89, 2223, 2},
        {"9x minor 90, build 0", nine, 4, 90, 0, 3},
        {"Windows ME", nine, 4, 90, 0x045A0BB8, 3},
        {"9x minor 255", nine, 4, 255, 0, 3},
        {"9x major plays no part", nine, 9, 0, 0xFFFFFFFF, 0},
        {"NT 3.51", nt, 3, 51, 1057, 4},
        {"NT 4.0", nt, 4, 0, 1381, 4},
        {"NT major 4, huge build", nt, 4, 0, 0xFFFFFFFF, 4},
        {"NT major 5, build 2195", nt, 5, 0, 2195, 5},
        {"NT major 5, build 2196", nt, 5, 0, 2196, 6},
        {"NT minor plays no part", nt, 5, 1, 2195, 5},
        {"Windows XP", nt, 5, 1, 2600, 6},
        {"Windows Server 2003", nt, 5, 2, 3790, 6},
        {"NT major 6", nt, 6, 0, 6000, 6},
        {"Windows 7", nt, 6, 1, 7601, 6},
        {"Windows 10", nt, 10, 0, 19045, 6},
        {"NT major 6 with a build below 2196", nt, 6, 0, 100, 5},
        {"Win32s", VER_PLATFORM_WIN32s, 3, 10, 0, 0},
        {"platform 3", 3, 5, 0, 2600, 0},
        {"platform all ones", 0xFFFFFFFF, 5, 1, 2600, 0},
    };
    for (const Row& row : rows) {
        standin::Reset();
        standin::SetVersion(row.platform, row.major, row.minor, row.build);
        EXPECT_EQ(row.expected, GetOsVersionCode()) << "case: " << row.name;
    }
}

TEST_F(ProbesTest, FailedVersionCallGivesTheWin32sCodeNotStaleData) {
    // Painted with 2s, an unwritten structure would read as NT 2.2, code 4.
    standin::FailCall("GetVersionExA");
    PaintStack(VER_PLATFORM_WIN32_NT);
    EXPECT_EQ(0, GetOsVersionCode());
}

// ---- Browser version ---------------------------------------------------------

TEST_F(ProbesTest, BrowserVersionReadsMajorAndFirstMinorDigit) {
    const std::string digits100(100, '7');
    const std::string unterminated100 = "6.0.2800.1106" + std::string(87, '9');
    struct Row {
        const char* name;
        DWORD type;
        std::string data; // raw bytes, terminator included where there is one
        int expected;
    } rows[] = {
        {"IE 5.5", REG_SZ, std::string("5.50.4807.2300", 15), 55},
        {"IE 6", REG_SZ, std::string("6.0.2800.1106", 14), 60},
        {"IE 5", REG_SZ, std::string("5.00.2919.6307", 15), 50},
        {"IE 4.72", REG_SZ, std::string("4.72.3110.8", 12), 47},
        {"two-digit major", REG_SZ, std::string("10.0.1", 7), 100},
        {"Wine's default", REG_SZ, std::string("9.11.9600.18376", 16), 91},
        {"leading zeros belong to the major", REG_SZ, std::string("05.5", 5), 55},
        {"comma ends the major", REG_SZ, std::string("5,5", 4), 55},
        {"space ends the major", REG_SZ, std::string("6 0", 4), 60},
        {"nothing after the point", REG_SZ, std::string("5.", 3), 0},
        {"letter after the point", REG_SZ, std::string("5.x", 4), 0},
        {"second point after the point", REG_SZ, std::string("5..5", 5), 0},
        {"major only", REG_SZ, std::string("5", 2), 0},
        {"no leading digit", REG_SZ, std::string(".5", 3), 0},
        {"leading space", REG_SZ, std::string(" 5.5", 5), 0},
        {"empty text", REG_SZ, std::string("", 1), 0},
        {"no data", REG_SZ, "", 0},
        {"terminator ends the text", REG_SZ, std::string("5") + '\0' + "5", 0},
        {"three bytes, no terminator", REG_SZ, "6.0", 60},
        {"two bytes, no terminator", REG_BINARY, "6.", 0},
        {"one byte, no terminator", REG_BINARY, "6", 0},
        {"type not examined", REG_DWORD, std::string("5.5\0", 4), 55},
        {"100 bytes, no terminator", REG_SZ, unterminated100, 60},
        {"101 bytes", REG_SZ, unterminated100 + "9", 0},
        {"100 digits", REG_SZ, digits100, 0},
        {"largest major", REG_SZ, std::string("214748363.9", 12), 2147483639},
        {"major one too large", REG_SZ, std::string("214748364.0", 12), 0},
        {"major far too large", REG_SZ, std::string(20, '9') + ".5", 0},
    };
    for (const Row& row : rows) {
        standin::Reset();
        standin::SetValue(HKEY_LOCAL_MACHINE, BrowserKey, "Version", row.type, row.data);
        EXPECT_EQ(row.expected, GetBrowserVersion()) << "case: " << row.name;
        EXPECT_EQ(0, standin::OpenKeyHandles()) << "case: " << row.name;
    }
}

TEST_F(ProbesTest, BrowserVersionLooksOnlyAtTheBytesRead) {
    // Painted with digits, the buffer past the data read would give 65 or 55.
    for (const char* shortData : {"6.", "6"}) {
        standin::SetValue(HKEY_LOCAL_MACHINE, BrowserKey, "Version", REG_BINARY, shortData);
        PaintStack(0x35353535); // "5555"
        EXPECT_EQ(0, GetBrowserVersion()) << "case: " << shortData;
    }
}

// Ways a probe's value cannot be read; the key holds another value whenever
// it exists, so that an empty key is not what makes the difference.
struct UnreadableValue {
    const char* name;
    bool keyExists, valueExists;
    const char* failingService;
};
const UnreadableValue UnreadableValues[] = {
    {"no key", false, false, nullptr},
    {"no value", true, false, nullptr},
    {"open fails", true, true, "RegOpenKeyExA"},
    {"read fails", true, true, "RegQueryValueExA"},
};

void Arrange(const UnreadableValue& row, const char* key, const char* valueName, const char* data) {
    standin::Reset();
    if (row.keyExists)
        standin::SetString(HKEY_LOCAL_MACHINE, key, "Other", "x");
    if (row.valueExists)
        standin::SetString(HKEY_LOCAL_MACHINE, key, valueName, data);
    if (row.failingService)
        standin::FailCall(row.failingService);
}

TEST_F(ProbesTest, BrowserVersionIsZeroWhenNothingCanBeRead) {
    for (const UnreadableValue& row : UnreadableValues) {
        Arrange(row, BrowserKey, "Version", "6.0.2800.1106");
        EXPECT_EQ(0, GetBrowserVersion()) << "case: " << row.name;
        EXPECT_EQ(0, standin::OpenKeyHandles()) << "case: " << row.name;
    }
}

// ---- Product installed ---------------------------------------------------------

TEST_F(ProbesTest, InstalledExactlyWhenTheValueFitsThePathBuffer) {
    const std::string path259 = "C:\\" + std::string(256, 'p');
    struct Row {
        const char* name;
        DWORD type;
        std::string data;
        int expected;
    } rows[] = {
        {"a path", REG_SZ, std::string("C:\\Program Files\\Scrivo", 24), 1},
        {"empty text", REG_SZ, std::string("", 1), 1},
        {"no data at all", REG_SZ, "", 1},
        {"a number", REG_DWORD, std::string("\x01\x00\x00\x00", 4), 1},
        {"260 bytes with terminator", REG_SZ, path259 + '\0', 1},
        {"260 bytes without terminator", REG_BINARY, path259 + 'x', 1},
        {"261 bytes", REG_SZ, path259 + "x" + '\0', 0},
        {"far too long", REG_SZ, std::string(1000, 'p'), 0},
    };
    for (const Row& row : rows) {
        standin::Reset();
        standin::SetValue(HKEY_LOCAL_MACHINE, ProductKey, "ProgramPath", row.type, row.data);
        FillBuffer();
        EXPECT_EQ(row.expected, IsProductInstalled(buffer.path)) << "case: " << row.name;
        EXPECT_TRUE(GuardIntact()) << "case: " << row.name;
        if (row.expected == 1) {
            EXPECT_EQ(0, memcmp(row.data.data(), buffer.path, row.data.size()))
                << "case: " << row.name;
        }
        EXPECT_EQ(0, standin::OpenKeyHandles()) << "case: " << row.name;
    }
}

TEST_F(ProbesTest, NotInstalledWhenThePathCannotBeRead) {
    for (const UnreadableValue& row : UnreadableValues) {
        Arrange(row, ProductKey, "ProgramPath", "C:\\Scrivo");
        FillBuffer();
        EXPECT_EQ(0, IsProductInstalled(buffer.path)) << "case: " << row.name;
        EXPECT_TRUE(GuardIntact()) << "case: " << row.name;
        EXPECT_EQ(0, standin::OpenKeyHandles()) << "case: " << row.name;
    }
}

// ---- Access ------------------------------------------------------------------

TEST_F(ProbesTest, ProbesOpenTheirKeysForReadingOnly) {
    standin::SetString(HKEY_LOCAL_MACHINE, ProductKey, "ProgramPath", "C:\\Scrivo");
    standin::SetString(HKEY_LOCAL_MACHINE, BrowserKey, "Version", "6.0.2800.1106");
    FillBuffer();
    IsProductInstalled(buffer.path);
    GetBrowserVersion();
    const std::vector<standin::KeyOpen>& opens = standin::KeyOpens();
    ASSERT_EQ(2u, opens.size());
    EXPECT_EQ(ProductKey, opens[0].path);
    EXPECT_EQ(KEY_READ, opens[0].access);
    EXPECT_EQ(BrowserKey, opens[1].path);
    EXPECT_EQ(KEY_READ, opens[1].access);
}

TEST_F(ProbesTest, LimitedAccountSeesTheProductAndTheBrowser) {
    standin::SetString(HKEY_LOCAL_MACHINE, ProductKey, "ProgramPath", "C:\\Scrivo");
    standin::SetString(HKEY_LOCAL_MACHINE, BrowserKey, "Version", "6.0.2800.1106");
    standin::DenyWriteAccess(HKEY_LOCAL_MACHINE, ProductKey);
    standin::DenyWriteAccess(HKEY_LOCAL_MACHINE, BrowserKey);
    FillBuffer();
    EXPECT_EQ(1, IsProductInstalled(buffer.path));
    EXPECT_EQ(60, GetBrowserVersion());
    for (const standin::KeyOpen& open : standin::KeyOpens())
        EXPECT_EQ(ERROR_SUCCESS, open.result) << "case: " << open.path;
}

} // namespace
