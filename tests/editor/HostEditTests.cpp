// What a person does in the window reaches the host under the parameter's
// own index: begin and end notices around the edit and each new value, so
// automation in touch or latch mode writes the right lane and the host's
// stored values follow the editor.
#include <algorithm>
#include <map>

#include "tests/editor/EditorFixture.h"

namespace {

class HostEdits : public EditorFixture {
protected:
    void showPageOf(Control* control) {
        for (int32_t page = 0; page < 4; ++page) {
            const auto& views = controls().pages[page];
            if (std::find(views.begin(), views.end(), control) != views.end()) {
                showPage(page);
                return;
            }
        }
    }
    // A press a few pixels left of the centre, dragged right, released.
    void drag(int32_t tag) {
        Point at = centreOf(tag);
        window().script({{platform::LeftButton, at.x - 3, at.y}, {platform::LeftButton, at.x + 2, at.y - 6},
                         {platform::LeftButton, at.x + 4, at.y - 9}, {0, at.x + 4, at.y - 9}});
        window().queueButtonDown(at.x - 3, at.y);
        view().idle();
    }
};

TEST_P(HostEdits, EachControlWithAParameterTellsTheHostUnderThatParameter) {
    playRamp(441000);
    openWindow();
    const std::pair<int32_t, int32_t> bound[] = {
        {PlayerEditor::TagPlay, TrackPlayer::Playing},        {PlayerEditor::TagAutoRewind, TrackPlayer::AutoRewind},
        {PlayerEditor::TagPosition, TrackPlayer::Position},   {PlayerEditor::TagPitch, TrackPlayer::Pitch},
        {PlayerEditor::TagCutBass, TrackPlayer::CutBass},     {PlayerEditor::TagCutTweet, TrackPlayer::CutTweet},
        {PlayerEditor::TagCrossover1, TrackPlayer::EqCut1},   {PlayerEditor::TagCrossover2, TrackPlayer::EqCut2},
        {PlayerEditor::TagBassLevel, TrackPlayer::EqBass},    {PlayerEditor::TagTweetLevel, TrackPlayer::EqTweet},
        {PlayerEditor::TagVolume, TrackPlayer::Vol},          {loopTag(3), TrackPlayer::Loop}};
    for (auto [tag, index] : bound) {
        showPageOf(control(tag));
        TestHost::edits.clear();
        drag(tag);
        const auto& edits = TestHost::edits;
        // Sliders and knobs announce their drag under the parameter's index.
        for (const TestHost::Edit& edit : edits) {
            if (edit.opcode != audioMasterAutomate) {
                EXPECT_EQ(edit.index, index) << "tag " << tag;
            }
        }
        if (!edits.empty() && edits.front().opcode == audioMasterBeginEdit) {
            EXPECT_EQ(edits.back().opcode, audioMasterEndEdit) << "tag " << tag;
        }
        // Every value the host is told is the one it then reads back (a
        // control may move others: the equaliser sends all its values).
        std::map<int32_t, float> told;
        for (const TestHost::Edit& edit : edits)
            if (edit.opcode == audioMasterAutomate) told[edit.index] = edit.value;
        ASSERT_TRUE(told.count(index)) << "tag " << tag << " sent no value";
        for (auto [parameter, value] : told)
            EXPECT_FLOAT_EQ(value, player->getParameter(parameter)) << "tag " << tag << ", parameter " << parameter;
    }
    // Controls without a parameter tell the host nothing.
    showPage(0);
    TestHost::edits.clear();
    clickTag(PlayerEditor::TagBackToStart);
    for (const TestHost::Edit& edit : TestHost::edits) EXPECT_EQ(edit.index, TrackPlayer::Position);
}

// Ardour 7 crashes when a VST 2 plug-in reports an edit from its thread for
// plug-in windows with the lane in Touch: there the edits wait for the next
// block and reach the host from the audio thread, all of them, in order.
TEST_P(HostEdits, InArdourTheEditsReachTheHostFromTheNextBlock) {
    TestHost::product = "Ardour";
    player->dispatcher(effOpen, 0, 0, nullptr, 0.0f);
    playRamp(441000);
    openWindow();
    showPageOf(control(PlayerEditor::TagVolume));
    TestHost::edits.clear();
    drag(PlayerEditor::TagVolume);
    EXPECT_TRUE(TestHost::edits.empty()) << "nothing from the window's thread";
    float left[64], right[64];
    float* outs[2] = {left, right};
    player->processReplacing(nullptr, outs, 64);
    const auto& edits = TestHost::edits;
    ASSERT_GE(edits.size(), 3u);
    EXPECT_EQ(edits.front().opcode, audioMasterBeginEdit);
    EXPECT_EQ(edits.back().opcode, audioMasterEndEdit);
    EXPECT_EQ(edits.back().index, TrackPlayer::Vol);
    EXPECT_FLOAT_EQ(edits[edits.size() - 2].value, player->getParameter(TrackPlayer::Vol));
}

TEST_P(HostEdits, HostsTypeValuesAndReadPropertiesInTheDisplaysUnits) {
    playRamp(441000);
    AEffect* effect = player->record();
    auto typed = [&](int32_t index, const char* text) {
        return effect->dispatcher(effect, effString2Parameter, index, 0, const_cast<char*>(text), 0.0f);
    };
    char text[TrackPlayer::parameterTextRoom];
    EXPECT_EQ(typed(TrackPlayer::Vol, "-20"), 1);
    player->getParameterDisplay(TrackPlayer::Vol, text);
    EXPECT_STREQ(text, "-20.0 dB");
    EXPECT_EQ(typed(TrackPlayer::Pitch, "+8%"), 1);
    EXPECT_FLOAT_EQ(player->getPitch(), 8.0f);
    EXPECT_EQ(typed(TrackPlayer::AutoRewind, "stop"), 1);
    EXPECT_EQ(player->getAutoRewind(), 2);
    EXPECT_EQ(typed(TrackPlayer::Loop, "2 beats"), 1);
    EXPECT_TRUE(player->isLoopOn());
    EXPECT_FLOAT_EQ(player->getLoopBeats(), 2.0f);
    EXPECT_EQ(typed(TrackPlayer::CutBass, "yes"), 1);
    EXPECT_FLOAT_EQ(player->getParameter(TrackPlayer::CutBass), 1.0f);
    EXPECT_EQ(typed(TrackPlayer::Pitch, "fast"), 0);
    EXPECT_FLOAT_EQ(player->getPitch(), 8.0f) << "a text that says nothing changes nothing";

    VstParameterProperties properties{};
    ASSERT_EQ(effect->dispatcher(effect, effGetParameterProperties, TrackPlayer::Playing, 0, &properties, 0.0f), 1);
    EXPECT_TRUE(properties.flags & kVstParameterIsSwitch);
    ASSERT_EQ(effect->dispatcher(effect, effGetParameterProperties, TrackPlayer::AutoRewind, 0, &properties, 0.0f), 1);
    EXPECT_FLOAT_EQ(properties.stepFloat, 0.5f);
    EXPECT_FALSE(properties.flags & kVstParameterUsesIntegerMinMax) << "Ardour would pass 0, 1, 2 as values";
    EXPECT_STREQ(properties.categoryLabel, "Transport");
    // The loop's steps of 0.1 from off land on each loop in turn.
    for (int32_t step = 1; step <= 9; ++step) {
        effect->setParameter(effect, TrackPlayer::Loop, static_cast<float>(step) * 0.1f);
        EXPECT_EQ(player->getLoopIndex(), step - 1) << step;
    }
    EXPECT_EQ(effect->dispatcher(effect, effGetParameterProperties, TrackPlayer::parameterCount, 0, &properties, 0.0f), 0);
    char name[kVstMaxProgNameLen + 1] = {};
    EXPECT_EQ(effect->dispatcher(effect, effGetProgramNameIndexed, 0, 0, name, 0.0f), 1);
    EXPECT_STREQ(name, "No Program");
    EXPECT_EQ(effect->dispatcher(effect, effCanDo, 0, 0, const_cast<char*>("receiveVstMidiEvent"), 0.0f), 1);
}

TUNEDECK_BOTH_BUILDS(HostEdits);

} // namespace
