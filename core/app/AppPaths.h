#pragma once
// Where the program finds its files.
//
//  - executable directory: the directory of the running program (from /proc/self/exe). The files
//    that ship with the program (the map pages "html" and "OffLine") are found there.
//  - home directory: where the files the program writes go (Korva.ini, the flight logs in "Hj",
//    "PhotoData.txt", "ParameterSet.txt"). It is the executable directory unless the command
//    line names another one with "--home DIR" (both orvex-gcs and orvex accept it).
//
// Every directory returned ends in "/".

#include <string>
#include <vector>

namespace orvex {

class CAppPaths {
public:
    // Executable directory of the running program; home = `homeDir` when not empty.
    explicit CAppPaths(const std::string& homeDir = {});
    // Both directories given (tests, tools).
    CAppPaths(const std::string& executableDir, const std::string& homeDir);

    const std::string& executableDir() const { return m_executableDir; }
    const std::string& homeDir() const { return m_homeDir; }
    std::string settingsPath() const { return m_homeDir + "Korva.ini"; }
    std::string flightLogDir() const { return m_homeDir + "Hj/"; }
    std::string photoDataPath() const { return m_homeDir + "PhotoData.txt"; }
    std::string parameterSetPath() const { return m_homeDir + "ParameterSet.txt"; }

    // Creates the home directory (and its parents) when missing; false when that fails.
    bool ensureHomeDir() const;

    // The directory of the running program, "./" when it cannot be found.
    static std::string runningExecutableDir();

    // Removes "--home DIR" or "--home=DIR" from `args` (the last one wins) and stores DIR in
    // `home`. Returns false with `error` set when "--home" has no directory after it; `args` is
    // then left as it was.
    static bool takeHomeOption(std::vector<std::string>& args, std::string& home, std::string& error);

private:
    static std::string asDirectory(const std::string& dir);

    std::string m_executableDir;
    std::string m_homeDir;
};

} // namespace orvex
