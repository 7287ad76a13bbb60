// Splitting and joining paths by the runtime library's rules, under single-
// and double-byte code pages.
#include "pathrules.h"
#include "standin.h"

#include <cstdint>
#include <cstring>
#include <gtest/gtest.h>
#include <random>
#include <string>
#include <vector>

namespace {

const unsigned char SingleByte[] = {0, 0};
const unsigned char Cp932[] = {0x81, 0x9F, 0xE0, 0xFC, 0, 0};
const unsigned char Cp936[] = {0x81, 0xFE, 0, 0};
const unsigned char BackslashLeads[] = {0x5C, 0x5C, 0, 0};

const char Guard = char(0xCC);
const size_t GuardBytes = 16;

// A buffer that the code under test may fill up to `Size` bytes, followed by
// guard bytes. Everything after the written terminator must stay untouched.
template <size_t Size> class Guarded {
  public:
    Guarded() {
        memset(bytes_, Guard, sizeof bytes_);
    }
    char* Get() {
        return bytes_;
    }
    // The text written, after checking that it was terminated within `Size`
    // bytes and that nothing after the terminator changed.
    std::string Text(const char* what) const {
        const void* terminator = memchr(bytes_, 0, Size);
        if (!terminator) {
            ADD_FAILURE() << what << ": no terminator within " << Size << " bytes";
            return std::string(bytes_, Size);
        }
        size_t length = static_cast<const char*>(terminator) - bytes_;
        for (size_t i = length + 1; i < sizeof bytes_; i++)
            if (bytes_[i] != Guard) {
                ADD_FAILURE() << what << ": byte " << i << " after the terminator at " << length
                              << " was written";
                break;
            }
        return std::string(bytes_, length);
    }

  private:
    char bytes_[Size + GuardBytes];
};

struct Components {
    std::string drive, directory, baseName, extension;
};

// SplitPath asks only 3 bytes of a drive buffer, the rest a full component each.
Components Split(const std::string& path) {
    Guarded<3> drive;
    Guarded<ComponentBufferSize> directory, baseName, extension;
    SplitPath(path.c_str(), drive.Get(), directory.Get(), baseName.Get(), extension.Get());
    return {drive.Text("drive"), directory.Text("directory"), baseName.Text("base name"),
            extension.Text("extension")};
}

void ExpectComponents(const Components& expected, const Components& actual) {
    EXPECT_EQ(expected.drive, actual.drive) << "drive";
    EXPECT_EQ(expected.directory, actual.directory) << "directory";
    EXPECT_EQ(expected.baseName, actual.baseName) << "base name";
    EXPECT_EQ(expected.extension, actual.extension) << "extension";
}

// A component of MakePath given as absent or as text.
struct Part {
    bool given;
    std::string text;
    const char* Get() const {
        return given ? text.c_str() : nullptr;
    }
};
const Part None = {false, ""};
Part P(const std::string& text) {
    return {true, text};
}

struct MakeResult {
    int result;
    std::string destination; // up to its terminator; "<untouched>" if capacity 0 left it so
};

// Joins into a buffer of `capacity` bytes followed by guard bytes, checking
// that nothing past `capacity` was written.
MakeResult Make(size_t capacity, const Part& drive, const Part& directory, const Part& baseName,
                const Part& extension) {
    std::vector<char> buffer(capacity + GuardBytes, Guard);
    int result = MakePath(buffer.data(), capacity, drive.Get(), directory.Get(), baseName.Get(),
                          extension.Get());
    for (size_t i = capacity; i < buffer.size(); i++)
        if (buffer[i] != Guard) {
            ADD_FAILURE() << "byte " << i << " past the capacity of " << capacity << " was written";
            break;
        }
    const void* terminator = memchr(buffer.data(), 0, capacity);
    if (!terminator)
        return {result, capacity == 0 ? "<untouched>" : "<unterminated>"};
    return {result, std::string(buffer.data())};
}

class PathRulesTest : public ::testing::Test {
  protected:
    void SetUp() override {
        SetLeadByteRanges(SingleByte);
    }
    void TearDown() override {
        standin::Reset();
        FixLeadByteSet();
    }
};

struct SplitCase {
    const char* name;
    const unsigned char* ranges;
    std::string path;
    Components expected;
};

void RunSplitCases(const std::vector<SplitCase>& cases) {
    for (const SplitCase& row : cases) {
        SCOPED_TRACE(std::string("case: ") + row.name);
        SetLeadByteRanges(row.ranges);
        ExpectComponents(row.expected, Split(row.path));
    }
}

TEST_F(PathRulesTest, SplitPathFollowsTheRuntimeRulesUnderASingleByteCodePage) {
    const unsigned char* s = SingleByte;
    RunSplitCases({
        {"launcher path", s, "E:\\setup\\launch.exe", {"E:", "\\setup\\", "launch", ".exe"}},
        {"launcher in the root", s, "E:\\launch.exe", {"E:", "\\", "launch", ".exe"}},
        {"relative font path", s, "fonts\\sample.ttf", {"", "fonts\\", "sample", ".ttf"}},
        {"Fonts value data",
         s,
         "C:\\WINDOWS\\FONTS\\SAMPLE.TTF",
         {"C:", "\\WINDOWS\\FONTS\\", "SAMPLE", ".TTF"}},
        {"fonts directory", s, "C:\\WINDOWS\\FONTS\\", {"C:", "\\WINDOWS\\FONTS\\", "", ""}},
        {"empty path", s, "", {"", "", "", ""}},
        {"drive alone", s, "C:", {"C:", "", "", ""}},
        {"drive and a relative name", s, "C:readme.txt", {"C:", "", "readme", ".txt"}},
        {"one byte", s, "x", {"", "", "x", ""}},
        {"colon alone is no drive", s, ":", {"", "", ":", ""}},
        {"any first byte makes a drive", s, "1:abc", {"1:", "", "abc", ""}},
        {"colon first then colon", s, "::x", {"::", "", "x", ""}},
        {"colon in the third byte", s, "ab:c.d", {"", "", "ab:c", ".d"}},
        {"network path",
         s,
         "\\\\server\\share\\cd\\launch.exe",
         {"", "\\\\server\\share\\cd\\", "launch", ".exe"}},
        {"dot only in the directory", s, "\\my.dir\\readme", {"", "\\my.dir\\", "readme", ""}},
        {"dotted directory ending the path", s, "dir.d/", {"", "dir.d/", "", ""}},
        {"last dot decides", s, "archive.tar.gz", {"", "", "archive.tar", ".gz"}},
        {"name that is all extension", s, "\\dir\\.profile", {"", "\\dir\\", "", ".profile"}},
        {"dot alone as extension", s, "name.", {"", "", "name", "."}},
        {"dot dot", s, "..", {"", "", ".", "."}},
        {"parent directory", s, "\\..\\x", {"", "\\..\\", "x", ""}},
        {"directory only", s, "C:\\dir\\", {"C:", "\\dir\\", "", ""}},
        {"mixed separators", s, "\\a/b\\c.d", {"", "\\a/b\\", "c", ".d"}},
        {"slash alone", s, "/", {"", "/", "", ""}},
        {"high bytes are characters by themselves",
         s,
         "\\\x95\\x\x81.e",
         {"", "\\\x95\\", "x\x81", ".e"}},
    });
}

TEST_F(PathRulesTest, SplitPathKeepsDoubleByteCharactersWhole) {
    RunSplitCases({
        {"932: trail 0x5C is no separator", Cp932, "\\dir\x95\\", {"", "\\", "dir\x95\\", ""}},
        {"932: directory ending in a trail 0x5C then a separator",
         Cp932,
         "C:\\\x95\\\\file.txt",
         {"C:", "\\\x95\\\\", "file", ".txt"}},
        {"932: two characters with trail 0x5C",
         Cp932,
         "\x95\\\x95\\",
         {"", "", "\x95\\\x95\\", ""}},
        {"932: trail dot is no dot", Cp932, "a\x81.b", {"", "", "a\x81.b", ""}},
        {"932: trail slash is no separator", Cp932, "\x81/x.e", {"", "", "\x81/x", ".e"}},
        {"932: lead byte as a trail byte", Cp932, "\x81\x81\\x", {"", "\x81\x81\\", "x", ""}},
        {"932: 0xA0 is single-byte", Cp932, "\\\xA0\\x", {"", "\\\xA0\\", "x", ""}},
        {"936: 0xA0 leads", Cp936, "\\\xA0\\x", {"", "\\", "\xA0\\x", ""}},
        {"936: directory ending in a trail 0x5C then a separator",
         Cp936,
         "\\\xFE\\\\a.b",
         {"", "\\\xFE\\\\", "a", ".b"}},
        {"932: lead byte and colon make a drive",
         Cp932,
         "\x81:\\dir\\f.e",
         {"\x81:", "\\dir\\", "f", ".e"}},
        {"932: lead byte and colon alone", Cp932, "\x81:", {"\x81:", "", "", ""}},
        {"932: rest starts after a double-byte drive",
         Cp932,
         "\x81:\x81\\x",
         {"\x81:", "", "\x81\\x", ""}},
        {"932: lone lead byte ending a base name",
         Cp932,
         "dir\\name\x81",
         {"", "dir\\", "name", ""}},
        {"932: lone lead byte ending an extension",
         Cp932,
         "dir\\n.e\x81",
         {"", "dir\\", "n", ".e"}},
        {"932: lone lead byte after a dot", Cp932, "n.\x81", {"", "", "n", "."}},
        {"932: lone lead byte after a separator", Cp932, "a\\\x81", {"", "a\\", "", ""}},
        {"932: lone lead byte as the path", Cp932, "\x81", {"", "", "", ""}},
        {"932: lone lead byte after a drive", Cp932, "C:\x81", {"C:", "", "", ""}},
    });
}

TEST_F(PathRulesTest, SplitPathKeepsAtMost255BytesOfWholeCharacters) {
    const std::string dbcs = "\x81\x40";
    const std::string trail5C = "\x95\\";
    RunSplitCases({
        {"base name of 300 bytes",
         SingleByte,
         "C:\\d\\" + std::string(300, 'a') + ".ext",
         {"C:", "\\d\\", std::string(255, 'a'), ".ext"}},
        {"base name of exactly 255 bytes",
         SingleByte,
         std::string(255, 'a') + ".e",
         {"", "", std::string(255, 'a'), ".e"}},
        {"base name of 256 bytes",
         SingleByte,
         std::string(256, 'a'),
         {"", "", std::string(255, 'a'), ""}},
        {"long directory: the name part still starts at the last separator",
         SingleByte,
         "\\" + std::string(300, 'd') + "\\name.e",
         {"", "\\" + std::string(254, 'd'), "name", ".e"}},
        {"long directory with its only dot beyond the limit",
         SingleByte,
         "\\" + std::string(300, 'd') + ".x\\f",
         {"", "\\" + std::string(254, 'd'), "f", ""}},
        {"long extension",
         SingleByte,
         "n." + std::string(300, 'e'),
         {"", "", "n", "." + std::string(254, 'e')}},
        {"932: character straddling the limit is left out",
         Cp932,
         std::string(254, 'a') + dbcs + "b.e",
         {"", "", std::string(254, 'a'), ".e"}},
        {"932: character ending at the limit is kept",
         Cp932,
         std::string(253, 'a') + dbcs + "b.e",
         {"", "", std::string(253, 'a') + dbcs, ".e"}},
        {"932: extension character straddling the limit",
         Cp932,
         "n." + std::string(253, 'e') + dbcs,
         {"", "", "n", "." + std::string(253, 'e')}},
        {"932: directory cut before a trail 0x5C",
         Cp932,
         "\\" + std::string(253, 'd') + trail5C + "\\f",
         {"", "\\" + std::string(253, 'd'), "f", ""}},
        {"936: base name of double-byte characters only",
         Cp936,
         std::string(300, '\xB0'),
         {"", "", std::string(254, '\xB0'), ""}},
    });
}

TEST_F(PathRulesTest, SplitPathWritesOnlyTheComponentsAskedFor) {
    const std::vector<std::string> paths = {"C:\\dir\\name.ext", "C:x.y", "\\\\server\\a.b\\c"};
    for (const std::string& path : paths) {
        Components whole = Split(path);
        for (int mask = 0; mask < 16; mask++) {
            SCOPED_TRACE("case: " + path + ", outputs " + std::to_string(mask));
            Guarded<3> drive;
            Guarded<ComponentBufferSize> directory, baseName, extension;
            SplitPath(path.c_str(), mask & 1 ? drive.Get() : nullptr,
                      mask & 2 ? directory.Get() : nullptr, mask & 4 ? baseName.Get() : nullptr,
                      mask & 8 ? extension.Get() : nullptr);
            if (mask & 1) {
                EXPECT_EQ(whole.drive, drive.Text("drive"));
            }
            if (mask & 2) {
                EXPECT_EQ(whole.directory, directory.Text("directory"));
            }
            if (mask & 4) {
                EXPECT_EQ(whole.baseName, baseName.Text("base name"));
            }
            if (mask & 8) {
                EXPECT_EQ(whole.extension, extension.Text("extension"));
            }
        }
    }
}

struct MakeCase {
    const char* name;
    const unsigned char* ranges;
    Part drive, directory, baseName, extension;
    std::string expected;
};

void RunMakeCases(const std::vector<MakeCase>& cases) {
    for (const MakeCase& row : cases) {
        SCOPED_TRACE(std::string("case: ") + row.name);
        SetLeadByteRanges(row.ranges);
        MakeResult made = Make(MAX_PATH, row.drive, row.directory, row.baseName, row.extension);
        EXPECT_EQ(1, made.result);
        EXPECT_EQ(row.expected, made.destination);
    }
}

TEST_F(PathRulesTest, MakePathJoinsByTheRuntimeRules) {
    const unsigned char* s = SingleByte;
    RunMakeCases({
        {"launch directory", s, P("E:"), P("\\setup\\"), None, None, "E:\\setup\\"},
        {"launch directory in the root", s, P("E:"), P("\\"), None, None, "E:\\"},
        {"font destination", s, P("C:"), P("\\WINDOWS\\FONTS\\"), P("sample"), P(".ttf"),
         "C:\\WINDOWS\\FONTS\\sample.ttf"},
        {"registry value data", s, None, None, P("sample"), P(".ttf"), "sample.ttf"},
        {"drive letter alone", s, P("C"), None, None, None, "C:"},
        {"rest of the drive ignored", s, P("Cxyz"), P("\\d\\"), None, None, "C:\\d\\"},
        {"empty drive", s, P(""), P("\\d\\"), None, None, "\\d\\"},
        {"no separator after the drive", s, P("C:"), P("dir\\"), P("f"), None, "C:dir\\f"},
        {"directory without a final separator", s, None, P("\\dir"), P("f"), None, "\\dir\\f"},
        {"directory ending in a slash", s, None, P("\\dir/"), P("f"), None, "\\dir/f"},
        {"directory alone gets its separator", s, P("C:"), P("dir"), None, None, "C:dir\\"},
        {"network directory", s, P(""), P("\\\\server\\share\\cd\\"), None, None,
         "\\\\server\\share\\cd\\"},
        {"extension without a dot", s, None, None, P("sample"), P("ttf"), "sample.ttf"},
        {"empty extension", s, None, None, P("sample"), P(""), "sample"},
        {"absent extension", s, None, None, P("sample"), None, "sample"},
        {"dot alone", s, None, None, P("sample"), P("."), "sample."},
        {"extension starting with two dots", s, None, None, P("s"), P("..x"), "s..x"},
        {"extension without a base name", s, None, P("\\d\\"), None, P("e"), "\\d\\.e"},
        {"components not looked into", s, None, None, P("a\\b.c"), P("d"), "a\\b.c.d"},
        {"every component absent", s, None, None, None, None, ""},
        {"every component empty", s, P(""), P(""), P(""), P(""), ""},
        {"single-byte set: 0x5C after 0x95 is a separator", s, None, P("\\\x95\\"), P("f"), None,
         "\\\x95\\f"},
    });
}

TEST_F(PathRulesTest, MakePathNeverTakesATrailByteForTheDirectorysSeparator) {
    RunMakeCases({
        {"932: trail 0x5C", Cp932, None, P("\\\x95\\"), P("f"), None, "\\\x95\\\\f"},
        {"932: one lead byte", Cp932, None, P("\x81"), P("f"), None, "\x81\\f"},
        {"932: ends in a lead byte value", Cp932, None, P("a\x81"), P("f"), None, "a\x81\\f"},
        {"932: separator after a character of two lead values", Cp932, None, P("\x81\x81\\"),
         P("f"), None, "\x81\x81\\f"},
        {"932: odd run of lead values", Cp932, None, P("\x81\x81\x81\\"), P("f"), None,
         "\x81\x81\x81\\\\f"},
        {"932: run broken by a single byte", Cp932, None,
         P("\x81"
           "a\x81\\"),
         P("f"), None,
         "\x81"
         "a\x81\\\\f"},
        {"932: separator after a trail 0x5C", Cp932, None, P("\x81\\\\"), P("f"), None,
         "\x81\\\\f"},
        {"932: 0xA0 is single-byte", Cp932, None, P("\xA0\\"), P("f"), None, "\xA0\\f"},
        {"936: 0xA0 leads", Cp936, None, P("\xA0\\"), P("f"), None, "\xA0\\\\f"},
        {"936: trail 0x5C", Cp936, None, P("\\\xFE\\"), P("f"), None, "\\\xFE\\\\f"},
        {"932: double-byte drive letter", Cp932, P("\x81:"), P("\\"), None, None, "\x81:\\"},
        // The rules hold for any set, even one in which "\" itself leads.
        {"0x5C leads: final 0x5C after another byte is a trail byte", BackslashLeads, None,
         P("a\\"), P("f"), None, "a\\\\f"},
        {"0x5C leads: a lone 0x5C is a character", BackslashLeads, None, P("\\"), P("f"), None,
         "\\f"},
    });
}

TEST_F(PathRulesTest, MakePathRefusesAResultThatDoesNotFit) {
    // The ":", "\" and "." are added by MakePath and count like the rest.
    const Part drive = P("C"), directory = P("\\dir"), baseName = P("name"), extension = P("txt");
    const std::string joined = "C:\\dir\\name.txt";
    const std::string longDirectory = "\\" + std::string(250, 'd') + "\\";
    const std::string atMaxPath = "C:" + longDirectory + "name.txt"; // 262 bytes
    struct Row {
        const char* name;
        Part drive, directory, baseName, extension;
        size_t capacity;
        int result;
        std::string destination;
    } rows[] = {
        {"exactly fits", drive, directory, baseName, extension, joined.size() + 1, 1, joined},
        {"one byte short", drive, directory, baseName, extension, joined.size(), 0, ""},
        {"capacity 1", drive, directory, baseName, extension, 1, 0, ""},
        {"capacity 0", drive, directory, baseName, extension, 0, 0, "<untouched>"},
        {"empty result in 1 byte", None, None, None, None, 1, 1, ""},
        {"empty result in 0 bytes", None, None, None, None, 0, 0, "<untouched>"},
        {"longer than a whole path, given room", P("C:"), P(longDirectory), P("name"), P(".txt"),
         atMaxPath.size() + 1, 1, atMaxPath},
        {"longer than a whole path, in MAX_PATH bytes", P("C:"), P(longDirectory), P("name"),
         P(".txt"), MAX_PATH, 0, ""},
        {"three long components", None, P(std::string(255, 'd')), P(std::string(255, 'b')),
         P(std::string(255, 'e')), 770, 1,
         std::string(255, 'd') + "\\" + std::string(255, 'b') + "." + std::string(255, 'e')},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string("case: ") + row.name);
        MakeResult made = Make(row.capacity, row.drive, row.directory, row.baseName, row.extension);
        EXPECT_EQ(row.result, made.result);
        EXPECT_EQ(row.destination, made.destination);
    }
}

