#include "deck/DeckState.h"

#include <cmath>
#include <cstring>

#include "deck/PlaylistText.h"
#include "platform/Paths.h"

namespace {

constexpr char magic[4] = {'T', 'D', 'C', 'K'};
constexpr size_t headerSize = 12; // magic, version, size

enum Record : uint16_t {
    Entries = 1, Current = 2, Position = 3, Playing = 4, Parameters = 5, Tempo = 6, Loop = 7, ListView = 8,
    Window = 9, SyncLock = 10
};

// Little-endian, whatever the machine.
class Writer {
public:
    void bytes(const void* data, size_t size) {
        const auto* p = static_cast<const uint8_t*>(data);
        out.insert(out.end(), p, p + size);
    }
    template <typename T> void number(T value) {
        static_assert(sizeof(T) <= 8);
        uint64_t raw = 0;
        std::memcpy(&raw, &value, sizeof value);
        for (size_t i = 0; i < sizeof(T); ++i) out.push_back(static_cast<uint8_t>(raw >> (8 * i)));
    }
    // A record: its name, then its length, filled in when it ends.
    size_t begin(Record record) {
        number<uint16_t>(record);
        number<uint32_t>(0);
        return out.size();
    }
    void end(size_t start) { patch(start - 4, static_cast<uint32_t>(out.size() - start)); }
    void patch(size_t at, uint32_t value) {
        for (size_t i = 0; i < 4; ++i) out[at + i] = static_cast<uint8_t>(value >> (8 * i));
    }
    std::vector<uint8_t> out;
};

class Reader {
public:
    Reader(const uint8_t* data, size_t size) : at(data), left(size) {}
    template <typename T> bool number(T& value) {
        if (left < sizeof(T)) return false;
        uint64_t raw = 0;
        for (size_t i = 0; i < sizeof(T); ++i) raw |= static_cast<uint64_t>(at[i]) << (8 * i);
        std::memcpy(&value, &raw, sizeof value);
        skip(sizeof(T));
        return true;
    }
    bool text(std::string& value, size_t length) {
        if (left < length) return false;
        value.assign(reinterpret_cast<const char*>(at), length);
        skip(length);
        return true;
    }
    bool take(size_t size, Reader& part) {
        if (left < size) return false;
        part = Reader(at, size);
        skip(size);
        return true;
    }
    size_t remaining() const { return left; }

private:
    void skip(size_t size) {
        at += size;
        left -= size;
    }
    const uint8_t* at;
    size_t left;
};

bool finite(float value) { return std::isfinite(value); }

bool readEntries(Reader& in, std::vector<DeckState::Entry>& entries) {
    uint32_t count = 0;
    if (!in.number(count) || count > DeckState::maxEntries) return false;
    entries.resize(count);
    for (DeckState::Entry& entry : entries) {
        uint8_t marked = 0;
        uint16_t length = 0;
        if (!in.number(marked) || !in.number(length) || length > DeckState::maxPathLength) return false;
        if (!in.text(entry.path, length) || entry.path.find('\0') != std::string::npos) return false;
        // Sessions saved before paths were UTF-8 hold Windows names in the
        // system's code page.
        if (!playlist::isUtf8(entry.path)) {
            std::string converted = platform::paths::fromSystemCodePage(entry.path);
            if (!converted.empty() && converted.size() <= DeckState::maxPathLength) entry.path = std::move(converted);
        }
        entry.marked = marked != 0;
    }
    return true;
}

} // namespace

std::vector<uint8_t> DeckState::write() const {
    Writer w;
    w.bytes(magic, sizeof magic);
    w.number<uint32_t>(version);
    w.number<uint32_t>(0); // size, filled in at the end
    size_t record = w.begin(Entries);
    const size_t count = std::min(entries.size(), maxEntries);
    w.number<uint32_t>(static_cast<uint32_t>(count));
    for (size_t i = 0; i < count; ++i) {
        const std::string& path = entries[i].path;
        const size_t length = std::min(path.size(), maxPathLength);
        w.number<uint8_t>(entries[i].marked ? 1 : 0);
        w.number<uint16_t>(static_cast<uint16_t>(length));
        w.bytes(path.data(), length);
    }
    w.end(record);
    record = w.begin(Current);
    w.number<int32_t>(currentEntry);
    w.end(record);
    record = w.begin(Position);
    w.number<double>(position);
    w.end(record);
    record = w.begin(Playing);
    w.number<uint8_t>(playing ? 1 : 0);
    w.end(record);
    record = w.begin(Parameters);
    w.number<uint32_t>(parameterCount);
    for (float value : parameters) w.number<float>(value);
    w.end(record);
    record = w.begin(Tempo);
    w.number<float>(tempo);
    w.number<int32_t>(beatOrigin);
    w.number<uint8_t>(tempoKnown ? 1 : 0);
    w.number<uint8_t>(tempoByUser ? 1 : 0); // added later: older blocks end before it
    w.end(record);
    record = w.begin(Loop);
    w.number<uint8_t>(loopOn ? 1 : 0);
    w.number<float>(loopBeats);
    w.number<int32_t>(loopIndex);
    w.number<double>(loopEnd);
    w.end(record);
    record = w.begin(ListView);
    w.number<int32_t>(listTop);
    w.number<float>(listFraction);
    w.end(record);
    record = w.begin(Window);
    w.number<int32_t>(page);
    w.number<uint8_t>(remainingTime ? 1 : 0);
    w.number<float>(windowScale); // added later: older blocks end before it
    w.end(record);
    record = w.begin(SyncLock);
    w.number<uint8_t>(syncAnchored ? 1 : 0);
    w.number<double>(syncOffset);
    w.number<double>(syncStartBeat);
    w.end(record);
    w.patch(8, static_cast<uint32_t>(w.out.size()));
    return w.out;
}

