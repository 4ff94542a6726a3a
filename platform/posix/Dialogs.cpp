#include "platform/Dialogs.h"

#include <atomic>
#include <mutex>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace platform {
namespace {

bool onPath(const char* program) {
    const char* path = std::getenv("PATH");
    if (!path) return false;
    std::string dirs(path);
    size_t start = 0;
    while (start <= dirs.size()) {
        size_t end = dirs.find(':', start);
        if (end == std::string::npos) end = dirs.size();
        std::string candidate = dirs.substr(start, end - start) + "/" + program;
        if (access(candidate.c_str(), X_OK) == 0) return true;
        start = end + 1;
    }
    return false;
}

bool hasDisplay() { return std::getenv("DISPLAY") || std::getenv("WAYLAND_DISPLAY"); }

// Starts a program with its arguments (no shell, so no quoting to get
// wrong); with output, what it prints can be read from *output. The
// process, or -1 when it could not be started.
pid_t spawn(const std::vector<std::string>& argv, int* output) {
    int pipeEnds[2] = {-1, -1};
    if (output && pipe(pipeEnds) != 0) return -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (output) {
        posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, pipeEnds[0]);
    }
    std::vector<char*> args;
    for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    pid_t child = 0;
    const int spawned = posix_spawnp(&child, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (output) {
        close(pipeEnds[1]);
        if (spawned != 0) close(pipeEnds[0]);
        *output = spawned == 0 ? pipeEnds[0] : -1;
    }
    return spawned == 0 ? child : -1;
}

// Runs a program and collects what it prints; true when it exits with
// status 0.
bool run(const std::vector<std::string>& argv, std::string& output) {
    int from = -1;
    const pid_t child = spawn(argv, &from);
    if (child < 0) return false;
    char buffer[4096];
    ssize_t n;
    while ((n = read(from, buffer, sizeof buffer)) > 0) output.append(buffer, static_cast<size_t>(n));
    close(from);
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> result;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        if (end > start) result.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return result;
}

// A dialog program running beside the host; what it prints is read as it
// comes, without waiting.
class RunningChoice : public FileChoice {
public:
    static std::unique_ptr<FileChoice> start(const std::vector<std::string>& argv) {
        int from = -1;
        const pid_t child = spawn(argv, &from);
        if (child < 0) return nullptr;
        fcntl(from, F_SETFL, fcntl(from, F_GETFL) | O_NONBLOCK);
        fcntl(from, F_SETFD, FD_CLOEXEC);
        return std::unique_ptr<FileChoice>(new RunningChoice(child, from));
    }

    ~RunningChoice() override {
        if (child > 0) {
            kill(child, SIGTERM);
            waitpid(child, nullptr, 0);
        }
        if (output >= 0) close(output);
    }

    State poll(std::vector<std::string>& chosen) override {
        if (child <= 0) return finished;
        drain();
        int status = 0;
        if (waitpid(child, &status, WNOHANG) != child) return State::Open;
        child = 0;
        drain();
        chosen = lines(text);
        finished = WIFEXITED(status) && WEXITSTATUS(status) == 0 && !chosen.empty() ? State::Chosen : State::Cancelled;
        return finished;
    }

private:
    RunningChoice(pid_t process, int pipe) : child(process), output(pipe) {}
    void drain() {
        char buffer[4096];
        ssize_t n;
        while ((n = read(output, buffer, sizeof buffer)) > 0) text.append(buffer, static_cast<size_t>(n));
    }

    pid_t child;
    int output;
    std::string text;
    State finished = State::Cancelled;
};

std::string joined(const std::vector<std::string>& patterns) {
    std::string text;
    for (const std::string& p : patterns) text += (text.empty() ? "" : " ") + p;
    return text;
}

void addZenityFilters(std::vector<std::string>& argv, const std::vector<FileFilter>& filters) {
    for (const FileFilter& f : filters) argv.push_back("--file-filter=" + f.text + " | " + joined(f.patterns));
}

std::string kdialogFilter(const std::vector<FileFilter>& filters) {
    std::string filter;
    for (const FileFilter& f : filters) filter += (filter.empty() ? "" : "\n") + joined(f.patterns) + "|" + f.text;
    return filter;
}

class SystemDialogs : public DialogProvider {
public:
    bool chooseFilesToOpen(const std::string& title, const std::vector<FileFilter>& filters,
                           std::vector<std::string>& chosen) override {
        std::string output;
        if (useZenity()) {
            std::vector<std::string> argv{"zenity", "--file-selection", "--multiple", "--separator=\n",
                                          "--title=" + title};
            addZenityFilters(argv, filters);
            if (!run(argv, output)) return false;
        } else if (useKdialog()) {
            if (!run({"kdialog", "--title", title, "--getopenfilename", ".", kdialogFilter(filters), "--multiple",
                      "--separate-output"},
                     output))
                return false;
        } else {
            return false;
        }
        chosen = lines(output);
        return !chosen.empty();
    }

