#pragma once
// Text faces for the canvas: a family name resolved by the system's font
// matching (so "Arial" finds a metric-compatible face), rendered without
// anti-aliasing so that text looks the same on every machine.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace platform {

class Font {
public:
    // Null when no face can be found or loaded.
    static std::shared_ptr<Font> open(const std::string& family, int32_t pixelSize, bool bold, bool italic);
    virtual ~Font() = default;

    // The family of the face that was found.
    virtual std::string familyName() const = 0;
    virtual int32_t ascent() const = 0;  // pixels above the baseline
    virtual int32_t descent() const = 0; // pixels below it
    virtual int32_t textWidth(std::string_view text) = 0;
    // Calls plot for every pixel the text sets, with the text's origin at x
    // and its baseline at baseline.
    virtual void render(std::string_view text, int32_t x, int32_t baseline,
                        const std::function<void(int32_t, int32_t)>& plot) = 0;
};

} // namespace platform
