#include "launcher_fixture.h"

#include <string>

using StartupTest = LauncherTest;

TEST_F(StartupTest, SecondCopyEndsAtOnceWithoutReadingItsPath) {
    standin::AddExistingMutex("Start");
    EXPECT_EQ(1, RunLauncher());
    EXPECT_FALSE(standin::Dialog().ran);
    EXPECT_EQ(0, standin::CallCount("GetModuleFileNameA"));
    EXPECT_STREQ("", LaunchDirectory);
}

TEST_F(StartupTest, FirstCopyMarksItselfAndRunsTheDialog) {
    EXPECT_EQ(1, RunLauncher());
    EXPECT_TRUE(standin::MutexExists("Start"));
    EXPECT_TRUE(standin::Dialog().ran);
    EXPECT_EQ(IDD_LAUNCHER, standin::Dialog().templateId);
}

TEST_F(StartupTest, AFailedMutexDoesNotStopTheLauncher) {
    standin::FailCall("CreateMutexA");
    EXPECT_EQ(1, RunLauncher());
    EXPECT_TRUE(standin::Dialog().ran);
}

TEST_F(StartupTest, ExitCodeIsOneWhenTheDialogCannotBeCreated) {
    standin::FailCall("DialogBoxParamA");
    EXPECT_EQ(1, RunLauncher());
}

TEST_F(StartupTest, LaunchDirectoryIsTheLauncherFolderWithItsSeparator) {
    const std::string deep = "D:\\" + std::string(240, 'd') + "\\launcher.exe"; // 256 bytes
    const std::string longest = "D:\\" + std::string(243, 'd') + "\\launcher.exe"; // 259 bytes
    struct Row {
        const char* name;
        std::string modulePath;
        std::string expected;
    } rows[] = {
        {"drive root", "E:\\launcher.exe", "E:\\"},
        {"subfolder", "E:\\setup\\launcher.exe", "E:\\setup\\"},
        {"forward slashes kept", "E:/cd/setup/launcher.exe", "E:/cd/setup/"},
        {"network path", "\\\\server\\share\\cd\\launcher.exe", "\\\\server\\share\\cd\\"},
        {"deep folder", deep, deep.substr(0, deep.size() - 12)},
        {"longest path that fits", longest, longest.substr(0, longest.size() - 12)},
        {"one byte too long", "D:\\" + std::string(244, 'd') + "\\launcher.exe", ""},
        {"far too long", "D:\\" + std::string(400, 'd') + "\\launcher.exe", ""},
    };
    for (const Row& row : rows) {
        ResetMachine();
        standin::SetModulePath(row.modulePath);
        EXPECT_EQ(1, RunLauncher()) << "case: " << row.name;
        EXPECT_EQ(row.expected, std::string(LaunchDirectory)) << "case: " << row.name;
    }
}

TEST_F(StartupTest, UnreadableModulePathLeavesLaunchDirectoryEmpty) {
    standin::FailCall("GetModuleFileNameA");
    EXPECT_EQ(1, RunLauncher());
    EXPECT_STREQ("", LaunchDirectory);
    EXPECT_TRUE(standin::Dialog().ran);
}

TEST_F(StartupTest, TrailByteThatLooksLikeASeparatorIsNotOne) {
    standin::SetAnsiCodePage(932);
    FixLeadByteSet();
    // 0x95 0x5C is one double-byte character at the start of the file name,
    // so the launcher sits in the root, not in a folder named 0x95.
    standin::SetModulePath("E:\\\x95\x5C"
                           "launcher.exe");
    RunLauncher();
    EXPECT_STREQ("E:\\", LaunchDirectory);
}
