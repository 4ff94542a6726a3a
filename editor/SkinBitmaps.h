#pragma once
// The editor's skin: the bitmaps of one build, loaded when the editor is
// made and released when it goes, looked up by resource id. At scale 1 they
// are the images built into the library; at another scale the skin is
// painted anew at that scale (sharp, not enlarged) and each bitmap takes
// its new pixels in place, so that the controls holding them draw at the
// new scale without being rebuilt.
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
    // Repaints every bitmap at scale (GUI thread): the build's images are
    // painted anew at each change of scale, a fraction of a second at 200 %.
    void paintAt(float scale);
    float scale() const { return currentScale; }
    // Drops the skin's reference on every bitmap; controls still holding one
    // keep theirs until they go.
    void releaseAll();
    // Null for an id the build does not load.
    Bitmap* get(int32_t id) const;
    bool loaded() const { return !bitmaps.empty(); }

private:
    std::vector<Bitmap*> bitmaps;
    float currentScale = 1.0f;
};
