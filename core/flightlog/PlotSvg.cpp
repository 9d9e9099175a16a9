#include "flightlog/PlotSvg.h"

#include "flightlog/FlightSummary.h"
#include "flightlog/PlotFields.h"
#include "flightlog/RecordStore.h"
#include "protocol/TelemetryRecord.h"
#include "base/Format.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace orvex {

namespace {

constexpr int kLeft = 70, kRight = 20, kTop = 30, kGap = 30;

std::string xmlText(const std::string& s)
{
    std::string out;
    for (char c : s)
        out += c == '<' ? "&lt;" : c == '>' ? "&gt;" : c == '&' ? "&amp;" : std::string(1, c);
    return out;
}

} // namespace

std::string plotSvg(const CRecordStore& store, std::span<const SPlotField* const> fields, const std::string& title)
{
    // Time of each counted record, seconds from the first clock.
    std::vector<std::size_t> rows;
    std::vector<double> seconds;
    std::optional<long> lastClock;
    double elapsed = 0;
    for (std::size_t i = 0; i < store.count(); ++i) {
        const std::uint8_t* rec = store.record(i);
        if (!recordChecksumOk(rec) || recordIsEmpty(rec)) continue;
        if (const auto t = recordTimeOfDay(rec)) {
            if (lastClock) elapsed += ((*t - *lastClock) % kSecondsPerDay + kSecondsPerDay) % kSecondsPerDay;
            lastClock = t;
        }
        rows.push_back(i);
        seconds.push_back(elapsed);
    }
    const double span = seconds.empty() ? 0 : std::max(1.0, seconds.back());
    const int plotWidth = kPlotSvgWidth - kLeft - kRight;
    const int panelHeight = kPlotSvgPanelHeight - kGap;
    const int height = kTop + int(fields.size()) * kPlotSvgPanelHeight;
    std::string svg = strprintf("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%d\" height=\"%d\" "
                                "viewBox=\"0 0 %d %d\" font-family=\"sans-serif\" font-size=\"12\">\n"
                                "<rect width=\"100%%\" height=\"100%%\" fill=\"white\"/>\n"
                                "<text x=\"%d\" y=\"20\" font-size=\"14\">%s</text>\n",
                                kPlotSvgWidth, height, kPlotSvgWidth, height, kLeft, xmlText(title).c_str());
    for (std::size_t k = 0; k < fields.size(); ++k) {
        const SPlotField& f = *fields[k];
        std::vector<double> values(rows.size());
        double lo = 0, hi = 0;
        for (std::size_t j = 0; j < rows.size(); ++j) {
            CTelemetryRecord::Bytes b;
            std::memcpy(b.data(), store.record(rows[j]), b.size());
            values[j] = f.read(CTelemetryRecord(b));
            lo = j ? std::min(lo, values[j]) : values[j];
            hi = j ? std::max(hi, values[j]) : values[j];
        }
        if (hi - lo < 1e-9) {
            lo -= 1;
            hi += 1;
        }
        const int top = kTop + int(k) * kPlotSvgPanelHeight;
        const auto y = [&](double v) { return top + panelHeight * (hi - v) / (hi - lo); };
        svg += strprintf("<g class=\"plot\" data-field=\"%s\">\n"
                         "<rect x=\"%d\" y=\"%d\" width=\"%d\" height=\"%d\" fill=\"none\" stroke=\"#888\"/>\n"
                         "<text x=\"%d\" y=\"%d\">%s %s%s%s</text>\n"
                         "<text x=\"%d\" y=\"%d\" text-anchor=\"end\">%s</text>\n"
                         "<text x=\"%d\" y=\"%d\" text-anchor=\"end\">%s</text>\n",
                         f.name, kLeft, top, plotWidth, panelHeight, kLeft + 4, top + 14, f.label, f.name,
                         *f.unit ? " / " : "", f.unit, kLeft - 4, top + 10, plotValueText(f, hi).c_str(), kLeft - 4,
                         top + panelHeight, plotValueText(f, lo).c_str());
        // One column per pixel: the lowest and the highest value that falls in it.
        std::string points;
        int column = -1;
        double cMin = 0, cMax = 0;
        const auto flush = [&] {
            if (column < 0) return;
            points += strprintf("%d,%.1f %d,%.1f ", kLeft + column, y(cMin), kLeft + column, y(cMax));
        };
        for (std::size_t j = 0; j < rows.size(); ++j) {
            const int c = std::min(plotWidth - 1, int(seconds[j] / span * (plotWidth - 1)));
            if (c != column) {
                flush();
                column = c;
                cMin = cMax = values[j];
            } else {
                cMin = std::min(cMin, values[j]);
                cMax = std::max(cMax, values[j]);
            }
        }
        flush();
        if (!points.empty()) points.pop_back();
        svg += "<polyline fill=\"none\" stroke=\"#1565c0\" stroke-width=\"1\" points=\"" + points + "\"/>\n";
        svg += strprintf("<text x=\"%d\" y=\"%d\" text-anchor=\"end\">%.0f s</text>\n</g>\n", kLeft + plotWidth,
                         top + panelHeight + 14, seconds.empty() ? 0.0 : seconds.back());
    }
    svg += "</svg>\n";
    return svg;
}

} // namespace orvex
