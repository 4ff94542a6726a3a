#pragma once
// Messages, questions and file dialogs. The system provider uses zenity or
// kdialog when one is installed and a display exists; otherwise a message
// goes to standard error, a question is answered No and a file dialog
// reports no choice. Tests install a scripted provider.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace platform {

struct FileFilter {
    std::string text;
    std::vector<std::string> patterns; // "*.mp3" and the like
};

// A file dialog running beside the host: its owner polls it from the GUI
// thread's idle and never waits for it. Dropping it closes the dialog.
class FileChoice {
public:
    enum class State { Open, Chosen, Cancelled };
    virtual ~FileChoice() = default;
    // Never blocks; chosen is filled when the state becomes Chosen.
    virtual State poll(std::vector<std::string>& chosen) = 0;
};

class DialogProvider {
public:
    virtual ~DialogProvider() = default;
    // Several files may be chosen; false when the user chose nothing.
    virtual bool chooseFilesToOpen(const std::string& title, const std::vector<FileFilter>& filters,
                                   std::vector<std::string>& chosen) = 0;
    virtual bool chooseFileToSave(const std::string& title, const std::vector<FileFilter>& filters,
                                  std::string& chosen) = 0;
    virtual void showMessage(const std::string& text, const std::string& caption) = 0;
    virtual bool askYesNo(const std::string& text, const std::string& caption) = 0;
    // Starts an open dialog (several files) or a save dialog in front of the
    // host's window (an X11 window id or an HWND, 0 for none); null when no dialog can
    // be shown. This one runs the dialog above to its end at once.
    virtual std::unique_ptr<FileChoice> startFileChoice(const std::string& title,
                                                        const std::vector<FileFilter>& filters, bool save,
                                                        uintptr_t parentWindow);
};

// The system's own dialogs (each backend has one).
DialogProvider& systemDialogProvider();

// The provider in use: the system's unless a test installed its own.
DialogProvider& dialogs();
// Installs a provider; null restores the system's.
void setDialogProvider(DialogProvider* provider);

} // namespace platform
