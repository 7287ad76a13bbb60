#include "fontinstaller.h"

#include "font_test_files.h"
#include "fontlocations.h"
#include "pathrules.h"
#include "standin.h"

#include <cstring>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace {

using namespace std::string_literals;
using fonttest::BinaryBytes;
using fonttest::ReadBytes;
using fonttest::WriteBytes;

const char SetupKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Setup";
const char NtFontsKey[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts";
const char NineXFontsKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Fonts\\";

// REG_SZ data as the system stores it: the text and its terminator.
std::string Sz(const std::string& text) {
    return text + '\0';
}

void EmptyFolder(const std::string& folder) {
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        std::filesystem::remove_all(entry.path());
}

// A machine whose Windows directory and CD are real folders: the manifest and
// the fonts it lists lie in the current directory, as on the CD.
class FontInstallerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_FALSE(root.Path().empty());
        std::filesystem::create_directories(fontsFolder);
        std::filesystem::create_directories(cdFolder);
        inCd = std::make_unique<fonttest::CurrentFolder>(cdFolder);
        ResetMachine();
    }
    void TearDown() override {
        inCd.reset();
        standin::Reset();
        FixLeadByteSet();
        SystemFontLocations = FontLocations();
    }

    // A fresh machine of the NT family (or the 9x family) with an empty fonts
    // folder and an empty CD; table-driven tests call it before each row.
    void ResetMachine(bool nineX = false) {
        standin::Reset();
        FixLeadByteSet();
        EmptyFolder(fontsFolder);
        EmptyFolder(cdFolder);
        standin::SetWindowsDirectory(windowsFolder);
        if (nineX) {
            standin::SetString(HKEY_LOCAL_MACHINE, SetupKey, "SharedDir", "C:\\WINDOWS");
            standin::CreateKey(HKEY_LOCAL_MACHINE, NineXFontsKey);
        } else {
            standin::CreateKey(HKEY_LOCAL_MACHINE, NtFontsKey);
        }
        SystemFontLocations = FontLocations();
    }

    std::vector<standin::RegistryValue> Recorded() const {
        return standin::Values(HKEY_LOCAL_MACHINE, SystemFontLocations.FontsKeyPath);
    }
    void Record(const std::string& name, DWORD type, const std::string& data) const {
        standin::SetValue(HKEY_LOCAL_MACHINE, SystemFontLocations.FontsKeyPath, name, type, data);
    }
    std::string InstalledCopy(const std::string& fileName) const {
        return fontsFolder + "/" + fileName;
    }
    // The path the installer hands to the system for a font of that name.
    static std::string Destination(const std::string& fileName) {
        return SystemFontLocations.FontsDirectory + fileName;
    }
    static std::vector<std::string> BoxTexts(const char* caption) {
        std::vector<std::string> texts;
        for (const standin::MessageBoxShown& box : standin::MessageBoxes())
            if (box.caption == caption)
                texts.push_back(box.text);
        return texts;
    }
    // Every key open but the probe of the Setup key that finds the family.
    static std::vector<standin::KeyOpen> FontsKeyOpens() {
        std::vector<standin::KeyOpen> opens;
        for (const standin::KeyOpen& open : standin::KeyOpens())
            if (open.path != SetupKey)
                opens.push_back(open);
        return opens;
    }
    static void ExpectNothingLeftOpen() {
        EXPECT_EQ(0, standin::OpenKeyHandles());
        EXPECT_EQ(0, standin::LiveAllocations());
        EXPECT_EQ(0, standin::OpenFileHandles());
    }

    fonttest::TempFolder root;
    const std::string windowsFolder = root / "WINDOWS";
    const std::string fontsFolder = windowsFolder + "/FONTS";
    const std::string cdFolder = root / "cd";
    std::unique_ptr<fonttest::CurrentFolder> inCd;
};

// ---- The manifest ------------------------------------------------------------------

using Recording = std::pair<std::string, std::string>; // value name, file name

struct ManifestCase {
    const char* name;
    std::string manifest;
    std::vector<std::string> files;      // font files present on the CD
    std::vector<Recording> recorded;     // in the order recorded
    std::vector<std::string> unopenable; // paths named by "Cannot open file", in order
};

