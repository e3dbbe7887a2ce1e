// Readable, stable names for the cases of a parameterised suite: a case's
// description with every character a test name cannot hold turned into '_'
// ("grounded, flying" -> "grounded__flying").
#pragma once

#include <cctype>
#include <string>

namespace testsupport {

inline std::string CaseName(const char* description) {
  std::string name = description;
  for (char& c : name) {
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  }
  return name;
}

}  // namespace testsupport