// Builds paths from parts whose shape fixes how they split: a directory of
// segments each ending in a separator, a base name without separators, and an
// extension of a dot and no further dot or separator. Lead bytes are always
// followed by a trail byte of any value but zero. Lead bytes are those of the
// set in force when the generator is made.
class PathGenerator {
  public:
    explicit PathGenerator(uint32_t seed) : random_(seed) {
        for (int byte = 1; byte < 256; byte++)
            if (IsLeadByte(static_cast<unsigned char>(byte)))
                leads_.push_back(char(byte));
            else if (byte != '\\' && byte != '/' && byte != '.')
                singles_.push_back(char(byte));
    }

    Components Next() {
        Components parts;
        if (Pick(3) == 0)
            parts.drive = std::string(1, Byte()) + ":";
        int segments = Pick(4);
        for (int i = 0; i < segments; i++) {
            std::string segment = Text(Length(), true) + (Pick(2) ? "\\" : "/");
            if (parts.directory.size() + segment.size() <= 255)
                parts.directory += segment;
        }
        bool hasExtension = Pick(3) != 0;
        parts.baseName = Text(Length(), hasExtension);
        if (hasExtension) {
            size_t length = Length();
            parts.extension = "." + Text(length == 0 ? 0 : length - 1, false);
        }
        return parts;
    }

