#pragma once

#include "machine/JoyOPVS.h"

// The joystick dialog's sensitivity picture: a square in which the distance of the sensitivity
// point from the centre is the axes' dead zone, and a cross that follows the stick under test.
namespace joydialog {

struct Point {
    int x = 0, y = 0;
    bool operator==(const Point&) const = default;
};

inline constexpr int kPictureSize = 57;
inline constexpr int kCrossMargin = 3;

// The point a stored sensitivity puts below the centre.
Point SensitivityPoint(int sensitivity, int width, int height);
// The sensitivity a point stands for: its distance from the centre over half the width, in
// percent (not limited: a point in a corner is past full deflection).
int SensitivityOf(Point point, int width, int height);
// Distance of a point from the picture's centre.
double DistanceFromCentre(Point point, int width, int height);
// Where the cross stands for a reading: the stick's X and Y, or the hat `hat` (-1: the axes).
Point CrossPosition(const JoyControllerState& reading, int hat, int width, int height);

}  // namespace joydialog
