// The built tool, run on real files: standard output, standard error, exit status and the
// result file's bytes.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#include <cstdlib>
#include <cstring>
#include <string>

#include "kernels/kernels.hpp"
#include "made_nan.hpp"
#include "run_tool.hpp"

namespace {

struct data_case {
    std::string content;
    int status;
    std::string out;
    std::string result;
    std::string err;
};

class DataFiles : public testing::TestWithParam<data_case> {};

TEST_P(DataFiles, GiveCountResultAndMessages) {
    const data_case& c = GetParam();
    const scratch_dir dir;
    write_file(dir.path("data.txt"), c.content);
    write_file(dir.path("result.txt"), "an old result that must not survive\n");
    const tool_run run = run_tool({"data.txt", "result.txt"}, dir.root());
    EXPECT_EQ(run.status, c.status);
    EXPECT_EQ(run.out, c.out);
    EXPECT_EQ(run.err, c.err);
    EXPECT_EQ(read_file(dir.path("result.txt")), c.result);
}

INSTANTIATE_TEST_SUITE_P(Defined, DataFiles,
                         testing::Values(data_case{"1\n2\n3\n", 0, "3\n", "2.000000\n", ""},
                                         data_case{"1\n1\n0\n", 0, "3\n", "0.666667\n", ""},
                                         data_case{"1\n2\n3", 0, "2\n", "1.500000\n", ""},
                                         data_case{"1 2\n3 4\n", 0, "2\n", "1.500000\n", ""},
                                         data_case{"-0\n", 0, "1\n", "0.000000\n", ""},
                                         data_case{"1e3\r\n-2.5E2\r\n", 0, "2\n", "375.000000\n",
                                                   ""},
                                         data_case{"", 0, "0\n", made_nan_line(), ""},
                                         data_case{"no newline", 0, "0\n", made_nan_line(), ""},
                                         data_case{"1e308\n1e308\n", 0, "2\n", "inf\n", ""}));

INSTANTIATE_TEST_SUITE_P(
    Refused, DataFiles,
    testing::Values(
        data_case{"1\n2\nthree\n", 1, "3\n", "",
                  "mean: data.txt:3: expected a number, found \"three\"\n"},
        data_case{"1\n-\n", 1, "2\n", "", "mean: data.txt:2: expected a number, found \"-\"\n"},
        data_case{"0x\n", 1, "1\n", "", "mean: data.txt:1: expected a number, found \"0x\"\n"},
        data_case{"1\n2\n\n", 1, "3\n", "", "mean: data.txt: 3 lines but only 2 numbers\n"},
        data_case{"\n\n", 1, "2\n", "", "mean: data.txt: 2 lines but only 0 numbers\n"}));

const std::string usage_line = "usage: mean DATA-FILE RESULT-FILE\n";

// Any call with fewer than two arguments but a lone --help or --version.
class UsageError : public testing::TestWithParam<std::vector<std::string>> {};

TEST_P(UsageError, PrintsUsageAndHint) {
    const scratch_dir dir;
    write_file(dir.path("data.txt"), "1\n");
    const tool_run run = run_tool(GetParam(), dir.root());
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, usage_line + "Try 'mean --help' for more information.\n");
}

INSTANTIATE_TEST_SUITE_P(
    Calls, UsageError,
    testing::Values(std::vector<std::string>{}, std::vector<std::string>{"data.txt"},
                    std::vector<std::string>{"-h"}, std::vector<std::string>{"-"},
                    std::vector<std::string>{"--"}, std::vector<std::string>{"--help=all"},
                    std::vector<std::string>{"--HELP"}, std::vector<std::string>{"-v"},
                    std::vector<std::string>{"--version "}));

// A lone --help or --version: what it prints on standard output, and nothing else.
struct option_case {
    std::string option;
    std::vector<std::string> wanted;  // texts the output holds
    std::string exact;                // the whole output, when it is known exactly
};

class LoneOption : public testing::TestWithParam<option_case> {};

TEST_P(LoneOption, PrintsOnStandardOutput) {
    const option_case& c = GetParam();
    const scratch_dir dir;
    const tool_run run = run_tool({c.option}, dir.root());
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, "");
    for (const std::string& text : c.wanted)
        EXPECT_NE(run.out.find(text), std::string::npos) << text << " in\n" << run.out;
    if (!c.exact.empty()) {
        EXPECT_EQ(run.out, c.exact);
    }
    ASSERT_FALSE(run.out.empty());
    EXPECT_EQ(run.out.back(), '\n');
    // Every line fits an 80-column terminal.
    for (std::size_t start = 0, end; (end = run.out.find('\n', start)) != std::string::npos;
         start = end + 1) {
        EXPECT_LT(end - start, 80u) << run.out.substr(start, end - start);
    }
    // It fails, as any output does, when standard output cannot be written.
    const tool_run full = run_tool({c.option}, dir.root(), "/dev/full");
    EXPECT_EQ(full.status, 1);
    EXPECT_EQ(full.err, "mean: standard output: No space left on device\n");
}

