// The files that stand for devices: opened, read and written through the system's own file
// functions, as a program under test does.
#include "platform_doubles.h"
#include "test_support.h"

#include "devsim.hpp"

#include <gtest/gtest.h>

#include <fstream>

namespace {

TEST(DeviceFiles, AReadWriteDeviceHoldsItsReadDataAndKeepsWhatWasWritten) {
    LoadWorld("interface pad read_data=0A0B0C\n");
    HANDLE pad = OpenDevice("pad", GENERIC_READ | GENERIC_WRITE);
    ASSERT_NE(pad, INVALID_HANDLE_VALUE);
    char bytes[8] = {};
    DWORD done = 0;
    EXPECT_TRUE(ReadFile(pad, bytes, sizeof bytes, &done, nullptr));
    EXPECT_EQ(std::string(bytes, done), "\x0A\x0B\x0C");
    EXPECT_TRUE(WriteFile(pad, "\x00\x42", 2, &done, nullptr));
    CloseHandle(pad);
    EXPECT_EQ(FileContents(devsim::DevicePath("pad")), std::string("\x0A\x0B\x0C\x00\x42", 5));
}

TEST(DeviceFiles, AQueryOnlyDeviceOpensWithAccessZeroOnly) {
    LoadWorld("interface keyboard open=query\n");
    HANDLE query = OpenDevice("keyboard", 0);
    EXPECT_NE(query, INVALID_HANDLE_VALUE);
    CloseHandle(query);
    for (DWORD access : {DWORD{GENERIC_READ}, DWORD{GENERIC_WRITE}, GENERIC_READ | GENERIC_WRITE}) {
        EXPECT_EQ(OpenDevice("keyboard", access), INVALID_HANDLE_VALUE) << access;
        EXPECT_EQ(GetLastError(), DWORD{ERROR_SHARING_VIOLATION});
    }
}

TEST(DeviceFiles, AnAbsentDeviceHasAPathButNoFile) {
    LoadWorld("interface gone open=absent\n");
    EXPECT_FALSE(devsim::DevicePath("gone").empty());
    EXPECT_EQ(OpenDevice("gone", 0), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), DWORD{ERROR_FILE_NOT_FOUND});
}

TEST(DeviceFiles, ATextWorldsFolderGoesWhenTheWorldIsReplaced) {
    LoadWorld("interface a open=query\n");
    const std::string path = devsim::DevicePath("a");
    const std::string folder = path.substr(0, path.find_last_of('\\'));
    EXPECT_TRUE(Exists(path));
    LoadWorld("interface a open=query\n");
    EXPECT_NE(devsim::DevicePath("a"), path) << "a fresh folder per world";
    EXPECT_FALSE(Exists(path));
    EXPECT_FALSE(Exists(folder));
    EXPECT_TRUE(devsim::DevicePath("b").empty());
}

TEST(DeviceFiles, AFileWorldKeepsItsDevicesBesideIt) {
    const ScratchFolder folder("file-world");
    std::ofstream(folder.File("world.txt")) << "# a pad\ninterface pad vid=04D8 read_data=01\n";
    ASSERT_TRUE(devsim::LoadWorldFile(folder.File("world.txt"))) << devsim::LastError();
    EXPECT_EQ(devsim::DevicePath("pad"), folder.File("pad.hid"));
    EXPECT_EQ(FileContents(folder.File("pad.hid")), "\x01");
    EXPECT_FALSE(devsim::LoadWorldFile(folder.File("missing.txt")));
    EXPECT_NE(devsim::LastError().find("missing.txt"), std::string::npos);
}

} // namespace
