#pragma once

#include "plot/plot_style.h"

#include <QImage>
#include <QRectF>

#include <optional>
#include <string>
#include <vector>

class QPainter;

namespace velmora {

enum class PlotFormat { Png, Svg, Pdf };

// The format a plot file's name asks for by its extension (any case): .png, .svg or .pdf; nothing for others.
std::optional<PlotFormat> plotFormatOf(const std::string& path);

// How large a plot is drawn: inches on paper, and for PNG the pixels per inch.
struct PlotSize {
    double widthInches = 3.5;
    double heightInches = 2.6;
    int dpi = 300;
};

// A sweep for a paper's column: two panels over one numeric x (the field of view). The upper one draws a
// fraction (0..100 %) with its interval, the lower one a median time with its interquartile range, on a
// logarithmic axis when the times span a factor of ten or more. Every series has its own colour, marker and
// dash, so it reads in grey print too; a point without a time leaves a gap in the lower panel. Sizes are
// in points (1/72 inch), so text keeps its size on paper whatever the file's resolution.
class SweepPlot {
public:
    struct Spread {
        double low = 0.0;
        double middle = 0.0;
        double high = 0.0;
    };
    struct Point {
        double x = 0.0;
        Spread fraction;
        std::optional<Spread> time;
    };
    struct Series {
        std::string name;
        std::vector<Point> points;
    };
    // Where the parts of a plot of a given size lie, in points from its top left corner.
    struct Layout {
        QRectF fractionPanel;
        QRectF timePanel;
        QRectF legend;
    };

    SweepPlot(std::string title, std::string xLabel, std::string fractionLabel, std::string timeLabel);

    void addSeries(Series series);

    // Needs a QGuiApplication (for fonts).
    Layout layout(double widthPoints, double heightPoints) const;

    // The plot as a PNG would hold it: size.widthInches · size.dpi pixels wide. Needs a QGuiApplication.
    QImage render(const PlotSize& size) const;

    // The bytes of the plot's file; brings its own QGuiApplication when the program has none. Throws
    // std::runtime_error.
    std::string encode(PlotFormat format, const PlotSize& size) const;

    // Writes the plot in the format its name's extension asks for; the old file survives a failed write.
    // Throws std::runtime_error (FileError when the file cannot be written).
    void save(const std::string& path, const PlotSize& size) const;

    // The colour of series i, the same in the panels and the legend.
    static QColor seriesColor(int i);

private:
    // Where the panels lie and how values map into them, for one drawing.
    struct Frame {
        Layout layout;
        double xMin = 0.0;
        double xMax = 0.0;
        std::vector<double> xTicks;
        TimeAxis time;
        bool anyTime = false;

        double toX(double x) const;
        double fractionY(double fraction) const;
        double timeY(double t) const;
    };

    Frame frame(double widthPoints, double heightPoints) const;
    void draw(QPainter& p, double widthPoints, double heightPoints) const;
    void drawAxes(QPainter& p, const Frame& f) const;
    void drawSeries(QPainter& p, const Frame& f, int index) const;
    void drawLegend(QPainter& p, const QRectF& legend) const;

    std::string title_;
    std::string xLabel_;
    std::string fractionLabel_;
    std::string timeLabel_;
    std::vector<Series> series_;
};

}  // namespace velmora
