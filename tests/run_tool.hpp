// Runs the built tool as a user does, in a scratch directory of its own.
#pragma once

#include <string>
#include <vector>

struct tool_run {
    int status = -1;  // the exit status, or -1 if the tool did not exit normally
    std::string out;  // what it wrote on standard output
    std::string err;  // what it wrote on standard error
};

// A fresh directory under TMPDIR, removed with everything in it when the object goes.
class scratch_dir {
  public:
    scratch_dir();
    ~scratch_dir();
    scratch_dir(const scratch_dir&) = delete;
    scratch_dir& operator=(const scratch_dir&) = delete;
    // The path of `name` inside the directory.
    std::string path(const std::string& name) const { return path_ + '/' + name; }
    const std::string& root() const { return path_; }

  private:
    std::string path_;
};

void write_file(const std::string& path, const std::string& content);
// The file's content, or "<missing>" when it does not exist.
std::string read_file(const std::string& path);

// Runs the tool with `args` in `cwd`, its standard output going to `out_path` when given
// (to a scratch file otherwise). Gives up on a tool that runs longer than `timeout_s`.
tool_run run_tool(const std::vector<std::string>& args, const std::string& cwd,
                  const std::string& out_path = "", int timeout_s = 20);
