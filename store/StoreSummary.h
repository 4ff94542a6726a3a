#pragma once
// The plain-text summary of the track store, in the columns and form the
// first store's "trakvox.dat.txt" had (tunedeck-render --store-summary).
#include <cstdint>
#include <string>
#include <vector>

struct SummaryLine {
    int32_t flags; // TrackInfoRecord's: tempo, length and overview recorded
    float tempo;
    int32_t length; // frames
    int32_t stored; // when last played, as a time_t
    std::string name, path;
};

std::string storeSummary(const std::vector<SummaryLine>& records);
