// The values the pilot types into the input dialogs, read as plain numbers.
// Each reader returns false for a text it refuses (the dialog stays open);
// the value is then untouched.
#pragma once

namespace arvex {

// Target latitude [deg]: a decimal number in [-90, 90].
bool ReadLatitudeEntry(const char* text, double& latDeg);
// Target longitude [deg]: a decimal number in [-180, 180].
bool ReadLongitudeEntry(const char* text, double& lngDeg);
// Security altitude [m] from whole kilometres, at least 1 km.
bool ReadSecurityAltitudeEntry(const char* text, double& altitude);
// Altitude above target [m] from whole kilometres, 0 or more.
bool ReadAltitudeAboveTargetEntry(const char* text, double& altitude);

}  // namespace arvex
