#include "run_tool.hpp"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

scratch_dir::scratch_dir() {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern =
        std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/mean-test-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

scratch_dir::~scratch_dir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

void write_file(const std::string& path, const std::string& content) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file << content;
    if (!file.flush()) throw std::runtime_error("cannot write " + path);
}

std::string read_file(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) return "<missing>";
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

tool_run run_tool(const std::vector<std::string>& args, const std::string& cwd,
                  const std::string& out_path, int timeout_s) {
    const scratch_dir captured;
    const std::string out = out_path.empty() ? captured.path("stdout") : out_path;
    const std::string err = captured.path("stderr");
    // MEAN_TOOL_WRAPPER, when set, runs the tool under another program, as in
    // "qemu-x86_64 -cpu Haswell": its words come before the tool's path.
    std::vector<std::string> wrapper;
    if (const char* words = std::getenv("MEAN_TOOL_WRAPPER")) {
        std::istringstream split(words);
        for (std::string word; split >> word;)
            wrapper.push_back(word);
    }
    std::vector<char*> argv;
    for (auto& word : wrapper)
        argv.push_back(word.data());
    argv.push_back(const_cast<char*>(MEAN_EXECUTABLE));
    for (const auto& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);

    const pid_t pid = ::fork();
    if (pid < 0) throw std::runtime_error("fork failed");
    if (pid == 0) {
        const int in_fd = ::open("/dev/null", O_RDONLY);
        const int out_fd = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int err_fd = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (in_fd < 0 || out_fd < 0 || err_fd < 0 || ::chdir(cwd.c_str()) != 0 ||
            ::dup2(in_fd, 0) < 0 || ::dup2(out_fd, 1) < 0 || ::dup2(err_fd, 2) < 0) {
            ::_exit(126);
        }
        ::execvp(argv[0], argv.data());
        ::_exit(127);
    }
    tool_run run;
    int wait_status = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeout_s);
    while (::waitpid(pid, &wait_status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &wait_status, 0);
            run.err = "<timed out>";
            return run;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    if (WIFEXITED(wait_status)) run.status = WEXITSTATUS(wait_status);
    if (out_path.empty()) run.out = read_file(out);
    run.err = read_file(err);
    return run;
}