INSTANTIATE_TEST_SUITE_P(
    Options, LoneOption,
    testing::Values(option_case{"--help",
                                {usage_line + "\n", "standard output", "0x1.8p3", "infinity",
                                 "Exit status:\n", "\n  0  ", "\n  1  ", "\n  2  ", "man mean\n"},
                                ""},
                    option_case{
                        "--version", {std::string("mean ") + MEAN_VERSION + "\nkernels: "}, ""}));

TEST(LoneOption, VersionNamesTheKernelsChosen) {
    // The tool chooses as the library does on the same CPU, unless the test runs it on another
    // (emulated) CPU and says what that one must give.
    const char* const expected = std::getenv("MEAN_EXPECT_KERNEL_LABEL");
    const scratch_dir dir;
    EXPECT_EQ(run_tool({"--version"}, dir.root()).out,
              std::string("mean ") + MEAN_VERSION + "\nkernels: " +
                  (expected != nullptr ? expected : mean::chosen_kernels().label) + "\n");
}

TEST(LoneOption, HelpStartsWithTheUsageLine) {
    const scratch_dir dir;
    EXPECT_EQ(run_tool({"--help"}, dir.root()).out.rfind(usage_line, 0), 0u);
}

// With two arguments or more, --help and --version are file names like any other.
TEST(Usage, OptionsAmongTwoArgumentsArePaths) {
    const scratch_dir dir;
    const tool_run missing = run_tool({"--version", "result.txt"}, dir.root());
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.err, "mean: --version: No such file or directory\n");

    write_file(dir.path("--help"), "1\n2\n");
    const tool_run help_data = run_tool({"--help", "result.txt"}, dir.root());
    EXPECT_EQ(help_data.status, 0);
    EXPECT_EQ(help_data.out, "2\n");
    EXPECT_EQ(help_data.err, "");
    EXPECT_EQ(read_file(dir.path("result.txt")), "1.500000\n");

    const tool_run version_result = run_tool({"--help", "--version", "--help"}, dir.root());
    EXPECT_EQ(version_result.status, 0);
    EXPECT_EQ(version_result.out, "2\n");
    EXPECT_EQ(read_file(dir.path("--version")), "1.500000\n");
}

TEST(Usage, ExtraArgumentsAndHyphensAreOrdinary) {
    const scratch_dir dir;
    write_file(dir.path("-"), "1\n2\n");
    const tool_run run = run_tool({"-", "--", "-x", "more"}, dir.root());
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "2\n");
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(read_file(dir.path("--")), "1.500000\n");
}

// Data paths that cannot be read: a message, no count, and the result path left alone.
struct unreadable_case {
    std::string data;
    std::string err;
};

class UnreadableData : public testing::TestWithParam<unreadable_case> {};

TEST_P(UnreadableData, LeavesResultAlone) {
    const scratch_dir dir;
    ASSERT_EQ(::mkfifo(dir.path("fifo").c_str(), 0600), 0);
    ASSERT_EQ(::mkdir(dir.path("dir").c_str(), 0700), 0);
    const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string sock_path = dir.path("sock");
    ASSERT_LT(sock_path.size(), sizeof address.sun_path);
    std::memcpy(address.sun_path, sock_path.c_str(), sock_path.size() + 1);
    ASSERT_EQ(::bind(sock, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    write_file(dir.path("result.txt"), "kept\n");
    const tool_run run = run_tool({GetParam().data, "result.txt"}, dir.root(), "", 5);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, GetParam().err);
    EXPECT_EQ(read_file(dir.path("result.txt")), "kept\n");
    ::close(sock);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, UnreadableData,
    testing::Values(
        unreadable_case{"missing.txt", "mean: missing.txt: No such file or directory\n"},
        unreadable_case{"dir", "mean: dir: Is a directory\n"},
        unreadable_case{"fifo", "mean: fifo: is a pipe or socket, which cannot be read twice\n"},
        unreadable_case{"sock", "mean: sock: is a pipe or socket, which cannot be read twice\n"}));

// A missing data file of each kind of name: plain names are shown as they are, names that
// could garble the message line are quoted.
class MissingDataName : public testing::TestWithParam<unreadable_case> {};

TEST_P(MissingDataName, ShowsTheNameOnOneLine) {
    const scratch_dir dir;
    const tool_run run = run_tool({GetParam().data, "result.txt"}, dir.root());
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, GetParam().err);
    EXPECT_EQ(read_file(dir.path("result.txt")), "<missing>");
}

