// `orvex log`: inspect a flight log file, export it as CSV, KML or GPX, or plot its fields.
#include "ToolCommand.h"

#include "flightlog/LogExport.h"
#include "flightlog/PlotFields.h"
#include "flightlog/PlotSvg.h"
#include "flightlog/RecordStore.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>

using namespace orvex;

extern char** environ;

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
    std::string format, file, output, offset;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--format" || a == "-o" || a == "--output" || a == "--utc-offset") {
            if (i + 1 >= args.size()) return toolUsageError("log", a + " needs a value");
            (a == "--format" ? format : a == "--utc-offset" ? offset : output) = args[++i];
        } else if (a.rfind("--utc-offset=", 0) == 0) {
            offset = a.substr(13);
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
    std::optional<double> offsetHours;
    if (!offset.empty()) {
        char* end = nullptr;
        const double h = std::strtod(offset.c_str(), &end);
        if (*end != '\0' || !(h >= -14 && h <= 14))
            return toolUsageError("log", "--utc-offset takes hours east of UTC, -14 to 14");
        offsetHours = h;
    }
    const auto clock = logClockFromName(file, offsetHours);

    CRecordStore store;
    std::uint64_t size = 0;
    if (!loadLog(file, store, &size)) return 1;
    const std::string name = std::filesystem::path(file).stem().string();
    if (output.empty() || output == "-") {
        if (!exportLog(store, fmt, name, stdout, clock)) {
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
    const bool ok = exportLog(store, fmt, name, out, clock);
    const int writeErrno = errno;
    if (std::fclose(out) != 0 || !ok) {
        std::cerr << "orvex log: writing " << output << " failed: " << std::strerror(ok ? errno : writeErrno)
                  << "\n";
        std::remove(output.c_str());
        return 1;
    }
    return 0;
}

std::string fieldNames()
{
    std::string names;
    for (const auto& f : plotFields())
        names += (names.empty() ? "" : ", ") + std::string(f.name);
    return names;
}

// Draws the SVG at `svgPath` into the PNG `pngPath` with rsvg-convert; false (told) when it cannot.
bool rasterise(const std::string& svgPath, const std::string& pngPath)
{
    std::string program = "rsvg-convert", format = "--format=png", outOption = "--output=" + pngPath, in = svgPath;
    char* argv[] = {program.data(), format.data(), outOption.data(), in.data(), nullptr};
    pid_t pid = -1;
    int status = 0;
    if (::posix_spawnp(&pid, program.c_str(), nullptr, nullptr, argv, environ) != 0) {
        std::cerr << "orvex log: a PNG needs rsvg-convert (Debian package librsvg2-bin); write OUT.svg instead\n";
        return false;
    }
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::cerr << "orvex log: rsvg-convert could not draw " << pngPath << "\n";
        std::remove(pngPath.c_str());
        return false;
    }
    return true;
}

int runPlot(const std::vector<std::string>& args)
{
    std::string list, file, output;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--fields" || a == "-o" || a == "--output") {
            if (i + 1 >= args.size()) return toolUsageError("log", a + " needs a value");
            (a == "--fields" ? list : output) = args[++i];
        } else if (!a.empty() && a[0] == '-') {
            return toolUsageError("log", "unknown option " + a);
        } else if (file.empty()) {
            file = a;
        } else {
            return toolUsageError("log", "plot takes one FILE");
        }
    }
    if (file.empty() || list.empty() || output.empty())
        return toolUsageError("log", "plot needs FILE, --fields a,b and -o OUT.svg|OUT.png");
    std::vector<const SPlotField*> fields;
    std::istringstream names(list);
    for (std::string n; std::getline(names, n, ',');) {
        const SPlotField* f = findPlotField(n);
        if (!f) return toolUsageError("log", "unknown field '" + n + "' (" + fieldNames() + ")");
        fields.push_back(f);
    }
    const std::string ext = std::filesystem::path(output).extension().string();
    if (ext != ".svg" && ext != ".png") return toolUsageError("log", "the output must end in .svg or .png");
    CRecordStore store;
    std::uint64_t size = 0;
    if (!loadLog(file, store, &size)) return 1;
    // A PNG is the same picture drawn by rsvg-convert (Debian's librsvg2-bin) from the SVG.
    const std::string svgPath = ext == ".png" ? output + ".svg.tmp" : output;
    std::ofstream out(svgPath, std::ios::binary);
    out << plotSvg(store, fields, std::filesystem::path(file).filename().string());
    out.close();
    if (!out) {
        std::cerr << "orvex log: cannot write " << svgPath << "\n";
        std::remove(svgPath.c_str());
        return 1;
    }
    if (ext == ".svg") return 0;
    const bool drawn = rasterise(svgPath, output);
    std::remove(svgPath.c_str());
    return drawn ? 0 : 1;
}

int runLog(const std::vector<std::string>& args)
{
    if (args.empty()) return toolUsageError("log", "missing subcommand (info, export or plot)");
    const std::vector<std::string> rest(args.begin() + 1, args.end());
    if (args[0] == "info") return runInfo(rest);
    if (args[0] == "export") return runExport(rest);
    if (args[0] == "plot") return runPlot(rest);
    return toolUsageError("log", "unknown subcommand '" + args[0] + "'");
}

CToolCommandRegistration reg{"log",
                             "log info FILE | log export --format csv|kml|gpx [--utc-offset HOURS] FILE [-o OUT] | "
                             "log plot FILE --fields a,b -o OUT.svg|OUT.png",
                             "summarise a flight log (.hj) as JSON, export it as CSV, KML or GPX, or plot its fields",
                             &runLog};

} // namespace
