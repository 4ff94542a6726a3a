#pragma once
// A track source opened and walked on the calling thread, as the opener and
// the loader would do it: for tests and benchmarks that want the length and
// the index ready before they read.
#include <cstdio>
#include <string>

#include "sources/TrackSource.h"

template <typename Source>
class WalkedSource : public Source {
public:
    explicit WalkedSource(SourceOwner* owner = nullptr) : Source(owner) {}
    bool openAndWalk(const std::string& path) {
        std::snprintf(this->fileName, sizeof this->fileName, "%s", path.c_str());
        if (!this->openFile()) return false;
        LoaderRun run(*this, this->loaderData());
        this->loadFunc(run);
        return true;
    }
};
