// Runs tunedeck-render as a user would and checks what it wrote.
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/TestFiles.h"

namespace {

struct Rendered {
    std::vector<float> left, right;
};

// The tool must return: a time-out's status (124) says it hung.
int run(const std::string& arguments) {
    std::string command = "timeout 60 " + std::string(TUNEDECK_RENDER) + " " + arguments + " > /dev/null 2>&1";
    int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

Rendered readFloatWav(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    Rendered out;
    if (bytes.size() < 44) return out;
    size_t frames = (bytes.size() - 44) / 8;
    for (size_t f = 0; f < frames; ++f) {
        float pair[2];
        std::memcpy(pair, bytes.data() + 44 + f * 8, 8);
        out.left.push_back(pair[0]);
        out.right.push_back(pair[1]);
    }
    return out;
}

std::string track(int frames) {
    testdata::WavRecipe recipe;
    recipe.frames = frames;
    recipe.sample = [](int frame, int channel) { return (channel ? -7 : 5) * (frame % 4000) - 1000; };
    return testdata::writeWav("render-input.wav", recipe);
}

// A note sent in the middle of a host block acts on its own frame.
TEST(RenderTool, ANoteActsOnItsFrameWithinTheBlock) {
    std::string input = track(44100), output = testdata::tempPath("render-note.wav");
    for (const char* block : {"1024", "8192"}) {
        ASSERT_EQ(run(std::string("--rate 44100 --block ") + block + " --paused --seconds 1 --note 51@0.28 --out " +
                      output + " " + input),
                  0);
        Rendered r = readFloatWav(output);
        ASSERT_GT(r.left.size(), 12348u);
        const auto first = std::find_if(r.left.begin(), r.left.end(), [](float x) { return x != 0.0f; });
        EXPECT_EQ(first - r.left.begin(), 12348) << "blocks of " << block;
    }
}

TEST(RenderTool, AtTheTracksOwnRateTheOutputIsTheTrackFrameForFrame) {
    const int frames = 10000;
    std::string input = track(frames), output = testdata::tempPath("render-44100.wav");
    // Band gains at the top: the deck plays the track's own samples.
    ASSERT_EQ(run("--rate 44100 --set \"Eq bass=1@0\" --set \"Eq treble=1@0\" --set \"Eq tweet=1@0\" --out " +
                  output + " " + input),
              0);
    Rendered r = readFloatWav(output);
    ASSERT_GE(r.left.size(), static_cast<size_t>(frames));
    EXPECT_EQ(r.left.size() % 512, 0u);
    for (int f = 0; f < frames; ++f) {
        ASSERT_EQ(r.left[f], (5 * (f % 4000) - 1000) / 32768.0f) << f;
        ASSERT_EQ(r.right[f], (-7 * (f % 4000) - 1000) / 32768.0f) << f;
    }
    for (size_t f = frames; f < r.left.size(); ++f) ASSERT_EQ(r.left[f], 0.0f) << "silence after the end";
}

TEST(RenderTool, AtA48KilohertzHostTheTrackLastsLonger) {
    const int frames = 10000;
    std::string input = track(frames), output = testdata::tempPath("render-48000.wav");
    ASSERT_EQ(run("--rate 48000 --out " + output + " " + input), 0);
    // Each 512-frame block advances 512 x 44,100 / 48,000 track frames; the
    // block that passes the end is the last one rendered.
    auto blocks = static_cast<size_t>(std::floor(frames / (512 * 44100.0 / 48000.0))) + 1;
    EXPECT_EQ(readFloatWav(output).left.size(), blocks * 512);
}

TEST(RenderTool, BadArgumentsGetTheUsageAndStatusTwo) {
    EXPECT_EQ(run("--rate"), 2);
    EXPECT_EQ(run("--bogus x.wav"), 2);
    EXPECT_EQ(run(""), 2);
    EXPECT_EQ(run("--set Nothing=1@0 x.wav"), 2);
    EXPECT_EQ(run("--block 0 x.wav"), 2);
}

TEST(RenderTool, FilesNoSourcePlaysAreSkipped) {
    std::string output = testdata::tempPath("render-skip.wav");
    EXPECT_EQ(run("--seconds 0.1 --out " + output + " /no/such.wav notes.txt"), 0);
    EXPECT_EQ(readFloatWav(output).left.size(), 4410u);
}

float loudest(const Rendered& r) {
    float peak = 0.0f;
    for (float sample : r.left) peak = std::max(peak, std::abs(sample));
    return peak;
}

TEST(RenderTool, PipesNamedAsATrackAListOrInASavedSessionNeitherHangNorPlay) {
    const std::string pipeTrack = testdata::tempPath("pipe.mp3"), pipeList = testdata::tempPath("pipe.m3u");
    ASSERT_EQ(mkfifo(pipeTrack.c_str(), 0600), 0);
    ASSERT_EQ(mkfifo(pipeList.c_str(), 0600), 0);
    const std::string output = testdata::tempPath("render-pipes.wav"), state = testdata::tempPath("pipes.state");
    EXPECT_EQ(run("--seconds 0.1 --out " + output + " " + pipeTrack + " " + pipeList), 0);
    EXPECT_EQ(loudest(readFloatWav(output)), 0.0f);

    // A saved session whose track has since become a pipe.
    const std::string saved = track(44100);
    ASSERT_EQ(run("--seconds 0.1 --state-out " + state + " --out " + output + " " + saved), 0);
    std::remove(saved.c_str());
    ASSERT_EQ(mkfifo(saved.c_str(), 0600), 0);
    EXPECT_EQ(run("--seconds 0.1 --state-in " + state + " --out " + output), 0);
    EXPECT_EQ(loudest(readFloatWav(output)), 0.0f);
}

// Host parameters act whether the window is open or not, as automation
// lanes do in a host that never shows it.
TEST(RenderTool, HostParametersActWithTheWindowOpenOrClosed) {
    std::string input = track(44100), open = testdata::tempPath("render-open.wav"),
                closed = testdata::tempPath("render-closed.wav"), full = testdata::tempPath("render-full.wav");
    ASSERT_EQ(run("--seconds 0.5 --out " + full + " " + input), 0);
    ASSERT_EQ(run("--seconds 0.5 --set Vol=0.5@0 --out " + open + " " + input), 0);
    ASSERT_EQ(run("--seconds 0.5 --set Vol=0.5@0 --editor-closed --out " + closed + " " + input), 0);
    const float loud = loudest(readFloatWav(full));
    EXPECT_GT(loud, 0.05f);
    EXPECT_NEAR(loudest(readFloatWav(open)) / loud, 0.1f, 0.002f) << "Vol 0.5 is -20 dB, as the display says";
    EXPECT_NEAR(loudest(readFloatWav(closed)) / loud, 0.1f, 0.002f) << "the same with the window closed";
}

// A set saved half way plays on from there in a new run, at the levels it
// was left with, as a reopened project does.
TEST(RenderTool, ASavedStatePlaysOnFromWhereItStood) {
    const int frames = 44100;
    std::string input = track(frames), state = testdata::tempPath("render-state.bin"),
                first = testdata::tempPath("render-first.wav"), second = testdata::tempPath("render-second.wav");
    ASSERT_EQ(run("--seconds 0.5 --set Vol=0.5@0 --set \"Eq bass=1@0\" --set \"Eq treble=1@0\" "
                  "--set \"Eq tweet=1@0\" --state-out " + state + " --out " + first + " " + input),
              0);
    ASSERT_EQ(run("--state-in " + state + " --out " + second), 0);
    Rendered r = readFloatWav(second);
    ASSERT_GE(r.left.size(), static_cast<size_t>(frames - 22050));
    EXPECT_LT(r.left.size(), static_cast<size_t>(frames - 22050 + 512)) << "it ends where the track does";
    for (int f = 0; f < 1000; ++f)
        ASSERT_NEAR(r.left[f], 0.1f * (5 * ((22050 + f) % 4000) - 1000) / 32768.0f, 1e-6f) << f;
    EXPECT_EQ(run("--state-in " + input + " --out " + second), 1) << "a WAV is no state";
}

uint32_t bigEndian(const std::vector<unsigned char>& bytes, size_t at) {
    return static_cast<uint32_t>(bytes[at]) << 24 | bytes[at + 1] << 16 | bytes[at + 2] << 8 | bytes[at + 3];
}

TEST(RenderTool, AScreenshotPicturesTheWindowOfEachBuild) {
    std::string input = track(44100);
    for (const char* build : {"full", "compact"}) {
        std::string picture = testdata::tempPath(std::string("render-") + build + ".png");
        std::remove(picture.c_str());
        ASSERT_EQ(run(std::string("--build ") + build + " --seconds 0 --page 2 --screenshot " + picture +
                      " --out " + testdata::tempPath("render-shot.wav") + " " + input),
                  0);
        std::ifstream in(picture, std::ios::binary);
        std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        ASSERT_GT(bytes.size(), 33u) << build;
        EXPECT_EQ(std::memcmp(bytes.data() + 1, "PNG", 3), 0);
        EXPECT_EQ(bigEndian(bytes, 16), 256u) << "width";
        EXPECT_EQ(bigEndian(bytes, 20), std::strcmp(build, "full") == 0 ? 350u : 84u) << "height";
    }
    EXPECT_EQ(run("--editor-closed --screenshot x.png " + input), 2) << "a closed window has no picture";
    EXPECT_EQ(run("--page 4 " + input), 2);
}

} // namespace

namespace {

// A crate analysed before a gig: one line a track, the second time from the
// store, and a list's missing track told, not fatal.
TEST(RenderTool, AnalysingACratePrintsEachTracksTempoBeatAndKey) {
    testdata::WavRecipe clicks;
    clicks.frames = 44100 * 20;
    clicks.sample = [](int frame, int) {
        const int since = (frame - 2205) % 22050; // 120 BPM, the first beat at 50 ms
        return frame >= 2205 && since < 200 ? static_cast<int>(16000 * std::exp(-since / 40.0) * std::sin(since * 0.285)) : 0;
    };
    const std::string track = testdata::writeWav("crate-clicks.wav", clicks);
    testdata::WavRecipe silence;
    silence.frames = 44100 * 20;
    silence.sample = [](int, int) { return 0; };
    const std::string silent = testdata::writeWav("crate-silence.wav", silence);
    testdata::WavRecipe held;
    held.frames = 44100 * 20;
    held.sample = [](int frame, int) { return static_cast<int>(12000 * std::sin(2 * M_PI * 220.0 * frame / 44100)); };
    const std::string tone = testdata::writeWav("crate-tone.wav", held);
    const std::string list = testdata::tempPath("crate.m3u");
    std::ofstream(list) << "crate-clicks.wav\ncrate-silence.wav\ncrate-tone.wav\nno-such-track.wav\n";
    const std::string data = testdata::tempPath("crate-data");
    auto analyse = [&](int& status) {
        const std::string command = "XDG_DATA_HOME='" + data + "' timeout 60 " + std::string(TUNEDECK_RENDER) +
                                    " --analyse '" + list + "' 2>/dev/null";
        FILE* pipe = popen(command.c_str(), "r");
        std::string out;
        char buffer[512];
        while (pipe && std::fgets(buffer, sizeof buffer, pipe)) out += buffer;
        status = pipe ? pclose(pipe) : -1;
        return out;
    };
    for (int round = 0; round < 2; ++round) {
        int status = 0;
        const std::string out = analyse(status);
        EXPECT_NE(out.find(track + ": bpm 120.000 first_beat_s 0.0"), std::string::npos) << out;
        EXPECT_NE(out.find(silent + ": bpm - first_beat_s - key -"), std::string::npos) << "no beat made up: " << out;
        EXPECT_NE(out.find(tone + ": bpm - first_beat_s - key"), std::string::npos) << "a held tone has no beat: " << out;
        EXPECT_NE(out.find("no-such-track.wav: cannot be opened"), std::string::npos) << out;
        EXPECT_EQ(WEXITSTATUS(status), 1) << "a track was missing";
    }
}

} // namespace
