#include "deck/DecodeAhead.h"

#include <algorithm>
#include <cmath>

#include "platform/Clock.h"

namespace {
constexpr int32_t frames = DecodedChunks::chunkFrames;
// How far the worker decodes: a little behind the position, then ahead of
// it in the direction of play (further at higher speeds).
constexpr double aheadSeconds = 6.0, firstAheadSeconds = 0.5, behindSeconds = 1.0;
constexpr uint32_t idleWaitMs = 20;
constexpr uint32_t offlineLimitMs = 5000; // a worker that cannot decode does not hold an export for ever

int64_t chunkOf(double frame) { return static_cast<int64_t>(std::floor(frame / frames)); }
} // namespace

DecodeAhead::DecodeAhead() { worker_.start([this] { work(); }, platform::Thread::Priority::Normal); }

DecodeAhead::~DecodeAhead() { stop(); }

void DecodeAhead::serveAlso(KeyShifter* shifter) {
    shifter->setWake([](void* self) { static_cast<DecodeAhead*>(self)->wake(); }, this);
    shifter_.store(shifter, std::memory_order_release);
    wake();
}

void DecodeAhead::switchTo(TrackSource* source, int64_t length) {
    length_ = length;
    source_.store(source, std::memory_order_release);
    generation_.fetch_add(1, std::memory_order_acq_rel);
    position_ = 0.0;
    ratio_ = 1.0;
    targetCount_ = 0;
    if (!wakePending_.exchange(true)) wake_.release();
}

bool DecodeAhead::waitFor(double frame, uint32_t limitMs) {
    const int64_t chunk = chunkOf(std::max(frame, 0.0));
    position_ = std::max(frame, 0.0);
    wake_.release();
    const uint32_t start = platform::tickCount();
    while (!chunks_.holds(DecodedChunks::labelOf(generation_.load(), chunk))) {
        if (!source_.load() || platform::tickCount() - start > limitMs) return false;
        platform::sleepMs(1);
    }
    return true;
}

void DecodeAhead::follow(AudioThread, double position, double ratio) {
    if (!std::isfinite(position) || !std::isfinite(ratio)) return;
    position_ = position;
    ratio_ = ratio;
    const int64_t chunk = chunkOf(position);
    if (chunk != lastChunkFollowed_) {
        lastChunkFollowed_ = chunk;
        if (!wakePending_.exchange(true)) wake_.release();
    }
}

void DecodeAhead::expect(AudioThread, const double* frames, int32_t count) {
    count = std::clamp(count, 0, maxTargets);
    for (int32_t i = 0; i < count; ++i) targets_[i] = frames[i];
    targetCount_ = count;
}

void DecodeAhead::fetch(int64_t first, int32_t n, float* left, float* right) {
    const uint32_t generation = generation_.load(std::memory_order_acquire);
    const int64_t length = length_;
    for (int32_t done = 0; done < n;) {
        const int64_t frame = first + done;
        const int64_t chunk = chunkOf(static_cast<double>(frame));
        const auto offset = static_cast<int32_t>(frame - chunk * frames);
        const int32_t piece = std::min(n - done, frames - offset);
        if (frame < 0 || frame >= length) {
            // Before the track and past its end: silence, and nothing to wait for.
            const int32_t silent = frame < 0 ? static_cast<int32_t>(std::min<int64_t>(-frame, n - done)) : n - done;
            std::fill_n(left + done, silent, 0.0f);
            std::fill_n(right + done, silent, 0.0f);
            done += silent;
            continue;
        }
        const int64_t label = DecodedChunks::labelOf(generation, chunk);
        bool ok = chunks_.copy(label, offset, piece, left + done, right + done);
        if (!ok && waiting_) {
            // Offline: the worker is asked for this chunk and awaited.
            waiterPresent_ = true;
            position_ = static_cast<double>(frame);
            const uint32_t start = platform::tickCount();
            while (!ok && platform::tickCount() - start < offlineLimitMs && source_.load()) {
                if (!wakePending_.exchange(true)) wake_.release();
                stored_.acquireFor(2);
                ok = chunks_.copy(label, offset, piece, left + done, right + done);
            }
            waiterPresent_ = false;
        }
        if (!ok) missed_ = true;
        done += piece;
    }
}