INSTANTIATE_TEST_SUITE_P(
    Names, MissingDataName,
    testing::Values(
        unreadable_case{"plain.txt", "mean: plain.txt: No such file or directory\n"},
        unreadable_case{"my data.txt", "mean: my data.txt: No such file or directory\n"},
        unreadable_case{"\xC3\xA9t\xC3\xA9.txt",
                        "mean: \xC3\xA9t\xC3\xA9.txt: No such file or directory\n"},
        unreadable_case{"", "mean: '': No such file or directory\n"},
        unreadable_case{"bad\nname.txt",
                        "mean: 'bad'$'\\n''name.txt': No such file or directory\n"},
        unreadable_case{"\x1B[31mred.txt",
                        "mean: ''$'\\033''[31mred.txt': No such file or directory\n"},
        unreadable_case{"caf\xE9.txt", "mean: 'caf'$'\\351''.txt': No such file or directory\n"}));

TEST(QuotedNames, DataLineAndResultNamesAreQuoted) {
    const scratch_dir dir;
    const std::string data = "bad\nname.txt";
    write_file(dir.path(data), "1\nx\n");
    const tool_run bad_line = run_tool({data, "result.txt"}, dir.root());
    EXPECT_EQ(bad_line.status, 1);
    EXPECT_EQ(bad_line.out, "2\n");
    EXPECT_EQ(bad_line.err, "mean: 'bad'$'\\n''name.txt':2: expected a number, found \"x\"\n");

    write_file(dir.path(data), "1\n");
    const tool_run no_dir = run_tool({data, "no\x1B/result.txt"}, dir.root());
    EXPECT_EQ(no_dir.status, 1);
    EXPECT_EQ(no_dir.out, "1\n");
    EXPECT_EQ(no_dir.err, "mean: 'no'$'\\033''/result.txt': No such file or directory\n");

    const tool_run same = run_tool({data, "./" + data}, dir.root());
    EXPECT_EQ(same.status, 1);
    EXPECT_EQ(same.err,
              "mean: './bad'$'\\n''name.txt': is the data file; refusing to overwrite it\n");
}

TEST(SameFile, EverySpellingOfTheDataFileIsRefused) {
    const scratch_dir dir;
    const std::string data = "1\n2\n";
    write_file(dir.path("data.txt"), data);
    ASSERT_EQ(::link(dir.path("data.txt").c_str(), dir.path("hard").c_str()), 0);
    ASSERT_EQ(::symlink("data.txt", dir.path("soft").c_str()), 0);
    for (const std::string& result :
         std::vector<std::string>{"data.txt", "./data.txt", dir.path("data.txt"), "hard", "soft"}) {
        const tool_run run = run_tool({"data.txt", result}, dir.root());
        EXPECT_EQ(run.status, 1) << result;
        EXPECT_EQ(run.out, "") << result;
        EXPECT_EQ(run.err, "mean: " + result + ": is the data file; refusing to overwrite it\n");
        EXPECT_EQ(read_file(dir.path("data.txt")), data) << result;
    }
}

TEST(Output, FailedWritesAreReported) {
    const scratch_dir dir;
    write_file(dir.path("data.txt"), "1\n2\n3\n");

    const tool_run full_result = run_tool({"data.txt", "/dev/full"}, dir.root());
    EXPECT_EQ(full_result.status, 1);
    EXPECT_EQ(full_result.out, "3\n");
    EXPECT_EQ(full_result.err, "mean: /dev/full: No space left on device\n");

    const tool_run no_dir = run_tool({"data.txt", "no/such/result.txt"}, dir.root());
    EXPECT_EQ(no_dir.status, 1);
    EXPECT_EQ(no_dir.err, "mean: no/such/result.txt: No such file or directory\n");

    // A count that cannot be reported stops the run before the result file is touched.
    const tool_run full_out = run_tool({"data.txt", "result.txt"}, dir.root(), "/dev/full");
    EXPECT_EQ(full_out.status, 1);
    EXPECT_EQ(full_out.err, "mean: standard output: No space left on device\n");
    EXPECT_EQ(read_file(dir.path("result.txt")), "<missing>");
}

TEST(Output, NewResultFileModeFollowsUmask) {
    const scratch_dir dir;
    write_file(dir.path("data.txt"), "1\n");
    for (const mode_t mask : {0000, 0022, 0077}) {
        const std::string result = "result-" + std::to_string(mask) + ".txt";
        const mode_t old = ::umask(mask);
        const tool_run run = run_tool({"data.txt", result}, dir.root());
        ::umask(old);
        ASSERT_EQ(run.status, 0) << run.err;
        struct stat info {};
        ASSERT_EQ(::stat(dir.path(result).c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 0777, 0666 & ~mask);
    }
}

TEST(Output, CharacterDevicesAreFiles) {
    const scratch_dir dir;
    const tool_run run = run_tool({"/dev/null", "result.txt"}, dir.root());
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "0\n");
    EXPECT_EQ(read_file(dir.path("result.txt")), made_nan_line());
}

}  // namespace
