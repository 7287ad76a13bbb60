#include "fontlocations.h"

#include "standin.h"

#include <cstring>
#include <gtest/gtest.h>
#include <new>
#include <string>
#include <vector>

namespace {

const char SetupKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Setup";
const char NtFontsKey[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts";
const char NineXFontsKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Fonts\\";
const unsigned char Poison = 0xCC;
const size_t GuardSize = 16;

// Builds a record in storage full of poison with guard bytes after it, so that
// a field left unset or a write past the record shows.
class PoisonedLocations {
  public:
    PoisonedLocations() {
        memset(storage_, Poison, sizeof storage_);
        record_ = new (storage_) FontLocations;
    }
    ~PoisonedLocations() {
        record_->~FontLocations();
    }
    const FontLocations& operator*() const {
        return *record_;
    }
    const FontLocations* operator->() const {
        return record_;
    }
    bool GuardIntact() const {
        for (size_t i = sizeof(FontLocations); i < sizeof storage_; i++)
            if (storage_[i] != Poison)
                return false;
        return true;
    }

  private:
    alignas(FontLocations) unsigned char storage_[sizeof(FontLocations) + GuardSize];
    FontLocations* record_;
};

class FontLocationsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        standin::Reset();
    }
    void TearDown() override {
        standin::Reset();
        SystemFontLocations = FontLocations();
    }
};

struct SetupCase {
    const char* name;
    bool setupKey;
    bool sharedDir;
    DWORD type;
    std::string data;
    const char* failingService; // fails once, or null
    int expectedNtFamily;
};

TEST_F(FontLocationsTest, FontsKeyPathFollowsTheSetupKey) {
    const std::vector<SetupCase> cases = {
        {"no Setup key", false, false, REG_SZ, "", nullptr, 1},
        {"Setup key without SharedDir", true, false, REG_SZ, "", nullptr, 1},
        {"SharedDir as text", true, true, REG_SZ, std::string("C:\\WINDOWS", 11), nullptr, 0},
        {"SharedDir as a number", true, true, REG_DWORD, std::string("\x01\0\0\0", 4), nullptr, 0},
        {"SharedDir of one byte", true, true, REG_BINARY, "x", nullptr, 0},
        {"SharedDir with no data", true, true, REG_SZ, "", nullptr, 1},
        {"Setup key does not open", true, true, REG_SZ, "C:\\WINDOWS", "RegOpenKeyExA", 1},
        {"SharedDir cannot be read", true, true, REG_SZ, "C:\\WINDOWS", "RegQueryValueExA", 1},
    };
    for (const SetupCase& row : cases) {
        SCOPED_TRACE(row.name);
        standin::Reset();
        if (row.setupKey)
            standin::CreateKey(HKEY_LOCAL_MACHINE, SetupKey);
        if (row.sharedDir)
            standin::SetValue(HKEY_LOCAL_MACHINE, SetupKey, "SharedDir", row.type, row.data);
        if (row.failingService)
            standin::FailCall(row.failingService);

        PoisonedLocations locations;

        EXPECT_EQ(row.expectedNtFamily, locations->NtFamily);
        EXPECT_STREQ(row.expectedNtFamily ? NtFontsKey : NineXFontsKey, locations->FontsKeyPath);
        EXPECT_TRUE(locations.GuardIntact());
        EXPECT_EQ(0, standin::OpenKeyHandles()) << "the Setup key is closed again";
        ASSERT_EQ(1u, standin::KeyOpens().size());
        EXPECT_STREQ(SetupKey, standin::KeyOpens()[0].path.c_str());
        EXPECT_EQ(KEY_READ, standin::KeyOpens()[0].access);
    }
}

struct DirectoryCase {
    const char* name;
    std::string windowsDirectory;
    bool failRead;
    std::string expectedWindowsDirectory;
    std::string expectedFontsDirectory;
};

TEST_F(FontLocationsTest, FontsDirectoryFollowsTheWindowsDirectory) {
    // 252 bytes leave exactly room for "\FONTS\" and the terminator.
    const std::string fits = "C:\\" + std::string(249, 'w');
    const std::string tooLong = fits + "w";
    const std::string overLimit = "C:\\" + std::string(300, 'w');
    const std::vector<DirectoryCase> cases = {
        {"ordinary", "C:\\WINDOWS", false, "C:\\WINDOWS", "C:\\WINDOWS\\FONTS\\"},
        {"lower case kept, FONTS in capitals", "c:\\winnt", false, "c:\\winnt",
         "c:\\winnt\\FONTS\\"},
        {"a root directory gives two backslashes", "C:\\", false, "C:\\", "C:\\\\FONTS\\"},
        {"longest that fits", fits, false, fits, fits + "\\FONTS\\"},
        {"no room for FONTS", tooLong, false, tooLong, ""},
        {"longer than a path buffer", overLimit, false, "", ""},
        {"directory not readable", "C:\\WINDOWS", true, "", ""},
    };
    for (const DirectoryCase& row : cases) {
        SCOPED_TRACE(row.name);
        standin::Reset();
        standin::SetWindowsDirectory(row.windowsDirectory);
        if (row.failRead)
            standin::FailCall("GetWindowsDirectoryA");

        PoisonedLocations locations;

        EXPECT_EQ(row.expectedWindowsDirectory, locations->WindowsDirectory);
        EXPECT_EQ(row.expectedFontsDirectory, locations->FontsDirectory);
        EXPECT_STREQ(NtFontsKey, locations->FontsKeyPath) << "nothing written past a buffer";
        EXPECT_TRUE(locations.GuardIntact());
    }
}

} // namespace
