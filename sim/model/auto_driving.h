// Automatic driving as the host reads the plug-in's tables: the notches its
// automatic mode powers with, for forecasts made without the plug-in.
#pragma once

namespace auto_driving {

// The power notch automatic driving runs with at a speed, `deficit` km/h
// below its target (negative above it).
int PowerNotch(double kmh, double deficit);

}  // namespace auto_driving