std::vector<ManifestCase> ManifestCases() {
    // Paths of 257 bytes whose base names are short, so that only the copy
    // (and not the length of the destination) stops them: each then shows in
    // its message box exactly as the manifest reader cut it.
    const std::string longX = std::string(251, 'x') + "/a.ttf";
    const std::string longY = std::string(251, 'y') + "/b.ttf";
    const std::string lastFile = std::string(76, 'c') + ".ttf";
    return {
        {"LF line ends",
         "One,one.ttf\nTwo,two.ttf\n",
         {"one.ttf", "two.ttf"},
         {{"One", "one.ttf"}, {"Two", "two.ttf"}},
         {}},
        {"CR LF line ends read alike",
         "One,one.ttf\r\nTwo,two.ttf\r\n",
         {"one.ttf", "two.ttf"},
         {{"One", "one.ttf"}, {"Two", "two.ttf"}},
         {}},
        {"a lone CR stays in the text",
         "One,one.ttf\rTwo,two.ttf\n",
         {"one.ttf", "two.ttf"},
         {},
         {"one.ttf\rTwo,two.ttf"}},
        {"only the CR right before LF goes", "One,one.ttf\r\r\n", {"one.ttf"}, {}, {"one.ttf\r"}},
        {"a CR at the end of the file stays", "One,one.ttf\r", {"one.ttf"}, {}, {"one.ttf\r"}},
        {"Ctrl-Z ends the file",
         "One,one.ttf\n\x1aTwo,two.ttf\n",
         {"one.ttf", "two.ttf"},
         {{"One", "one.ttf"}},
         {}},
        {"Ctrl-Z ends a line",
         "One,one.ttf\x1a\nTwo,two.ttf\n",
         {"one.ttf", "two.ttf"},
         {{"One", "one.ttf"}},
         {}},
        {"a CR before Ctrl-Z stays", "One,one.ttf\r\x1a\n", {"one.ttf"}, {}, {"one.ttf\r"}},
        {"a line of 259 bytes",
         "L," + longX + "\nTwo,two.ttf\n",
         {"two.ttf"},
         {{"Two", "two.ttf"}},
         {longX}},
        {"a longer line goes on as a line of its own",
         "L," + longX + ",b.ttf\n",
         {"b.ttf"},
         {{"", "b.ttf"}},
         {longX}},
        {"a line of 600 bytes is read in three pieces",
         "A," + longX + "B," + longY + "C," + lastFile + "\n",
         {lastFile},
         {{"C", lastFile}},
         {longX, longY}},
        {"cut at the first comma only", "A,B,C\n", {"B,C"}, {{"A", "B,C"}}, {}},
        {"spaces kept on both sides", " Name , x.ttf\n", {" x.ttf"}, {{" Name ", " x.ttf"}}, {}},
        {"a leading comma names the unnamed value",
         ",lead.ttf\n",
         {"lead.ttf"},
         {{"", "lead.ttf"}},
         {}},
        {"an empty path", "Empty,\n", {}, {}, {""}},
        {"a zero byte ends the text",
         "Zero,z.ttf\0,x.ttf\nNo\0,n.ttf\n"s,
         {"z.ttf", "x.ttf", "n.ttf"},
         {{"Zero", "z.ttf"}},
         {}},
        {"no line feed after the last line",
         "One,one.ttf\nLast,last.ttf",
         {"one.ttf", "last.ttf"},
         {{"One", "one.ttf"}, {"Last", "last.ttf"}},
         {}},
        {"empty lines and lines without a comma", "\n\nno comma here\n", {}, {}, {}},
        {"an empty manifest", "", {}, {}, {}},
    };
}

TEST_F(FontInstallerTest, ManifestLinesFollowTheTextModeRules) {
    for (const ManifestCase& row : ManifestCases()) {
        SCOPED_TRACE(row.name);
        ResetMachine();
        for (const std::string& file : row.files)
            WriteBytes(file, "font " + file);
        WriteBytes("fonts.dat", row.manifest);

        EXPECT_EQ(1, InstallManifestFonts());

        std::vector<Recording> recorded;
        for (const standin::RegistryValue& value : Recorded()) {
            recorded.push_back({value.name, value.data.substr(0, value.data.find('\0'))});
            EXPECT_EQ(Sz(recorded.back().second), value.data) << "REG_SZ with its terminator";
            EXPECT_EQ(REG_SZ, value.type);
        }
        EXPECT_EQ(row.recorded, recorded);
        EXPECT_EQ(row.unopenable, BoxTexts("Cannot open file"));
        EXPECT_EQ(row.unopenable.size(), standin::MessageBoxes().size());
        ExpectNothingLeftOpen();
    }
}

