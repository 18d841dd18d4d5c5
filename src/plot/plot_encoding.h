#pragma once

#include "plot/sweep_plot.h"

#include <functional>
#include <string>

class QPainter;

namespace velmora {

// Draws a figure of width by height points.
using PlotDrawing = std::function<void(QPainter& p, double widthPoints, double heightPoints)>;

// The bytes of a figure's file: a PNG at size.dpi, or an SVG or PDF of size.widthInches by heightInches; brings
// its own QGuiApplication when the program has none. metadata (JSON saying what made the figure; none when
// empty) goes where each format keeps it: a PNG text chunk "velmora", an SVG <metadata> element, the PDF's XMP
// description. Throws std::runtime_error.
std::string encodePlot(PlotFormat format, const PlotSize& size, const std::string& title, const std::string& metadata,
                       const PlotDrawing& draw);

// The figure as a PNG would hold it: size.widthInches · size.dpi pixels wide. Needs a QGuiApplication.
QImage renderPlot(const PlotSize& size, const PlotDrawing& draw);

}  // namespace velmora
