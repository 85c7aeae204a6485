// The stand-ins export exactly the platform's names, undecorated, in every folder; the
// variant folders each lack their piece.
#include "platform_doubles.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <iterator>

namespace {

const char* const kHidFunctions[] = {"HidD_GetHidGuid",
                                     "HidD_GetAttributes",
                                     "HidD_GetPreparsedData",
                                     "HidP_GetCaps",
                                     "HidD_FreePreparsedData",
                                     "HidD_GetNumInputBuffers",
                                     "HidD_GetManufacturerString",
                                     "HidD_GetProductString",
                                     "HidD_GetSerialNumberString",
                                     "HidD_GetIndexedString",
                                     "HidD_GetFeature",
                                     "HidD_SetFeature",
                                     "HidD_GetInputReport",
                                     "HidD_SetOutputReport"};
const char* const kSetupApiFunctions[] = {"SetupDiGetClassDevsA", "SetupDiDestroyDeviceInfoList",
                                          "SetupDiEnumDeviceInterfaces",
                                          "SetupDiGetDeviceInterfaceDetailA"};

// How many of `functions` the DLL at `path` exports, counted from the first: the variants
// keep a leading part of each list.
size_t LeadingExports(const std::string& path, const char* const* functions, size_t count) {
    HMODULE module = LoadLibraryA(path.c_str());
    size_t found = 0;
    while (module && found < count && GetProcAddress(module, functions[found])) {
        ++found;
    }
    for (size_t i = found; module && i < count; ++i) {
        EXPECT_EQ(GetProcAddress(module, functions[i]), nullptr) << path << " " << functions[i];
    }
    if (module) {
        FreeLibrary(module);
    }
    return found;
}

size_t HidExports(const std::string& folder) {
    return LeadingExports(folder + "\\hid.dll", kHidFunctions, std::size(kHidFunctions));
}

size_t SetupApiExports(const std::string& folder) {
    return LeadingExports(folder + "\\setupapi.dll", kSetupApiFunctions,
                          std::size(kSetupApiFunctions));
}

TEST(StandIns, TheMainFolderHasEveryFunction) {
    EXPECT_EQ(HidExports(ProgramFolder()), 14u);
    EXPECT_EQ(SetupApiExports(ProgramFolder()), 4u);
    EXPECT_EQ(GetProcAddress(LoadLibraryA("hid.dll"), "HidD_GetAttributes@8"), nullptr)
        << "names are undecorated";
}

TEST(StandIns, TheVariantFoldersEachLackTheirPiece) {
    const std::string walkOnly = ProgramFolder() + "\\hid_walk_only";
    EXPECT_EQ(HidExports(walkOnly), 2u);
    EXPECT_EQ(SetupApiExports(walkOnly), 4u);
    const std::string linkedOnly = ProgramFolder() + "\\setupapi_linked_only";
    EXPECT_EQ(HidExports(linkedOnly), 14u);
    EXPECT_EQ(SetupApiExports(linkedOnly), 2u);
    const std::string noHid = ProgramFolder() + "\\no_hid";
    EXPECT_FALSE(Exists(noHid + "\\hid.dll"));
    EXPECT_EQ(SetupApiExports(noHid), 4u);
    for (const std::string& folder : {walkOnly, linkedOnly, noHid}) {
        EXPECT_TRUE(Exists(folder + "\\devsim.dll")) << folder;
    }
}

} // namespace
