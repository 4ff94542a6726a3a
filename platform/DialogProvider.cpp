// What every dialog provider shares, whichever system shows the dialogs: the
// provider in use, and the plain file choice that runs a dialog to its end.
#include <atomic>

#include "platform/Dialogs.h"

namespace platform {
namespace {

// A dialog that ran to its end before it was handed over.
class FinishedChoice : public FileChoice {
public:
    FinishedChoice(bool made, std::vector<std::string> files) : made(made), files(std::move(files)) {}
    State poll(std::vector<std::string>& chosen) override {
        if (!made) return State::Cancelled;
        chosen = files;
        return State::Chosen;
    }

private:
    bool made;
    std::vector<std::string> files;
};

std::atomic<DialogProvider*> installed{nullptr};

} // namespace

std::unique_ptr<FileChoice> DialogProvider::startFileChoice(const std::string& title,
                                                            const std::vector<FileFilter>& filters, bool save,
                                                            uintptr_t) {
    std::vector<std::string> chosen;
    bool made = false;
    if (save) {
        std::string file;
        made = chooseFileToSave(title, filters, file);
        if (made) chosen.push_back(file);
    } else {
        made = chooseFilesToOpen(title, filters, chosen);
    }
    return std::make_unique<FinishedChoice>(made && !chosen.empty(), std::move(chosen));
}

DialogProvider& dialogs() {
    DialogProvider* provider = installed.load();
    return provider ? *provider : systemDialogProvider();
}

void setDialogProvider(DialogProvider* provider) { installed.store(provider); }

} // namespace platform
