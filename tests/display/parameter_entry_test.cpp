// The readers of the values typed into the input dialogs: which texts each
// accepts, and the number it makes of them (degrees, or metres from whole
// kilometres). A refused text leaves the value as it was.
#include "display/parameter_entry.h"

#include <gtest/gtest.h>

#include <ostream>

using namespace arvex;  // the module's own names

namespace {

using Reader = bool (*)(const char*, double&);

struct EntryCase {
  const char* field;
  Reader read;
  const char* text;
  bool accepted;
  double stored;  // [deg] or [m], when accepted
};
void PrintTo(const EntryCase& c, std::ostream* os) { *os << c.field << " \"" << c.text << "\""; }

class EntryReading : public ::testing::TestWithParam<EntryCase> {};

TEST_P(EntryReading, AcceptsOrRefusesAsATypedValue) {
  const EntryCase& c = GetParam();
  double value = 33;  // away from every value a case stores, so a change shows
  EXPECT_EQ(c.read(c.text, value), c.accepted);
  EXPECT_EQ(value, c.accepted ? c.stored : 33);
}

INSTANTIATE_TEST_SUITE_P(
    Dialogs, EntryReading,
    ::testing::Values(
        // Latitude: -90..90 with both ends; atof's meaning otherwise.
        EntryCase{"latitude", ReadLatitudeEntry, "90", true, 90},
        EntryCase{"latitude", ReadLatitudeEntry, "-90", true, -90},
        EntryCase{"latitude", ReadLatitudeEntry, "90.01", false, 0},
        EntryCase{"latitude", ReadLatitudeEntry, "letters", true, 0},
        EntryCase{"latitude", ReadLatitudeEntry, "  12.5xyz", true, 12.5},
        EntryCase{"latitude", ReadLatitudeEntry, "nan", false, 0},
        EntryCase{"latitude", ReadLatitudeEntry, "-NAN", false, 0},
        EntryCase{"latitude", ReadLatitudeEntry, "inf", false, 0},
        EntryCase{"latitude", ReadLatitudeEntry, "1e999", false, 0},
        EntryCase{"latitude", ReadLatitudeEntry, "\xff\xfe\x80", true, 0},
        // Longitude: -180..180 with both ends.
        EntryCase{"longitude", ReadLongitudeEntry, "-180", true, -180},
        EntryCase{"longitude", ReadLongitudeEntry, "180", true, 180},
        EntryCase{"longitude", ReadLongitudeEntry, "180.5", false, 0},
        EntryCase{"longitude", ReadLongitudeEntry, "NaN", false, 0},
        EntryCase{"longitude", ReadLongitudeEntry, "-infinity", false, 0},
        // Security altitude: whole km from 1, atoi's meaning, no overflow.
        EntryCase{"security", ReadSecurityAltitudeEntry, "2.9", true, 2000},
        EntryCase{"security", ReadSecurityAltitudeEntry, " +12", true, 12000},
        EntryCase{"security", ReadSecurityAltitudeEntry, "0", false, 0},
        EntryCase{"security", ReadSecurityAltitudeEntry, "-5", false, 0},
        EntryCase{"security", ReadSecurityAltitudeEntry, "letters", false, 0},
        EntryCase{"security", ReadSecurityAltitudeEntry, "1000000", true, 1e9},
        EntryCase{"security", ReadSecurityAltitudeEntry, "1000001", false, 0},
        EntryCase{"security", ReadSecurityAltitudeEntry, "2147484", false,
                  0},  // n * 1000 past INT_MAX
        EntryCase{"security", ReadSecurityAltitudeEntry, "99999999999999999999999999", false, 0},
        EntryCase{"security", ReadSecurityAltitudeEntry, "nan", false, 0},
        // Altitude above target: whole km from 0.
        EntryCase{"above", ReadAltitudeAboveTargetEntry, "0", true, 0},
        EntryCase{"above", ReadAltitudeAboveTargetEntry, "letters", true, 0},
        EntryCase{"above", ReadAltitudeAboveTargetEntry, "12.7", true, 12000},
        EntryCase{"above", ReadAltitudeAboveTargetEntry, "-1", false, 0},
        EntryCase{"above", ReadAltitudeAboveTargetEntry, "-99999999999999999999", false, 0},
        EntryCase{"above", ReadAltitudeAboveTargetEntry, "18446744073709551617", false, 0}));

TEST(EntryReading, NullTextIsRefusedByEveryReader) {
  for (const Reader read : {ReadLatitudeEntry, ReadLongitudeEntry, ReadSecurityAltitudeEntry,
                            ReadAltitudeAboveTargetEntry}) {
    double value = 33;
    EXPECT_FALSE(read(nullptr, value));
    EXPECT_EQ(value, 33);
  }
}

}  // namespace
