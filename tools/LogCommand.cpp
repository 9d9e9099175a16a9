// `orvex log`: inspect a flight log file, or export it as CSV, KML or GPX.
#include "ToolCommand.h"

#include "flightlog/LogExport.h"
#include "flightlog/RecordStore.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <sys/stat.h>

using namespace orvex;

namespace {

bool loadLog(const std::string& path, CRecordStore& store, std::uint64_t* size)
{
    std::string error;
    if (!store.loadFile(path, &error)) {
        std::cerr << "orvex log: " << error << "\n";
        return false;
    }
    struct stat st {};
    *size = ::stat(path.c_str(), &st) == 0 ? std::uint64_t(st.st_size) : store.count() * kRecordSize;
    return true;
}

int runInfo(const std::vector<std::string>& args)
{
    if (args.size() != 1) return toolUsageError("log", "info takes one FILE");
    CRecordStore store;
    std::uint64_t size = 0;
    if (!loadLog(args[0], store, &size)) return 1;
    std::cout << logSummaryJson(summarizeLog(store, size)) << "\n";
    return 0;
}

int runExport(const std::vector<std::string>& args)
{
    std::string format, file, output;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--format" || a == "-o" || a == "--output") {
            if (i + 1 >= args.size()) return toolUsageError("log", a + " needs a value");
            (a == "--format" ? format : output) = args[++i];
        } else if (a.rfind("--format=", 0) == 0) {
            format = a.substr(9);
        } else if (a.rfind("--output=", 0) == 0) {
            output = a.substr(9);
        } else if (!a.empty() && a[0] == '-' && a != "-") {
            return toolUsageError("log", "unknown option " + a);
        } else if (file.empty()) {
            file = a;
        } else {
            return toolUsageError("log", "export takes one FILE");
        }
    }
    ELogExportFormat fmt;
    if (format == "csv")
        fmt = ELogExportFormat::Csv;
    else if (format == "kml")
        fmt = ELogExportFormat::Kml;
    else if (format == "gpx")
        fmt = ELogExportFormat::Gpx;
    else
        return toolUsageError("log", format.empty() ? "--format csv|kml|gpx is required"
                                                    : "unknown format '" + format + "' (csv, kml or gpx)");
    if (file.empty()) return toolUsageError("log", "export needs a FILE");

    CRecordStore store;
    std::uint64_t size = 0;
    if (!loadLog(file, store, &size)) return 1;
    const std::string name = std::filesystem::path(file).stem().string();
    if (output.empty() || output == "-") {
        if (!exportLog(store, fmt, name, stdout)) {
            std::cerr << "orvex log: writing the export failed: " << std::strerror(errno) << "\n";
            return 1;
        }
        return 0;
    }
    std::FILE* out = std::fopen(output.c_str(), "wb");
    if (!out) {
        std::cerr << "orvex log: cannot write " << output << ": " << std::strerror(errno) << "\n";
        return 1;
    }
    const bool ok = exportLog(store, fmt, name, out);
    const int writeErrno = errno;
    if (std::fclose(out) != 0 || !ok) {
        std::cerr << "orvex log: writing " << output << " failed: " << std::strerror(ok ? errno : writeErrno)
                  << "\n";
        std::remove(output.c_str());
        return 1;
    }
    return 0;
}

int runLog(const std::vector<std::string>& args)
{
    if (args.empty()) return toolUsageError("log", "missing subcommand (info or export)");
    const std::vector<std::string> rest(args.begin() + 1, args.end());
    if (args[0] == "info") return runInfo(rest);
    if (args[0] == "export") return runExport(rest);
    return toolUsageError("log", "unknown subcommand '" + args[0] + "'");
}

CToolCommandRegistration reg{"log", "log info FILE | log export --format csv|kml|gpx FILE [-o OUT]",
                             "summarise a flight log (.hj) as JSON, or export it as CSV, KML or GPX",
                             &runLog};

} // namespace
