#include "mpeg/MpegSource.h"

#include <algorithm>

#include "plugin/DebugLog.h"

MpegSource::MpegSource(SourceOwner* owner) {
    init(owner);
    bitRate = 128000;
}

MpegSource::~MpegSource() {
    stopLoader();
    closeFile();
}

bool MpegSource::acceptsFile(const char* path) {
    return hasExtension(path, ".mp1") || hasExtension(path, ".mp2") || hasExtension(path, ".mp3");
}

bool MpegSource::openFile() {
    writeLog("openfile start (mp3)\n");
    closeFile();
    return false;
}

void MpegSource::closeFile() { length = 0; }

bool MpegSource::getSound(float* const* out, int32_t count, int32_t, float, bool replace, bool) {
    if (replace && out && out[0] && out[1] && count > 0) {
        std::fill_n(out[0], count, 0.0f);
        std::fill_n(out[1], count, 0.0f);
    }
    return true;
}

bool MpegSource::getSignature(int32_t*) { return false; }

void MpegSource::loadFunc(const LoaderRun&) {}

void MpegSource::setEq(bool enabled, const float*, const float*, float, const bool*) { eqEnabled = enabled; }
