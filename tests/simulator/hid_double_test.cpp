// hid.dll's answers for handles on the world's device files, and the faults a world injects.
#include "platform_doubles.h"
#include "test_support.h"

#include "devsim.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>

namespace {

// Closes the handles a test opened, so that the next world can replace the files.
struct Devices {
    std::vector<HANDLE> handles;
    HANDLE Open(const char* name, DWORD access = 0) {
        handles.push_back(OpenDevice(name, access));
        return handles.back();
    }
    ~Devices() {
        for (HANDLE handle : handles) {
            CloseHandle(handle);
        }
    }
};

TEST(HidDouble, AnswersForTheInterfaceWhoseFileTheHandleIsOpenOn) {
    LoadWorld("interface a vid=04D8 pid=F6F1 version=0102\ninterface b vid=045E open=query\n");
    Devices devices;
    HANDLE b = devices.Open("b");
    HANDLE a = devices.Open("a", GENERIC_READ | GENERIC_WRITE);
    HIDD_ATTRIBUTES attributes = {10, 0, 0, 0};
    EXPECT_TRUE(Doubles().HidD_GetAttributes(b, &attributes)) << "an access-0 handle will do";
    EXPECT_EQ(attributes.VendorID, 0x045E);
    EXPECT_TRUE(Doubles().HidD_GetAttributes(a, &attributes));
    EXPECT_EQ(attributes.VendorID, 0x04D8);
    EXPECT_EQ(attributes.ProductID, 0xF6F1);
    EXPECT_EQ(attributes.VersionNumber, 0x0102);
    EXPECT_EQ(attributes.Size, 10u) << "the platform leaves Size alone";
}

TEST(HidDouble, RefusesAHandleOnAnyOtherFileWritingNothing) {
    LoadWorld("interface a vid=04D8\n");
    const ScratchFolder folder("plain");
    HANDLE plain = CreateFileA(folder.File("a.hid").c_str(), GENERIC_WRITE, 0, nullptr,
                               CREATE_ALWAYS, FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    HIDD_ATTRIBUTES attributes = {};
    ULONG buffers = 0;
    EXPECT_FALSE(Doubles().HidD_GetAttributes(plain, &attributes));
    EXPECT_EQ(GetLastError(), DWORD{ERROR_INVALID_FUNCTION});
    EXPECT_FALSE(Doubles().HidD_GetNumInputBuffers(plain, &buffers));
    EXPECT_EQ(attributes.VendorID, 0);
    EXPECT_EQ(buffers, 0u);
    CloseHandle(plain);
}

TEST(HidDouble, StringsFillTheBufferAndEndOnlyWhereTheTerminatorFits) {
    LoadWorld("interface a manufacturer=\"" + std::string(126, 'x') +
              "\" product=\"Pad \\\"1\\\" # \\\\\" serial=\"\\u0416\u00e9\" string.4=\"four\"\n"
              "interface b\n");
    Devices devices;
    HANDLE a = devices.Open("a");
    wchar_t buffer[130];
    std::fill(std::begin(buffer), std::end(buffer), L'?');
    EXPECT_TRUE(Doubles().HidD_GetManufacturerString(a, buffer, 252));
    EXPECT_EQ(std::wstring(buffer, 127), std::wstring(126, L'x') + L'?')
        << "no room for the terminator in 252 bytes";

    std::fill(std::begin(buffer), std::end(buffer), L'?');
    EXPECT_TRUE(Doubles().HidD_GetProductString(a, buffer, 6));
    EXPECT_EQ(std::wstring(buffer, 4), L"Pad?") << "cut at the buffer's length";
    EXPECT_TRUE(Doubles().HidD_GetProductString(a, buffer, sizeof buffer));
    EXPECT_EQ(std::wstring(buffer), L"Pad \"1\" # \\");
    EXPECT_TRUE(Doubles().HidD_GetSerialNumberString(a, buffer, sizeof buffer));
    EXPECT_EQ(std::wstring(buffer), L"\u0416\u00e9");
    EXPECT_TRUE(Doubles().HidD_GetIndexedString(a, 4, buffer, sizeof buffer));
    EXPECT_EQ(std::wstring(buffer), L"four");

    EXPECT_FALSE(Doubles().HidD_GetIndexedString(a, 5, buffer, sizeof buffer));
    HANDLE b = devices.Open("b");
    for (auto query : {Doubles().HidD_GetManufacturerString, Doubles().HidD_GetProductString,
                       Doubles().HidD_GetSerialNumberString}) {
        EXPECT_FALSE(query(b, buffer, sizeof buffer)) << "b has no strings";
    }
}

TEST(HidDouble, ReportsComeFromTheWorldAndGoToTheJournal) {
    LoadWorld("interface a feature_data=0102030405 input_data=AA buffers=64\ninterface b\n");
    Devices devices;
    HANDLE a = devices.Open("a");
    unsigned char report[4] = {};
    EXPECT_TRUE(Doubles().HidD_GetFeature(a, report, sizeof report));
    EXPECT_EQ(std::string(report, report + 4), "\x01\x02\x03\x04");
    EXPECT_TRUE(Doubles().HidD_GetInputReport(a, report, sizeof report));
    EXPECT_EQ(report[0], 0xAA);
    EXPECT_EQ(report[1], 0x02) << "only the input data is copied";
    ULONG buffers[2] = {};
    EXPECT_TRUE(Doubles().HidD_GetNumInputBuffers(a, &buffers[0]));
    EXPECT_TRUE(Doubles().HidD_GetNumInputBuffers(devices.Open("b"), &buffers[1]));
    EXPECT_EQ(buffers[0], 64u);
    EXPECT_EQ(buffers[1], 32u);
    unsigned char command[] = {0x00, 0x42};
    EXPECT_TRUE(Doubles().HidD_SetOutputReport(a, command, sizeof command));
    EXPECT_EQ(devsim::JournalOf("HidD_SetOutputReport"),
              std::vector<std::string>{"HidD_SetOutputReport(dev:a, [00 42], 2) = 1"});
}

TEST(HidDouble, PreparsedDataIsOneBlockPerCallCountedUntilFreed) {
    LoadWorld("interface a usage_page=FF00 usage=0001 input=9 output=7 feature=3\n");
    Devices devices;
    HANDLE a = devices.Open("a");
    PHIDP_PREPARSED_DATA first = nullptr;
    PHIDP_PREPARSED_DATA second = nullptr;
    ASSERT_TRUE(Doubles().HidD_GetPreparsedData(a, &first));
    ASSERT_TRUE(Doubles().HidD_GetPreparsedData(a, &second));
    EXPECT_NE(first, second);
    EXPECT_EQ(DevSim_OutstandingPreparsedData(), 2);
    HIDP_CAPS caps = {};
    EXPECT_EQ(Doubles().HidP_GetCaps(first, &caps), 0x00110000);
    EXPECT_EQ(caps.Usage, 0x0001);
    EXPECT_EQ(caps.UsagePage, 0xFF00);
    EXPECT_EQ(caps.InputReportByteLength, 9);
    EXPECT_EQ(caps.OutputReportByteLength, 7);
    EXPECT_EQ(caps.FeatureReportByteLength, 3);
    EXPECT_TRUE(Doubles().HidD_FreePreparsedData(first));
    EXPECT_FALSE(Doubles().HidD_FreePreparsedData(first)) << "freed twice";
    EXPECT_EQ(Doubles().HidP_GetCaps(first, &caps), static_cast<LONG>(0xC0110001));
    EXPECT_EQ(DevSim_OutstandingPreparsedData(), 1);
    EXPECT_TRUE(Doubles().HidD_FreePreparsedData(second));
}

TEST(HidDouble, InjectedFaultsFailWithGenFailureWritingNothing) {
    LoadWorld("interface a vid=04D8 manufacturer=\"M\" feature_data=0102 fail=HidD_GetAttributes,"
              "HidD_GetFeature,HidD_GetManufacturerString,HidD_SetFeature,HidP_GetCaps\n"
              "interface b feature_data=0506 fail=HidD_FreePreparsedData\n");
    Devices devices;
    HANDLE a = devices.Open("a");
    HIDD_ATTRIBUTES attributes = {};
    unsigned char report[2] = {};
    wchar_t text[4] = {};
    EXPECT_FALSE(Doubles().HidD_GetAttributes(a, &attributes));
    EXPECT_EQ(GetLastError(), DWORD{ERROR_GEN_FAILURE});
    EXPECT_FALSE(Doubles().HidD_GetFeature(a, report, sizeof report));
    EXPECT_FALSE(Doubles().HidD_GetManufacturerString(a, text, sizeof text));
    EXPECT_FALSE(Doubles().HidD_SetFeature(a, report, sizeof report));
    EXPECT_EQ(GetLastError(), DWORD{ERROR_GEN_FAILURE});
    EXPECT_EQ(attributes.VendorID | report[0] | text[0], 0);

    PHIDP_PREPARSED_DATA preparsed = nullptr;
    HIDP_CAPS caps = {};
    ASSERT_TRUE(Doubles().HidD_GetPreparsedData(a, &preparsed));
    EXPECT_EQ(Doubles().HidP_GetCaps(preparsed, &caps), static_cast<LONG>(0xC0110001));
    EXPECT_TRUE(Doubles().HidD_FreePreparsedData(preparsed));

    HANDLE b = devices.Open("b");
    EXPECT_TRUE(Doubles().HidD_GetFeature(b, report, sizeof report)) << "faults are per interface";
    ASSERT_TRUE(Doubles().HidD_GetPreparsedData(b, &preparsed));
    EXPECT_EQ(Doubles().HidP_GetCaps(preparsed, &caps), 0x00110000);
    EXPECT_FALSE(Doubles().HidD_FreePreparsedData(preparsed));
    EXPECT_EQ(GetLastError(), DWORD{ERROR_GEN_FAILURE});
}

TEST(HidDouble, ScribblingFaultsFailAfterFillingTheRecordWithA5) {
    LoadWorld("interface a vid=04D8 scribble=HidD_GetAttributes,HidP_GetCaps,"
              "HidD_GetNumInputBuffers\n");
    Devices devices;
    HANDLE a = devices.Open("a");
    HIDD_ATTRIBUTES attributes = {};
    EXPECT_FALSE(Doubles().HidD_GetAttributes(a, &attributes));
    EXPECT_EQ(GetLastError(), DWORD{ERROR_GEN_FAILURE});
    EXPECT_EQ(attributes.VendorID, 0xA5A5);
    ULONG buffers = 0;
    EXPECT_FALSE(Doubles().HidD_GetNumInputBuffers(a, &buffers));
    EXPECT_EQ(buffers, 0xA5A5A5A5u);

    PHIDP_PREPARSED_DATA preparsed = nullptr;
    HIDP_CAPS caps = {};
    ASSERT_TRUE(Doubles().HidD_GetPreparsedData(a, &preparsed));
    EXPECT_EQ(Doubles().HidP_GetCaps(preparsed, &caps), static_cast<LONG>(0xC0110001));
    EXPECT_EQ(caps.InputReportByteLength, 0xA5A5);
    EXPECT_EQ(caps.NumberFeatureDataIndices, 0xA5A5) << "the whole record";
    EXPECT_TRUE(Doubles().HidD_FreePreparsedData(preparsed));
}

} // namespace
