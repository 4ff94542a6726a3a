// The system's dialogs on Windows: message boxes and the common open and
// save dialogs. A file dialog started from the editor is owned by the host's
// window, and runs its own message loop, as every Windows plug-in's does.
#include "platform/Dialogs.h"

#include <windows.h>
#include <commdlg.h>

#include <cwchar>
#include <vector>

#include "platform/win32/WideText.h"

namespace platform {
namespace {

using win32::narrowed;
using win32::widened;

// "Text\0*.mp3;*.mp2\0...\0\0", the form the common dialogs take.
std::wstring filterText(const std::vector<FileFilter>& filters) {
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
    return widened(text);
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
        const std::wstring filter = filterText(filters), caption = widened(title);
        // Room for many long names: a multiple selection comes back in one buffer.
        std::vector<wchar_t> names(1 << 16, 0);
        OPENFILENAMEW dialog{};
        dialog.lStructSize = sizeof dialog;
        dialog.hwndOwner = owner;
        dialog.lpstrFilter = filter.c_str();
        dialog.lpstrFile = names.data();
        dialog.nMaxFile = static_cast<DWORD>(names.size());
        dialog.lpstrTitle = caption.c_str();
        dialog.Flags = OFN_EXPLORER | OFN_ALLOWMULTISELECT | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR |
                       OFN_HIDEREADONLY;
        if (!GetOpenFileNameW(&dialog)) return false;
        // One file: its whole path. Several: the folder, then each name.
        const wchar_t* at = names.data();
        const std::string first = narrowed(at);
        at += std::wcslen(at) + 1;
        if (!*at) {
            chosen.push_back(first);
            return true;
        }
        const std::string folder = !first.empty() && first.back() == '\\' ? first : first + '\\';
        for (; *at; at += std::wcslen(at) + 1) chosen.push_back(folder + narrowed(at));
        return !chosen.empty();
    }

    bool chooseFileToSave(const std::string& title, const std::vector<FileFilter>& filters,
                          std::string& chosen) override {
        const std::wstring filter = filterText(filters), caption = widened(title);
        const std::wstring extension = widened(defaultExtension(filters));
        std::vector<wchar_t> name(32768, 0);
        OPENFILENAMEW dialog{};
        dialog.lStructSize = sizeof dialog;
        dialog.hwndOwner = owner;
        dialog.lpstrFilter = filter.c_str();
        dialog.lpstrFile = name.data();
        dialog.nMaxFile = static_cast<DWORD>(name.size());
        dialog.lpstrTitle = caption.c_str();
        dialog.lpstrDefExt = extension.empty() ? nullptr : extension.c_str();
        dialog.Flags = OFN_EXPLORER | OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR | OFN_HIDEREADONLY;
        if (!GetSaveFileNameW(&dialog)) return false;
        chosen = narrowed(name.data());
        return !chosen.empty();
    }

    void showMessage(const std::string& text, const std::string& caption) override {
        MessageBoxW(nullptr, widened(text).c_str(), widened(caption).c_str(), MB_OK | MB_ICONWARNING | MB_SETFOREGROUND);
    }

    bool askYesNo(const std::string& text, const std::string& caption) override {
        return MessageBoxW(nullptr, widened(text).c_str(), widened(caption).c_str(),
                           MB_YESNO | MB_ICONQUESTION | MB_SETFOREGROUND) == IDYES;
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
