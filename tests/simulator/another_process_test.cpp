// A program under test runs in a process of its own: the simulator finds the world through
// DEVSIM_WORLD and leaves its journal in DEVSIM_JOURNAL.
#include "platform_doubles.h"
#include "test_support.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>

namespace {

using ::testing::StartsWith;

struct ChildRun {
    DWORD exitCode = STILL_ACTIVE; // until the child is seen to end
    std::string journal;
};

ChildRun RunChild(const std::string& worldText) {
    const ScratchFolder folder("child");
    const std::string world = folder.File("world.txt");
    const std::string journal = folder.File("journal.txt");
    std::ofstream(world) << worldText;
    SetEnvironmentVariableA("DEVSIM_WORLD", world.c_str());
    SetEnvironmentVariableA("DEVSIM_JOURNAL", journal.c_str());
    const std::string child = ProgramFolder() + "\\devsim_child.exe";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    ChildRun run;
    if (CreateProcessA(child.c_str(), nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                       &startup, &process)) {
        WaitForSingleObject(process.hProcess, 30000);
        GetExitCodeProcess(process.hProcess, &run.exitCode);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    SetEnvironmentVariableA("DEVSIM_WORLD", nullptr);
    SetEnvironmentVariableA("DEVSIM_JOURNAL", nullptr);
    run.journal = FileContents(journal);
    return run;
}

TEST(AnotherProcess, ReadsTheWorldFileAndWritesEveryCallToTheJournalFile) {
    const ChildRun run = RunChild("interface pad vid=04D8 pid=F6F1\n");
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_EQ(run.journal, "HidD_GetAttributes(dev:pad, Size=12) = 1\n");
}

TEST(AnotherProcess, ALoadErrorIsTheJournalsFirstLine) {
    const ChildRun run = RunChild("interface pad vid=XYZ\n");
    EXPECT_EQ(run.exitCode, 1u);
    EXPECT_THAT(run.journal, StartsWith("devsim: error: "));
    EXPECT_THAT(run.journal, ::testing::HasSubstr("line 1: vid=XYZ"));
}

} // namespace
