// The audio thread never allocates: everything a host calls while it renders
// runs here under an allocation counter.
#include <gtest/gtest.h>

#include "plugin/TrackPlayer.h"
#include "sources/WavSource.h"
#include "tests/support/AllocationCounter.h"
#include "tests/support/TestFiles.h"
#include "tests/support/TestHost.h"

namespace {

TEST(AudioThread, RenderingEventsAndAutomationDoNotAllocate) {
    TestHost::reset();
    auto path = testdata::writeWav("audio-thread.wav", testdata::WavSpec{});
    TrackPlayer player(TestHost::callback, fullProfile);
    AEffect* effect = player.record();
    TrackList& list = player.trackList();
    std::snprintf(list.entries[0], TrackList::pathRoom, "%s", path.c_str());
    list.count = 1;
    player.openTrack();
    effect->dispatcher(effect, effMainsChanged, 0, 1, nullptr, 0.0f);

    float left[512], right[512];
    float* outs[2] = {left, right};
    VstMidiEvent note{kVstMidiType, sizeof(VstMidiEvent), 0, 0, 0, 0, {char(0x90), 60, 100, 0}, 0, 0, 0, 0};
    VstEvents events{1, 0, {reinterpret_cast<VstEvent*>(&note), nullptr}};

    AllocationCounter counter;
    for (int block = 0; block < 50; ++block) {
        effect->dispatcher(effect, effProcessEvents, 0, 0, &events, 0.0f);
        effect->setParameter(effect, TrackPlayer::Vol, 0.5f);
        effect->setParameter(effect, TrackPlayer::Position, 0.1f);
        effect->getParameter(effect, TrackPlayer::Position);
        effect->processReplacing(effect, nullptr, outs, 512);
        effect->process(effect, nullptr, outs, 512);
        player.getCurrentSource()->getSound(outs, 512, block * 100, 1.3f, true, true);
    }
    EXPECT_EQ(counter.count(), 0u);
}

} // namespace
