#include "launcher_fixture.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {

const char ProductKey[] = "SOFTWARE\\Lumenor Network\\Lumenor Scrivo\\2002";
const char BrowserKey[] = "SOFTWARE\\Microsoft\\Internet Explorer";
const char LauncherPath[] = "E:\\setup\\launcher.exe";
const std::string Message("C\xE4n c\x85i IE 6.0 tr\x9F\xF4"
                          "c khi c\x85i Lumenor CD 2001");

struct Version {
    DWORD platform, major, minor, build;
};
const Version Windows95 = {VER_PLATFORM_WIN32_WINDOWS, 4, 0, 67109814};
const Version Windows98 = {VER_PLATFORM_WIN32_WINDOWS, 4, 10, 67766446};
const Version WindowsMe = {VER_PLATFORM_WIN32_WINDOWS, 4, 90, 73010104};
const Version WindowsNt4 = {VER_PLATFORM_WIN32_NT, 4, 0, 1381};
const Version Windows2000 = {VER_PLATFORM_WIN32_NT, 5, 0, 2195};
const Version WindowsXp = {VER_PLATFORM_WIN32_NT, 5, 1, 2600};
const Version Windows7 = {VER_PLATFORM_WIN32_NT, 6, 1, 7601};

// Runs in a folder of its own with an empty manifest, so that font
// installation finds nothing to do and shows nothing.
class DialogTest : public LauncherTest {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/launcher-dialog-XXXXXX";
        folder = mkdtemp(pattern);
        ASSERT_NE(nullptr, getcwd(previousFolder, sizeof previousFolder));
        ASSERT_EQ(0, chdir(folder.c_str()));
        fclose(fopen("fonts.dat", "wb"));
        LauncherTest::SetUp();
    }
    void ResetMachine() override {
        LauncherTest::ResetMachine();
        standin::SetModulePath(LauncherPath);
    }
    void TearDown() override {
        remove("fonts.dat");
        EXPECT_EQ(0, chdir(previousFolder));
        rmdir(folder.c_str());
        LauncherTest::TearDown();
    }

    static void InstallProduct() {
        standin::SetString(HKEY_LOCAL_MACHINE, ProductKey, "ProgramPath", "C:\\Program Files\\Scrivo");
    }
    static void SetBrowser(const char* version) {
        if (version)
            standin::SetString(HKEY_LOCAL_MACHINE, BrowserKey, "Version", version);
    }
    static void SetVersion(const Version& v) {
        standin::SetVersion(v.platform, v.major, v.minor, v.build);
    }
    static std::vector<std::string> Started() {
        std::vector<std::string> files;
        for (const standin::StartedProgram& program : standin::StartedPrograms())
            files.push_back(program.file);
        return files;
    }
    static bool BrowserKeyRead() {
        for (const standin::KeyOpen& open : standin::KeyOpens())
            if (open.path == BrowserKey)
                return true;
        return false;
    }

    std::string folder;
    char previousFolder[PATH_MAX];
};

using Files = std::vector<std::string>;

