#pragma once
// A dialog provider whose answers a test sets, and which records what it
// was asked.
#include <string>
#include <vector>

#include "platform/Dialogs.h"

class ScriptedDialogs : public platform::DialogProvider {
public:
    ScriptedDialogs() { platform::setDialogProvider(this); }
    ~ScriptedDialogs() override { platform::setDialogProvider(nullptr); }

    bool chooseFilesToOpen(const std::string& title, const std::vector<platform::FileFilter>& filters,
                           std::vector<std::string>& chosen) override {
        titles.push_back(title);
        openFilters = filters;
        chosen = filesToOpen;
        return !filesToOpen.empty();
    }
    bool chooseFileToSave(const std::string& title, const std::vector<platform::FileFilter>&,
                          std::string& chosen) override {
        titles.push_back(title);
        chosen = fileToSave;
        return !fileToSave.empty();
    }
    void showMessage(const std::string& text, const std::string& caption) override {
        messages.push_back(caption + ": " + text);
    }
    bool askYesNo(const std::string& text, const std::string& caption) override {
        questions.push_back(caption + ": " + text);
        return answer;
    }

    bool answer = false;
    std::vector<std::string> filesToOpen;
    std::string fileToSave;
    std::vector<std::string> titles, messages, questions;
    std::vector<platform::FileFilter> openFilters;
};
