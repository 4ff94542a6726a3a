// The library's VST 3 entry: one factory with both builds of the deck.
#include <cstdio>
#include <cstring>
#include <string>

#include "deck/BuildProfile.h"
#include "platform/Paths.h"
#include "vst3/Vst3Deck.h"
#include "vst3_c_api.h"

#if defined(_WIN32)
#include <windows.h>

#include "platform/win32/WideText.h"
#else
#include <dlfcn.h>
#endif

#define CALL SMTG_STDMETHODCALLTYPE

namespace {
struct Build {
    Steinberg_TUID id;
    const char* name;
    const BuildProfile* profile;
};

// The class ids are the plug-ins' identity in hosts' sessions: never change them.
const Build builds[] = {
    {SMTG_INLINE_UID(0x0A32A3EB, 0xACDD4ECC, 0x8CDDEBB5, 0x6C2DC33A), "Trakvox", &fullProfile},
    {SMTG_INLINE_UID(0x3E7EB78A, 0x5EB24D16, 0x9201E7D8, 0x09E75D59), "Trakvox (compact)", &compactProfile},
};
constexpr Steinberg_int32 buildCount = 2;
const char* const vendor = "Quillmark";
const char* const version = "0.1.0";
// What the host lists the classes under: VST 3's audio effect class, as an instrument.
const char* const category = "Audio Module Class";
const char* const subCategories = "Instrument|Sampler";

template <size_t room> void copyText(char (&to)[room], const char* text) { std::snprintf(to, room, "%s", text); }

// The folder the library lies in (the track store's old home), or "" when
// the system does not say.
std::string libraryFolder() {
#if defined(_WIN32)
    HMODULE module = nullptr;
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            reinterpret_cast<LPCWSTR>(&libraryFolder), &module))
        return {};
    wchar_t path[32768];
    const DWORD length = GetModuleFileNameW(module, path, 32768);
    if (length == 0 || length >= 32768) return {};
    return platform::paths::directoryOf(platform::win32::narrowed(std::wstring_view(path, length)));
#else
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&libraryFolder), &info) == 0 || !info.dli_fname) return {};
    return platform::paths::directoryOf(info.dli_fname);
#endif
}

bool sameId(const char* a, const Steinberg_TUID b) { return std::memcmp(a, b, sizeof(Steinberg_TUID)) == 0; }

struct Factory {
    static Steinberg_tresult CALL queryInterface(void* self, const Steinberg_TUID iid, void** object) {
        if (!object) return Steinberg_kInvalidArgument;
        *object = nullptr;
        if (!iid) return Steinberg_kNoInterface;
        if (sameId(iid, Steinberg_FUnknown_iid) || sameId(iid, Steinberg_IPluginFactory_iid) ||
            sameId(iid, Steinberg_IPluginFactory2_iid)) {
            *object = self;
            return Steinberg_kResultOk;
        }
        return Steinberg_kNoInterface;
    }
    // The factory lives as long as the library.
    static Steinberg_uint32 CALL addRef(void*) { return 1; }
    static Steinberg_uint32 CALL release(void*) { return 1; }
    static Steinberg_tresult CALL getFactoryInfo(void*, Steinberg_PFactoryInfo* info) {
        if (!info) return Steinberg_kInvalidArgument;
        *info = Steinberg_PFactoryInfo{};
        copyText(info->vendor, vendor);
        info->flags = Steinberg_PFactoryInfo_FactoryFlags_kNoFlags;
        return Steinberg_kResultOk;
    }
    static Steinberg_int32 CALL countClasses(void*) { return buildCount; }
    static Steinberg_tresult CALL getClassInfo(void*, Steinberg_int32 index, Steinberg_PClassInfo* info) {
        if (!info || index < 0 || index >= buildCount) return Steinberg_kInvalidArgument;
        *info = Steinberg_PClassInfo{};
        std::memcpy(info->cid, builds[index].id, sizeof info->cid);
        info->cardinality = Steinberg_PClassInfo_ClassCardinality_kManyInstances;
        copyText(info->category, category);
        copyText(info->name, builds[index].name);
        return Steinberg_kResultOk;
    }
    static Steinberg_tresult CALL getClassInfo2(void*, Steinberg_int32 index, Steinberg_PClassInfo2* info) {
        if (!info || index < 0 || index >= buildCount) return Steinberg_kInvalidArgument;
        *info = Steinberg_PClassInfo2{};
        std::memcpy(info->cid, builds[index].id, sizeof info->cid);
        info->cardinality = Steinberg_PClassInfo_ClassCardinality_kManyInstances;
        copyText(info->category, category);
        copyText(info->name, builds[index].name);
        copyText(info->subCategories, subCategories);
        copyText(info->vendor, vendor);
        copyText(info->version, version);
        copyText(info->sdkVersion, Steinberg_Vst_SDKVersionString);
        return Steinberg_kResultOk;
    }
    static Steinberg_tresult CALL createInstance(void*, Steinberg_FIDString cid, Steinberg_FIDString iid, void** object) {
        if (!object) return Steinberg_kInvalidArgument;
        *object = nullptr;
        if (!cid || !iid) return Steinberg_kInvalidArgument;
        for (const Build& build : builds) {
            if (!sameId(cid, build.id)) continue;
            static const std::string folder = libraryFolder();
            Vst3Deck* made = nullptr;
            try {
                made = new Vst3Deck(*build.profile, folder);
            } catch (...) {
                return Steinberg_kOutOfMemory;
            }
            const Steinberg_tresult result = made->query(iid, object);
            made->release(); // the host's reference, if it took one, keeps it
            return result;
        }
        return Steinberg_kNoInterface;
    }

    static Steinberg_IPluginFactory2Vtbl table;
};

Steinberg_IPluginFactory2Vtbl Factory::table{Factory::queryInterface, Factory::addRef,       Factory::release,
                                             Factory::getFactoryInfo, Factory::countClasses, Factory::getClassInfo,
                                             Factory::createInstance, Factory::getClassInfo2};
Steinberg_IPluginFactory2 factory{&Factory::table};
} // namespace

#if defined(_WIN32)
// exports.def names the exports: undecorated, as hosts look them up, where
// a dllexport would add the 32-bit stdcall name beside them.
#define TUNEDECK_EXPORT extern "C"
#else
#define TUNEDECK_EXPORT extern "C" __attribute__((visibility("default")))
#endif

TUNEDECK_EXPORT Steinberg_IPluginFactory* CALL GetPluginFactory() {
    return reinterpret_cast<Steinberg_IPluginFactory*>(&factory);
}

// The module's start and end: the deck keeps nothing of the module's own to
// set up or tear down.
#if defined(_WIN32)
TUNEDECK_EXPORT bool InitDll() { return true; }
TUNEDECK_EXPORT bool ExitDll() { return true; }
#else
TUNEDECK_EXPORT bool ModuleEntry(void*) { return true; }
TUNEDECK_EXPORT bool ModuleExit() { return true; }
#endif
