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

// A sweep for a paper's column: two panels over one numeric x (the field of view, or any parameter the
// sweep varies). The upper one draws a fraction (0..100 %) with its interval, the lower one a time with its
// interval, on a logarithmic axis when the times span a factor of ten or more, so one slow plan does not
// flatten the others. Every series has its own colour, marker and dash, so it reads in grey print too; a
// point without a time leaves a gap in the lower panel. A sweep over more parameters draws a grid of such
// pairs, one per value of up to two of them, on shared axes. The curves kind draws one panel per grid cell
// instead: the fraction (y) reached by each time (x), as steps. A caption under the plot says what every
// panel shares, and the file's metadata holds the whole provenance as JSON (a PNG text chunk "velmora", an
// SVG <metadata> element, a PDF's XMP description). Sizes are in points (1/72 inch), so text keeps its size
// on paper whatever the file's resolution.
class SweepPlot {
public:
    enum class Kind { Sweep, Curves };
    struct Spread {
        double low = 0.0;
        double middle = 0.0;
        double high = 0.0;
    };
    struct Point {
        double x = 0.0;
        Spread fraction;
        std::optional<Spread> time;
        // The grid cell, row by row: row * columns + column.
        int panel = 0;
    };
    struct Series {
        std::string name;
        std::vector<Point> points;
    };
    // Where the parts of a plot of a given size lie, in points from its top left corner.
    // The first grid cell's panels (a Curves plot has no time panel), the legend, and every cell's.
    struct Cell {
        QRectF fraction;
        QRectF time;
    };
    struct Layout {
        QRectF fractionPanel;
        QRectF timePanel;
        QRectF legend;
        std::vector<Cell> cells;
        QRectF caption;
    };

    SweepPlot(std::string title, std::string xLabel, std::string fractionLabel, std::string timeLabel,
              Kind kind = Kind::Sweep);

    void addSeries(Series series);
    // A grid of panels: one column per label in columns, one row per label in rows (each at least one; an
    // empty label draws none).
    void setPanels(std::vector<std::string> columns, std::vector<std::string> rows);
    // Words under the plot, wrapped to its width.
    void setCaption(std::string caption);
    // Kept in the file, not drawn: the JSON that says how to make the plot again.
    void setMetadata(std::string json);

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
    // Where the panels lie and how values map into them, for one drawing: every cell shares the axes.
    struct Frame {
        Layout layout;
        double xMin = 0.0;
        double xMax = 0.0;
        std::vector<double> xTicks;
        // A Curves plot's x is a time.
        std::optional<TimeAxis> xTime;
        TimeAxis time;
        bool anyTime = false;

        double toX(const Cell& cell, double x) const;
        double fractionY(const Cell& cell, double fraction) const;
        double timeY(const Cell& cell, double t) const;
    };

    int columns() const { return static_cast<int>(columns_.size()); }
    int rows() const { return static_cast<int>(rows_.size()); }
    Frame frame(double widthPoints, double heightPoints) const;
    void draw(QPainter& p, double widthPoints, double heightPoints) const;
    void drawAxes(QPainter& p, const Frame& f, int cell) const;
    void drawSeries(QPainter& p, const Frame& f, int index, int cell) const;
    void drawCurve(QPainter& p, const Frame& f, int index, int cell) const;
    void drawLegend(QPainter& p, const QRectF& legend) const;

    std::string title_;
    std::string xLabel_;
    std::string fractionLabel_;
    std::string timeLabel_;
    Kind kind_ = Kind::Sweep;
    std::vector<Series> series_;
    std::vector<std::string> columns_{""};
    std::vector<std::string> rows_{""};
    std::string caption_;
    std::string metadata_;
};

}  // namespace velmora
