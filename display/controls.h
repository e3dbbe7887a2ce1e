// The display's twelve buttons as plain tables: the key each stands for, its
// label, and the help page of the buttons in both languages.
#pragma once

#include "host_sdk.h"

namespace arvex {

inline constexpr int kButtonCount = 12;

// Key codes (PC keyboard scan codes) of the keys the display consumes.
inline constexpr DWORD kKeyW = 17;  // blank buttons: not consumed
inline constexpr DWORD kKeyE = 18;  // engine
inline constexpr DWORD kKeyR = 19;  // reset
inline constexpr DWORD kKeyT = 20;  // target base
inline constexpr DWORD kKeyP = 25;  // page
inline constexpr DWORD kKeyS = 31;  // switch mode
inline constexpr DWORD kKeyL = 38;  // latitude
inline constexpr DWORD kKeyZ = 44;  // security altitude
inline constexpr DWORD kKeyB = 48;  // altitude above target
inline constexpr DWORD kKeyN = 49;  // longitude

// The key each button stands for, in button order.
inline constexpr DWORD kButtonKeys[kButtonCount] = {kKeyT, kKeyL, kKeyN, kKeyZ, kKeyB, kKeyR,
                                                    kKeyS, kKeyW, kKeyE, kKeyW, kKeyW, kKeyP};

// Labels are the same in both languages; blank buttons carry one space.
inline constexpr const char* kButtonLabels[kButtonCount] = {
    "TGT", "LAT", "LON", "ALT", "ABV", "RST", "SWT", " ", "ENG", " ", " ", "PG"};

inline const MFDBUTTONMENU kMenuEnglish[kButtonCount] = {
    {"Target", nullptr, 'T'},
    {"Latitude", nullptr, 'L'},
    {"Longitude", nullptr, 'N'},
    {"Security alt", nullptr, 'Z'},
    {"Alt above target", nullptr, 'B'},
    {"Reset", nullptr, 'R'},
    {"Switch", nullptr, 'S'},
    {"", nullptr, 'W'},
    {"Choose engine", nullptr, 'E'},
    {"", nullptr, 'W'},
    {"", nullptr, 'W'},
    {"Page", nullptr, 'P'},
};

inline const MFDBUTTONMENU kMenuFrench[kButtonCount] = {
    {"Cible", nullptr, 'T'},
    {"Latitude", nullptr, 'L'},
    {"Longitude", nullptr, 'N'},
    {"Alt de s\xE9"
     "curit\xE9",
     nullptr, 'Z'},
    {"Alt de survol", nullptr, 'B'},
    {"Reset", nullptr, 'R'},
    {"Switch", nullptr, 'S'},
    {"", nullptr, 'W'},
    {"Choix du moteur", nullptr, 'E'},
    {"", nullptr, 'W'},
    {"", nullptr, 'W'},
    {"Page", nullptr, 'P'},
};

// The help page of the buttons in the display's language.
inline const MFDBUTTONMENU* ButtonMenuFor(bool english) {
  return english ? kMenuEnglish : kMenuFrench;
}

}  // namespace arvex
