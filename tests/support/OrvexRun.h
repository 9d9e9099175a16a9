#pragma once
// Runs the built `orvex` tool as the operator would, from a shell, and collects what it printed.

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/wait.h>

struct SOrvexRun {
    int status = -1; // exit status, or -1 when the tool did not exit normally
    std::string out;
    std::string err;
};

inline std::string shellQuote(const std::string& s)
{
    std::string q = "'";
    for (char c : s)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

inline std::string readWholeFile(const std::filesystem::path& p)
{
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// `orvex <args>` with standard output and error captured in files under `workDir`; `input`, when
// given, is fed as standard input (otherwise /dev/null).
inline SOrvexRun runOrvex(const std::string& args, const std::filesystem::path& workDir,
                          const std::string* input = nullptr)
{
    std::string cmd = shellQuote(std::string(ORVEX_BIN_DIR) + "/orvex") + " " + args;
    if (input) {
        const auto in = workDir / "stdin.bin";
        std::ofstream(in, std::ios::binary) << *input;
        cmd += " < " + shellQuote(in.string());
    } else {
        cmd += " < /dev/null";
    }
    const auto out = workDir / "stdout.txt", err = workDir / "stderr.txt";
    cmd += " > " + shellQuote(out.string()) + " 2> " + shellQuote(err.string());
    const int rc = std::system(cmd.c_str());
    SOrvexRun r;
    r.status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    r.out = readWholeFile(out);
    r.err = readWholeFile(err);
    return r;
}
