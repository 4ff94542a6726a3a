// The audio thread never allocates: everything a host calls while it
// renders runs here under an allocation counter.
#include <atomic>
#include <chrono>
#include <thread>

#include "gui/WindowView.h"
#include "deck/KeyShifter.h"
#include "tests/support/AllocationCounter.h"
#include "tests/support/PlayerFixture.h"

namespace {

class AudioThreadCalls : public PlayerFixture {
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

// Every kind of track, through the host's calls: WAV, FLAC and MP3 each read
// through their own path on the audio thread.
class AudioThreadKinds : public AudioThreadCalls, public ::testing::WithParamInterface<const char*> {};

TEST_P(AudioThreadKinds, RenderingAtAnySpeedWithLoopsAndWrapsDoesNotAllocate) {
    testdata::WavRecipe recipe;
    recipe.frames = 100000;
    recipe.sample = [](int frame, int channel) { return (frame * (channel + 3)) % 20000 - 10000; };
#ifdef _WIN32
    if (std::string(GetParam()) != "wav") GTEST_SKIP() << "Debian's encoders are not at hand under wine";
#endif
    const std::string path = testdata::encodedTrack("alloc-kinds", recipe, GetParam());
    ASSERT_FALSE(path.empty());
    setEntries({path});
    unityLevels();
    ASSERT_TRUE(player->openTrack());
    for (int i = 0; i < 2000 && !player->isLengthKnown(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    player->setPlaying(true);
    player->setSampleRate(44100.0f);
    player->setAutoRewind(1);
    platform::setTickSource(tick);
    now = 1000;
    // As a host plays it in real time: reads never wait for the decoding.
    TestHost::processLevel = kVstProcessLevelRealtime;
    player->setTempo(124.0f);
    VstTimeInfo clock{};
    clock.tempo = 128.0;
    clock.flags = kVstPpqPosValid | kVstTempoValid | kVstBarsValid | kVstTimeSigValid | kVstTransportPlaying;
    TestHost::time = &clock;
    AllocationCounter counter;
    renderBoth(20);                    // ratio 1
    player->setSampleRate(49000.0f);   // ratio 0.9
    renderBoth(20);
    player->setSampleRate(17640.0f);   // ratio 2.5: the wide kernel
    renderBoth(5);
    player->move(2.0f);                // a beat jump fades on the audio thread
    renderBoth(5);
    // The band equaliser at work.
    player->setCrossover(0, 0.2f);
    player->setCrossover(1, 0.7f);
    player->setGain(0, 0.9f);
    player->setGain(1, 0.3f);
    player->setVolume(0.8f);
    player->setCut(1, true);
    renderBoth(5);
    player->setSampleRate(44100.0f);
    now += 10;
    player->jog(-0.25f);               // ratio -1: reverse, both modes
    renderBoth(10);
    now += 1000;                       // the bend has decayed
    player->setLoop(true, 0.25f, 0);   // loop jumps with crossfades
    renderBoth(20);
    player->setLoop(false, 0.0f, 0);
    player->setPosition(player->getLength() - 1000.0); // across the end with AutoRewind 1
    renderBoth(10);
    // Key lock: its pipeline is built on the worker, then takes the sound
    // in both directions of a switch, and reverse play bypasses it.
    player->setParameter(Deck::KeyLock, 1.0f);
    player->setParameter(Deck::Key, 0.75f);
    renderBoth(2);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    renderBoth(20);
    // Blocks far faster than real time leave the finer engine late: the
    // faster one takes over, in a pipeline built meanwhile.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    renderBoth(5);
    if (KeyShifter::available()) {
        EXPECT_GT(player->getKeyLockLatency(), 0) << "the pipeline took the sound";
    }
    now += 10;
    player->jog(-0.25f);
    renderBoth(5);
    now += 1000;
    renderBoth(5);
    // Sync: the host's time read at each block, a start on its beat, the
    // lock, a locate and a stop.
    player->setSync(true);
    for (double ppq : {0.0, 0.2, 0.4, 0.6, 0.8, 1.0, 30.0, 30.2}) {
        clock.ppqPos = ppq;
        renderBoth(1);
    }
    clock.flags &= ~kVstTransportPlaying;
    renderBoth(2);
    EXPECT_EQ(player->syncStatus(), Deck::SyncStatus::Locked);
    EXPECT_EQ(counter.count(), 0u);
    EXPECT_TRUE(player->isPlaying());
}

INSTANTIATE_TEST_SUITE_P(Kinds, AudioThreadKinds, ::testing::Values("wav", "flac", "mp3"),
                         [](const auto& info) { return std::string(info.param); });

TEST_F(AudioThreadCalls, EventsAutomationAndTheEndOfATrackDoNotAllocate) {
    setEntries({rampTrack("alloc-a.wav", 3000), rampTrack("alloc-b.wav", 3000)});
    player->openTrack();
    player->setSize(3000, true);
    player->setPlaying(true);
    VstMidiEvent notes[3] = {
        {kVstMidiType, sizeof(VstMidiEvent), 100, 0, 0, 0, {char(0x90), 61, 100, 0}, 0, 0, 0, 0},
        {kVstMidiType, sizeof(VstMidiEvent), 300, 0, 0, 0, {char(0x90), 60, 100, 0}, 0, 0, 0, 0},
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
            renderBoth(1);
        }
        effect->setParameter(effect, TrackPlayer::Loop, 0.0f);
        player->setPosition(2990);
        renderBoth(1); // the track ends here and the next one is asked for
        EXPECT_EQ(counter.count(), 0u);
    }
    player->waitForOpenings();
    EXPECT_EQ(player->trackList().currentIndex, 1);
}

// With the window open, MIDI keys and automation change the deck from the
// audio thread while the GUI thread idles and draws what changed: the audio
// thread acts and flags, and never allocates.
TEST_F(AudioThreadCalls, WithTheWindowOpenKeysAndAutomationOnTheAudioThreadDoNotAllocate) {
    setEntries({rampTrack("alloc-e.wav", 441000), rampTrack("alloc-f.wav", 441000)});
    player->openTrack();
    player->setSize(441000, true);
    AEffect* effect = player->record();
    ASSERT_EQ(effect->dispatcher(effect, effEditOpen, 0, 0, nullptr, 0.0f), 1);
    auto& window = dynamic_cast<platform::OffscreenWindow&>(editorOf(*player).windowView()->native());
    window.queuePaint(0, 0, 255, 83);
    effect->dispatcher(effect, effEditIdle, 0, 0, nullptr, 0.0f);
    // Play, back 5 %, a white key, pitch down, pitch reset, pitch up, at frames across the block.
    const char keys[] = {51, 61, 62, 66, 68, 70};
    VstMidiEvent notes[6];
    VstEvent* pointers[6];
    for (int i = 0; i < 6; ++i) {
        notes[i] = {kVstMidiType, sizeof(VstMidiEvent), i * 80, 0, 0, 0, {char(0x90), keys[i], 100, 0}, 0, 0, 0, 0};
        pointers[i] = reinterpret_cast<VstEvent*>(&notes[i]);
    }
    struct { int32_t numEvents; intptr_t reserved; VstEvent* events[6]; } list{6, 0, {}};
    std::copy(std::begin(pointers), std::end(pointers), list.events);
    std::atomic<bool> done{false};
    size_t allocations = 0;
    std::thread audio([&] {
        AllocationCounter counter;
        for (int block = 0; block < 200; ++block) {
            effect->dispatcher(effect, effProcessEvents, 0, 0, &list, 0.0f);
            for (int32_t index : {TrackPlayer::Vol, TrackPlayer::Pitch, TrackPlayer::EqBass, TrackPlayer::EqCut1,
                                  TrackPlayer::CutTweet, TrackPlayer::Loop, TrackPlayer::AutoRewind})
                effect->setParameter(effect, index, 0.2f + 0.001f * static_cast<float>(block % 7));
            renderBoth(1);
        }
        allocations = counter.count();
        done = true;
    });
    while (!done) effect->dispatcher(effect, effEditIdle, 0, 0, nullptr, 0.0f);
    audio.join();
    effect->dispatcher(effect, effEditIdle, 0, 0, nullptr, 0.0f);
    EXPECT_EQ(allocations, 0u);
    EXPECT_NEAR(player->getVolume(), 0.2f, 0.01f) << "the values reached the player";
    EXPECT_TRUE(player->isLoopOn());
    effect->dispatcher(effect, effEditClose, 0, 0, nullptr, 0.0f);
}

TEST_F(AudioThreadCalls, TheTrackParameterAsksForItsTrackWithoutAllocating) {
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
