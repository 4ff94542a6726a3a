// The system's dialogs on Windows: message boxes and the common open and
// save dialogs. A file dialog started from the editor is owned by the host's
// window, and runs its own message loop, as every Windows plug-in's does.
#include "platform/Dialogs.h"

#include <windows.h>
#include <commdlg.h>

#include <cstring>
#include <vector>

namespace platform {
namespace {

// "Text\0*.mp3;*.mp2\0...\0\0", the form the common dialogs take.
std::string filterText(const std::vector<FileFilter>& filters) {
    std::string text;
    for (const FileFilter& filter : filters) {
        text += filter.text;
        text += '\0';
        for (size_t i = 0; i < filter.patterns.size(); ++i) {
            if (i > 0) text += ';';
            text += filter.patterns[i];
        }
        text += '\0';
    }
    text += '\0';
    return text;
}

// The first filter's first extension ("m3u" of "*.m3u"), added to a name
// typed without one.
std::string defaultExtension(const std::vector<FileFilter>& filters) {
    if (filters.empty() || filters.front().patterns.empty()) return {};
    const std::string& pattern = filters.front().patterns.front();
    const size_t dot = pattern.rfind('.');
    return dot == std::string::npos || pattern.find('*', dot) != std::string::npos ? std::string()
                                                                                     : pattern.substr(dot + 1);
}

class SystemDialogs : public DialogProvider {
public:
    bool chooseFilesToOpen(const std::string& title, const std::vector<FileFilter>& filters,
                           std::vector<std::string>& chosen) override {
        const std::string filter = filterText(filters);
        // Room for many long names: a multiple selection comes back in one buffer.
        std::vector<char> names(1 << 16, 0);
        OPENFILENAMEA dialog{};
        dialog.lStructSize = sizeof dialog;
        dialog.hwndOwner = owner;
        dialog.lpstrFilter = filter.c_str();
        dialog.lpstrFile = names.data();
        dialog.nMaxFile = static_cast<DWORD>(names.size());
        dialog.lpstrTitle = title.c_str();
        dialog.Flags = OFN_EXPLORER | OFN_ALLOWMULTISELECT | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR |
                       OFN_HIDEREADONLY;
        if (!GetOpenFileNameA(&dialog)) return false;
        // One file: its whole path. Several: the folder, then each name.
        const char* at = names.data();
        const std::string first = at;
        at += first.size() + 1;
        if (!*at) {
            chosen.push_back(first);
            return true;
        }
        const std::string folder = first.back() == '\\' ? first : first + '\\';
        for (; *at; at += std::strlen(at) + 1) chosen.push_back(folder + at);
        return !chosen.empty();
    }

    bool chooseFileToSave(const std::string& title, const std::vector<FileFilter>& filters,
                          std::string& chosen) override {
        const std::string filter = filterText(filters);
        const std::string extension = defaultExtension(filters);
        char name[MAX_PATH * 4] = {};
        OPENFILENAMEA dialog{};
        dialog.lStructSize = sizeof dialog;
        dialog.hwndOwner = owner;
        dialog.lpstrFilter = filter.c_str();
        dialog.lpstrFile = name;
        dialog.nMaxFile = sizeof name;
        dialog.lpstrTitle = title.c_str();
        dialog.lpstrDefExt = extension.empty() ? nullptr : extension.c_str();
        dialog.Flags = OFN_EXPLORER | OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR | OFN_HIDEREADONLY;
        if (!GetSaveFileNameA(&dialog)) return false;
        chosen = name;
        return !chosen.empty();
    }

    void showMessage(const std::string& text, const std::string& caption) override {
        MessageBoxA(nullptr, text.c_str(), caption.c_str(), MB_OK | MB_ICONWARNING | MB_SETFOREGROUND);
    }

    bool askYesNo(const std::string& text, const std::string& caption) override {
        return MessageBoxA(nullptr, text.c_str(), caption.c_str(), MB_YESNO | MB_ICONQUESTION | MB_SETFOREGROUND) ==
               IDYES;
    }

    // The host's window owns the dialog, so that it stays in front of it.
    std::unique_ptr<FileChoice> startFileChoice(const std::string& title, const std::vector<FileFilter>& filters,
                                                bool save, uintptr_t parentWindow) override {
        owner = reinterpret_cast<HWND>(parentWindow);
        auto choice = DialogProvider::startFileChoice(title, filters, save, parentWindow);
        owner = nullptr;
        return choice;
    }

private:
    HWND owner = nullptr;
};

SystemDialogs systemDialogs;

} // namespace

DialogProvider& systemDialogProvider() { return systemDialogs; }

} // namespace platform
