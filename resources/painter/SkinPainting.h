#pragma once
// The deck's skin: every image the editor shows, painted at a scale (1: the
// layout's own pixels; 2: twice as many each way, drawn anew, not enlarged).
#include <cstdint>
#include <vector>

#include "resources/painter/Raster.h"

struct PaintedImage {
    int32_t id;
    paint::Image image;
};

// The images with the ids in only (every image when it is empty).
std::vector<PaintedImage> paintSkin(float scale, const std::vector<int32_t>& only = {});
