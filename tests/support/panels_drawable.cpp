#include "support/panels_drawable.h"

#include <GL/gl.h>

namespace velmora {
namespace {

void quad(const QColor& c, double x0, double y0, double x1, double y1)
{
    glColor3ub(static_cast<GLubyte>(c.red()), static_cast<GLubyte>(c.green()), static_cast<GLubyte>(c.blue()));
    glRectd(x0, y0, x1, y1);
}

}  // namespace

void PanelsDrawable::draw()
{
    ++renderings;
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0.0, 1.0, 1.0, 0.0, -1.0, 1.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_LIGHTING);
    quad(left, 0.0, 0.0, 0.5, 1.0);
    quad(right, 0.5, 0.0, 1.0, 1.0);
    quad(corner, 0.1, 0.1, 0.3, 0.3);
}

QRgb pixelAt(const QImage& image, double fx, double fy)
{
    return image.pixel(static_cast<int>(fx * image.width()), static_cast<int>(fy * image.height()));
}

void expectPanels(const QImage& image, const PanelsDrawable& panels)
{
    EXPECT_EQ(pixelAt(image, 0.25, 0.75), panels.left.rgb());
    EXPECT_EQ(pixelAt(image, 0.75, 0.5), panels.right.rgb());
    EXPECT_EQ(pixelAt(image, 0.2, 0.2), panels.corner.rgb());
}

}  // namespace velmora
