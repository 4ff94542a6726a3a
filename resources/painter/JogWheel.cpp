// The jog wheel: 72 pictures of a platter, each turned to the angle the
// pointer has when the wheel shows it, so the marker follows the hand.
#include <cmath>

#include "resources/painter/SkinArt.h"

namespace art {
namespace {
constexpr int32_t size = 72;
constexpr int32_t images = 72;
constexpr double startAngle = 4.71225;
constexpr double rangeAngle = -6.283;

void platter(Image& image, int32_t y0, double angle) {
    const float cx = 36.0f, cy = static_cast<float>(y0) + 36.0f;
    const Rect box{0, y0, size, y0 + size};
    const auto dx = static_cast<float>(std::cos(angle)), dy = static_cast<float>(-std::sin(angle));
    // Shadow, metal rim, vinyl with grooves, label, spindle.
    image.fill(box, [&](float x, float y) { return paint::circle(x, y, cx, cy, 35.5f); }, paint::rgb(0x0c0e11));
    image.fill(box, [&](float x, float y) { return paint::circle(x, y, cx, cy, 34.0f); }, [&](float x, float y) {
        // Brushed metal: lighter towards the top left, turning with the platter.
        const float light = 0.5f + 0.5f * ((x - cx) * dx + (y - cy) * dy) / 34.0f;
        return paint::mix(paint::rgb(0x5a626d), paint::rgb(0xb8c0c9), light * 0.6f + 0.2f);
    });
    image.fill(box, [&](float x, float y) { return paint::circle(x, y, cx, cy, 30.5f); }, [&](float x, float y) {
        const float r = std::hypot(x - cx, y - cy);
        const float ring = 0.5f + 0.5f * std::sin(r * 2.4f);
        return paint::mix(paint::rgb(0x101215), paint::rgb(0x1d2126), ring);
    });
    // A sheen across the vinyl, turning with it.
    image.fill(box, [&](float x, float y) {
        const float across = std::abs((x - cx) * -dy + (y - cy) * dx);
        return std::max(paint::circle(x, y, cx, cy, 29.5f), across - 3.0f);
    }, paint::rgb(0x3a414b), 0.45f);
    image.fill(box, [&](float x, float y) { return paint::circle(x, y, cx, cy, 11.0f); }, [&](float x, float y) {
        const float t = std::hypot(x - cx, y - cy) / 11.0f;
        return paint::mix(paint::rgb(0x2fb2d2), paint::rgb(0x17637a), t);
    });
    image.fill(box, [&](float x, float y) { return std::abs(paint::circle(x, y, cx, cy, 11.0f)) - 0.6f; }, groove);
    // The marker: a line across the vinyl and a bright dot on the rim.
    image.fill(box, [&](float x, float y) {
        return paint::segment(x, y, cx + dx * 12.5f, cy + dy * 12.5f, cx + dx * 29.0f, cy + dy * 29.0f, 1.4f);
    }, amber);
    image.fill(box, [&](float x, float y) { return paint::circle(x, y, cx + dx * 32.0f, cy + dy * 32.0f, 2.2f); },
               paint::rgb(0xfff3d6));
    // Strobe dots on the rim, so that a turn reads even away from the marker.
    for (int32_t dot = 1; dot < 12; ++dot) {
        const double a = angle + dot * (2.0 * 3.14159265358979 / 12.0);
        const auto ux = static_cast<float>(std::cos(a)), uy = static_cast<float>(-std::sin(a));
        image.fill(box, [&](float x, float y) { return paint::circle(x, y, cx + ux * 32.2f, cy + uy * 32.2f, 0.9f); },
                   paint::rgb(0x2a2f37));
    }
    image.fill(box, [&](float x, float y) { return paint::circle(x, y, cx, cy, 1.8f); }, paint::rgb(0xe6ebf0));
    // Pixels left partly yellow by the rim's edge would show a yellow fringe.
    const float scale = image.scale();
    for (int32_t y = image.device(y0); y < image.device(y0 + size); ++y)
        for (int32_t x = 0; x < image.device(size); ++x) {
            const uint32_t p = image.at(x, y);
            const float fx = (static_cast<float>(x) + 0.5f) / scale, fy = (static_cast<float>(y) + 0.5f) / scale;
            if (p != 0xffff00 && paint::circle(fx, fy, cx, cy, 35.5f) * scale > -1.0f) image.set(x, y, 0x0c0e11);
        }
}
} // namespace

Image jogWheel() {
    Image image(size, size * images, yellowKey);
    for (int32_t k = 0; k < images; ++k)
        platter(image, k * size, startAngle + rangeAngle * static_cast<double>(k) / (images - 1));
    return image;
}

} // namespace art
