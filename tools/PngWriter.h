#pragma once
// Writes a pixel surface (0x00RRGGBB) as an 8-bit RGB PNG file.
#include <string>

#include "gui/PixelSurface.h"

bool writePng(const std::string& path, const PixelSurface& surface);
