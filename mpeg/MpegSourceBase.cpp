#include "mpeg/MpegSourceBase.h"

bool MpegSourceBase::acceptsFile(const char* path) {
    return hasExtension(path, ".mp1") || hasExtension(path, ".mp2") || hasExtension(path, ".mp3");
}