  private:
    int Pick(int count) {
        return int(random_() % uint32_t(count));
    }
    char Byte() {
        return char(1 + Pick(255));
    }
    // Mostly short, now and then up to the limit, to reach the cut-off cases.
    size_t Length() {
        int kind = Pick(10);
        if (kind < 7)
            return size_t(Pick(9));
        if (kind < 9)
            return size_t(Pick(256));
        return size_t(250 + Pick(6));
    }
    // Characters up to `length` bytes; dots only where allowed.
    std::string Text(size_t length, bool dots) {
        std::string text;
        while (text.size() < length) {
            int kind = Pick(8);
            if (kind == 0 && !leads_.empty()) {
                if (text.size() + 2 > length)
                    break;
                text += leads_[Pick(int(leads_.size()))];
                text += Byte();
            } else if (kind == 1 && dots) {
                text += '.';
            } else if (kind == 2) {
                text += ':';
            } else {
                text += singles_[Pick(int(singles_.size()))];
            }
        }
        return text;
    }

    std::mt19937 random_;
    std::vector<char> leads_, singles_;
};

TEST_F(PathRulesTest, JoiningWhatSplitPathGivesYieldsThePathAgain) {
    struct CodePage {
        const char* name;
        const unsigned char* ranges;
    } codePages[] = {{"single-byte", SingleByte}, {"932", Cp932}, {"936", Cp936}};
    for (const CodePage& codePage : codePages) {
        SetLeadByteRanges(codePage.ranges);
        PathGenerator generator(20020401u);
        for (int i = 0; i < 3000; i++) {
            Components parts = generator.Next();
            std::string path = parts.drive + parts.directory + parts.baseName + parts.extension;
            SCOPED_TRACE(std::string("case: ") + codePage.name + " path " + std::to_string(i));
            Components split = Split(path);
            // A path without a drive whose second byte is ":" gains one.
            if (!parts.drive.empty() || path.size() < 2 || path[1] != ':')
                ExpectComponents(parts, split);
            MakeResult made = Make(800, P(split.drive), P(split.directory), P(split.baseName),
                                   P(split.extension));
            EXPECT_EQ(1, made.result);
            ASSERT_EQ(path, made.destination);
        }
    }
}

