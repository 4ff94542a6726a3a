#include "deck/BuildProfile.h"

const BuildProfile& activeBuildProfile() { return fullProfile; }
