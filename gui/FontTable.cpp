#include "gui/FontTable.h"

#include <map>
#include <tuple>

#include "gui/Canvas.h"
#include "platform/Mutex.h"
#include "platform/Fonts.h"

namespace {
const FontTableEntry table[8] = {{"Arial", 12}, {"Arial", 18}, {"Arial", 14}, {"Arial", 12},
                                 {"Arial", 11}, {"Arial", 10}, {"Arial", 9},  {"Symbol", 13}};
}

const FontTableEntry& fontTableEntry(int32_t id) { return table[id >= 0 && id < 8 ? id : 0]; }

std::shared_ptr<platform::Font> fontFor(int32_t id, int32_t size, int32_t style) {
    static platform::Mutex mutex;
    static std::map<std::tuple<int32_t, int32_t, int32_t>, std::shared_ptr<platform::Font>> opened;
    platform::MutexLock guard(mutex);
    auto key = std::make_tuple(id, size, style);
    if (auto it = opened.find(key); it != opened.end()) return it->second;
    auto font = platform::Font::open(fontTableEntry(id).face, size, (style & Canvas::Bold) != 0,
                                     (style & Canvas::Italic) != 0);
    opened[key] = font;
    return font;
}
