// The registry and display side of the display acceleration keeper: the
// primary display driver's key named by the device map, and the current
// display mode set again. Windows only.
#pragma once

#include <memory>

#include "DisplayAcceleration.h"

std::unique_ptr<AccelerationSystem> systemAcceleration();
