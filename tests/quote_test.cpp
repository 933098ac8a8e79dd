// How messages show file names: unchanged when plain, shell-quoted when they could garble a
// terminal line.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>
#include <random>
#include <string>
#include <vector>

#include "quote.hpp"

namespace {

struct quote_case {
    std::string path;
    std::string shown;
};

const std::vector<quote_case> quote_cases = {
    // Plain names, printed as they are: ASCII (shell metacharacters and quotes included) and
    // well-formed UTF-8 from the first code point after the C1 controls to the last.
    {"data.txt", "data.txt"},
    {"my data.txt", "my data.txt"},
    {"it's $HOME; *.txt", "it's $HOME; *.txt"},
    {"\\", "\\"},
    {"\xC3\xA9t\xC3\xA9.txt", "\xC3\xA9t\xC3\xA9.txt"},        // été.txt
    {"\xE6\x97\xA5\xE6\x9C\xAC", "\xE6\x97\xA5\xE6\x9C\xAC"},  // 日本
    {"\xC2\xA0", "\xC2\xA0"},                                  // U+00A0
    {"\xEF\xBF\xBD", "\xEF\xBF\xBD"},                          // U+FFFD
    {"\xF0\x9F\x98\x80", "\xF0\x9F\x98\x80"},                  // U+1F600
    {"\xF4\x8F\xBF\xBF", "\xF4\x8F\xBF\xBF"},                  // U+10FFFF
    // The empty name.
    {"", "''"},
    // Control bytes, each run of them in one $'...' part, wherever it falls.
    {"bad\nname.txt", "'bad'$'\\n''name.txt'"},
    {"bad\nname\x1B[31m.txt", "'bad'$'\\n''name'$'\\033''[31m.txt'"},
    {"\x1B[2J", "''$'\\033''[2J'"},
    {"a\r\n", "'a'$'\\r\\n'"},
    {"\a\b\t\n\v\f\r", "''$'\\a\\b\\t\\n\\v\\f\\r'"},
    {"\x01\x1F\x7F", "''$'\\001\\037\\177'"},
    {"x y\tz", "'x y'$'\\t''z'"},
    // A single quote in a quoted name.
    {"it's\n", "'it'\\''s'$'\\n'"},
    {"\n'", "''$'\\n'''\\'''"},
    // Bytes that are not UTF-8, escaped one by one.
    {"\x80", "''$'\\200'"},
    {"a\xFFz", "'a'$'\\377''z'"},
    {"\xC3\xA9\x80", "'\xC3\xA9'$'\\200'"},
    {"\xE6\x97", "''$'\\346\\227'"},                    // truncated 日
    {"x\xC3", "'x'$'\\303'"},                           // truncated at the end
    {"\xC3(", "''$'\\303''('"},                         // lead byte, then ASCII
    {"\xF0\x9F\x98", "''$'\\360\\237\\230'"},           // truncated U+1F600
    {"\xE6\x97z", "''$'\\346\\227''z'"},                // ASCII for the last byte of 日
    {"\xE6\x97\xC3\xA9", "''$'\\346\\227''\xC3\xA9'"},  // truncated 日, then é
    {"\xF0\x9F\x98\xE6\x97\xA5", "''$'\\360\\237\\230''\xE6\x97\xA5'"},
    {"\xF0\x9F\x98z\x80", "''$'\\360\\237\\230''z'$'\\200'"},
    {"\xF0\x9Fz\xBF", "''$'\\360\\237''z'$'\\277'"},
    {"\xC0\x80", "''$'\\300\\200'"},                    // overlong U+0000
    {"\xC1\xBF", "''$'\\301\\277'"},                    // overlong U+007F
    {"\xE0\x80\xAF", "''$'\\340\\200\\257'"},           // overlong /
    {"\xF0\x8F\xBF\xBF", "''$'\\360\\217\\277\\277'"},  // overlong U+FFFF
    {"\xED\xA0\x80", "''$'\\355\\240\\200'"},           // surrogate U+D800
    {"\xED\xBF\xBF", "''$'\\355\\277\\277'"},           // surrogate U+DFFF
    {"\xF4\x90\x80\x80", "''$'\\364\\220\\200\\200'"},  // U+110000
    {"\xF5\x80\x80\x80", "''$'\\365\\200\\200\\200'"},
    // C1 control characters, well-formed but acted on by terminals (U+009B is CSI).
    {"\xC2\x80", "''$'\\302\\200'"},
    {"\xC2\x9B[31m", "''$'\\302\\233''[31m'"},
};

// What bash makes of each quoted text as a word: the names the texts stand for.
std::vector<std::string> shell_words(const std::vector<std::string>& quoted) {
    std::string command = "printf '%s\\0'";
    for (const std::string& text : quoted)
        command += ' ' + text;
    int pipe_fds[2];
    if (::pipe(pipe_fds) != 0) return {};
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(pipe_fds[1], 1);
        ::close(pipe_fds[0]);
        ::close(pipe_fds[1]);
        ::execl("/bin/bash", "bash", "-c", command.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(pipe_fds[1]);
    std::string out;
    char buffer[4096];
    for (ssize_t got; (got = ::read(pipe_fds[0], buffer, sizeof buffer)) > 0;)
        out.append(buffer, static_cast<std::size_t>(got));
    ::close(pipe_fds[0]);
    int status = 0;
    if (pid < 0 || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status) ||
        WEXITSTATUS(status) != 0) {
        return {};
    }
    std::vector<std::string> words;
    for (std::size_t start = 0, end; (end = out.find('\0', start)) != std::string::npos;
         start = end + 1) {
        words.push_back(out.substr(start, end - start));
    }
    return words;
}

// Every quoted form: one line, no terminal control, itself plain, and the same name again
// when a shell reads it.
void expect_safe_and_faithful(const std::vector<std::string>& paths) {
    std::vector<std::string> quoted_paths;
    std::vector<std::string> quoted;
    for (const std::string& path : paths) {
        const std::string shown = mean::quote_path(path);
        for (const char c : shown) {
            const auto byte = static_cast<unsigned char>(c);
            EXPECT_TRUE(byte >= 0x20 && byte != 0x7F) << testing::PrintToString(shown);
        }
        EXPECT_FALSE(mean::needs_quoting(shown)) << testing::PrintToString(shown);
        if (mean::needs_quoting(path)) {
            quoted_paths.push_back(path);
            quoted.push_back(shown);
        } else {
            EXPECT_EQ(shown, path);
        }
    }
    if (::access("/bin/bash", X_OK) != 0) GTEST_SKIP() << "no /bin/bash to read the quotes back";
    EXPECT_EQ(shell_words(quoted), quoted_paths);
}

TEST(QuotePath, ShowsEachNameAsTheTableSays) {
    for (const quote_case& c : quote_cases) {
        EXPECT_EQ(mean::quote_path(c.path), c.shown) << testing::PrintToString(c.path);
        EXPECT_EQ(mean::needs_quoting(c.path), c.shown != c.path) << testing::PrintToString(c.path);
    }
}

TEST(QuotePath, TableNamesReadBackInAShell) {
    std::vector<std::string> paths;
    for (const quote_case& c : quote_cases)
        paths.push_back(c.path);
    expect_safe_and_faithful(paths);
}

TEST(QuotePath, EveryByteAloneAndAmongOthers) {
    std::vector<std::string> paths;
    for (int byte = 1; byte < 256; ++byte) {
        paths.emplace_back(1, static_cast<char>(byte));
        paths.push_back("a" + paths.back() + "'b");
    }
    expect_safe_and_faithful(paths);
}

TEST(QuotePath, RandomMixesOfPlainAndUnsafePieces) {
    const std::vector<std::string> pieces = {"a",
                                             " ",
                                             "'",
                                             "\\",
                                             "$",
                                             "\n",
                                             "\x1B",
                                             "\x7F",
                                             "\x80",
                                             "\xC3",
                                             "\xA9",
                                             "\xC3\xA9",
                                             "\xE6\x97\xA5",
                                             "\xED\xA0\x80",
                                             "\xC2\x9B",
                                             "\xF0\x9F\x98\x80"};
    std::mt19937 random(20261208);
    std::uniform_int_distribution<std::size_t> length(0, 10);
    std::uniform_int_distribution<std::size_t> piece(0, pieces.size() - 1);
    std::vector<std::string> paths;
    for (int i = 0; i < 500; ++i) {
        std::string path;
        for (std::size_t n = length(random); n > 0; --n)
            path += pieces[piece(random)];
        paths.push_back(path);
    }
    expect_safe_and_faithful(paths);
}

}  // namespace
