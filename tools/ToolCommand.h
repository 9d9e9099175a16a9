#pragma once
// The `orvex` program's commands. Each command's file registers itself with a static
// CToolCommandRegistration, so adding a command needs no change elsewhere.
//
//   static CToolCommandRegistration reg{"decode", "decode [--udp] [FILE|-]", "...", &runDecode};
//
// A command receives the arguments after its name and returns the process exit status:
// 0 success, 1 bad input or a failed operation, 2 a usage error.

#include <string>
#include <vector>

using ToolCommandFn = int (*)(const std::vector<std::string>& args);

struct CToolCommand {
    std::string name;
    std::string usage;   // one line: "decode [--udp] [FILE|-]"
    std::string summary; // one line of what it does
    ToolCommandFn run;
};

const std::vector<CToolCommand>& toolCommands();

struct CToolCommandRegistration {
    CToolCommandRegistration(std::string name, std::string usage, std::string summary, ToolCommandFn run);
};

// Prints "orvex: <message>" and the command's usage on standard error; returns 2.
int toolUsageError(const std::string& command, const std::string& message);
