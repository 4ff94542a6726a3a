// Hostile session blocks: the reader refuses or takes them whole, and what
// it took writes back to a block that reads the same.
#include <cstdint>
#include <cstdlib>

#include "deck/DeckState.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    DeckState state;
    if (!state.read(data, size)) return 0;
    const std::vector<uint8_t> again = state.write();
    DeckState copy;
    if (!copy.read(again.data(), again.size()) || copy.write() != again) std::abort();
    return 0;
}
