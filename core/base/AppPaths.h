#pragma once
// Where the program finds its files.
//
//  - executable directory: the directory of the running program (from /proc/self/exe).
//  - program files directory: where the files that ship with the program are (the map pages
//    "html" and "OffLine"): the executable directory when they are beside it (the build folder, a
//    portable copy), else "<executable directory>/../share/orvex/" when they are there (an
//    installed program).
//  - home directory: where the files the program writes go (Korva.ini, the flight logs in "Hj",
//    "PhotoData.txt", "ParameterSet.txt", the map store; route files in "routes" unless saved
//    elsewhere). "--home DIR" on the command line names it (both orvex-gcs and orvex accept it).
//    Without it: the executable directory when the program files are beside the executable and
//    the running user may write there; otherwise the user's data directory,
//    "$XDG_DATA_HOME/orvex/" ("~/.local/share/orvex/" when XDG_DATA_HOME is unset or relative).
//    Whether the user may write is read from the directory's permission bits, so a directory
//    made read-only counts as read-only for root too.
//
// Every directory returned ends in "/".

#include <string>
#include <vector>

namespace orvex {

class CAppPaths {
public:
    // Executable directory of the running program; home = `homeDir` when not empty.
    explicit CAppPaths(const std::string& homeDir = {});
    // The executable directory given (tests, tools); an empty `homeDir` takes the rule above with
    // the environment's XDG_DATA_HOME and HOME.
    CAppPaths(const std::string& executableDir, const std::string& homeDir);

    const std::string& executableDir() const { return m_executableDir; }
    const std::string& programFilesDir() const { return m_programFilesDir; }
    const std::string& homeDir() const { return m_homeDir; }
    std::string settingsPath() const { return m_homeDir + "Korva.ini"; }
    std::string flightLogDir() const { return m_homeDir + "Hj/"; }
    std::string routeDir() const { return m_homeDir + "routes/"; }
    std::string photoDataPath() const { return m_homeDir + "PhotoData.txt"; }
    std::string parameterSetPath() const { return m_homeDir + "ParameterSet.txt"; }

    // Creates the home directory (and its parents) when missing; false when that fails.
    bool ensureHomeDir() const;

    // The directory of the running program, "./" when it cannot be found.
    static std::string runningExecutableDir();

    // The rules above, with the environment given: `xdgDataHome` and `userHome` as the variables
    // XDG_DATA_HOME and HOME (null when unset).
    static std::string programFilesDirFor(const std::string& executableDir);
    static std::string defaultHomeDir(const std::string& executableDir, const char* xdgDataHome,
                                      const char* userHome);
    // Whether the permission bits of `dir` let the running user create files in it.
    static bool userMayWrite(const std::string& dir);

    // Removes "--home DIR" or "--home=DIR" from `args` (the last one wins) and stores DIR in
    // `home`. Returns false with `error` set when "--home" has no directory after it; `args` is
    // then left as it was.
    static bool takeHomeOption(std::vector<std::string>& args, std::string& home, std::string& error);

private:
    static std::string asDirectory(const std::string& dir);

    std::string m_executableDir;
    std::string m_programFilesDir;
    std::string m_homeDir;
};

} // namespace orvex
