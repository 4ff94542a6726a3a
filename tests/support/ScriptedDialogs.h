#pragma once
// A dialog provider whose answers a test sets, and which records what it
// was asked.
#include <string>
#include <vector>

#include "platform/Dialogs.h"

// Installed for as long as it lives.
class ScriptedDialogsBase : public platform::DialogProvider {
public:
    ScriptedDialogsBase() { platform::setDialogProvider(this); }
    ~ScriptedDialogsBase() override { platform::setDialogProvider(nullptr); }
    bool chooseFilesToOpen(const std::string&, const std::vector<platform::FileFilter>&,
                           std::vector<std::string>&) override {
        return false;
    }
    bool chooseFileToSave(const std::string&, const std::vector<platform::FileFilter>&, std::string&) override {
        return false;
    }
    void showMessage(const std::string&, const std::string&) override {}
    bool askYesNo(const std::string&, const std::string&) override { return false; }
};

class ScriptedDialogs : public ScriptedDialogsBase {
public:

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
