#pragma once
// The process-wide debug log. Every subsystem reports its steps through
// writeLog; the shipped builds never create a log, so the calls cost one
// pointer test. Tests and the developer build option create one.
#include <cstdint>
#include <cstdio>
#include <string>

#include "platform/Mutex.h"

class DebugLog {
public:
    // Creates the process's log at path and makes writeLog use it. With
    // reopenEach the file is opened and closed around every message, so that
    // it is complete even when the process dies.
    static DebugLog* create(const char* path, bool reopenEach);
    // Ends logging and closes the file.
    static void destroy();
    static DebugLog* instance();

    void write(const char* text);

private:
    DebugLog(const char* path, bool reopenEach);
    ~DebugLog();

    // One message at a time, from whichever thread: the file and the line
    // state are shared. The shipped builds never log, so the audio thread
    // never meets this lock there.
    platform::Mutex writeMutex;
    FILE* file = nullptr;
    char logPath[2048] = {};
    uint32_t startTime = 0;
    bool reopenEach = false;
    bool continuation = false;
};

// Writes text to the debug log, when one exists.
void writeLog(const char* text);

// printf-style writeLog; formats into a stack buffer, and only when a log
// exists. With a log it takes the log's lock and writes a file, which no
// audio thread may wait for: only tests and a developer's own builds make a
// log; in the shipped builds it returns at once.
void writeLogf(const char* format, ...) __attribute__((format(printf, 1, 2)));