    bool chooseFileToSave(const std::string& title, const std::vector<FileFilter>& filters,
                          std::string& chosen) override {
        std::string output;
        if (useZenity()) {
            std::vector<std::string> argv{"zenity", "--file-selection", "--save", "--confirm-overwrite",
                                          "--title=" + title};
            addZenityFilters(argv, filters);
            if (!run(argv, output)) return false;
        } else if (useKdialog()) {
            if (!run({"kdialog", "--title", title, "--getsavefilename", ".", kdialogFilter(filters)}, output))
                return false;
        } else {
            return false;
        }
        auto found = lines(output);
        if (found.empty()) return false;
        chosen = found.front();
        return true;
    }

    // A message is shown beside the host and not waited for: the host's
    // GUI thread goes on while it is up.
    void showMessage(const std::string& text, const std::string& caption) override {
        reapMessages();
        if (useZenity() && startMessage({"zenity", "--error", "--title=" + caption, "--text=" + text})) return;
        if (useKdialog() && startMessage({"kdialog", "--title", caption, "--error", text})) return;
        std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
    }

    bool askYesNo(const std::string& text, const std::string& caption) override {
        std::string ignored;
        if (useZenity()) return run({"zenity", "--question", "--title=" + caption, "--text=" + text}, ignored);
        if (useKdialog()) return run({"kdialog", "--title", caption, "--yesno", text}, ignored);
        std::fprintf(stderr, "%s: %s (answered No)\n", caption.c_str(), text.c_str());
        return false;
    }

    std::unique_ptr<FileChoice> startFileChoice(const std::string& title, const std::vector<FileFilter>& filters,
                                                bool save, uintptr_t parentWindow) override {
        const std::string parent = std::to_string(parentWindow);
        if (useZenity()) {
            std::vector<std::string> argv{"zenity", "--file-selection", "--title=" + title};
            if (save) {
                argv.insert(argv.end(), {"--save", "--confirm-overwrite"});
            } else {
                argv.insert(argv.end(), {"--multiple", "--separator=\n"});
            }
            // It stays in front of the host's window.
            if (parentWindow) argv.push_back("--attach=" + parent);
            addZenityFilters(argv, filters);
            return RunningChoice::start(argv);
        }
        if (useKdialog()) {
            std::vector<std::string> argv{"kdialog", "--title", title};
            if (parentWindow) argv.insert(argv.end(), {"--attach", parent});
            if (save) {
                argv.insert(argv.end(), {"--getsavefilename", ".", kdialogFilter(filters)});
            } else {
                argv.insert(argv.end(),
                            {"--getopenfilename", ".", kdialogFilter(filters), "--multiple", "--separate-output"});
            }
            return RunningChoice::start(argv);
        }
        return nullptr;
    }

private:
    bool startMessage(const std::vector<std::string>& argv) {
        const pid_t child = spawn(argv, nullptr);
        if (child < 0) return false;
        std::lock_guard<std::mutex> guard(messagesLock);
        messages.push_back(child);
        return true;
    }
    // Messages that were closed leave no process behind.
    void reapMessages() {
        std::lock_guard<std::mutex> guard(messagesLock);
        std::erase_if(messages, [](pid_t child) { return waitpid(child, nullptr, WNOHANG) == child; });
    }

    std::mutex messagesLock;
    std::vector<pid_t> messages;
    static bool useZenity() { return hasDisplay() && onPath("zenity"); }
    static bool useKdialog() { return hasDisplay() && onPath("kdialog"); }
};

SystemDialogs systemDialogs;

} // namespace

DialogProvider& systemDialogProvider() { return systemDialogs; }

} // namespace platform
