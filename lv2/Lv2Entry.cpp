// The library's LV2 entries: both builds of the deck as plug-ins, and the
// deck's editor as their UI (an X11 window inside the host's).
#include <cstring>
#include <memory>
#include <string>

#include <lv2/core/lv2.h>
#include <lv2/atom/atom.h>
#include <lv2/instance-access/instance-access.h>
#include <lv2/options/options.h>
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
    LV2_URID scaleFactor = 0; // ui:scaleFactor, 0 without a map
    LV2_URID atomFloat = 0;
    LV2UI_Resize resize{};
};

// The host's ui:scaleFactor among options, when it gives one.
void takeScale(Ui& ui, const LV2_Options_Option* options) {
    for (const LV2_Options_Option* o = options; o && o->key != 0; ++o)
        if (ui.scaleFactor != 0 && o->key == ui.scaleFactor && o->type == ui.atomFloat && o->size == sizeof(float) &&
            o->value)
            ui.deck->editor().setHostScale(*static_cast<const float*>(o->value));
}

LV2UI_Handle instantiateUi(const LV2UI_Descriptor*, const char*, const char*, LV2UI_Write_Function write,
                           LV2UI_Controller controller, LV2UI_Widget* widget, const LV2_Feature* const* features) {
    auto* deck = static_cast<Lv2Deck*>(const_cast<void*>(feature(features, LV2_INSTANCE_ACCESS_URI)));
    void* parent = const_cast<void*>(feature(features, LV2_UI__parent));
    if (!deck || !parent || !widget) return nullptr;
    auto ui = std::make_unique<Ui>(Ui{deck});
    if (const auto* map = static_cast<const LV2_URID_Map*>(feature(features, LV2_URID__map)); map && map->map) {
        ui->scaleFactor = map->map(map->handle, LV2_UI__scaleFactor);
        ui->atomFloat = map->map(map->handle, LV2_ATOM__Float);
    }
    takeScale(*ui, static_cast<const LV2_Options_Option*>(feature(features, LV2_OPTIONS__options)));
    if (const auto* resize = static_cast<const LV2UI_Resize*>(feature(features, LV2_UI__resize));
        resize && resize->ui_resize)
        ui->resize = *resize;
    PlayerEditor& editor = deck->editor();
    // The window drawn at a new scale asks the host for its new size.
    Ui* shown = ui.get();
    editor.onResize = [shown](int32_t width, int32_t height) {
        return shown->resize.ui_resize && shown->resize.ui_resize(shown->resize.handle, width, height) == 0;
    };
    deck->attachUi(write, controller, static_cast<const LV2UI_Touch*>(feature(features, LV2_UI__touch)));
    if (!editor.open(parent)) {
        editor.onResize = nullptr;
        deck->detachUi();
        return nullptr;
    }
    const Rect size = editor.windowSize();
    if (ui->resize.ui_resize) ui->resize.ui_resize(ui->resize.handle, size.width(), size.height());
    *widget = reinterpret_cast<LV2UI_Widget>(editor.systemWindow());
    return ui.release();
}

const void* uiExtensionData(const char* uri) {
    static const LV2UI_Idle_Interface idle{[](LV2UI_Handle handle) {
        static_cast<Ui*>(handle)->deck->editor().idle();
        return 0;
    }};
    // A host that changes its scale while the window shows says so here.
    static const LV2_Options_Interface options{
        [](LV2_Handle, LV2_Options_Option*) -> uint32_t { return LV2_OPTIONS_ERR_UNKNOWN; },
        [](LV2_Handle handle, const LV2_Options_Option* given) -> uint32_t {
            takeScale(*static_cast<Ui*>(handle), given);
            return LV2_OPTIONS_SUCCESS;
        }};
    if (uri && std::strcmp(uri, LV2_UI__idleInterface) == 0) return &idle;
    if (uri && std::strcmp(uri, LV2_OPTIONS__interface) == 0) return &options;
    return nullptr;
}

const LV2UI_Descriptor uis[] = {{lv2uris::ui, instantiateUi,
                                 [](LV2UI_Handle handle) {
                                     auto* ui = static_cast<Ui*>(handle);
                                     ui->deck->editor().close();
                                     ui->deck->editor().onResize = nullptr;
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
