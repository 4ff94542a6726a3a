#include "log/DebugLog.h"

#include <atomic>
#include <cstdarg>
#include <cstring>

#include "platform/Clock.h"
#include "platform/Mutex.h"
#include "platform/Thread.h"

namespace {
std::atomic<DebugLog*> theLog{nullptr};
}

DebugLog* DebugLog::create(const char* path, bool reopenEach) {
    destroy();
    auto* log = new DebugLog(path, reopenEach);
    theLog.store(log);
    return log;
}

void DebugLog::destroy() { delete theLog.exchange(nullptr); }

DebugLog* DebugLog::instance() { return theLog.load(std::memory_order_relaxed); }

DebugLog::DebugLog(const char* path, bool reopen) : startTime(platform::tickCount()), reopenEach(reopen) {
    std::snprintf(logPath, sizeof logPath, "%s", path ? path : "");
    file = std::fopen(logPath, "w");
    if (reopenEach && file) {
        std::fclose(file);
        file = nullptr;
    }
}

DebugLog::~DebugLog() {
    if (file) std::fclose(file);
}

void DebugLog::write(const char* text) {
    if (!text || !*text) return;
    platform::MutexLock oneAtATime(writeMutex);
    if (reopenEach) file = std::fopen(logPath, "a");
    if (!file) return;
    if (continuation) {
        std::fprintf(file, "%s", text);
    } else {
        double seconds = static_cast<uint32_t>(platform::tickCount() - startTime) * 0.001;
        unsigned thread = platform::currentThreadId() % 0xFFF;
        unsigned self = static_cast<unsigned>(reinterpret_cast<uintptr_t>(this) % 0xFFF);
        std::fprintf(file, "%4.2f (%x/%x) - %s", seconds, thread, self, text);
    }
    char last = text[std::strlen(text) - 1];
    continuation = last != '\n' && last != '\r';
    if (reopenEach) {
        std::fclose(file);
        file = nullptr;
    } else {
        std::fflush(file);
    }
}

void writeLog(const char* text) {
    if (DebugLog* log = DebugLog::instance()) log->write(text);
}

void writeLogf(const char* format, ...) {
    DebugLog* log = DebugLog::instance();
    if (!log) return;
    char text[1200];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    log->write(text);
}
