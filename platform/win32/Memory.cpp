#include "platform/Memory.h"

#include <malloc.h>

namespace platform {

void returnFreeMemory() { _heapmin(); }

} // namespace platform
