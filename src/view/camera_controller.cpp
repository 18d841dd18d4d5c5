#include "view/camera_controller.h"

#include <GL/gl.h>

#include <cmath>

namespace velmora {

bool CameraController::handleMouse(std::uint32_t flags, double x, double y)
{
    if ((lastFlags & MK_RBUTTON) != 0 && (flags & MK_RBUTTON) != 0) {
        // Scaled by the distance's size, so zooming is proportional at any range and no distance (-1 would,
        // with d + 1) stops zooming for good.
        const double d = frame.eyeDistance();
        frame.addEyeDistance((std::fabs(d) + 1.0) * (y - lastY));
    }
    if ((lastFlags & MK_LBUTTON) != 0 && (flags & MK_LBUTTON) != 0) {
        const Mat3 r1 = axisRotation(verticalAxis, (y - lastY) * verticalGain);
        const Mat3 r2 = axisRotation(horizontalAxis, (x - lastX) * horizontalGain);
        frame.rotateBody(r1);
        frame.rotateWorld(r2);
    }
    lastFlags = flags;
    lastX = x;
    lastY = y;
    return true;
}

void CameraController::draw()
{
    if (lightingEnabled) {
        // Given while the modelview is still the identity, so the light stays fixed relative to the eye.
        static constexpr GLfloat position[] = {0.0f, 0.0f, 1.0f, 0.0f};
        static constexpr GLfloat ambient[] = {0.2f, 0.2f, 0.2f, 1.0f};
        static constexpr GLfloat diffuse[] = {0.7f, 0.7f, 0.7f, 1.0f};
        static constexpr GLfloat specular[] = {0.9f, 0.9f, 0.9f, 1.0f};
        glLightfv(GL_LIGHT0, GL_POSITION, position);
        glLightfv(GL_LIGHT0, GL_AMBIENT, ambient);
        glLightfv(GL_LIGHT0, GL_DIFFUSE, diffuse);
        glLightfv(GL_LIGHT0, GL_SPECULAR, specular);
        glEnable(GL_LIGHTING);
        glEnable(GL_LIGHT0);
    }
    frame.applyLookAt();
}

}  // namespace velmora
