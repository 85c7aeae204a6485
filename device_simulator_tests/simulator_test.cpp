// The simulator must answer as strictly as the platform it stands for: a double that
// accepted what the platform refuses would let a faulty caller pass its tests.
#include "platform_doubles.h"

#include "devsim.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

void Load(const std::string& world) {
    ASSERT_EQ(DevSim_LoadWorld(world.c_str()), 1) << DevSim_LastError();
}

std::vector<std::string> Journal() {
    std::vector<std::string> lines;
    for (int i = 0; i < DevSim_JournalSize(); ++i) {
        lines.emplace_back(DevSim_JournalLine(i));
    }
    return lines;
}

HANDLE Open(const char* name, DWORD access) {
    return CreateFileA(DevSim_DevicePath(name), access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                       OPEN_EXISTING, 0, nullptr);
}

struct InterfaceSet {
    HDEVINFO set = Doubles().SetupDiGetClassDevsA(&kHidClass, nullptr, nullptr, 0x12);
    ~InterfaceSet() { Doubles().SetupDiDestroyDeviceInfoList(set); }
    SP_DEVICE_INTERFACE_DATA Member(DWORD index) const {
        SP_DEVICE_INTERFACE_DATA data = {};
        data.cbSize = sizeof data;
        EXPECT_TRUE(Doubles().SetupDiEnumDeviceInterfaces(set, nullptr, &kHidClass, index, &data));
        return data;
    }
};

