// The audio thread never allocates: everything a host calls while it
// renders runs here under an allocation counter.
#include "tests/support/AllocationCounter.h"
#include "tests/support/PlayerFixture.h"

namespace {

uint32_t now = 0;
uint32_t tick() { return now; }

class AudioThread : public PlayerFixture {
protected:
    // The plug-in's own editor: a recording one would allocate for its records.
    TrackPlayer::EditorFactory editorFactory() const override { return TrackPlayer::makeEditor; }
    void renderBoth(int blocks) {
        for (int b = 0; b < blocks; ++b) {
            float* outs[2] = {l, r};
            player->record()->processReplacing(player->record(), nullptr, outs, 512);
            player->record()->process(player->record(), nullptr, outs, 512);
        }
    }
    float l[512], r[512];
};

TEST_F(AudioThread, RenderingAtAnySpeedWithLoopsAndWrapsDoesNotAllocate) {
    playRamp(100000);
    player->setSampleRate(44100.0f);
    player->setAutoRewind(1);
    platform::setTickSource(tick);
    now = 1000;
    AllocationCounter counter;
    renderBoth(20);                    // ratio 1
    player->setSampleRate(49000.0f);   // ratio 0.9
    renderBoth(20);
    player->setSampleRate(44100.0f);
    now += 10;
    player->jog(-0.25f);               // ratio -1: reverse, both modes
    renderBoth(10);
    now += 1000;                       // the bend has decayed
    player->setLoop(true, 0.25f, 0);   // loop jumps with crossfades
    renderBoth(20);
    player->setLoop(false, 0.0f, 0);
    player->setPosition(99000);        // across the end with AutoRewind 1
    renderBoth(10);
    EXPECT_EQ(counter.count(), 0u);
    EXPECT_TRUE(player->isPlaying());
}

TEST_F(AudioThread, EventsAutomationAndTheEndOfATrackDoNotAllocate) {
    setEntries({rampTrack("alloc-a.wav", 3000), rampTrack("alloc-b.wav", 3000)});
    player->openTrack();
    player->setSize(3000, true);
    player->setPlaying(true);
    VstMidiEvent notes[3] = {
        {kVstMidiType, sizeof(VstMidiEvent), 0, 0, 0, 0, {char(0x90), 61, 100, 0}, 0, 0, 0, 0},
        {kVstMidiType, sizeof(VstMidiEvent), 0, 0, 0, 0, {char(0x90), 60, 100, 0}, 0, 0, 0, 0},
        {kVstMidiType, sizeof(VstMidiEvent), 0, 0, 0, 0, {char(0x80), 60, 0, 0}, 0, 0, 0, 0}};
    struct { int32_t numEvents; intptr_t reserved; VstEvent* events[3]; } list{
        3, 0, {reinterpret_cast<VstEvent*>(&notes[0]), reinterpret_cast<VstEvent*>(&notes[1]),
               reinterpret_cast<VstEvent*>(&notes[2])}};
    AEffect* effect = player->record();
    {
        AllocationCounter counter;
        for (int block = 0; block < 10; ++block) {
            effect->dispatcher(effect, effProcessEvents, 0, 0, &list, 0.0f);
            effect->setParameter(effect, TrackPlayer::Vol, 0.5f);
            effect->setParameter(effect, TrackPlayer::Loop, 0.35f);
            effect->getParameter(effect, TrackPlayer::Position);
            renderBoth(1); // the track ends here and the next one is asked for
        }
        EXPECT_EQ(counter.count(), 0u);
    }
    player->waitForOpenings();
    EXPECT_EQ(player->trackList().currentIndex, 1);
}

TEST_F(AudioThread, TheTrackParameterAsksForItsTrackWithoutAllocating) {
    setEntries({rampTrack("alloc-c.wav", 3000), rampTrack("alloc-d.wav", 3000)});
    AEffect* effect = player->record();
    {
        AllocationCounter counter;
        effect->setParameter(effect, TrackPlayer::Track, 1.0f);
        EXPECT_EQ(counter.count(), 0u);
    }
    player->waitForOpenings();
    EXPECT_EQ(player->trackList().currentIndex, 1);
    EXPECT_EQ(player->getCurrentSource(), player->sourceAt(1)) << "the opener opened it";
}

} // namespace