// The manifest is read in blocks; a line end must read alike wherever a block
// boundary falls, also between a CR and what follows it.
TEST_F(FontInstallerTest, ManifestLineEndsReadAlikeAtAnyOffset) {
    for (size_t offset = 0; offset <= 1100; offset++) {
        SCOPED_TRACE("offset " + std::to_string(offset));
        ResetMachine();
        std::string filler = offset ? std::string(offset - 1, 'z') + "\n" : "";
        WriteBytes("fonts.dat", filler + "B,missing.ttf\r\nC,m\rx\n");

        EXPECT_EQ(1, InstallManifestFonts());

        const std::vector<std::string> expected = {"missing.ttf", "m\rx"};
        ASSERT_EQ(expected, BoxTexts("Cannot open file"));
    }
}

TEST_F(FontInstallerTest, ManifestThatDoesNotOpenShowsItsMessage) {
    const std::vector<std::pair<const char*, std::function<void()>>> cases = {
        {"absent", [] {}},
        {"a folder of that name", [] { std::filesystem::create_directory("fonts.dat"); }},
        {"existence test fails",
         [] {
             WriteBytes("fonts.dat", "One,one.ttf\n");
             standin::FailCall("GetFileAttributesA");
         }},
        {"open fails",
         [] {
             WriteBytes("fonts.dat", "One,one.ttf\n");
             standin::FailCall("CreateFileA");
         }},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.first);
        ResetMachine();
        WriteBytes("one.ttf", "font");
        row.second();

        EXPECT_EQ(0, InstallManifestFonts());

        ASSERT_EQ(1u, standin::MessageBoxes().size());
        const standin::MessageBoxShown& box = standin::MessageBoxes()[0];
        EXPECT_EQ("fonts.dat", box.text);
        EXPECT_EQ("Cannot open file fonts.dat", box.caption);
        EXPECT_EQ(MB_ICONERROR, box.type);
        EXPECT_FALSE(box.hasOwner);
        EXPECT_TRUE(Recorded().empty());
        ExpectNothingLeftOpen();
    }
}

// What was read before a failed read is still installed; the rest counts as
// never written.
TEST_F(FontInstallerTest, ManifestReadFailureEndsTheManifest) {
    std::string manifest;
    std::vector<std::string> paths;
    for (int i = 0; i < 200; i++) {
        paths.push_back("missing" + std::to_string(i) + ".ttf");
        manifest += "Font" + std::to_string(i) + "," + paths.back() + "\n";
    }
    for (int failingRead = 1; failingRead <= 3; failingRead++) {
        SCOPED_TRACE("failing read " + std::to_string(failingRead));
        ResetMachine();
        WriteBytes("fonts.dat", manifest);
        standin::FailCall("ReadFile", failingRead);

        EXPECT_EQ(1, InstallManifestFonts());

        std::vector<std::string> shown = BoxTexts("Cannot open file");
        if (failingRead == 1)
            EXPECT_TRUE(shown.empty());
        else
            EXPECT_FALSE(shown.empty()) << "the text read before the failure counts";
        EXPECT_LT(shown.size(), paths.size());
        for (size_t i = 0; i < shown.size(); i++) {
            // The last line may have been cut by the failure.
            if (i + 1 < shown.size())
                EXPECT_EQ(paths[i], shown[i]);
            else
                EXPECT_EQ(0u, paths[i].rfind(shown[i], 0)) << shown[i];
        }
        ExpectNothingLeftOpen();
    }
}

// ---- The installed-font check --------------------------------------------------------

struct LookUpCase {
    const char* name;
    std::vector<standin::RegistryValue> values;
    std::string fontPath;
    int expected;
    UINT codePage;
};

