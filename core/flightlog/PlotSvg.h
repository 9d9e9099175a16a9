#pragma once
// A flight log's fields as curves in an SVG picture, for reports (`orvex log plot`): one plot per
// field, stacked, over a shared time axis in seconds from the first record with a clock.

#include <span>
#include <string>

namespace orvex {

class CRecordStore;
struct SPlotField;

inline constexpr int kPlotSvgWidth = 1000;
inline constexpr int kPlotSvgPanelHeight = 200;

// Counted records only (good checksum, not empty); records without a clock sit at the time of
// the one before. Each curve is decimated to at most two points (the lowest and the highest) per
// horizontal pixel.
std::string plotSvg(const CRecordStore& store, std::span<const SPlotField* const> fields, const std::string& title);

} // namespace orvex
