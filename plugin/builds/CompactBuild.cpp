#include "plugin/BuildProfile.h"

const BuildProfile& activeBuildProfile() { return compactProfile; }
