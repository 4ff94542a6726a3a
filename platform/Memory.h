#pragma once
// Memory a thread freed goes back to the system: a loader that analysed a
// long track frees megabytes that the allocator would otherwise keep for
// the host's whole session.

namespace platform {

// Returns the allocator's free memory to the system; takes a few
// milliseconds and is never called on the audio thread.
void returnFreeMemory();

} // namespace platform
