// hidapi (a general HID library) and the library's table on the same interfaces of Wine's
// own HID stack: both must list the same interfaces in the same order, each with the same
// vendor, product, release number and strings (hidapi's wide strings in the ANSI code page).
// An oracle of its own, independent of the library's: a fault that the library and its own
// tests' model share shows here. The prefix's devices, then sixteen more of vendor 1209, of
// which several share one product.
#include "removable_devices.h"
#include "support/velmar_library.h"

#include <hidapi.h>

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

namespace {

struct ListedInterface {
    unsigned vendor;
    unsigned product;
    unsigned release;
    std::string manufacturer;
    std::string productName;
    std::string serial;

    bool operator==(const ListedInterface& other) const {
        return vendor == other.vendor && product == other.product && release == other.release &&
               manufacturer == other.manufacturer && productName == other.productName &&
               serial == other.serial;
    }
};

std::ostream& operator<<(std::ostream& out, const ListedInterface& listed) {
    char identity[32];
    std::snprintf(identity, sizeof identity, "%04X:%04X %04X", listed.vendor, listed.product,
                  listed.release);
    return out << identity << " \"" << listed.manufacturer << "\" / \"" << listed.productName
               << "\" / \"" << listed.serial << "\"";
}

// The library's strings are absent where the platform gave none; hidapi's are empty there.
std::string Text(const char* text) {
    return text ? text : "";
}

std::string Ansi(const wchar_t* text) {
    if (!text || !*text) {
        return "";
    }
    const int size = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string ansi(size, '\0');
    WideCharToMultiByte(CP_ACP, 0, text, -1, &ansi[0], size, nullptr, nullptr);
    ansi.resize(size - 1);
    return ansi;
}

std::vector<ListedInterface> FromTheLibrary() {
    static HidDeviceTable table;
    Velmar().HID_DeviceInfo(&table);
    std::vector<ListedInterface> listed;
    for (int i = 0; i < table.Count; ++i) {
        const HidDeviceEntry& entry = table.Entries[i];
        listed.push_back({entry.VendorID, entry.ProductID, entry.VersionNumber,
                          Text(entry.Manufacturer), Text(entry.Product), Text(entry.SerialNumber)});
    }
    return listed;
}

std::vector<ListedInterface> FromHidapi() {
    std::vector<ListedInterface> listed;
    hid_device_info* devices = hid_enumerate(0, 0);
    for (const hid_device_info* device = devices; device; device = device->next) {
        listed.push_back({device->vendor_id, device->product_id, device->release_number,
                          Ansi(device->manufacturer_string), Ansi(device->product_string),
                          Ansi(device->serial_number)});
    }
    hid_free_enumeration(devices);
    return listed;
}

class HidapiAgreement : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(hid_init(), 0) << Ansi(hid_error(nullptr));
        ASSERT_TRUE(RemoveAllDevices()) << "devices left from before";
    }
    void TearDown() override {
        EXPECT_TRUE(RemoveAllDevices()) << "devices left behind";
        hid_exit();
    }
};

TEST_F(HidapiAgreement, BothListTheSameInterfacesInTheSameOrder) {
    const std::vector<ListedInterface> own = FromTheLibrary();
    ASSERT_FALSE(own.empty());
    EXPECT_EQ(own, FromHidapi()) << "the prefix's own devices";

    std::vector<RemovableDevice> added;
    for (int i = 0; i < 16; ++i) {
        added.push_back({static_cast<WORD>(0x0A01 + i / 4), i % 4});
    }
    ASSERT_TRUE(AddDevices(added));
    const std::vector<ListedInterface> all = FromTheLibrary();
    EXPECT_EQ(all.size(), own.size() + added.size());
    EXPECT_EQ(all, FromHidapi()) << "with sixteen devices more";
}

} // namespace
