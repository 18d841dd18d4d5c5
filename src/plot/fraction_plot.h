#pragma once

#include <QImage>

#include <string>
#include <vector>

namespace velmora {

// A fraction (drawn as 0..100 %) against a numeric x: one line with markers per series, an interval bar
// at every point, axes with ticks and a legend beside the plot. Drawn with QPainter, no window needed.
class FractionPlot {
public:
    struct Point {
        double x = 0.0;
        double fraction = 0.0;
        double low = 0.0;
        double high = 0.0;
    };
    struct Series {
        std::string name;
        std::vector<Point> points;
    };

    FractionPlot(std::string title, std::string xLabel, std::string yLabel);

    void addSeries(Series series);

    // Needs a QGuiApplication (for fonts); savePng brings its own when the program has none.
    QImage render(int width, int height) const;

    // The plot as the bytes of a PNG file. Throws std::runtime_error.
    std::string png(int width, int height) const;

    // Writes the plot as a PNG file; the old file survives a failed write. Throws std::runtime_error
    // (FileError when the file cannot be written).
    void savePng(const std::string& path, int width, int height) const;

    // The colour of series i, the same in the lines and the legend.
    static QColor seriesColor(int i);

private:
    std::vector<double> xTicks(double xMin, double xMax) const;

    std::string title_;
    std::string xLabel_;
    std::string yLabel_;
    std::vector<Series> series_;
};

}  // namespace velmora
