#include "plugin/BuildProfile.h"

#include "plugin/vst2.h"

const BuildProfile compactProfile{"Trakvox VST 2 (compact)", fourCharCode('T', 'v', '2', 'c'), true, 50, 60, 61, 5,
                                  256, 84};

const BuildProfile fullProfile{"Trakvox VST 2", fourCharCode('T', 'v', 'x', '2'), false, 52, 62, 63, 7, 256, 350};
