#pragma once
// The track source for MPEG audio files (".mp1", ".mp2", ".mp3"). Until the
// decoder is wired in it recognises the names but opens no file, so the
// player passes such tracks on to the next source and reports them as not
// playable.
#include "sources/TrackSource.h"

class MpegSource : public TrackSource {
public:
    explicit MpegSource(SourceOwner* owner);
    ~MpegSource() override;

    bool acceptsFile(const char* path) override;
    bool getSound(float* const* out, int32_t count, int32_t position, float ratio, bool replace, bool wrap) override;
    bool getSignature(int32_t out[4]) override;
    void loadFunc(const LoaderRun& run) override;
    void setEq(bool enabled, const float crossovers[2], const float gains[3], float volume,
               const bool cuts[3]) override;
    bool openFile() override;
    void closeFile() override;

protected:
    std::shared_ptr<const void> loaderData() const override { return nullptr; }
};
