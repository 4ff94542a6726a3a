// The library's LV2 entries: both builds of the deck as plug-ins, and the
// deck's editor as their UI (an X11 window inside the host's).
#include <cstring>
#include <string>

#include <lv2/core/lv2.h>
#include <lv2/instance-access/instance-access.h>
#include <lv2/state/state.h>
#include <lv2/ui/ui.h>
#include <lv2/urid/urid.h>

#include "editor/PlayerEditor.h"
#include "lv2/Lv2Deck.h"
#include "lv2/Lv2Uris.h"

namespace {

const void* feature(const LV2_Feature* const* features, const char* uri) {
    if (!features) return nullptr;
    for (const LV2_Feature* const* f = features; *f; ++f)
        if ((*f)->URI && std::strcmp((*f)->URI, uri) == 0) return (*f)->data;
    return nullptr;
}

Lv2Deck& deckOf(LV2_Handle handle) { return *static_cast<Lv2Deck*>(handle); }

template <const BuildProfile& profile>
LV2_Handle instantiate(const LV2_Descriptor*, double rate, const char* bundle, const LV2_Feature* const* features) {
    const auto* map = static_cast<const LV2_URID_Map*>(feature(features, LV2_URID__map));
    if (!map || !map->map || !(rate > 0) || rate > 1e7) return nullptr;
    try {
        return new Lv2Deck(profile, rate, bundle ? bundle : "", map);
    } catch (...) {
        return nullptr;
    }
}

const void* extensionData(const char* uri) {
    static const LV2_State_Interface state{
        [](LV2_Handle handle, LV2_State_Store_Function store, LV2_State_Handle h, uint32_t, const LV2_Feature* const*) {
            return deckOf(handle).save(store, h);
        },
        [](LV2_Handle handle, LV2_State_Retrieve_Function retrieve, LV2_State_Handle h, uint32_t,
           const LV2_Feature* const*) { return deckOf(handle).restore(retrieve, h); }};
    return uri && std::strcmp(uri, LV2_STATE__interface) == 0 ? &state : nullptr;
}

template <const BuildProfile& profile>
constexpr LV2_Descriptor descriptor(const char* uri) {
    return {uri,
            instantiate<profile>,
            [](LV2_Handle handle, uint32_t port, void* data) { deckOf(handle).connect(port, data); },
            [](LV2_Handle) {},
            [](LV2_Handle handle, uint32_t frames) { deckOf(handle).run(frames); },
            [](LV2_Handle) {},
            [](LV2_Handle handle) { delete &deckOf(handle); },
            extensionData};
}

const LV2_Descriptor plugins[] = {descriptor<fullProfile>(lv2uris::full), descriptor<compactProfile>(lv2uris::compact)};

// The UI: the instance's own editor, opened in the host's window.
struct Ui {
    Lv2Deck* deck;
};

LV2UI_Handle instantiateUi(const LV2UI_Descriptor*, const char*, const char*, LV2UI_Write_Function write,
                           LV2UI_Controller controller, LV2UI_Widget* widget, const LV2_Feature* const* features) {
    auto* deck = static_cast<Lv2Deck*>(const_cast<void*>(feature(features, LV2_INSTANCE_ACCESS_URI)));
    void* parent = const_cast<void*>(feature(features, LV2_UI__parent));
    if (!deck || !parent || !widget) return nullptr;
    deck->attachUi(write, controller, static_cast<const LV2UI_Touch*>(feature(features, LV2_UI__touch)));
    if (!deck->editor().open(parent)) {
        deck->detachUi();
        return nullptr;
    }
    if (const auto* resize = static_cast<const LV2UI_Resize*>(feature(features, LV2_UI__resize)); resize && resize->ui_resize)
        resize->ui_resize(resize->handle, deck->profile().editorWidth, deck->profile().editorHeight);
    *widget = reinterpret_cast<LV2UI_Widget>(deck->editor().systemWindow());
    return new Ui{deck};
}

const void* uiExtensionData(const char* uri) {
    static const LV2UI_Idle_Interface idle{[](LV2UI_Handle handle) {
        static_cast<Ui*>(handle)->deck->editor().idle();
        return 0;
    }};
    return uri && std::strcmp(uri, LV2_UI__idleInterface) == 0 ? &idle : nullptr;
}

const LV2UI_Descriptor uis[] = {{lv2uris::ui, instantiateUi,
                                 [](LV2UI_Handle handle) {
                                     auto* ui = static_cast<Ui*>(handle);
                                     ui->deck->editor().close();
                                     ui->deck->detachUi();
                                     delete ui;
                                 },
                                 // The editor reads the deck itself: the ports' echoes tell it nothing new.
                                 [](LV2UI_Handle, uint32_t, uint32_t, uint32_t, const void*) {}, uiExtensionData}};

} // namespace

extern "C" {
__attribute__((visibility("default"))) const LV2_Descriptor* lv2_descriptor(uint32_t index) {
    return index < 2 ? &plugins[index] : nullptr;
}

__attribute__((visibility("default"))) const LV2UI_Descriptor* lv2ui_descriptor(uint32_t index) {
    return index < 1 ? &uis[index] : nullptr;
}
}