TEST(SetupApiDouble, EnumerationChecksTheRecordSizeAndEndsWithNoMoreItems) {
    Load("interface a\ninterface b\n");
    InterfaceSet interfaces;
    SP_DEVICE_INTERFACE_DATA data = {};
    data.cbSize = sizeof data + 4;
    EXPECT_FALSE(
        Doubles().SetupDiEnumDeviceInterfaces(interfaces.set, nullptr, &kHidClass, 0, &data));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_USER_BUFFER));
    data.cbSize = sizeof data;
    EXPECT_TRUE(
        Doubles().SetupDiEnumDeviceInterfaces(interfaces.set, nullptr, &kHidClass, 1, &data));
    EXPECT_FALSE(
        Doubles().SetupDiEnumDeviceInterfaces(interfaces.set, nullptr, &kHidClass, 2, &data));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_ITEMS));
    const GUID other = {1, 2, 3, {4}};
    EXPECT_FALSE(Doubles().SetupDiEnumDeviceInterfaces(interfaces.set, nullptr, &other, 0, &data));
    HDEVINFO otherClass = Doubles().SetupDiGetClassDevsA(&other, nullptr, nullptr, 0x12);
    EXPECT_FALSE(Doubles().SetupDiEnumDeviceInterfaces(otherClass, nullptr, &kHidClass, 0, &data));
    EXPECT_TRUE(Doubles().SetupDiDestroyDeviceInfoList(otherClass));
    EXPECT_FALSE(Doubles().SetupDiDestroyDeviceInfoList(otherClass)) << "destroyed twice";
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST(SetupApiDouble, DetailReportsItsSizeAndChecksTheBuffer) {
    Load("interface device\n");
    InterfaceSet interfaces;
    SP_DEVICE_INTERFACE_DATA data = interfaces.Member(0);
    const std::string path = DevSim_DevicePath("device");
    DWORD required = 0;
    EXPECT_FALSE(Doubles().SetupDiGetDeviceInterfaceDetailA(interfaces.set, &data, nullptr, 0,
                                                            &required, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(required, 4 + path.size() + 1);

    std::vector<char> buffer(required);
    auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(buffer.data());
    detail->cbSize = 8; // the 64-bit record size
    EXPECT_FALSE(Doubles().SetupDiGetDeviceInterfaceDetailA(interfaces.set, &data, detail, required,
                                                            nullptr, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_USER_BUFFER));
    detail->cbSize = 5;
    EXPECT_FALSE(Doubles().SetupDiGetDeviceInterfaceDetailA(interfaces.set, &data, detail,
                                                            required - 1, nullptr, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_FALSE(Doubles().SetupDiGetDeviceInterfaceDetailA(interfaces.set, &data, nullptr, 4,
                                                            &required, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_USER_BUFFER));
    EXPECT_TRUE(Doubles().SetupDiGetDeviceInterfaceDetailA(interfaces.set, &data, detail, required,
                                                           nullptr, nullptr));
    EXPECT_EQ(std::string(detail->DevicePath), path);
}

TEST(SetupApiDouble, ClassDevsFailsAsTheWorldSays) {
    Load("world classdevs=null\ninterface a\n");
    EXPECT_EQ(Doubles().SetupDiGetClassDevsA(&kHidClass, nullptr, nullptr, 0x12), nullptr);
    Load("world classdevs=invalid\ninterface a\n");
    EXPECT_EQ(Doubles().SetupDiGetClassDevsA(&kHidClass, nullptr, nullptr, 0x12),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(DevSim_LiveDeviceInfoSets(), 0);
}

TEST(DeviceFiles, OpenBehaviourFollowsTheWorld) {
    Load("interface free read_data=0A0B0C\ninterface guarded open=query\ninterface gone "
         "open=absent\n");
    HANDLE free = Open("free", GENERIC_READ | GENERIC_WRITE);
    ASSERT_NE(free, INVALID_HANDLE_VALUE);
    char bytes[8] = {};
    DWORD read = 0;
    EXPECT_TRUE(ReadFile(free, bytes, sizeof bytes, &read, nullptr));
    EXPECT_EQ(std::string(bytes, read), "\x0A\x0B\x0C");
    CloseHandle(free);

    HANDLE query = Open("guarded", 0);
    EXPECT_NE(query, INVALID_HANDLE_VALUE) << "keyboards open for query";
    CloseHandle(query);
    EXPECT_EQ(Open("guarded", GENERIC_READ | GENERIC_WRITE), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    EXPECT_EQ(Open("gone", 0), INVALID_HANDLE_VALUE);
}

TEST(HidDouble, AnswersForTheInterfaceAHandleIsOpenOn) {
    Load("interface a vid=04D8 pid=F6F1 version=0102\ninterface b vid=045E pid=0750 open=query\n");
    HANDLE a = Open("a", 0);
    HANDLE b = Open("b", 0);
    HidAttributes attributes = {10, 0, 0, 0};
    EXPECT_TRUE(Doubles().HidD_GetAttributes(b, &attributes));
    EXPECT_EQ(attributes.VendorID, 0x045E);
    EXPECT_TRUE(Doubles().HidD_GetAttributes(a, &attributes));
    EXPECT_EQ(attributes.ProductID, 0xF6F1);
    EXPECT_EQ(attributes.VersionNumber, 0x0102);
    EXPECT_EQ(attributes.Size, 10u) << "the platform leaves Size alone";

    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    HANDLE plain = CreateFileA((std::string(temp) + "devsim-plain.bin").c_str(), GENERIC_WRITE, 0,
                               nullptr, CREATE_ALWAYS, FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    attributes = {};
    EXPECT_FALSE(Doubles().HidD_GetAttributes(plain, &attributes));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_FUNCTION));
    EXPECT_EQ(attributes.VendorID, 0) << "nothing written for a stranger's handle";
    for (HANDLE handle : {a, b, plain}) {
        CloseHandle(handle);
    }
}

TEST(HidDouble, StringsFillTheBufferAndEndOnlyWhereTheTerminatorFits) {
    const std::string longest(126, 'x');
    Load("interface a manufacturer=\"" + longest + "\" string.7=\"\\u0416\u00e9\"\ninterface b\n");
    HANDLE a = Open("a", 0);
    HANDLE b = Open("b", 0);
    wchar_t buffer[130];
    std::fill(std::begin(buffer), std::end(buffer), L'?');
    EXPECT_TRUE(Doubles().HidD_GetManufacturerString(a, buffer, 252));
    EXPECT_EQ(std::wstring(buffer, 126), std::wstring(126, L'x'));
    EXPECT_EQ(buffer[126], L'?') << "no room for the terminator in 252 bytes";

    std::fill(std::begin(buffer), std::end(buffer), L'?');
    EXPECT_TRUE(Doubles().HidD_GetIndexedString(a, 7, buffer, 252));
    EXPECT_EQ(std::wstring(buffer), std::wstring(L"\u0416\u00e9"));
    EXPECT_FALSE(Doubles().HidD_GetIndexedString(a, 8, buffer, 252));
    EXPECT_FALSE(Doubles().HidD_GetManufacturerString(b, buffer, 252)) << "b has no such string";
    CloseHandle(a);
    CloseHandle(b);
}

TEST(HidDouble, InjectedFaultsFailWithoutWritingAnything) {
    Load("interface a vid=04D8 fail=HidD_GetAttributes,HidD_GetFeature feature=4 "
         "feature_data=01020304\n"
         "interface b feature_data=0506\n");
    HANDLE a = Open("a", 0);
    HidAttributes attributes = {};
    EXPECT_FALSE(Doubles().HidD_GetAttributes(a, &attributes));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_GEN_FAILURE));
    EXPECT_EQ(attributes.VendorID, 0);
    unsigned char report[4] = {};
    EXPECT_FALSE(Doubles().HidD_GetFeature(a, report, sizeof report));
    EXPECT_EQ(report[0], 0);
    HANDLE b = Open("b", 0);
    EXPECT_TRUE(Doubles().HidD_GetFeature(b, report, sizeof report));
    EXPECT_EQ(report[1], 6);
    CloseHandle(a);
    CloseHandle(b);
}

TEST(HidDouble, PreparsedDataIsCountedUntilFreed) {
    Load("interface a input=9 output=7 feature=3\n");
    HANDLE a = Open("a", 0);
    void* preparsed = nullptr;
    ASSERT_TRUE(Doubles().HidD_GetPreparsedData(a, &preparsed));
    EXPECT_EQ(DevSim_OutstandingPreparsedData(), 1);
    unsigned short caps[32] = {};
    EXPECT_EQ(Doubles().HidP_GetCaps(preparsed, caps), 0x00110000);
    EXPECT_EQ(caps[2], 9);
    EXPECT_EQ(caps[3], 7);
    EXPECT_EQ(caps[4], 3);
    EXPECT_TRUE(Doubles().HidD_FreePreparsedData(preparsed));
    EXPECT_FALSE(Doubles().HidD_FreePreparsedData(preparsed)) << "freed twice";
    EXPECT_EQ(Doubles().HidP_GetCaps(preparsed, caps), static_cast<LONG>(0xC0110001));
    EXPECT_EQ(DevSim_OutstandingPreparsedData(), 0);
    CloseHandle(a);
}

TEST(Journal, RecordsEveryCallWithItsArgumentsAndResult) {
    Load("interface a\n");
    GUID guid;
    Doubles().HidD_GetHidGuid(&guid);
    {
        InterfaceSet interfaces;
        interfaces.Member(0);
    }
    HANDLE a = Open("a", 0);
    unsigned char report[] = {0x00, 0x42, 0xFF};
    Doubles().HidD_SetFeature(a, report, sizeof report);
    Doubles().HidD_GetIndexedString(a, 0x12345678, nullptr, 252);
    CloseHandle(a);
    EXPECT_THAT(Journal(),
                ElementsAre("HidD_GetHidGuid(ptr)",
                            "SetupDiGetClassDevsA({4D1E55B2-F16F-11CF-88CB-001111000030}, null, "
                            "null, 0x12) = set:1",
                            "SetupDiEnumDeviceInterfaces(set:1, null, "
                            "{4D1E55B2-F16F-11CF-88CB-001111000030}, 0, cbSize=28) = 1",
                            "SetupDiDestroyDeviceInfoList(set:1) = 1",
                            "HidD_SetFeature(dev:a, [00 42 ff], 3) = 1",
                            "HidD_GetIndexedString(dev:a, 0x12345678, null, 252) = 0 error=87"));
    DevSim_ClearJournal();
    EXPECT_EQ(DevSim_JournalSize(), 0);
}

TEST(WorldDescription, MistakesNameTheirLine) {
    EXPECT_EQ(DevSim_LoadWorld("interface a\ninterface b vid=12345\n"), 0);
    EXPECT_THAT(DevSim_LastError(), HasSubstr("line 2"));
    EXPECT_EQ(DevSim_LoadWorld("interface a fail=HidD_Nonexistent\n"), 0);
    EXPECT_EQ(DevSim_LoadWorld("interface a\ninterface a\n"), 0);
    EXPECT_THAT(DevSim_LastError(), HasSubstr("twice"));
    EXPECT_EQ(DevSim_LoadWorld("interface a product=\"open\n"), 0);
    EXPECT_EQ(DevSim_LoadWorld("device a\n"), 0);
    EXPECT_EQ(DevSim_DevicePath("a"), nullptr) << "a failed load leaves an empty world";
    EXPECT_EQ(DevSim_LoadWorld("# only a comment\n\n   \n"), 1);
}

std::string ReadFileText(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

// A program under test runs in a process of its own: it finds the world through
// DEVSIM_WORLD and leaves its journal in DEVSIM_JOURNAL.
TEST(AnotherProcess, ReadsTheWorldFileAndWritesTheJournalFile) {
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    const std::string folder =
        std::string(temp) + "devsim-child-" + std::to_string(GetCurrentProcessId());
    CreateDirectoryA(folder.c_str(), nullptr);
    const std::string world = folder + "\\world.txt", journal = folder + "\\journal.txt";
    std::ofstream(world) << "interface pad vid=04D8 pid=F6F1\n";
    DeleteFileA(journal.c_str());
    SetEnvironmentVariableA("DEVSIM_WORLD", world.c_str());
    SetEnvironmentVariableA("DEVSIM_JOURNAL", journal.c_str());

    char module[MAX_PATH];
    GetModuleFileNameA(nullptr, module, sizeof module);
    std::string child = module;
    child = child.substr(0, child.find_last_of('\\')) + "\\devsim_child.exe";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    ASSERT_TRUE(CreateProcessA(child.c_str(), nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                               &startup, &process));
    SetEnvironmentVariableA("DEVSIM_WORLD", nullptr);
    SetEnvironmentVariableA("DEVSIM_JOURNAL", nullptr);
    ASSERT_EQ(WaitForSingleObject(process.hProcess, 20000), WAIT_OBJECT_0);
    DWORD exitCode = 1;
    GetExitCodeProcess(process.hProcess, &exitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    EXPECT_EQ(exitCode, 0u);
    EXPECT_EQ(ReadFileText(journal), "HidD_GetAttributes(dev:pad, Size=12) = 1\n");
    EXPECT_TRUE(GetFileAttributesA((folder + "\\pad.hid").c_str()) != INVALID_FILE_ATTRIBUTES)
        << "the device files lie beside the world file";
}

} // namespace
