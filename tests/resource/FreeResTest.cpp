#include <gtest/gtest.h>

#include "FreeRes/FreeRes.h"
#include "platform/scripted/ScriptedPlatform.h"
#include "vcl/Exception.h"

using namespace veska;

namespace {

// Remembers which kinds were asked for, in order.
class RecordingSystem : public ScriptedSystem {
public:
    ResourceFigure FreeResource(int kind) override {
        kinds.push_back(kind);
        return ScriptedSystem::FreeResource(kind);
    }
    std::vector<int> kinds;
};

Bytes MessageOf(ISystemInfo& system, int kind) {
    try {
        QueryFreeResource(system, kind);
    } catch (const Exception& e) {
        return e.Message();
    }
    return "(no error)";
}

}  // namespace

TEST(FreeRes, FillsThreeDecimalTextsAskingSystemGdiUserInThatOrder) {
    RecordingSystem system;
    system.resources[0] = {61, ResourceFailure::None};
    system.resources[1] = {78, ResourceFailure::None};
    system.resources[2] = {100, ResourceFailure::None};
    Bytes s, g, u;
    GetFreeResources(system, s, g, u);
    EXPECT_EQ(s, "61");
    EXPECT_EQ(g, "78");
    EXPECT_EQ(u, "100");
    EXPECT_EQ(system.kinds, (std::vector<int>{0, 1, 2}));
}

TEST(FreeRes, EachMissingFigureRaisesItsOwnMessage) {
    ScriptedSystem system;
    const std::pair<ResourceFailure, Bytes> cases[] = {
        {ResourceFailure::Module, "Faild to call User.exe"},
        {ResourceFailure::Function, "Faild to call function"},
        {ResourceFailure::Kernel, "Faild to call Kernel32.dll"},
        {ResourceFailure::Thunk, "Faild to call QT_Thunk"},
    };
    for (const auto& [failure, message] : cases) {
        system.resources[2] = {55, failure};
        EXPECT_EQ(MessageOf(system, 2), message);
    }
    system.resources[2] = {55, ResourceFailure::None};
    EXPECT_EQ(QueryFreeResource(system, 2), 55);
}

TEST(FreeRes, AnErrorEndsTheFillingAndKeepsWhatWasAlreadyFilled) {
    RecordingSystem system;
    system.resources[0].failure = ResourceFailure::Module;
    Bytes s = "old", g = "old", u = "old";
    EXPECT_THROW(GetFreeResources(system, s, g, u), Exception);
    EXPECT_EQ(s + g + u, "oldoldold");
    EXPECT_EQ(system.kinds, std::vector<int>{0});

    system.resources[0].failure = ResourceFailure::None;
    system.resources[1].failure = ResourceFailure::Thunk;
    system.kinds.clear();
    EXPECT_THROW(GetFreeResources(system, s, g, u), Exception);
    EXPECT_EQ(s, "78");
    EXPECT_EQ(g, "old");
    EXPECT_EQ(u, "old");
    EXPECT_EQ(system.kinds, (std::vector<int>{0, 1}));
}

TEST(FreeRes, FiguresOutsideAPercentageAreHeldToOneHundredAndZero) {
    ScriptedSystem system;
    system.resources[0] = {140, ResourceFailure::None};
    system.resources[1] = {-3, ResourceFailure::None};
    EXPECT_EQ(QueryFreeResource(system, 0), 100);
    EXPECT_EQ(QueryFreeResource(system, 1), 0);
}
