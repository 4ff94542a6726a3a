#pragma once
// The mark of code that runs on the host's audio thread. Every function
// that may run only there takes an AudioThread, so calling one from code
// that holds none does not compile, and each place that claims one is a
// host's process call (or a test or tool standing in for a host) that a
// reader can find by its name. What such a function may do: no allocation,
// no file or console I/O, no lock it can wait on, nothing of the window
// system (a host that renders offline may wait for decoding; see
// DecodeAhead).
class AudioThread {
public:
    // Only a host binding's process entry points, and tests and tools that
    // play a host, claim the audio thread.
    static AudioThread claim() { return AudioThread(); }

private:
    AudioThread() = default;
};