bool DeckState::read(const void* data, size_t size) {
    if (!data || size < headerSize || std::memcmp(data, magic, sizeof magic) != 0) return false;
    Reader in(static_cast<const uint8_t*>(data) + sizeof magic, size - sizeof magic);
    uint32_t blockVersion = 0, blockSize = 0;
    in.number(blockVersion);
    in.number(blockSize);
    if (blockVersion == 0 || blockVersion > version || blockSize < headerSize || blockSize > size) return false;
    Reader records(nullptr, 0);
    in.take(blockSize - headerSize, records);

    DeckState state;
    bool sawEntries = false;
    while (records.remaining() > 0) {
        uint16_t name = 0;
        uint32_t length = 0;
        Reader part(nullptr, 0);
        if (!records.number(name) || !records.number(length) || !records.take(length, part)) return false;
        bool ok = true;
        uint8_t flag = 0;
        switch (name) {
        case Entries:
            ok = readEntries(part, state.entries);
            sawEntries = ok;
            break;
        case Current: ok = part.number(state.currentEntry); break;
        case Position: ok = part.number(state.position) && std::isfinite(state.position) && state.position >= 0; break;
        case Playing:
            ok = part.number(flag);
            state.playing = flag != 0;
            break;
        case Parameters: {
            uint32_t count = 0;
            ok = part.number(count);
            // A later version may have more parameters: the first ones are ours.
            for (uint32_t i = 0; ok && i < count && i < parameterCount; ++i)
                ok = part.number(state.parameters[i]) && finite(state.parameters[i]);
            break;
        }
        case Tempo:
            ok = part.number(state.tempo) && part.number(state.beatOrigin) && part.number(flag) &&
                 finite(state.tempo) && state.tempo > 0;
            state.tempoKnown = flag != 0;
            if (ok && part.remaining() > 0) {
                ok = part.number(flag);
                state.tempoByUser = flag != 0;
            }
            break;
        case Loop:
            ok = part.number(flag) && part.number(state.loopBeats) && part.number(state.loopIndex) &&
                 part.number(state.loopEnd) && finite(state.loopBeats) && std::isfinite(state.loopEnd) &&
                 state.loopIndex >= 0 && state.loopIndex < 9;
            state.loopOn = flag != 0;
            break;
        case ListView: ok = part.number(state.listTop) && part.number(state.listFraction) && finite(state.listFraction); break;
        case Window:
            ok = part.number(state.page) && part.number(flag);
            state.remainingTime = flag != 0;
            // A size this version cannot show (a later one's, or a wild
            // one) is no choice: the rest of the deck still comes back.
            if (ok && part.remaining() > 0) {
                ok = part.number(state.windowScale);
                if (!finite(state.windowScale) || state.windowScale < 1.0f || state.windowScale > 3.0f)
                    state.windowScale = 0.0f;
            }
            break;
        case SyncLock:
            ok = part.number(flag) && part.number(state.syncOffset) && part.number(state.syncStartBeat) &&
                 std::isfinite(state.syncOffset) && std::fabs(state.syncOffset) < 1e9 &&
                 !std::isnan(state.syncStartBeat);
            state.syncAnchored = flag != 0;
            break;
        default: break; // a record of a later version
        }
        if (!ok) return false;
    }
    if (!sawEntries) return false;
    if (state.entries.empty())
        state.currentEntry = 0;
    else if (state.currentEntry < 0 || state.currentEntry >= static_cast<int32_t>(state.entries.size()))
        return false;
    *this = std::move(state);
    return true;
}
