#pragma once
// The editor's skin: the bitmaps of one build, loaded when the window opens
// and released when it closes, looked up by resource id.
#include <cstdint>
#include <vector>

class Bitmap;

class SkinBitmaps {
public:
    SkinBitmaps() = default;
    SkinBitmaps(const SkinBitmaps&) = delete;
    SkinBitmaps& operator=(const SkinBitmaps&) = delete;
    ~SkinBitmaps() { releaseAll(); }

    void load(bool compact);
    // Drops the skin's reference on every bitmap; controls still holding one
    // keep theirs until they go.
    void releaseAll();
    // Null for an id the build does not load.
    Bitmap* get(int32_t id) const;
    bool loaded() const { return !bitmaps.empty(); }

private:
    std::vector<Bitmap*> bitmaps;
};
