#include <cstring>
#include <memory>

#include <gtest/gtest.h>

#include "editor/PlayerEditor.h"
#include "vst2/TrackPlayer.h"
#include "tests/support/TestHost.h"

namespace {

class HostBinding : public ::testing::TestWithParam<const BuildProfile*> {
protected:
    void SetUp() override {
        TestHost::reset();
        player = new TrackPlayer(TestHost::callback, *GetParam());
        effect = player->record();
    }
    void TearDown() override {
        if (effect) effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
    }
    intptr_t call(int32_t opcode, int32_t index = 0, intptr_t value = 0, void* ptr = nullptr, float opt = 0.0f) {
        return effect->dispatcher(effect, opcode, index, value, ptr, opt);
    }
    TrackPlayer* player = nullptr;
    AEffect* effect = nullptr;
};

TEST_P(HostBinding, TheRecordLeadsBackToThePlayer) {
    EXPECT_EQ(EffectBase::fromRecord(effect), player);
    EXPECT_EQ(effect->object, static_cast<EffectBase*>(player));
    EXPECT_EQ(effect->flags & effFlagsHasEditor, effFlagsHasEditor) << "the editor sets the has-editor flag";
    EXPECT_EQ(player->getEditor(), &editorOf(*player));
}

TEST_P(HostBinding, OpenAsksForTheDirectoryAndResumeAsksForMidi) {
    call(effOpen);
    EXPECT_EQ(TestHost::timesAsked(audioMasterGetDirectory), 1u);
    call(effMainsChanged, 0, 1);
    EXPECT_EQ(TestHost::timesAsked(audioMasterWantMidi), 1u);
    call(effMainsChanged, 0, 0);
    EXPECT_EQ(TestHost::timesAsked(audioMasterWantMidi), 1u) << "suspend asks nothing";
}

TEST_P(HostBinding, SampleRateStartsAtZeroAndFollowsTheHost) {
    EXPECT_EQ(player->getSampleRate(), 0.0f);
    EXPECT_EQ(player->getBlockSize(), 1024);
    call(effSetSampleRate, 0, 0, nullptr, 48000.0f);
    call(effSetBlockSize, 0, 512);
    EXPECT_EQ(player->getSampleRate(), 48000.0f);
    EXPECT_EQ(player->getBlockSize(), 512);
}

TEST_P(HostBinding, EditorRectangleMatchesTheBuild) {
    ERect* rect = nullptr;
    EXPECT_EQ(call(effEditGetRect, 0, 0, &rect), 1);
    ASSERT_NE(rect, nullptr);
    EXPECT_EQ(rect->right - rect->left, GetParam()->editorWidth);
    EXPECT_EQ(rect->bottom - rect->top, GetParam()->editorHeight);
    EXPECT_EQ(call(effEditOpen, 0, 0, nullptr), 1);
    EXPECT_EQ(call(effEditClose), 0);
    EXPECT_EQ(call(effEditIdle), 0);
    EXPECT_EQ(call(effEditKeyDown, 'a', 0, nullptr, 0.0f), 0);
    EXPECT_EQ(call(effSetEditKnobMode, 0, 2), 1);
}

TEST_P(HostBinding, AutomatedParameterIsSetAndReportedToTheHost) {
    player->setParameterAutomated(TrackPlayer::Vol, 0.25f);
    EXPECT_EQ(TestHost::timesAsked(audioMasterAutomate), 1u);
    EXPECT_FLOAT_EQ(player->getParameter(TrackPlayer::Vol), 0.25f);
}

TEST_P(HostBinding, AccumulatingProcessWhileStoppedLeavesTheHostsSoundAlone) {
    float left[64], right[64];
    std::fill_n(left, 64, 0.5f);
    std::fill_n(right, 64, 0.5f);
    float* outs[2] = {left, right};
    effect->process(effect, nullptr, outs, 64);
    EXPECT_EQ(left[10], 0.5f);
    effect->processReplacing(effect, nullptr, outs, 64);
    EXPECT_EQ(left[10], 0.0f);
    effect->processReplacing(effect, nullptr, nullptr, 64);
    effect->processReplacing(effect, nullptr, outs, -5);
}

INSTANTIATE_TEST_SUITE_P(Builds, HostBinding, ::testing::Values(&fullProfile, &compactProfile),
                         [](const auto& info) { return info.param->compact ? "Compact" : "Full"; });

} // namespace
