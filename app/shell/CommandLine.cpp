#include "app/shell/CommandLine.h"

#include <algorithm>
#include <cctype>
#include <charconv>

#include "OrvexVersion.h"

namespace orvex {

namespace {

std::string lower(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
    return s;
}

bool parsePort(const std::string& text, int& port)
{
    int value = 0;
    const char* end = text.data() + text.size();
    const auto result = std::from_chars(text.data(), end, value);
    if (result.ec != std::errc() || result.ptr != end || value < 1 || value > 65535)
        return false;
    port = value;
    return true;
}

// Options that the Qt toolkit reads from the same command line ("--x" means "-x" to it); the first
// group takes a value.
bool isToolkitOption(const std::string& name, bool& takesValue)
{
    static const char* const withValue[] = {"platform", "platformpluginpath", "platformtheme", "plugin",
                                            "qwindowgeometry", "qwindowicon", "qwindowtitle", "style",
                                            "stylesheet", "display", "geometry", "session"};
    static const char* const flags[] = {"reverse", "widgetcount", "sync", "nograb", "dograb"};
    for (const char* n : withValue)
        if (name == n)
            return takesValue = true;
    for (const char* n : flags)
        if (name == n) {
            takesValue = false;
            return true;
        }
    return false;
}

} // namespace

std::string commandLineHelp()
{
    return "Usage: orvex-gcs [options]\n"
           "Orvex 无人机地面站: the ground station of the Orvex flight controller.\n"
           "\n"
           "  --home DIR                directory for Korva.ini, the flight logs (Hj) and the report\n"
           "                            files (default: the program's directory when it is\n"
           "                            writable, else $XDG_DATA_HOME/orvex, ~/.local/share/orvex)\n"
           "  --connect serial[:PORT]   open the serial link when the window is up (PORT: a device\n"
           "                            such as /dev/ttyUSB0 or a name COMn; default Settings/COMPORT)\n"
           "  --connect wifi[:ADDRESS]  activate the WiFi link when the window is up (ADDRESS: the\n"
           "                            WiFi module's IPv4 address; default Settings/WifiAddress)\n"
           "  --replay FILE             replay a flight log (.hj) when the window is up\n"
           "  --no-splash               start without the splash picture\n"
           "  --udp-port N              local UDP port of the WiFi link (default 9000)\n"
           "  --wifi-port N             UDP port of the WiFi module (default 55555)\n"
           "  --http-port N             port of the built-in HTTP server (default 8001)\n"
           "  --screenshot DIR          save pictures of the windows in DIR (PNG) and end\n"
           "  --help                    show this text and end\n"
           "  --version                 show the version and end\n"
           "\n"
           "-RegServer, /RegServer, -UnregServer, /UnregServer (any case) end the program at once.\n";
}

std::string commandLineVersion()
{
    return std::string("orvex-gcs ") + kVersion + "\n";
}

SCommandLine parseCommandLine(const std::vector<std::string>& args)
{
    SCommandLine cl;
    auto fail = [&cl](std::string message) {
        cl.action = SCommandLine::EAction::Error;
        cl.error = std::move(message);
        return cl;
    };
    // The registration switches end the program whatever else the line holds.
    for (const std::string& arg : args) {
        if (arg.size() > 1 && (arg[0] == '-' || arg[0] == '/')) {
            const std::string token = lower(arg.substr(1));
            if (token == "regserver" || token == "unregserver" || token == "embedding" || token == "automation") {
                cl.action = SCommandLine::EAction::EndAtOnce;
                return cl;
            }
        }
    }
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg.rfind("--", 0) == 0 && arg.size() > 2) {
            std::string name = arg.substr(2);
            std::string value;
            bool hasValue = false;
            if (const auto eq = name.find('='); eq != std::string::npos) {
                value = name.substr(eq + 1);
                name.resize(eq);
                hasValue = true;
            }
            auto takeValue = [&]() -> bool {
                if (hasValue)
                    return true;
                if (i + 1 >= args.size())
                    return false;
                value = args[++i];
                return true;
            };
            if (name == "help" || name == "version") {
                cl.action = name == "help" ? SCommandLine::EAction::Help : SCommandLine::EAction::Version;
                return cl;
            }
            if (name == "no-splash") {
                cl.splash = false;
            } else if (name == "home") {
                if (!takeValue() || value.empty())
                    return fail("--home needs a directory");
                cl.home = value;
            } else if (name == "screenshot") {
                if (!takeValue() || value.empty())
                    return fail("--screenshot needs a directory");
                cl.screenshotDir = value;
            } else if (name == "replay") {
                if (!takeValue() || value.empty())
                    return fail("--replay needs a flight log file");
                cl.replayFile = value;
            } else if (name == "connect") {
                if (!takeValue())
                    return fail("--connect needs serial[:PORT] or wifi[:ADDRESS]");
                const auto colon = value.find(':');
                const std::string kind = lower(value.substr(0, colon));
                cl.connectTarget = colon == std::string::npos ? std::string() : value.substr(colon + 1);
                if (kind == "serial")
                    cl.connect = SCommandLine::EConnect::Serial;
                else if (kind == "wifi")
                    cl.connect = SCommandLine::EConnect::Wifi;
                else
                    return fail("--connect needs serial[:PORT] or wifi[:ADDRESS], not \"" + value + "\"");
            } else if (name == "udp-port" || name == "wifi-port" || name == "http-port") {
                int port = 0;
                if (!takeValue() || !parsePort(value, port))
                    return fail("--" + name + " needs a port number from 1 to 65535");
                (name == "udp-port" ? cl.udpPort : name == "wifi-port" ? cl.wifiPort : cl.httpPort) = port;
            } else if (bool toolkitValue = false; isToolkitOption(name, toolkitValue)) {
                if (toolkitValue)
                    takeValue();
            } else {
                cl.ignored.push_back(arg);
            }
            continue;
        }
    }
    return cl;
}

} // namespace orvex
