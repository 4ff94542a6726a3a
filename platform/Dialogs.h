#pragma once
// Messages, questions and file dialogs. The system provider uses zenity or
// kdialog when one is installed and a display exists; otherwise a message
// goes to standard error, a question is answered No and a file dialog
// reports no choice. Tests install a scripted provider.
#include <string>
#include <vector>

namespace platform {

struct FileFilter {
    std::string text;
    std::vector<std::string> patterns; // "*.mp3" and the like
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
};

// The provider in use: the system's unless a test installed its own.
DialogProvider& dialogs();
// Installs a provider; null restores the system's.
void setDialogProvider(DialogProvider* provider);

} // namespace platform
