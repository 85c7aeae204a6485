// Mistakes in a world's text are refused with the line they are on.
#include "platform_doubles.h"
#include "test_support.h"

#include "devsim.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace {

using ::testing::HasSubstr;

struct Mistake {
    const char* world;
    const char* error;
};

TEST(WorldText, MistakesAreRefusedNamingTheirLine) {
    const Mistake mistakes[] = {
        {"interface a\n\ninterface b vid=12345\n", "line 3: vid=12345: expected 1 to 4 hex"},
        {"interface a vid=+4D8\n", "line 1: vid=+4D8"},
        {"interface a colour=red\n", "line 1: unknown key 'colour'"},
        {"interface a name=b\n", "unknown key 'name'"},
        {"interface a\ninterface a\n", "line 2: the interface name 'a' is used twice"},
        {"interface a.b\n", "'a.b' is no interface name"},
        {"interface vid=04D8\n", "an interface needs a name"},
        {"interface a product=\"open\n", "no closing quote"},
        {"interface a product=Pad\n", "product=Pad: expected a quoted UTF-8 string"},
        {"interface a serial=\"\\u12\"\n", "serial="},
        {"interface a fail=HidD_GetAttributes,HidD_Nonexistent\n", "'HidD_Nonexistent' is none"},
        {"interface a fail=HidD_GetHidGuid\n", "'HidD_GetHidGuid' is none"},
        {"interface a scribble=HidD_GetFeature\n", "'HidD_GetFeature' is none"},
        {"interface a open=sometimes\n", "readwrite, query or absent"},
        {"interface a input=-1\n", "input=-1: expected a decimal"},
        {"interface a feature_data=123\n", "feature_data=123: expected hex bytes"},
        {"interface a string.x=\"s\"\n", "string.x="},
        {"world classdevs=maybe\n", "line 1: classdevs=maybe: expected ok, null or invalid"},
        {"world extra\n", "expected key=value, found 'extra'"},
        {"device a\n", "expected 'world' or 'interface', found 'device'"},
    };
    for (const Mistake& mistake : mistakes) {
        EXPECT_FALSE(devsim::LoadWorld(mistake.world)) << mistake.world;
        EXPECT_THAT(devsim::LastError(), HasSubstr(mistake.error)) << mistake.world;
    }
}

TEST(WorldText, AFailedLoadLeavesAnEmptyWorld) {
    LoadWorld("interface a\n");
    EXPECT_FALSE(devsim::LoadWorld("interface b\ninterface\n"));
    EXPECT_TRUE(devsim::DevicePath("a").empty());
    EXPECT_TRUE(devsim::DevicePath("b").empty());
}

TEST(WorldText, CommentsBlankLinesAndEveryKeyAreAccepted) {
    LoadWorld("# a world\n\n   \t\nworld classdevs=ok # trailing\r\n"
              "interface Pad_1-x vid=04d8 pid=F6F1 version=0100 open=readwrite manufacturer=\"M\" "
              "product=\"P\" serial=\"1\" string.4=\"E\" string.0x10=\"F\" usage_page=FF00 "
              "usage=1 input=8 output=7 feature=9 buffers=32 feature_data=01 input_data=00aa "
              "read_data= fail=HidD_GetFeature,SetupDiGetDeviceInterfaceDetailA "
              "scribble=HidD_GetAttributes,HidP_GetCaps,HidD_GetNumInputBuffers\n");
    EXPECT_FALSE(devsim::DevicePath("Pad_1-x").empty());
}

} // namespace