bool DecodeAhead::read(AudioThread, float* const* out, int32_t count, double position, double ratio,
                       double trackRate, bool replace) {
    missed_ = false;
    resampler_.read(out, count, position, ratio, trackRate, replace,
                    [this](int64_t first, int32_t n, float* left, float* right) { fetch(first, n, left, right); });
    if (missed_ && !wakePending_.exchange(true)) wake_.release();
    return !missed_;
}

int64_t DecodeAhead::nextWanted(uint32_t generation, int64_t length) {
    const int64_t lastChunk = (length - 1) / frames;
    if (length <= 0) return -1;
    auto wanted = [&](int64_t chunk) {
        return chunk >= 0 && chunk <= lastChunk && !chunks_.holds(DecodedChunks::labelOf(generation, chunk));
    };
    const double position = position_, ratio = ratio_;
    const int64_t here = chunkOf(std::clamp(position, 0.0, static_cast<double>(length - 1)));
    const int direction = ratio < 0 ? -1 : 1;
    // A chunk a second at 44.1 kHz is about 11: the counts are in chunks.
    const double speed = std::clamp(std::fabs(ratio), 1.0, 8.0);
    const auto firstAhead = static_cast<int64_t>(std::ceil(firstAheadSeconds * 44100.0 * speed / frames));
    const auto ahead = static_cast<int64_t>(std::ceil(aheadSeconds * 44100.0 * speed / frames));
    const auto behind = static_cast<int64_t>(std::ceil(behindSeconds * 44100.0 / frames));
    // First what plays now and next, then where a jump may land, then the
    // rest of the way ahead and a little behind.
    for (int64_t k = 0; k <= firstAhead; ++k)
        if (wanted(here + direction * k)) return here + direction * k;
    if (wanted(here - direction)) return here - direction;
    const int32_t targets = std::clamp<int32_t>(targetCount_, 0, maxTargets);
    for (int32_t i = 0; i < targets; ++i) {
        const double target = targets_[i];
        if (!std::isfinite(target)) continue;
        const int64_t chunk = chunkOf(std::clamp(target, 0.0, static_cast<double>(length - 1)));
        for (int64_t k = 0; k < 2; ++k)
            if (wanted(chunk + k)) return chunk + k;
    }
    for (int64_t k = firstAhead + 1; k <= ahead; ++k) {
        const int64_t chunk = here + direction * k;
        // A chunk whose slot holds one nearer the position is not pushed out.
        const int64_t occupant = chunks_.occupant(DecodedChunks::labelOf(generation, chunk));
        if (occupant >= 0 && (occupant >> 40) == (DecodedChunks::labelOf(generation, 0) >> 40)) {
            const int64_t held = occupant & 0xFFFFFFFFFFll;
            if (std::llabs(held - here) < k) continue;
        }
        if (wanted(chunk)) return chunk;
    }
    for (int64_t k = 2; k <= behind; ++k)
        if (wanted(here - direction * k)) return here - direction * k;
    return -1;
}

void DecodeAhead::stop() {
    quit_ = true;
    wake_.release();
    worker_.join();
}

void DecodeAhead::work() {
    while (!quit_) {
        wakePending_ = false;
        if (KeyShifter* shifter = shifter_.load(std::memory_order_acquire))
            while (shifter->serve() && !quit_) {
            }
        const uint32_t generation = generation_.load(std::memory_order_acquire);
        TrackSource* source = source_.load(std::memory_order_acquire);
        const int64_t length = length_;
        const int64_t chunk = source ? nextWanted(generation, length) : -1;
        if (chunk < 0) {
            wake_.acquireFor(idleWaitMs);
            continue;
        }
        float* rows[2] = {decoded_[0], decoded_[1]};
        // A source that cannot read here gives silence, which is stored too:
        // the chunk is not asked for again and again.
        if (!source->getSound(rows, frames, static_cast<double>(chunk * frames), 1.0, true, false)) {
            std::fill_n(decoded_[0], frames, 0.0f);
            std::fill_n(decoded_[1], frames, 0.0f);
        }
        // A switch while decoding: what was decoded belongs to no track now.
        if (generation_.load(std::memory_order_acquire) != generation) continue;
        chunks_.store(DecodedChunks::labelOf(generation, chunk), decoded_[0], decoded_[1]);
        if (waiterPresent_) stored_.release();
    }
}
