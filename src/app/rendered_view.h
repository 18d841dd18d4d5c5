#pragma once

#include "app/render_options.h"
#include "app/view_defaults.h"
#include "geometry/angles.h"
#include "sim/formation.h"
#include "view/camera_controller.h"
#include "view/formation_drawable.h"
#include "view/offscreen_view.h"

#include <QSize>

namespace velmora {

// One of the dialog's views, off screen: its camera drawn first (light and look-at), then the formation.
struct RenderedView {
    RenderedView(QSize size, Formation& formation, const CameraPlacement& placement) : view(size)
    {
        camera.frame.setEyeDistance(placement.distance);
        camera.frame.rotateBody(axisRotation(1, degreesToRadians(placement.elevationDeg)));
        camera.frame.rotateWorld(axisRotation(2, degreesToRadians(placement.azimuthDeg)));
        camera.lightingEnabled = true;
        view.nearPlane = viewNearPlane;
        view.farPlane = viewFarPlane;
        view.frustumEnabled = true;
        view.frustumTracking = true;
        view.camera = &camera.frame;
        drawable.formation = &formation;
        drawable.frustum = &view.frustum;
        view.sceneList = {&camera, &drawable};
    }

    OffscreenView view;
    CameraController camera;
    FormationDrawable drawable;
};

}  // namespace velmora