TEST_F(FontInstallerTest, InstalledFontFoundByBaseNameAlone) {
    const std::vector<LookUpCase> cases = {
        {"no values", {}, "sample.ttf", 0, 1252},
        {"other case, other extension",
         {{"Sample (TrueType)", REG_SZ, Sz("sample.ttf")}},
         "fonts\\SAMPLE.TTF",
         1,
         1252},
        {"recorded with a full path",
         {{"S", REG_SZ, Sz("C:\\WINDOWS\\FONTS\\Sample.fon")}},
         "fonts\\SAMPLE.TTF",
         1,
         1252},
        {"recorded without extension", {{"S", REG_SZ, Sz("SAMPLE")}}, "fonts\\SAMPLE.TTF", 1, 1252},
        {"a longer base name", {{"S", REG_SZ, Sz("samples.ttf")}}, "sample.ttf", 0, 1252},
        {"a shorter base name", {{"S", REG_SZ, Sz("sampl.ttf")}}, "sample.ttf", 0, 1252},
        {"the value name plays no part",
         {{"sample.ttf", REG_SZ, Sz("other.ttf")}},
         "sample.ttf",
         0,
         1252},
        {"found after other values",
         {{"A", REG_SZ, Sz("a.ttf")}, {"B", REG_SZ, Sz("b.ttf")}, {"S", REG_SZ, Sz("sample")}},
         "sample.ttf",
         1,
         1252},
        {"bytes from 0x80 compared exactly",
         {{"E", REG_SZ,
           Sz("\xC9"
              "cole.ttf")}},
         "\xE9"
         "cole.ttf",
         0,
         1252},
        {"ASCII folded beside bytes from 0x80",
         {{"E", REG_SZ,
           Sz("\xE9"
              "COLE")}},
         "\xE9"
         "cole.ttf",
         1,
         1252},
        {"only letters fold", {{"B", REG_SZ, Sz("[x].ttf")}}, "{x}.ttf", 0, 1252},
        {"binary data without terminator",
         {{"B", REG_BINARY, "sample.ttf"}},
         "sample.ttf",
         1,
         1252},
        {"data ends at its returned length",
         {{"A", REG_BINARY, "samplexyz"}, {"B", REG_BINARY, "sample"}},
         "sample.ttf",
         1,
         1252},
        {"a list of strings, its first compared",
         {{"M", REG_MULTI_SZ, "sample.ttf\0other.ttf\0\0"s}},
         "sample.ttf",
         1,
         1252},
        {"a number", {{"N", REG_DWORD, "\x01\0\0\0"s}}, "sample.ttf", 0, 1252},
        {"the value with the longest name",
         {{"short", REG_SZ, Sz("C:\\WINDOWS\\FONTS\\other.ttf")},
          {"a much longer value name", REG_SZ, Sz("sample.ttf")}},
         "sample.ttf",
         1,
         1252},
        {"the value with the longest data",
         {{"a much longer value name", REG_SZ, Sz("other.ttf")},
          {"short", REG_SZ, Sz("C:\\WINDOWS\\FONTS\\sample.ttf")}},
         "sample.ttf",
         1,
         1252},
        {"longest name and data in one value",
         {{"x", REG_SZ, Sz("o.ttf")}, {"the longest name", REG_SZ, Sz("D:\\SAMPLE.TTF")}},
         "sample.ttf",
         1,
         1252},
        {"a second byte of a double-byte character is never folded",
         {{"J", REG_SZ, Sz("\x83\x41.ttf")}},
         "\x83\x61.ttf",
         0,
         932},
        {"the same bytes fold as letters on a single-byte code page",
         {{"J", REG_SZ, Sz("\x83\x41.ttf")}},
         "\x83\x61.ttf",
         1,
         1252},
        {"letters after a double-byte character fold",
         {{"J", REG_SZ,
           Sz("\x83\x61"
              "AB.ttf")}},
         "\x83\x61"
         "ab.ttf",
         1,
         932},
    };
    for (const LookUpCase& row : cases) {
        SCOPED_TRACE(row.name);
        ResetMachine();
        standin::SetAnsiCodePage(row.codePage);
        FixLeadByteSet();
        for (const standin::RegistryValue& value : row.values)
            Record(value.name, value.type, value.data);

        EXPECT_EQ(row.expected, IsFontInstalled(row.fontPath.c_str()));

        std::vector<standin::KeyOpen> opens = FontsKeyOpens();
        ASSERT_EQ(1u, opens.size());
        EXPECT_EQ(NtFontsKey, opens[0].path);
        EXPECT_EQ(KEY_ALL_ACCESS, opens[0].access);
        ExpectNothingLeftOpen();
    }
}

