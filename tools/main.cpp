#include <cstdio>
#include <cstring>
#include <iostream>

#include "OrvexVersion.h"
#include "ToolCommand.h"

namespace {

std::vector<CToolCommand>& registry()
{
    static std::vector<CToolCommand> commands;
    return commands;
}

void printHelp(std::ostream& out)
{
    out << "usage: orvex COMMAND [ARGS...]   (orvex --version: the version)\n\n"
           "The Orvex ground station's command-line tool. Commands:\n";
    for (const auto& c : toolCommands())
        out << "  orvex " << c.usage << "\n      " << c.summary << "\n";
    out << "\nOptions accepted by every command that reads or writes the program's files:\n"
           "  --home DIR   use DIR for Korva.ini and the files the ground station writes\n";
}

} // namespace

const std::vector<CToolCommand>& toolCommands()
{
    return registry();
}

CToolCommandRegistration::CToolCommandRegistration(std::string name, std::string usage, std::string summary,
                                                   ToolCommandFn run)
{
    registry().push_back({std::move(name), std::move(usage), std::move(summary), run});
}

int toolUsageError(const std::string& command, const std::string& message)
{
    std::cerr << "orvex " << command << ": " << message << "\n";
    for (const auto& c : toolCommands())
        if (c.name == command)
            std::cerr << "usage: orvex " << c.usage << "\n";
    return 2;
}

int main(int argc, char** argv)
{
    if (argc < 2 || !std::strcmp(argv[1], "--help") || !std::strcmp(argv[1], "-h") || !std::strcmp(argv[1], "help")) {
        printHelp(argc < 2 ? std::cerr : std::cout);
        return argc < 2 ? 2 : 0;
    }
    if (!std::strcmp(argv[1], "--version")) {
        std::cout << "orvex " << orvex::kVersion << "\n";
        return 0;
    }
    for (const auto& c : toolCommands()) {
        if (c.name == argv[1]) {
            std::vector<std::string> args(argv + 2, argv + argc);
            return c.run(args);
        }
    }
    std::cerr << "orvex: unknown command '" << argv[1] << "'\n";
    printHelp(std::cerr);
    return 2;
}
