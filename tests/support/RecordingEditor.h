#pragma once
// An editor that remembers what the player sent it, window closed or not.
#include <string>
#include <utility>
#include <vector>

#include "editor/PlayerEditor.h"
#include "plugin/TrackPlayer.h"

class RecordingEditor : public PlayerEditor {
public:
    using PlayerEditor::PlayerEditor;

    static PlayerEditor* make(TrackPlayer& player, const BuildProfile& profile) {
        return new RecordingEditor(player, profile);
    }
    static RecordingEditor& of(TrackPlayer& player) { return static_cast<RecordingEditor&>(player.playerEditor()); }

    void receiveCommand(int32_t tag, float value) override {
        commands.emplace_back(tag, value);
        PlayerEditor::receiveCommand(tag, value);
    }
    void showTempo(float bpm) override { tempos.push_back(bpm); }
    void showOpenError() override { ++openErrors; }
    void showTrackFacts(int32_t bitRate, float seconds, bool stereo) override {
        facts.push_back({bitRate, seconds, stereo});
    }
    void showTime(float fraction, int32_t elapsed, int32_t total) override {
        times.push_back({fraction, elapsed, total});
    }
    void refreshOverview(bool force) override { overviewRefreshes.push_back(force); }

    struct Facts { int32_t bitRate; float seconds; bool stereo; };
    struct Time { float fraction; int32_t elapsed, total; };
    std::vector<std::pair<int32_t, float>> commands;
    std::vector<float> tempos;
    std::vector<Facts> facts;
    std::vector<Time> times;
    std::vector<bool> overviewRefreshes;
    int openErrors = 0;
};