TEST_F(FontInstallerTest, InstalledFontCheckThatCannotLook) {
    struct Case {
        const char* name;
        std::function<void()> arrange;
        const char* fontPath;
        int expected;
    };
    const std::vector<Case> cases = {
        {"the check works", [] {}, "third.ttf", 0},
        {"Fonts key absent", [] { standin::DeleteKey(HKEY_LOCAL_MACHINE, NtFontsKey); },
         "third.ttf", 1},
        {"Fonts key refused to a limited account",
         [] { standin::DenyWriteAccess(HKEY_LOCAL_MACHINE, NtFontsKey); }, "third.ttf", 1},
        {"Fonts key does not open", [] { standin::FailCall("RegOpenKeyExA"); }, "third.ttf", 1},
        {"key information not readable", [] { standin::FailCall("RegQueryInfoKeyA"); }, "third.ttf",
         0},
        {"no memory for the names", [] { standin::FailCall("LocalAlloc", 1); }, "third.ttf", 1},
        {"no memory for the data", [] { standin::FailCall("LocalAlloc", 2); }, "third.ttf", 1},
        {"an unreadable value is skipped", [] { standin::FailCall("RegEnumValueA", 1); },
         "first.ttf", 0},
        {"values after an unreadable one are read", [] { standin::FailCall("RegEnumValueA", 1); },
         "second.ttf", 1},
        {"no value readable", [] { standin::FailCall("RegEnumValueA", 1, 1000); }, "second.ttf", 0},
    };
    for (const Case& row : cases) {
        SCOPED_TRACE(row.name);
        ResetMachine();
        Record("First", REG_SZ, Sz("first.ttf"));
        Record("Second", REG_SZ, Sz("second.ttf"));
        row.arrange();

        EXPECT_EQ(row.expected, IsFontInstalled(row.fontPath));

        ExpectNothingLeftOpen();
    }
}

// The NT family counts the longest value name in characters, and a name of
// double-byte characters takes twice as many bytes: it must still be read.
TEST_F(FontInstallerTest, ValueNamedInDoubleByteCharactersIsCompared) {
    standin::SetAnsiCodePage(932);
    FixLeadByteSet();
    std::string longestName;
    for (int i = 0; i < 10; i++)
        longestName += "\x82\x60";
    Record(longestName, REG_SZ, Sz("second.ttf"));

    EXPECT_EQ(1, IsFontInstalled("second.ttf"));
    ExpectNothingLeftOpen();
}

// ---- Installing --------------------------------------------------------------------

TEST_F(FontInstallerTest, FontCopiedAddedAnnouncedAndRecordedOnEitherFamily) {
    for (bool nineX : {false, true}) {
        SCOPED_TRACE(nineX ? "9x family" : "NT family");
        ResetMachine(nineX);
        const std::string font = BinaryBytes(3000);
        WriteBytes("sample.ttf", font);
        WriteBytes("fonts.dat", "Sample (TrueType),sample.ttf\r\n");

        EXPECT_EQ(1, InstallManifestFonts());

        const std::string keyPath = nineX ? NineXFontsKey : NtFontsKey;
        EXPECT_EQ(font, ReadBytes(InstalledCopy("sample.ttf")));
        EXPECT_EQ(std::vector<std::string>{Destination("sample.ttf")}, standin::FontsAdded());
        ASSERT_EQ(1u, standin::Broadcasts().size());
        const standin::Broadcast& notice = standin::Broadcasts()[0];
        EXPECT_EQ(WM_FONTCHANGE, notice.message);
        EXPECT_EQ(0u, notice.wParam);
        EXPECT_EQ(0, notice.lParam);
        EXPECT_TRUE(notice.withTimeout) << "a hung window cannot hold the launcher";
        EXPECT_EQ(SMTO_ABORTIFHUNG, notice.flags);
        EXPECT_GE(notice.timeout, 1000u);
        EXPECT_LE(notice.timeout, 10000u);
        standin::RegistryValue value;
        ASSERT_TRUE(standin::GetValue(HKEY_LOCAL_MACHINE, keyPath, "Sample (TrueType)", &value));
        EXPECT_EQ(REG_SZ, value.type);
        EXPECT_EQ(Sz("sample.ttf"), value.data);
        for (const standin::KeyOpen& open : FontsKeyOpens()) {
            EXPECT_EQ(keyPath, open.path) << "the key path as given, case and backslash kept";
            EXPECT_EQ(KEY_ALL_ACCESS, open.access);
        }
        EXPECT_TRUE(standin::MessageBoxes().empty());
        ExpectNothingLeftOpen();
    }
}

