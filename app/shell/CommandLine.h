#pragma once
// The command line of orvex-gcs.
//
//   --home DIR                 directory of Korva.ini, the flight logs (Hj), PhotoData.txt ...
//   --connect serial[:PORT]    open the serial link once the window is up (PORT instead of COMPORT)
//   --connect wifi[:ADDRESS]   activate the WiFi link once the window is up (ADDRESS instead of
//                              Settings/WifiAddress)
//   --replay FILE              replay a flight log once the window is up
//   --no-splash                no splash picture
//   --udp-port N               local UDP port of the WiFi link (default 9000)
//   --wifi-port N              UDP port of the airborne WiFi module (default 55555)
//   --http-port N              port of the built-in HTTP server (default 8001)
//   --screenshot DIR           save pictures of the windows as PNG files in DIR and end
//   --help                     print this and end
//   --version                  print the version and end
// Every "--name VALUE" may also be written "--name=VALUE".
//
// Registration switches: a token "RegServer" or "UnregServer" (any case) after "-" or "/", and the
// embedded or automation start tokens "Embedding" and "Automation", end the program at once
// without a window. Other arguments are ignored; an unknown "--name" is named on standard error
// (options of the Qt toolkit such as --platform or --style are left to it).

#include <string>
#include <vector>

namespace orvex {

struct SCommandLine {
    enum class EAction { Run, EndAtOnce, Help, Version, Error };
    EAction action = EAction::Run;
    std::string error; // for Error
    std::vector<std::string> ignored; // unknown "--name" options, as given

    std::string home;
    enum class EConnect { None, Serial, Wifi };
    EConnect connect = EConnect::None;
    std::string connectTarget; // PORT or ADDRESS, may be empty
    std::string replayFile;
    bool splash = true;
    int udpPort = 9000;
    int wifiPort = 55555;
    int httpPort = 8001;
    std::string screenshotDir;
};

// `args` without the program name.
SCommandLine parseCommandLine(const std::vector<std::string>& args);
// The --help text.
std::string commandLineHelp();
// The --version line.
std::string commandLineVersion();

} // namespace orvex
