#include "geometry/mat3.h"

#include <gtest/gtest.h>

#include <cmath>

namespace velmora {
namespace {

constexpr double pi = 3.141592653589793;

void expectNear(const Vec3& a, const Vec3& b, double tol = 1e-12)
{
    EXPECT_NEAR(a.x, b.x, tol);
    EXPECT_NEAR(a.y, b.y, tol);
    EXPECT_NEAR(a.z, b.z, tol);
}

void expectNear(const Mat3& a, const Mat3& b, double tol = 1e-12)
{
    for (int i = 0; i < 9; ++i)
        EXPECT_NEAR(a.m[i], b.m[i], tol) << "element " << i;
}

TEST(Vec3, NormalizeRefusesZeroAndScalesOthersToUnitLength)
{
    Vec3 zero;
    EXPECT_FALSE(normalize(zero));
    EXPECT_EQ(zero, Vec3(0, 0, 0));

    Vec3 v{0, 3, 4};
    EXPECT_TRUE(normalize(v));
    expectNear(v, {0, 0.6, 0.8}, 1e-15);

    Vec3 nan{std::nan(""), 0, 0};
    EXPECT_FALSE(normalize(nan));
}

TEST(Vec3, InPlaceOperationsChangeTheirFirstArgumentAndReturnIt)
{
    Vec3 a{1, 2, 3};
    EXPECT_EQ(addInPlace(a, {1, 1, 1}), Vec3(2, 3, 4));
    EXPECT_EQ(a, Vec3(2, 3, 4));
    EXPECT_EQ(subtractInPlace(a, {2, 3, 4}), Vec3(0, 0, 0));
    EXPECT_EQ(scale({1, -2, 3}, 2), Vec3(2, -4, 6));
    EXPECT_EQ(dot({1, 2, 3}, {4, 5, 6}), 32.0);
    EXPECT_EQ(length({2, 3, 6}), 7.0);
}

TEST(Mat3, StorageIsColumnMajor)
{
    Mat3 a;
    for (int i = 0; i < 9; ++i)
        a.m[i] = i;
    EXPECT_EQ(column(a, 2), Vec3(6, 7, 8));
    EXPECT_EQ(a(1, 2), 7.0);  // row 1, column 2
    EXPECT_EQ(timesVector(a, {1, 0, 0}), Vec3(0, 1, 2));
    EXPECT_EQ(column(Mat3{}, 2), Vec3(0, 0, 1));
}

TEST(Mat3, ProductsGiveTheWorkedOutValues)
{
    Mat3 a;
    Mat3 b;
    for (int i = 0; i < 9; ++i) {
        a.m[i] = i + 1;
        b.m[i] = 2 * i - 3;
    }
    // Worked out by hand, column by column.
    const Mat3 ab{{0, -3, -6, 72, 87, 102, 144, 177, 210}};
    EXPECT_EQ(product(a, b), ab);
    EXPECT_EQ(transposeProduct(a, b), product(transpose(a), b));
    EXPECT_EQ(transposeProduct(transpose(a), b), ab);
}

TEST(AxisAngle, TinyAxesGiveTheIdentityAndTheThresholdIsStrict)
{
    EXPECT_EQ(axisAngle({0, 0, 0}, 1.3), Mat3{});
    EXPECT_EQ(axisAngle({1e-5, 0, 0}, 1.3), Mat3{});  // squared length 1e-10
    // The smallest axis length whose square reaches 1e-9 is used; the one below it is not.
    double x = std::sqrt(1e-9);
    while (x * x < 1e-9)
        x = std::nextafter(x, 1.0);
    while (std::nextafter(x, 0.0) * std::nextafter(x, 0.0) >= 1e-9)
        x = std::nextafter(x, 0.0);
    expectNear(timesVector(axisAngle({x, 0, 0}, pi / 2), {0, 1, 0}), {0, 0, 1});
    EXPECT_EQ(axisAngle({std::nextafter(x, 0.0), 0, 0}, pi / 2), Mat3{});
    EXPECT_EQ(axisAngle({0, 1, 0}, 0.0), Mat3{});
}

TEST(AxisAngle, TurnsRightHandedIndependentlyOfAxisLength)
{
    expectNear(timesVector(axisAngle({0, 0, 2}, pi / 2), {1, 0, 0}), {0, 1, 0});
    expectNear(axisAngle({0, 0, 2}, 0.7), axisAngle({0, 0, 1}, 0.7));
    // The quaternion form writes 1 - 2Y^2 - 2Z^2 as (1 - 2YY) - 2ZZ; check one entry bit for bit.
    const double h = 0.5 * 0.3;
    const double s = std::sin(h);
    const double y = s * 0.6;
    const double z = s * 0.8;
    EXPECT_EQ(axisAngle({0, 3, 4}, 0.3).m[0], (1.0 - 2.0 * y * y) - 2.0 * z * z);
}

TEST(AxisRotation, IsTheTransposeOfTheAxisAngleRotation)
{
    for (int k = 0; k < 3; ++k) {
        Vec3 axis;
        axis[k] = 1.0;
        expectNear(axisRotation(k, 0.4), transpose(axisAngle(axis, 0.4)), 1e-15);
    }
    expectNear(timesVector(axisRotation(0, pi / 2), {0, 1, 0}), {0, 0, -1});
    const Mat3 r = axisRotation(1, 0.25);
    EXPECT_EQ(r(0, 2), -std::sin(0.25));
    EXPECT_EQ(r(2, 0), std::sin(0.25));
}

TEST(AxisAngle, InverseOnTheTransposeSideEqualsForwardProduct)
{
    Mat3 a = product(axisAngle({1, 2, 3}, 0.9), axisAngle({0, 1, 0}, -0.4));
    const Vec3 u{0.3, -1, 0.2};
    expectNear(transposeProduct(axisAngle(u, -0.61), a), product(axisAngle(u, 0.61), a), 1e-14);
}

}  // namespace
}  // namespace velmora
