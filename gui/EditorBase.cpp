#include "gui/EditorBase.h"

#include "plugin/EffectBase.h"

EditorBase::EditorBase(EffectBase& effect) : effect_(effect) { effect.setEditor(this); }

bool EditorBase::getRect(ERect** out) {
    if (!out) return false;
    *out = &rect;
    return true;
}