TEST_F(DialogTest, InstalledProductStartsTheBuildForTheFamilyAndNothingElse) {
    struct Row {
        const char* name;
        Version version;
        const char* expected;
    } rows[] = {
        {"Windows 95", Windows95, "E:\\setup\\Scrivo.exe"},
        {"Windows 98", Windows98, "E:\\setup\\Scrivo.exe"},
        {"Windows ME", WindowsMe, "E:\\setup\\Scrivo.exe"},
        {"Windows NT 4.0", WindowsNt4, "E:\\setup\\UScrivo.exe"},
        {"Windows 2000", Windows2000, "E:\\setup\\UScrivo.exe"},
        {"Windows XP", WindowsXp, "E:\\setup\\UScrivo.exe"},
        {"Windows 7", Windows7, "E:\\setup\\UScrivo.exe"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ResetMachine();
        InstallProduct();
        SetVersion(row.version);
        EXPECT_EQ(1, RunLauncher());
        EXPECT_EQ(Files{row.expected}, Started());
        const standin::DialogState& dialog = standin::Dialog();
        EXPECT_TRUE(dialog.ended);
        EXPECT_FALSE(dialog.shown);
        EXPECT_EQ(0, dialog.endResult);
        EXPECT_EQ(0, standin::CallCount("GetFileAttributesA")) << "the manifest was looked for";
        EXPECT_TRUE(standin::FontsCreated().empty());
        EXPECT_FALSE(BrowserKeyRead());
    }
}

TEST_F(DialogTest, BrowserVersionDecidesBetweenSetupAndPrompt) {
    struct Row {
        const char* name;
        const char* version; // null: no "Version" value
        bool prompt;
    } rows[] = {
        {"no browser", nullptr, true},
        {"unreadable version", "x", true},
        {"IE 5.0", "5.00.2919.6307", true},
        {"IE 5.4", "5.4", true},
        {"IE 5.5", "5.50.4807.2300", false},
        {"IE 6", "6.0.2800.1106", false},
        {"IE 11", "9.11.9600.18376", false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ResetMachine();
        SetBrowser(row.version);
        EXPECT_EQ(1, RunLauncher());
        const standin::DialogState& dialog = standin::Dialog();
        EXPECT_EQ(row.prompt, dialog.shown);
        EXPECT_EQ(row.prompt ? Files{} : Files{"E:\\setup\\LumoScrivoStart.exe"}, Started());
        EXPECT_EQ(1, standin::CallCount("GetFileAttributesA")) << "fonts installed once";
        EXPECT_EQ(1u, standin::FontsCreated().size());
        EXPECT_EQ(row.prompt, dialog.gaveUp) << "the prompt waits for the user";
        EXPECT_EQ(!row.prompt, dialog.ended);
    }
}

TEST_F(DialogTest, PromptShowsTheMessageInTheVietnamFontCentred) {
    standin::SetScreenSize(1024, 768);
    RunLauncher();
    const standin::DialogState& dialog = standin::Dialog();
    ASSERT_TRUE(dialog.shown);
    EXPECT_FALSE(dialog.initDialogResult) << "no focus set";
    EXPECT_EQ(44u, Message.size());
    EXPECT_EQ(Message, dialog.Item(IDC_MESSAGE)->text);
    EXPECT_EQ("&Install IE6", dialog.Item(IDOK)->text);
    EXPECT_EQ("&Cancel", dialog.Item(IDCANCEL)->text);

    ASSERT_EQ(1u, standin::FontsCreated().size());
    LOGFONTA expected;
    memset(&expected, 0, sizeof expected);
    expected.lfHeight = 12;
    strcpy(expected.lfFaceName, "Vietnam");
    EXPECT_EQ(0, memcmp(&expected, &standin::FontsCreated()[0], sizeof expected))
        << "every field but the height and the face name is zero";
    EXPECT_NE(nullptr, dialog.Item(IDC_MESSAGE)->font);
    EXPECT_EQ(nullptr, dialog.Item(IDOK)->font);

    // The template's 387 x 83 pixels, centred on 1024 x 768.
    EXPECT_EQ(1, dialog.moves);
    EXPECT_EQ(SWP_NOSIZE | SWP_NOZORDER, dialog.lastMoveFlags);
    EXPECT_EQ(318, dialog.rect.left);
    EXPECT_EQ(342, dialog.rect.top);
    EXPECT_EQ(387, dialog.rect.right - dialog.rect.left);
    EXPECT_EQ(83, dialog.rect.bottom - dialog.rect.top);
}

TEST_F(DialogTest, CentringTruncatesTowardZeroForADialogLargerThanTheScreen) {
    standin::DefineDialog(IDD_LAUNCHER, {{IDOK, ""}, {IDC_MESSAGE, ""}, {IDCANCEL, ""}},
                          {-5, -3, 1100, 900});
    standin::SetScreenSize(800, 600);
    RunLauncher();
    // (-5 + 800 - 1100) / 2 = -152.5 and (-3 + 600 - 900) / 2 = -151.5.
    EXPECT_EQ(-152, standin::Dialog().rect.left);
    EXPECT_EQ(-151, standin::Dialog().rect.top);
}

TEST_F(DialogTest, PromptCommands) {
    const std::string setup = "E:\\setup\\Software\\IE6\\IE6Setup.exe";
    struct Row {
        const char* name;
        UINT message;
        WPARAM wParam;
        bool ends;
        Files started;
    } rows[] = {
        {"Install IE6 button", WM_COMMAND, IDOK, true, {setup}},
        {"Install IE6 with a notification code", WM_COMMAND, (1u << 16) | IDOK, true, {setup}},
        {"Cancel button or Escape", WM_COMMAND, IDCANCEL, true, {}},
        {"close box", WM_SYSCOMMAND, SC_CLOSE, true, {}},
        {"close command with flags", WM_SYSCOMMAND, SC_CLOSE | 3, false, {}},
        {"move command", WM_SYSCOMMAND, SC_MOVE, false, {}},
        {"minimize command", WM_SYSCOMMAND, SC_MINIMIZE, false, {}},
        {"another command id", WM_COMMAND, 3, false, {}},
        {"the message control", WM_COMMAND, IDC_MESSAGE, false, {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ResetMachine();
        standin::QueueDialogMessage(row.message, row.wParam, 0);
        EXPECT_EQ(1, RunLauncher());
        const standin::DialogState& dialog = standin::Dialog();
        EXPECT_EQ(row.ends, dialog.ended);
        EXPECT_EQ(row.started, Started());
        if (row.ends) {
            EXPECT_FALSE(dialog.visible);
            EXPECT_EQ(0, dialog.endResult);
        }
    }
}

TEST_F(DialogTest, InstallIe6StartsTheSetupTheWayEveryProgramIsStarted) {
    standin::QueueDialogMessage(WM_COMMAND, IDOK, 0);
    RunLauncher();
    ASSERT_EQ(1u, standin::StartedPrograms().size());
    const standin::StartedProgram& program = standin::StartedPrograms()[0];
    EXPECT_EQ("open", program.verb);
    EXPECT_FALSE(program.hasParameters);
    EXPECT_FALSE(program.hasDirectory);
    EXPECT_EQ(SW_SHOWNORMAL, program.showCommand);
    EXPECT_FALSE(standin::Dialog().visible);
}

// The browser setup takes a while to show a window of its own; the prompt
// must not stay on the screen meanwhile, inviting a second click.
TEST_F(DialogTest, InstallIe6HidesThePromptBeforeTheSetupStarts) {
    standin::QueueDialogMessage(WM_COMMAND, IDOK, 0);
    RunLauncher();
    ASSERT_EQ(1u, standin::StartedPrograms().size());
    EXPECT_TRUE(standin::Dialog().shown) << "the prompt showed before the button was pressed";
    EXPECT_FALSE(standin::StartedPrograms()[0].whileDialogVisible);
}

TEST_F(DialogTest, LaunchDirectoryWithoutRoomForTheNameStartsNothing) {
    // Launch directories of 248 and 249 bytes: "UScrivo.exe" (11 bytes) fits
    // the first with its terminator and not the second. The launcher's own
    // name is short, so that its whole path still fits.
    auto launcherIn = [](size_t directoryLength) {
        return "E:\\" + std::string(directoryLength - 4, 'd') + "\\l.exe";
    };
    struct Row {
        const char* name;
        size_t directoryLength;
        bool installed;
        const char* browser;
        UINT command;
        size_t started;
    } rows[] = {
        {"installed, room for the name", 248, true, nullptr, 0, 1},
        {"installed, no room", 249, true, nullptr, 0, 0},
        {"setup starter, no room", 241, false, "6.0", 0, 0},
        {"browser setup, room", 234, false, nullptr, IDOK, 1},
        {"browser setup, no room", 235, false, nullptr, IDOK, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ResetMachine();
        standin::SetModulePath(launcherIn(row.directoryLength));
        if (row.installed)
            InstallProduct();
        SetBrowser(row.browser);
        if (row.command)
            standin::QueueDialogMessage(WM_COMMAND, row.command, 0);
        EXPECT_EQ(1, RunLauncher());
        ASSERT_EQ(row.started, standin::StartedPrograms().size());
        if (row.started) {
            EXPECT_EQ(size_t(MAX_PATH - 1), standin::StartedPrograms()[0].file.size());
        }
        EXPECT_TRUE(standin::Dialog().ended) << "the run goes on as after a failed start";
    }
}

TEST_F(DialogTest, UnknownLaunchDirectoryStartsNothingRelative) {
    standin::SetModulePath("E:\\" + std::string(300, 'd') + "\\launcher.exe");
    InstallProduct();
    RunLauncher();
    EXPECT_TRUE(Started().empty());

    ResetMachine();
    standin::SetModulePath("E:\\" + std::string(300, 'd') + "\\launcher.exe");
    standin::QueueDialogMessage(WM_COMMAND, IDOK, 0);
    RunLauncher();
    EXPECT_TRUE(standin::Dialog().ended);
    EXPECT_TRUE(Started().empty());
}

} // namespace