TEST_F(FontInstallerTest, SecondRunCopiesNothing) {
    WriteBytes("sample.ttf", BinaryBytes(2000));
    WriteBytes("fonts.dat", "Sample,sample.ttf\n");
    ASSERT_EQ(1, InstallManifestFonts());
    // Were the font copied again, its source would now be missed.
    std::filesystem::remove("sample.ttf");

    EXPECT_EQ(1, InstallManifestFonts());

    EXPECT_TRUE(standin::MessageBoxes().empty());
    EXPECT_EQ(1u, standin::FontsAdded().size());
    EXPECT_EQ(1u, standin::Broadcasts().size());
    EXPECT_EQ(1u, Recorded().size());
    EXPECT_EQ(BinaryBytes(2000), ReadBytes(InstalledCopy("sample.ttf")));
}

TEST_F(FontInstallerTest, FontListedTwiceInstalledOnce) {
    WriteBytes("sample.ttf", BinaryBytes(2000));
    WriteBytes("fonts.dat", "Sample,sample.ttf\nSample again,SAMPLE.TTF\n");

    EXPECT_EQ(1, InstallManifestFonts());

    EXPECT_EQ(1u, standin::FontsAdded().size());
    ASSERT_EQ(1u, Recorded().size());
    EXPECT_EQ("Sample", Recorded()[0].name);
}

struct StepCase {
    const char* name;
    std::function<void()> arrange;
    std::string fontPath;
    int expected;
    bool copyTried;
    bool copied; // a complete copy lies in the fonts folder
    bool added;
    bool announced;
    bool recorded;
};

TEST_F(FontInstallerTest, EachStepThatFailsStopsTheFont) {
    const std::string tooLong = std::string(240, 'n') + ".ttf";
    const std::vector<StepCase> cases = {
        {"every step works", [] {}, "sample.ttf", 1, true, true, true, true, true},
        {"already installed", [this] { Record("Old", REG_SZ, Sz("SAMPLE.FON")); }, "sample.ttf", 0,
         false, false, false, false, false},
        {"Fonts key refused to a limited account",
         [] { standin::DenyWriteAccess(HKEY_LOCAL_MACHINE, NtFontsKey); }, "sample.ttf", 0, false,
         false, false, false, false},
        {"no fonts folder known",
         [] {
             standin::SetWindowsDirectory("C:\\" + std::string(250, 'w'));
             SystemFontLocations = FontLocations();
         },
         "sample.ttf", 0, false, false, false, false, false},
        {"destination longer than a path", [] {}, tooLong, 0, false, false, false, false, false},
        {"fonts folder that the path rules would cut",
         [this] {
             // With "\FONTS\" the fonts folder has 257 bytes, all of them its
             // directory, which the path rules cut to 255: "...\FONT", a
             // folder that exists too, and would take the font.
             const std::string windows = root / std::string(249 - root.Path().size(), 'w');
             std::filesystem::create_directories(windows + "/FONT");
             standin::SetWindowsDirectory(windows);
             SystemFontLocations = FontLocations();
             ASSERT_EQ(257u, strlen(SystemFontLocations.FontsDirectory));
             WriteBytes("f.t", BinaryBytes(2000));
         },
         "f.t", 0, false, false, false, false, false},
        {"font file missing", [] {}, "absent.ttf", 0, true, false, false, false, false},
        {"copy fails midway", [] { standin::FailCall("ReadFile", 2); }, "sample.ttf", 0, true,
         false, false, false, false},
        {"font refused by the system", [] { standin::FailCall("AddFontResourceA"); }, "sample.ttf",
         0, true, true, false, false, false},
        {"notice not delivered", [] { standin::FailCall("SendMessageTimeoutA"); }, "sample.ttf", 1,
         true, true, true, false, true},
        {"Fonts key does not open for writing", [] { standin::FailCall("RegOpenKeyExA", 2); },
         "sample.ttf", 0, true, true, true, true, false},
        {"value cannot be written", [] { standin::FailCall("RegSetValueExA"); }, "sample.ttf", 0,
         true, true, true, true, false},
    };
    const std::string font = BinaryBytes(2000);
    for (const StepCase& row : cases) {
        SCOPED_TRACE(row.name);
        ResetMachine();
        WriteBytes("sample.ttf", font);
        WriteBytes(tooLong, font);
        row.arrange();

        EXPECT_EQ(row.expected, InstallFont("Sample", row.fontPath.c_str()));

        EXPECT_EQ(row.copyTried, standin::CallCount("GetFileAttributesA") > 0);
        bool exists = false;
        std::string copy = ReadBytes(InstalledCopy("sample.ttf"), &exists);
        EXPECT_EQ(row.copied, exists);
        if (exists) {
            EXPECT_EQ(font, copy);
        }
        auto filesInFontsFolder = std::distance(std::filesystem::directory_iterator(fontsFolder),
                                                std::filesystem::directory_iterator());
        EXPECT_EQ(row.copied ? 1 : 0, filesInFontsFolder);
        EXPECT_EQ(row.added ? 1u : 0u, standin::FontsAdded().size());
        EXPECT_EQ(row.announced ? 1u : 0u, standin::Broadcasts().size());
        EXPECT_EQ(row.recorded,
                  standin::GetValue(HKEY_LOCAL_MACHINE, NtFontsKey, "Sample", nullptr));
        ExpectNothingLeftOpen();
    }
}