TEST_F(PathRulesTest, SetLeadByteRangesTakesInclusivePairsEndedByZeros) {
    const unsigned char upToFF[] = {0x40, 0xFF, 0, 0};
    const unsigned char oneByte[] = {0xFE, 0xFE, 0, 0};
    struct Row {
        const char* name;
        const unsigned char* ranges;
        bool (*expected)(int byte);
    } rows[] = {
        {"null", nullptr, [](int) { return false; }},
        {"empty list", SingleByte, [](int) { return false; }},
        {"932", Cp932, [](int b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }},
        {"936", Cp936, [](int b) { return b >= 0x81 && b <= 0xFE; }},
        {"range up to 0xFF", upToFF, [](int b) { return b >= 0x40; }},
        {"one-byte range", oneByte, [](int b) { return b == 0xFE; }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string("case: ") + row.name);
        // A set left over from before must not survive.
        SetLeadByteRanges(Cp936);
        SetLeadByteRanges(row.ranges);
        for (int byte = 0; byte < 256; byte++)
            EXPECT_EQ(row.expected(byte), IsLeadByte(static_cast<unsigned char>(byte)))
                << "byte " << byte;
    }
}

TEST_F(PathRulesTest, FixLeadByteSetFollowsTheAnsiCodePage) {
    standin::SetAnsiCodePage(932);
    FixLeadByteSet();
    EXPECT_TRUE(IsLeadByte(0x81));
    EXPECT_TRUE(IsLeadByte(0xFC));
    EXPECT_FALSE(IsLeadByte(0xA0));

    // No code page information: every byte is a character by itself, whatever
    // set was in force before.
    standin::FailCall("GetCPInfo");
    FixLeadByteSet();
    EXPECT_FALSE(IsLeadByte(0x81));
    EXPECT_FALSE(IsLeadByte(0xFC));

    standin::SetAnsiCodePage(936);
    FixLeadByteSet();
    EXPECT_TRUE(IsLeadByte(0xA0));
    standin::SetAnsiCodePage(1252);
    FixLeadByteSet();
    EXPECT_FALSE(IsLeadByte(0x81));
    EXPECT_FALSE(IsLeadByte(0xA0));
}

} // namespace
