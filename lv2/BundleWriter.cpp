// Writes the LV2 bundle's description (manifest.ttl and tunedeck.ttl) from
// the deck's own parameter table, so that the ports hosts see always match
// the plug-in: run at build time.
#include <cstdio>
#include <string>

#include "binding/PluginDeck.h"
#include "lv2/Lv2Deck.h"
#include "lv2/Lv2Uris.h"

namespace {
// The ports' symbols: part of a session's saved values; never change them.
const char* const symbols[Deck::parameterCount] = {
    "playing", "auto_rewind", "position", "pitch", "track", "eq_cut_1", "eq_cut_2", "eq_bass", "eq_treble",
    "eq_tweet", "vol", "cut_bass", "cut_treble", "cut_tweet", "loop", "sync", "key_lock", "key"};

const char* const prefixes =
    "@prefix atom: <http://lv2plug.in/ns/ext/atom#> .\n"
    "@prefix doap: <http://usefulinc.com/ns/doap#> .\n"
    "@prefix foaf: <http://xmlns.com/foaf/0.1/> .\n"
    "@prefix lv2: <http://lv2plug.in/ns/lv2core#> .\n"
    "@prefix midi: <http://lv2plug.in/ns/ext/midi#> .\n"
    "@prefix opts: <http://lv2plug.in/ns/ext/options#> .\n"
    "@prefix pg: <http://lv2plug.in/ns/ext/port-groups#> .\n"
    "@prefix pprops: <http://lv2plug.in/ns/ext/port-props#> .\n"
    "@prefix rdf: <http://www.w3.org/1999/02/22-rdf-syntax-ns#> .\n"
    "@prefix rdfs: <http://www.w3.org/2000/01/rdf-schema#> .\n"
    "@prefix state: <http://lv2plug.in/ns/ext/state#> .\n"
    "@prefix time: <http://lv2plug.in/ns/ext/time#> .\n"
    "@prefix ui: <http://lv2plug.in/ns/extensions/ui#> .\n"
    "@prefix urid: <http://lv2plug.in/ns/ext/urid#> .\n\n";

std::string escaped(const char* text) {
    std::string out;
    for (const char* c = text; *c; ++c) {
        if (*c == '"' || *c == '\\') out += '\\';
        out += *c;
    }
    return out;
}

void writePlugin(FILE* out, const char* uri, const char* name, const char* binary) {
    std::fprintf(out,
                 "<%s>\n    a lv2:Plugin, lv2:InstrumentPlugin ;\n    doap:name \"%s\" ;\n"
                 "    doap:license <https://www.gnu.org/licenses/gpl-3.0> ;\n"
                 "    doap:maintainer [ foaf:name \"Quillmark\" ] ;\n"
                 "    lv2:minorVersion 1 ; lv2:microVersion 0 ;\n"
                 "    lv2:binary <%s> ;\n"
                 "    lv2:requiredFeature urid:map ;\n    lv2:optionalFeature lv2:hardRTCapable ;\n"
                 "    lv2:extensionData state:interface ;\n    ui:ui <%s> ;\n",
                 uri, name, binary, lv2uris::ui);
    std::fprintf(out,
                 "    lv2:port [\n        a lv2:InputPort, atom:AtomPort ;\n        atom:bufferType atom:Sequence ;\n"
                 "        atom:supports midi:MidiEvent, time:Position ;\n        lv2:designation lv2:control ;\n"
                 "        lv2:index %u ;\n        lv2:symbol \"events\" ;\n        lv2:name \"Keys\"\n    ]",
                 Lv2Deck::Events);
    const char* sides[2] = {"left", "right"};
    for (uint32_t i = 0; i < 2; ++i)
        std::fprintf(out,
                     " , [\n        a lv2:OutputPort, lv2:AudioPort ;\n        lv2:index %u ;\n"
                     "        lv2:symbol \"out_%s\" ;\n        lv2:name \"Deck %s\"\n    ]",
                     Lv2Deck::Left + i, sides[i], i ? "R" : "L");
    for (int32_t i = 0; i < Deck::parameterCount; ++i) {
        const ParameterShape& shape = parameterShape(i);
        char parameterName[Deck::parameterTextRoom] = {};
        Deck::valueName(i, parameterName);
        std::string properties;
        if (shape.steps == 1) properties = "        lv2:portProperty lv2:toggled ;\n";
        if (shape.steps > 1) {
            // Each step's text, as hosts show an enumeration's choices.
            properties = "        lv2:portProperty lv2:integer, lv2:enumeration ;\n";
            for (int32_t step = 0; step <= shape.steps; ++step) {
                char label[Deck::parameterTextRoom] = {};
                Deck::stepText(i, shape.deckFromPlain(step), label);
                properties += "        lv2:scalePoint [ rdfs:label \"" + escaped(label) + "\" ; rdf:value " +
                              std::to_string(step) + " ] ;\n";
            }
        }
        std::fprintf(out,
                     " , [\n        a lv2:InputPort, lv2:ControlPort ;\n        lv2:index %u ;\n"
                     "        lv2:symbol \"%s\" ;\n        lv2:name \"%s\" ;\n%s"
                     "        lv2:default %g ;\n        lv2:minimum 0 ;\n        lv2:maximum %d\n    ]",
                     Lv2Deck::FirstControl + static_cast<uint32_t>(i), symbols[i], escaped(parameterName).c_str(),
                     properties.c_str(), shape.plainFromDeck(shape.defaultValue), shape.steps > 0 ? shape.steps : 1);
    }
    std::fprintf(out,
                 " , [\n        a lv2:InputPort, lv2:ControlPort ;\n        lv2:index %u ;\n"
                 "        lv2:symbol \"free_wheeling\" ;\n        lv2:name \"Free-wheeling\" ;\n"
                 "        lv2:designation lv2:freeWheeling ;\n        lv2:portProperty lv2:toggled, pprops:notOnGUI ;\n"
                 "        lv2:default 0 ;\n        lv2:minimum 0 ;\n        lv2:maximum 1\n    ] .\n\n",
                 Lv2Deck::FreeWheel);
}
} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s <bundle folder> <binary name>\n", argv[0]);
        return 2;
    }
    const std::string folder = argv[1];
    const char* binary = argv[2];
    FILE* manifest = std::fopen((folder + "/manifest.ttl").c_str(), "w");
    FILE* plugins = std::fopen((folder + "/tunedeck.ttl").c_str(), "w");
    if (!manifest || !plugins) return 1;
    std::fputs(prefixes, manifest);
    for (const char* uri : {lv2uris::full, lv2uris::compact})
        std::fprintf(manifest, "<%s>\n    a lv2:Plugin ;\n    lv2:binary <%s> ;\n    rdfs:seeAlso <tunedeck.ttl> .\n\n",
                     uri, binary);
    std::fprintf(manifest,
                 "<%s>\n    a ui:X11UI ;\n    ui:binary <%s> ;\n"
                 "    lv2:requiredFeature ui:idleInterface, ui:parent, <http://lv2plug.in/ns/ext/instance-access> ;\n"
                 "    lv2:optionalFeature ui:resize, ui:touch, opts:options, <http://lv2plug.in/ns/ext/urid#map> ;\n"
                 "    opts:supportedOption ui:scaleFactor ;\n"
                 "    lv2:extensionData ui:idleInterface, opts:interface .\n",
                 lv2uris::ui, binary);
    std::fputs(prefixes, plugins);
    writePlugin(plugins, lv2uris::full, "Trakvox", binary);
    writePlugin(plugins, lv2uris::compact, "Trakvox (compact)", binary);
    const bool ok = std::fclose(manifest) == 0 && std::fclose(plugins) == 0;
    return ok ? 0 : 1;
}
