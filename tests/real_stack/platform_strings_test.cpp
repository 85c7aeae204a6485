// The virtual device's strings as Wine's own hid.dll reads them, without Velmar.dll: what
// the library's string exports will have to return once they land.
#include "support/velmar_library.h"

// mingw-w64's hidsdi.h declares its functions without C linkage.
extern "C" {
#include <hidsdi.h>
}

#include <gtest/gtest.h>

#include <string>

namespace {

constexpr ULONG kTextBytes = 254;

class PlatformStrings : public ::testing::Test {
protected:
    void SetUp() override {
        device_ = Velmar().HID_OpenDevice(0xF6F1, 0x04D8, VELMAR_ANY_VERSION, 0);
        ASSERT_NE(device_, nullptr);
    }
    void TearDown() override {
        if (device_) {
            Velmar().HID_CloseDevice(device_);
        }
    }

    template <typename Query>
    std::wstring Read(Query query) {
        wchar_t text[kTextBytes / sizeof(wchar_t)] = {};
        EXPECT_TRUE(query(device_, text, kTextBytes)) << "error " << GetLastError();
        return text;
    }

    HANDLE device_ = nullptr;
};

TEST_F(PlatformStrings, ManufacturerProductAndSerialNumber) {
    EXPECT_EQ(Read(HidD_GetManufacturerString), L"Velmar Test Devices");
    EXPECT_EQ(Read(HidD_GetProductString), L"Virtual F6F1");
    EXPECT_EQ(Read(HidD_GetSerialNumberString), L"VF6F1-0001");
}

// Wine 8.0's class driver answers this request itself, without asking the device: should
// a newer Wine pass it on, this fails and the indexed string checks can expect the text.
TEST_F(PlatformStrings, IndexedStringIsRefusedByWinesClassDriver) {
    wchar_t text[kTextBytes / sizeof(wchar_t)] = {};
    SetLastError(0);
    EXPECT_FALSE(HidD_GetIndexedString(device_, 4, text, kTextBytes));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_SUPPORTED));
}

} // namespace
