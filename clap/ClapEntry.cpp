// The library's CLAP entry: one factory with both builds of the deck.
#include <clap/clap.h>

#include <cstring>
#include <string>

#include "clap/ClapDeck.h"
#include "platform/Paths.h"

namespace {
const char* const features[] = {CLAP_PLUGIN_FEATURE_INSTRUMENT, CLAP_PLUGIN_FEATURE_SAMPLER,
                                CLAP_PLUGIN_FEATURE_STEREO, nullptr};

// The ids are the plug-ins' identity in hosts' sessions: never change them.
const clap_plugin_descriptor_t descriptors[] = {
    {CLAP_VERSION_INIT, "org.tunedeck.trakvox", "Trakvox", "Quillmark", "", "", "", "0.1.0",
     "Plays tracks into the mix as a DJ deck does", features},
    {CLAP_VERSION_INIT, "org.tunedeck.trakvox-compact", "Trakvox (compact)", "Quillmark", "", "", "", "0.1.0",
     "Plays tracks into the mix as a DJ deck does, in a small window", features},
};
const BuildProfile* const profiles[] = {&fullProfile, &compactProfile};
constexpr uint32_t buildCount = 2;

std::string libraryFolder; // set by init, before any plug-in is made

const clap_plugin_factory_t factory{
    [](const clap_plugin_factory_t*) { return buildCount; },
    [](const clap_plugin_factory_t*, uint32_t index) -> const clap_plugin_descriptor_t* {
        return index < buildCount ? &descriptors[index] : nullptr;
    },
    [](const clap_plugin_factory_t*, const clap_host_t* host, const char* id) -> const clap_plugin_t* {
        if (!host || !id || !host->get_extension || !clap_version_is_compatible(host->clap_version)) return nullptr;
        for (uint32_t i = 0; i < buildCount; ++i)
            if (std::strcmp(id, descriptors[i].id) == 0) {
                try {
                    return (new ClapDeck(host, &descriptors[i], *profiles[i], libraryFolder))->plugin();
                } catch (...) {
                    return nullptr;
                }
            }
        return nullptr;
    }};
} // namespace

extern "C" {
#if defined(_WIN32)
__declspec(dllexport)
#else
__attribute__((visibility("default")))
#endif
extern const clap_plugin_entry_t clap_entry;

const clap_plugin_entry_t clap_entry{
    CLAP_VERSION_INIT,
    [](const char* path) {
        libraryFolder = path ? platform::paths::directoryOf(path) : std::string();
        return true;
    },
    [] {},
    [](const char* id) -> const void* {
        return id && std::strcmp(id, CLAP_PLUGIN_FACTORY_ID) == 0 ? &factory : nullptr;
    }};
}
