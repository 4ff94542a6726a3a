#pragma once
// What the view toolkit asks of whoever shows its window: the notices around
// a person's edit. The toolkit knows nothing of plug-in interfaces; the
// editor answers these.
#include <cstdint>
#include <string>
#include <vector>

#include "gui/Geometry.h"

// A key as the window's owner hands it over.
struct KeyInput {
    int32_t character = 0; // the character typed, or 0
    uint8_t virt = 0;      // a named key: 11 left, 12 up, 13 right, 14 down
    uint8_t modifier = 0;  // 1 shift, 2 alternate, 4 command, 8 control
};

class GuiHost {
public:
    virtual ~GuiHost() = default;
    // A person starts and ends changing the control bearing tag.
    virtual void beginEdit(int32_t tag) = 0;
    virtual void endEdit(int32_t tag) = 0;
    // Files a person dropped on the window.
    virtual void filesDropped(const std::vector<std::string>& files) = 0;
    // How the window's knobs follow a drag: 0 circular, 1 relative circular,
    // 2 linear (the host's choice, for this window alone).
    virtual int32_t knobMode() const { return 0; }
    // A press that no control took (on the background or a display).
    virtual void unclaimedClick(Point where, uint32_t buttons) { (void)where, (void)buttons; }
    // The window moved to a screen of another scale (or the screen's scale
    // changed).
    virtual void screenScaleChanged(float scale) { (void)scale; }
};
