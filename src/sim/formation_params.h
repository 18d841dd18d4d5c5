#pragma once

#include "geometry/angles.h"
#include "geometry/vec3.h"

namespace velmora {

// What craft are placed from: a box, a speed limit, the body radius and the two sensor angles (radians).
struct FormationParams {
    FormationParams() = default;
    FormationParams(double maxSpeed, double boxHalfSize)
        : boxMin{-boxHalfSize, -boxHalfSize, -boxHalfSize}, boxMax{boxHalfSize, boxHalfSize, boxHalfSize},
          MaxSpeed(maxSpeed)
    {
    }

    Vec3 boxMin;
    Vec3 boxMax;
    double MaxSpeed = 0.0;
    double craftRadius = 0.0;
    double ThetaFOV = quarterPi;
    double ThetaTilt = quarterPi;
};

}  // namespace velmora
