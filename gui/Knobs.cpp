#include "gui/Knobs.h"

#include <cmath>

#include "gui/WindowView.h"

namespace {
constexpr double pi = 3.14159265358979323846;
// The host's virtual keys for the arrows, and its shift modifier.
constexpr unsigned char keyLeft = 11, keyUp = 12, keyRight = 13, keyDown = 14;
constexpr unsigned char modifierShift = 1;
} // namespace

RotaryKnob::RotaryKnob(const Rect& rect, ControlListener* owner, int32_t controlTag, Bitmap* bitmap,
                       Bitmap* handleBitmap, Point offset)
    : Control(rect, owner, controlTag, bitmap), backgroundOffset(offset), handle(handleBitmap),
      startAngle(5.0 * pi / 4.0), rangeAngle(-3.0 * pi / 2.0) {
    if (handle) handle->retain();
    inset = handle ? static_cast<int32_t>(handle->width() / 2 + 2.5) : 3;
}

RotaryKnob::~RotaryKnob() {
    if (handle) handle->release();
}

Point RotaryKnob::pointFromValue(float v) const {
    const double radius = size.width() / 2.0;
    const double span = maximum - minimum;
    const double angle = startAngle + (span != 0 ? (v - minimum) / span : 0.0) * rangeAngle;
    return {static_cast<int32_t>(radius + std::cos(angle) * (radius - inset) + 0.5),
            static_cast<int32_t>(radius - std::sin(angle) * (radius - inset) + 0.5)};
}

float RotaryKnob::valueFromPoint(Point p) const {
    const double radius = size.width() / 2.0;
    double angle = std::atan2(radius - p.y, p.x - radius);
    if (angle < 0) angle += 2 * pi;
    // Distance along the arc from the start angle, in the arc's direction.
    double along = (angle - startAngle) * (rangeAngle < 0 ? -1.0 : 1.0);
    along = std::fmod(along, 2 * pi);
    if (along < 0) along += 2 * pi;
    const double arc = std::fabs(rangeAngle);
    if (along <= arc) return static_cast<float>(minimum + (maximum - minimum) * along / arc);
    // In the dead zone the nearer end counts.
    return along - arc < 2 * pi - along ? maximum : minimum;
}

void RotaryKnob::drawHandle(Canvas& canvas) {
    Point at = pointFromValue(value);
    if (handle) {
        Rect place{size.left + at.x - handle->width() / 2, size.top + at.y - handle->height() / 2, 0, 0};
        place.right = place.left + handle->width();
        place.bottom = place.top + handle->height();
        handle->drawTransparent(canvas, place, {0, 0});
        return;
    }
    const Point centre{size.left + size.width() / 2, size.top + size.height() / 2};
    canvas.setFrameColour(colours::grey);
    canvas.moveTo(centre);
    canvas.lineTo({size.left + at.x, size.top + at.y});
    canvas.setFrameColour(colours::white);
    canvas.moveTo({centre.x + 1, centre.y - 1});
    canvas.lineTo({size.left + at.x + 1, size.top + at.y - 1});
}

void RotaryKnob::draw(Canvas& canvas) {
    drawBackground(canvas, backgroundOffset);
    drawHandle(canvas);
    setDirty(false);
}

void RotaryKnob::mouse(Canvas& canvas, Point where) {
    const uint32_t buttons = canvas.getMouseButtons();
    if (!mouseEnabled || !hasLeft(buttons)) return;
    if (buttons == (1 | 16)) {
        value = defaultValue;
        report(&canvas);
        return;
    }
    const bool alt = (buttons & 32) != 0;
    // The host chooses for its own window: each deck keeps what its host said.
    const GuiHost* host = getHost();
    const int32_t mode = host ? host->knobMode() : 0;
    drag.circular = (mode != 2 && !alt) || (mode == 2 && alt);
    drag.active = true;
    drag.last = {-1 << 20, -1 << 20};
    drag.start = where;
    drag.startValue = value;
    drag.accepted = value;
    drag.modifiers = buttons & ~7u;
    beginEdit();
    if (windowView) windowView->setFocusView(this);
    follow(canvas, where);
}

void RotaryKnob::mouseMoved(Canvas& canvas, Point where) {
    if (drag.active) follow(canvas, where);
}

void RotaryKnob::mouseUp(Canvas&, Point) { cancelDrag(); }

void RotaryKnob::cancelDrag() {
    if (!drag.active) return;
    drag.active = false;
    endEdit();
}

void RotaryKnob::follow(Canvas& canvas, Point where) {
    const uint32_t buttons = canvas.getMouseButtons();
    if (!hasLeft(buttons) || where == drag.last) return;
    drag.last = where;
    if (drag.circular) {
        float v = valueFromPoint({where.x - size.left, where.y - size.top});
        if (guardsTheDeadZone() && std::fabs(v - drag.accepted) > (maximum - minimum) / 2)
            v = v < drag.accepted ? maximum : minimum;
        value = v;
        drag.accepted = v;
    } else {
        if ((buttons & ~7u) != drag.modifiers) {
            // A modifier changed: go on from here, without a jump.
            drag.modifiers = buttons & ~7u;
            drag.start = where;
            drag.startValue = value;
        }
        const double step = (maximum - minimum) / ((buttons & 8) ? 200.0 * zoomFactor : 200.0);
        value = static_cast<float>(drag.startValue + ((where.x - drag.start.x) + (drag.start.y - where.y)) * step);
        bounceValue();
    }
    reportIfDirty(&canvas);
}

bool RotaryKnob::onWheel(Canvas* canvas, Point, float distance) {
    if (!mouseEnabled) return false;
    const bool shift = canvas && (canvas->getMouseButtons() & 8);
    value += distance * wheelInc * (shift ? 0.1f : 1.0f);
    bounceValue();
    report(canvas);
    return true;
}

int32_t RotaryKnob::onKeyDown(const KeyInput& key) {
    float step = wheelInc * ((key.modifier & modifierShift) ? 0.1f : 1.0f);
    if (key.virt == keyLeft || key.virt == keyDown)
        value -= step;
    else if (key.virt == keyUp || key.virt == keyRight)
        value += step;
    else
        return -1;
    bounceValue();
    report(nullptr);
    return 1;
}

StripKnob::StripKnob(const Rect& rect, ControlListener* owner, int32_t controlTag, Bitmap* bitmap, int32_t count,
                     int32_t height, Point offset)
    : RotaryKnob(rect, owner, controlTag, bitmap, nullptr, offset), images(std::max(count, 1)),
      imageHeight(std::max(height, 1)) {}

// Always a whole image: the last one from the maximum on.
int32_t StripKnob::stripOffset() const {
    if (!(value > minimum)) return 0;
    if (value >= maximum) return (images - 1) * imageHeight;
    const double span = maximum - minimum;
    const auto image = static_cast<int32_t>(std::floor((value - minimum) / span * (images - 1)));
    return std::clamp(image, 0, images - 1) * imageHeight;
}

void StripKnob::draw(Canvas& canvas) {
    drawBackground(canvas, {backgroundOffset.x, backgroundOffset.y + stripOffset()});
    setDirty(false);
}
