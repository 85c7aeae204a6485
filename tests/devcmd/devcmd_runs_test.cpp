// devcmd end to end: the real program, the real Velmar.dll, the simulated platform, and
// message boxes read off the screen.
#include "support/devcmd_run.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

namespace {

using ::testing::IsEmpty;
using ::testing::SizeIs;

const std::string kCommandReport("\x00\x42\x00\x00\x00\x00\x00", 7);
const wchar_t kDeviceMissing[] = L"Устройство не подключено к компьютеру!";
const wchar_t kLibraryMissing[] = L"Отсутствует файл \"Velmar.dll\"";

// Devices that every world has besides the family: a keyboard and a device of another maker.
const std::string kStrangers = "interface keyboard vid=045E pid=0750 open=query\n"
                               "interface wine vid=845E pid=0001\n";

void ExpectQuietSuccess(const DevcmdRun& run) {
    EXPECT_TRUE(run.exited) << "devcmd did not end";
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_THAT(run.messageBoxes, IsEmpty());
}

void ExpectOneMessage(const DevcmdRun& run, const std::wstring& caption, const std::wstring& text) {
    EXPECT_TRUE(run.exited) << "devcmd did not end";
    EXPECT_EQ(run.exitCode, 0u);
    ASSERT_THAT(run.messageBoxes, SizeIs(1));
    EXPECT_EQ(run.messageBoxes[0].caption, caption);
    EXPECT_EQ(run.messageBoxes[0].text, text);
    EXPECT_TRUE(run.messageBoxes[0].errorIcon) << "MB_ICONERROR";
}

TEST(DevcmdRuns, TheRussianCodePageIsInForce) {
    ASSERT_EQ(GetACP(), 1251u) << "run with LC_ALL=ru_RU.UTF-8";
}

TEST(DevcmdRuns, F6F1PresentReceivesTheCommandReportOnce) {
    const DevcmdRun run = RunDevcmd(kStrangers + "interface f6f1 vid=04D8 pid=F6F1 version=1234\n");
    ExpectQuietSuccess(run);
    EXPECT_EQ(run.DeviceFile("f6f1"), kCommandReport);
    EXPECT_EQ(run.DeviceFile("wine"), "");
}

TEST(DevcmdRuns, WithF6F0PresentNothingIsSent) {
    const DevcmdRun run = RunDevcmd(kStrangers + "interface f6f1 vid=04D8 pid=F6F1\n"
                                                 "interface f6f0 vid=04D8 pid=F6F0\n");
    ExpectQuietSuccess(run);
    EXPECT_EQ(run.DeviceFile("f6f1"), "");
    EXPECT_EQ(run.DeviceFile("f6f0"), "");
}

TEST(DevcmdRuns, F6F1ComesBefore00DF) {
    const DevcmdRun run = RunDevcmd(kStrangers + "interface df vid=04D8 pid=00DF\n"
                                                 "interface f6f1 vid=04D8 pid=F6F1\n");
    ExpectQuietSuccess(run);
    EXPECT_EQ(run.DeviceFile("f6f1"), kCommandReport);
    EXPECT_EQ(run.DeviceFile("df"), "");
}

TEST(DevcmdRuns, Only00DFPresentReceivesTheCommand) {
    const DevcmdRun run = RunDevcmd(kStrangers + "interface df vid=04D8 pid=00DF version=0001\n");
    ExpectQuietSuccess(run);
    EXPECT_EQ(run.DeviceFile("df"), kCommandReport);
}

TEST(DevcmdRuns, NoDeviceOfTheFamilyShowsTheDeviceMessage) {
    const DevcmdRun run = RunDevcmd(kStrangers);
    ExpectOneMessage(run, L"MX31K", kDeviceMissing);
}

// The test finds the device, but the open for reading and writing fails.
TEST(DevcmdRuns, A00DFThatOpensOnlyForQueryShowsTheDeviceMessage) {
    const DevcmdRun run = RunDevcmd(kStrangers + "interface df vid=04D8 pid=00DF open=query\n");
    ExpectOneMessage(run, L"MX31K", kDeviceMissing);
    EXPECT_EQ(run.DeviceFile("df"), "");
}

// The device goes between devcmd's test, which finds it, and its open: the device message,
// and the other device of the family, still present, receives nothing.
TEST(DevcmdRuns, AnF6F1UnpluggedBetweenTestAndOpenShowsTheDeviceMessage) {
    const std::string df = "interface df vid=04D8 pid=00DF\n";
    const DevcmdRun run =
        RunDevcmd(kStrangers + "interface f6f1 vid=04D8 pid=F6F1\n" + df,
                  LibraryBeside::VelmarUnpluggingAfterTheTest, nullptr, kStrangers + df);
    ExpectOneMessage(run, L"MX31K", kDeviceMissing);
    EXPECT_EQ(run.DeviceFile("f6f1"), "");
    EXPECT_EQ(run.DeviceFile("df"), "");
}

TEST(DevcmdRuns, WithoutVelmarDllTheLibraryMessageHasAnEmptyCaption) {
    const DevcmdRun run =
        RunDevcmd(kStrangers + "interface f6f1 vid=04D8 pid=F6F1\n", LibraryBeside::None);
    ExpectOneMessage(run, L"", kLibraryMissing);
    EXPECT_EQ(run.DeviceFile("f6f1"), "");
}

TEST(DevcmdRuns, AVelmarDllWithoutTheWriteCountsAsMissingAndNothingIsCalled) {
    const DevcmdRun run = RunDevcmd(kStrangers + "interface f6f1 vid=04D8 pid=F6F1\n",
                                    LibraryBeside::VelmarWithoutWrite);
    ExpectOneMessage(run, L"", kLibraryMissing);
    EXPECT_THAT(run.journal, IsEmpty()) << "no export was called";
}

// A message box of devcmd's must not be owned by another program's window.
TEST(DevcmdRuns, AStrangersForegroundWindowDoesNotOwnTheMessage) {
    HWND stranger = CreateWindowA("STATIC", "stranger", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 200,
                                  100, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(stranger, nullptr);
    const DevcmdRun run = RunDevcmd(kStrangers, LibraryBeside::Velmar, stranger);
    DestroyWindow(stranger);
    ASSERT_THAT(run.messageBoxes, SizeIs(1));
    EXPECT_EQ(run.messageBoxes[0].owner, nullptr);
}

} // namespace
