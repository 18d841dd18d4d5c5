#pragma once

#include "view/drawable.h"

#include <QColor>
#include <QImage>

#include <gtest/gtest.h>

namespace velmora {

// Paints its view in three flat colours over whatever the scene drew, in window coordinates: a left half, a
// right half and a square in the top-left quarter. Counts how often it was asked to draw, so a test can tell
// whether something rendered.
class PanelsDrawable : public Drawable {
public:
    PanelsDrawable() = default;
    PanelsDrawable(QColor l, QColor r, QColor c) : left(l), right(r), corner(c) {}
    void draw() override;
    virtual ~PanelsDrawable() = default;

    QColor left{200, 30, 30};
    QColor right{20, 40, 220};
    QColor corner{40, 210, 60};
    int renderings = 0;
};

// The pixel at a fraction of the image's width and height.
QRgb pixelAt(const QImage& image, double fx, double fy);

// The image shows the panels' three colours where they were painted.
void expectPanels(const QImage& image, const PanelsDrawable& panels);

}  // namespace velmora
