#pragma once
// Keeps the plug-in's own library in the process until the process ends.
// A read that is stuck on a stalled file keeps its thread after the instance
// that asked for it has closed; when the host then unloads the library, that
// thread would return into code that is gone. Pinning is done once, the
// first time a read is left behind.
namespace platform {
void keepLibraryLoaded();
}
