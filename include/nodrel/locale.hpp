// The locale in which texts are read as numbers and numbers are formatted.
//
// Automation clients read "1.234,5" as 1234.5 in a German locale and as an
// error in an English one. A Locale holds the three characters that matter;
// Locale::process() takes them from the process's C locale (LC_NUMERIC and
// LC_MONETARY), and a Matr object uses that unless the caller sets another.
//
//   Locale::c()                      -> decimal ".", thousands ",", currency "$"
//   Locale{",", ".", "EUR"}          -> a locale that reads "1.234,5" as 1234.5
#ifndef NODREL_LOCALE_HPP
#define NODREL_LOCALE_HPP

#include <string>

#include "nodrel/export.hpp"

namespace nodrel {

struct NODREL_API Locale {
  std::string decimal = ".";    // decimal separator, never empty
  std::string thousands = ",";  // thousands separator, may be empty
  std::string currency = "$";   // currency symbol, may be empty

  // The point, the comma and the dollar sign of the "C" locale.
  static Locale c();
  // The separators of the process's current C locale; an empty decimal
  // separator there reads as ".".
  static Locale process();

  friend bool operator==(const Locale&, const Locale&) = default;
};

}  // namespace nodrel

#endif  // NODREL_LOCALE_HPP
