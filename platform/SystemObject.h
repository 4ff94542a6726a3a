#pragma once
// Room for a system's lock or condition inside the portable classes that
// wrap it, and the backends' way to reach the object they built there.
#include <new>

namespace platform {

// Room for the largest of the systems' objects (glibc's condition: 48 bytes).
struct alignas(8) SystemObject {
    unsigned char bytes[64];
};

// The backend's object of type T in object (built there by placement new).
template <typename T> T& systemObjectAs(SystemObject& object) {
    static_assert(sizeof(T) <= sizeof(SystemObject::bytes) && alignof(T) <= alignof(SystemObject));
    return *std::launder(reinterpret_cast<T*>(object.bytes));
}

} // namespace platform
