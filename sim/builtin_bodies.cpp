// The built-in bodies: the Moon, Earth and Mars as airless spheres with their
// real size, mass, sidereal rotation and axial tilt, and a few bases each at
// their published coordinates.
//
// Sources:
//  - radius (volumetric mean), mass, sidereal rotation period and obliquity:
//    NASA Goddard NSSDCA planetary fact sheets
//    (nssdc.gsfc.nasa.gov/planetary/factsheet/), except the Moon's axial tilt,
//    which is the tilt of its equator to the ecliptic (1.5424 deg, Cassini's
//    laws; the fact sheet's 6.68 deg is the tilt to its own orbit);
//  - Apollo landing sites: lunar module positions of Davies & Colvin (2000),
//    "Lunar coordinates in the regions of the Apollo landers", J. Geophys.
//    Res. 105(E8), 20277-20280, as listed by NSSDCA and the Smithsonian NASM;
//  - Earth sites: published pad and runway coordinates (WGS84);
//  - Mars sites: NSSDCA lander positions (Viking 1, Mars Pathfinder), NASA/JPL
//    for the Perseverance landing point in Jezero crater, and the USGS
//    Gazetteer of Planetary Nomenclature for the summit of Olympus Mons.
//    Longitudes east positive (planetocentric), as in the host's frames.
// Base names are single words so that a pilot can type them.
#include <cmath>

#include "sim/units.h"
#include "sim/world.h"

namespace sim {

namespace {

constexpr double kSecondsPerHour = 3600.0;

Base base(const char* name, double latDeg, double lngDeg) {
  return Base{name, latDeg * kDeg, lngDeg * kDeg};
}

BodySpec moon() {
  BodySpec s;
  s.name = "Moon";
  s.radius_m = 1737.4e3;                            // volumetric mean radius 1737.4 km
  s.mass_kg = 0.07346e24;                           // 0.07346e24 kg
  s.rotation_period_s = 655.720 * kSecondsPerHour;  // sidereal rotation 655.720 h
  s.obliquity_rad = 1.5424 * kDeg;                  // equator to ecliptic
  s.bases = {
      base("Apollo11", 0.67416, 23.47314),    // Mare Tranquillitatis
      base("Apollo12", -3.01239, -23.42157),  // Oceanus Procellarum
      base("Apollo14", -3.64530, -17.47136),  // Fra Mauro
      base("Apollo15", 26.13222, 3.63386),    // Hadley-Apennine
      base("Apollo16", -8.97301, 15.50019),   // Descartes highlands
      base("Apollo17", 20.19080, 30.77168),   // Taurus-Littrow
  };
  return s;
}

BodySpec earth() {
  BodySpec s;
  s.name = "Earth";
  s.radius_m = 6371.0e3;                            // volumetric mean radius 6371.0 km
  s.mass_kg = 5.9722e24;                            // 5.9722e24 kg
  s.rotation_period_s = 23.9345 * kSecondsPerHour;  // sidereal rotation 23.9345 h
  s.obliquity_rad = 23.44 * kDeg;                   // obliquity to orbit 23.44 deg
  s.bases = {
      base("Canaveral", 28.60822, -80.60428),  // Kennedy Space Center, LC-39A
      base("Baikonur", 45.92028, 63.34222),    // Site 1, "Gagarin's Start"
      base("Kourou", 5.23917, -52.76833),      // Guiana Space Centre, ELA-3
      base("Wideawake", -7.96944, -14.39389),  // Wideawake Airfield, Ascension Island
  };
  return s;
}

BodySpec mars() {
  BodySpec s;
  s.name = "Mars";
  s.radius_m = 3389.5e3;                            // volumetric mean radius 3389.5 km
  s.mass_kg = 0.64169e24;                           // 0.64169e24 kg
  s.rotation_period_s = 24.6229 * kSecondsPerHour;  // sidereal rotation 24.6229 h
  s.obliquity_rad = 25.19 * kDeg;                   // obliquity to orbit 25.19 deg
  s.bases = {
      base("Olympus", 18.65, -133.8),     // Olympus Mons summit, 226.2 deg E
      base("Viking1", 22.27, -47.95),     // Chryse Planitia, 312.05 deg E
      base("Pathfinder", 19.13, -33.22),  // Ares Vallis
      base("Jezero", 18.4447, 77.4508),   // Perseverance, Octavia E. Butler Landing
  };
  return s;
}

}  // namespace

std::optional<BodySpec> builtinBody(const std::string& name) {
  if (name == "Moon") return moon();
  if (name == "Earth") return earth();
  if (name == "Mars") return mars();
  return std::nullopt;
}

std::vector<std::string> builtinBodyNames() { return {"Moon", "Earth", "Mars"}; }

}  // namespace sim
