// Every text the display shows or the pilot is asked, one table per language.
// Texts are Windows-1252 bytes: "\xE9" is e-acute, "\xB0" the degree sign. A
// literal is split where a hex escape would otherwise swallow the following
// letter ("s\xE9" "curit\xE9").
#pragma once

namespace arvex {

struct DisplayTexts {
  // Titles of the two modes.
  const char* titleGrounded;
  const char* titleInFlight;
  // Common rows.
  const char* targetHeader;
  const char* noTarget;
  const char* securityAltFormat;     // securityAlt [km]
  const char* altAboveTargetFormat;  // altAboveTarget [km]
  const char* engineMain;
  const char* engineHover;
  // Ground solution.
  const char* headingFormat;         // heading [deg]
  const char* velocityVectorFormat;  // launchAngle, flightPathAngle [deg]
  // Page 2/2.
  const char* closingWords;
  // Dialog prompts.
  const char* targetPrompt;
  const char* latitudePrompt;
  const char* longitudePrompt;
  const char* securityAltPrompt;
  const char* altAboveTargetPrompt;
};

inline constexpr DisplayTexts kEnglishTexts = {
    "Lobarc Launch MFD/Grounded",
    "Lobarc Launch MFD/Not Grounded",
    "Target",
    "No Target",
    "Security Alt: %.1f km",
    "Alt above target: %.1f km",
    "Engine : Main",
    "Engine : Hovers",
    "Heading : %+.0f\xB0",
    "Velocity Vector : %+.0f\xB0 (%+.0f\xB0)",
    "VeltrixCorp. wishes you a nice burn",
    "Select Target :",
    "Enter latitude :",
    "Enter longitude :",
    "Enter security altitude (km):",
    "Enter altitude above target (km):",
};

inline constexpr DisplayTexts kFrenchTexts = {
    "Lobarc Launch MFD/Au sol",
    "Lobarc Launch MFD/En vol",
    "Cible",
    "Pas de cible",
    "Alt de s\xE9"
    "curit\xE9: %.1f km",
    "Alt survol cible: %.1f km",
    "Moteur : Principal",
    "Moteur : Ventral",
    "Direction : %+.0f\xB0",
    "Vecteur vitesse : %+.0f\xB0 (%+.0f\xB0)",
    "RududadOzede. vous souhaite un bon vol",
    "Choix de la destination :",
    "Choisir latitude :",
    "Choisir longitude :",
    "Choisir altitude de s\xE9"
    "curit\xE9 (km):",
    "Choisir altitude de survol (km):",
};

inline const DisplayTexts& TextsFor(bool english) { return english ? kEnglishTexts : kFrenchTexts; }

// Texts that are the same in both languages.
inline constexpr const char* kPositionHeader = "Position";
inline constexpr const char* kLatFormat = "Lat:%+.2f";  // [deg]
inline constexpr const char* kLngFormat = "Lng:%+.2f";  // [deg]
inline constexpr const char* kApoapsisFormat = "hMax : %.1f km";
inline constexpr const char* kVTanFormat = "vTan : %.0f m/s";
inline constexpr const char* kDeltaVFormat = "DeltaV : %.0f m/s";
inline constexpr const char* kPitchFormat = "Pitch : %.0f\xB0 (%.0f\xB0)";  // pitchCmd, actualPitch
inline constexpr const char* kMeco = "MECO";
inline constexpr const char* kDvFirstPageFormat = "Dv : %.1f m/s";
inline constexpr const char* kDvSecondPageFormat = " Dv : %.1f m/s";
inline constexpr const char* kFirstPageNumber = "1/2";
inline constexpr const char* kSecondPageNumber = "2/2";
inline constexpr const char* kMarker = "+";

}  // namespace arvex