// A fault at any one call of an install, and a short write at any one write,
// may lose a font but never leaves one incomplete, added or recorded, nor a key,
// buffer or file open.
TEST_F(FontInstallerTest, FaultAtAnyStepLeavesNothingDamaged) {
    const std::map<std::string, std::string> sources = {
        {"alpha.ttf", BinaryBytes(1500, 1)},
        {"beta.ttf", BinaryBytes(1030, 2)},
        {"gamma.ttf", BinaryBytes(10, 3)},
    };
    auto arrange = [&] {
        ResetMachine();
        Record("Old", REG_SZ, Sz("C:\\WINDOWS\\FONTS\\old.ttf"));
        for (const auto& source : sources)
            WriteBytes(source.first, source.second);
        WriteBytes("fonts.dat", "Alpha,alpha.ttf\r\nBeta,beta.ttf\r\nGamma,gamma.ttf\r\n");
    };
    auto expectNothingDamaged = [&] {
        for (const auto& entry : std::filesystem::directory_iterator(fontsFolder)) {
            std::string name = entry.path().filename().string();
            ASSERT_TRUE(sources.count(name)) << name;
            EXPECT_EQ(sources.at(name), ReadBytes(entry.path().string())) << "incomplete " << name;
        }
        for (const std::string& added : standin::FontsAdded()) {
            std::string name = added.substr(strlen(SystemFontLocations.FontsDirectory));
            EXPECT_EQ(sources.at(name), ReadBytes(InstalledCopy(name))) << "added " << name;
        }
        for (const standin::RegistryValue& value : Recorded()) {
            if (value.name == "Old")
                continue;
            std::string name = value.data.substr(0, value.data.find('\0'));
            bool exists = false;
            std::string copy = ReadBytes(InstalledCopy(name), &exists);
            EXPECT_TRUE(exists) << "recorded " << name;
            EXPECT_EQ(sources.at(name), copy) << "recorded " << name;
        }
        ExpectNothingLeftOpen();
    };

    arrange();
    int before = standin::CallCount("*");
    int writesBefore = standin::CallCount("WriteFile");
    ASSERT_EQ(1, InstallManifestFonts());
    const int calls = standin::CallCount("*") - before;
    const int writes = standin::CallCount("WriteFile") - writesBefore;
    ASSERT_EQ(4u, Recorded().size()) << "a clean run installs all three";
    ASSERT_EQ(5, writes);

    for (int nth = 1; nth <= calls; nth++) {
        SCOPED_TRACE("fault at call " + std::to_string(nth) + " of " + std::to_string(calls));
        arrange();
        standin::FailCall("*", nth);
        InstallManifestFonts();
        expectNothingDamaged();
    }
    for (int nth = 1; nth <= writes; nth++) {
        SCOPED_TRACE("short write at write " + std::to_string(nth));
        arrange();
        standin::ShortWrite(nth, 1);
        InstallManifestFonts();
        expectNothingDamaged();
        EXPECT_EQ(3u, Recorded().size()) << "exactly the font cut short is lost";
    }
}

} // namespace
