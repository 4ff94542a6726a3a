#pragma once
// Finds a track's musical key from its sound: the Queen Mary library's
// chromagram over overlapping blocks of the whole track, summed, and the
// major or minor key whose profile it matches best. (The library's own
// estimate, block by block, picked the key of the moment's chord more
// often than the track's on the beat corpus: 6 of 23 against 10.)
//
// Threads: one thread feeds an analyser and finishes it (a loader).
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct MusicalKey {
    int tonic = -1; // 0 = C ... 11 = B; -1 when none was found
    bool minor = false;
    bool found() const { return tonic >= 0; }
    // "8A" on the Camelot wheel, as DJs mix by it.
    std::string camelot() const;
    // "A minor", "Db major".
    std::string name() const;
};

class KeyAnalyser {
public:
    explicit KeyAnalyser(int32_t sampleRate);
    ~KeyAnalyser();
    KeyAnalyser(const KeyAnalyser&) = delete;
    KeyAnalyser& operator=(const KeyAnalyser&) = delete;

    void add(const float* left, const float* right, int32_t frames);
    MusicalKey finish();

private:
    struct Estimator;
    std::unique_ptr<Estimator> estimator_;
};
