#include "copyfile.h"

#include "font_test_files.h"
#include "standin.h"

#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

using fonttest::BinaryBytes;
using fonttest::ReadBytes;
using fonttest::WriteBytes;

class CopyFileBlocksTest : public ::testing::Test {
  protected:
    void SetUp() override {
        standin::Reset();
        ASSERT_FALSE(folder.Path().empty());
    }
    void TearDown() override {
        standin::Reset();
    }

    fonttest::TempFolder folder;
    const std::string source = folder / "source.ttf";
    const std::string destination = folder / "copy.ttf";
};

struct SizeCase {
    size_t size;
    int expectedReads; // and as many writes: the last may move 0 bytes
};

TEST_F(CopyFileBlocksTest, CopiesEveryByteInBlocks) {
    const std::vector<SizeCase> cases = {
        {0, 1}, {1, 1}, {1023, 1}, {1024, 2}, {1025, 2}, {2048, 3}, {2500, 3},
    };
    for (const SizeCase& row : cases) {
        SCOPED_TRACE("size " + std::to_string(row.size));
        standin::Reset();
        std::filesystem::remove(destination);
        const std::string bytes = BinaryBytes(row.size);
        WriteBytes(source, bytes);

        EXPECT_EQ(1, CopyFileBlocks(source.c_str(), destination.c_str()));

        bool exists = false;
        EXPECT_EQ(bytes, ReadBytes(destination, &exists)) << "CR, LF, Ctrl-Z and zero unchanged";
        EXPECT_TRUE(exists);
        EXPECT_EQ(row.expectedReads, standin::CallCount("ReadFile"));
        EXPECT_EQ(row.expectedReads, standin::CallCount("WriteFile"));
        EXPECT_TRUE(standin::MessageBoxes().empty());
        EXPECT_EQ(0, standin::OpenFileHandles());
    }
}

TEST_F(CopyFileBlocksTest, ReplacesALongerDestinationWhole) {
    WriteBytes(destination, BinaryBytes(3000, 1));
    WriteBytes(source, BinaryBytes(100, 2));

    EXPECT_EQ(1, CopyFileBlocks(source.c_str(), destination.c_str()));

    EXPECT_EQ(BinaryBytes(100, 2), ReadBytes(destination));
}

TEST_F(CopyFileBlocksTest, FailedCloseOfTheSourceLosesNothing) {
    WriteBytes(source, BinaryBytes(1500));
    standin::FailCall("CloseHandle", 2); // the destination is closed first

    EXPECT_EQ(1, CopyFileBlocks(source.c_str(), destination.c_str()));

    EXPECT_EQ(BinaryBytes(1500), ReadBytes(destination));
    EXPECT_TRUE(standin::MessageBoxes().empty());
}

struct FailureCase {
    const char* name;
    std::function<void(const std::string& source)> arrange;
    bool sourceSide;  // the message names the source; else the destination
    bool copyStarted; // the old destination has been emptied and must be gone
};

TEST_F(CopyFileBlocksTest, FailureNamesTheFileAndLeavesNoPartialCopy) {
    auto sourceOf = [](size_t size) {
        return [size](const std::string& path) { WriteBytes(path, BinaryBytes(size)); };
    };
    auto withFault = [](size_t size, const char* service, int nth) {
        return [=](const std::string& path) {
            WriteBytes(path, BinaryBytes(size));
            standin::FailCall(service, nth);
        };
    };
    const std::vector<FailureCase> cases = {
        {"source absent", [](const std::string&) {}, true, false},
        {"source is a folder",
         [](const std::string& path) { std::filesystem::create_directory(path); }, true, false},
        {"source does not open", withFault(10, "CreateFileA", 1), true, false},
        {"destination cannot be created", withFault(10, "CreateFileA", 2), false, false},
        {"first read fails", withFault(2500, "ReadFile", 1), true, true},
        {"read fails midway", withFault(2500, "ReadFile", 2), true, true},
        {"read of the final 0 bytes fails", withFault(1024, "ReadFile", 2), true, true},
        {"write fails midway", withFault(2500, "WriteFile", 2), false, true},
        {"short write",
         [&](const std::string& path) {
             sourceOf(2500)(path);
             standin::ShortWrite(2, 100);
         },
         false, true},
        {"short final write",
         [&](const std::string& path) {
             sourceOf(1025)(path);
             standin::ShortWrite(2, 0);
         },
         false, true},
        {"closing the destination fails", withFault(2500, "CloseHandle", 1), false, true},
    };
    const std::string oldDestination = BinaryBytes(5000, 3);
    for (const FailureCase& row : cases) {
        SCOPED_TRACE(row.name);
        standin::Reset();
        std::filesystem::remove_all(source);
        WriteBytes(destination, oldDestination);
        row.arrange(source);

        EXPECT_EQ(0, CopyFileBlocks(source.c_str(), destination.c_str()));

        ASSERT_EQ(1u, standin::MessageBoxes().size());
        const standin::MessageBoxShown& box = standin::MessageBoxes()[0];
        EXPECT_EQ(row.sourceSide ? source : destination, box.text);
        EXPECT_EQ(row.sourceSide ? "Cannot open file" : "Cannot create file", box.caption);
        EXPECT_EQ(MB_ICONERROR, box.type);
        EXPECT_FALSE(box.hasOwner);
        bool exists = false;
        std::string left = ReadBytes(destination, &exists);
        if (row.copyStarted)
            EXPECT_FALSE(exists) << "an incomplete copy is removed";
        else
            EXPECT_EQ(oldDestination, left) << "a copy that never started touches nothing";
        EXPECT_EQ(0, standin::OpenFileHandles());
    }
}

} // namespace
