#include "nodrel/locale.hpp"

#include <clocale>

namespace nodrel {

Locale Locale::c() { return Locale{}; }

Locale Locale::process() {
  Locale loc;
  const std::lconv* lc = std::localeconv();
  if (lc == nullptr) return loc;
  if (lc->decimal_point != nullptr && *lc->decimal_point != '\0') loc.decimal = lc->decimal_point;
  loc.thousands = lc->thousands_sep != nullptr ? lc->thousands_sep : "";
  // The C locale names no thousands separator; automation reads "1,000"
  // there all the same, so keep the comma unless it is the decimal sign.
  if (loc.thousands.empty() && loc.decimal != ",") loc.thousands.push_back(',');
  if (lc->currency_symbol != nullptr && *lc->currency_symbol != '\0') {
    loc.currency = lc->currency_symbol;
  }
  return loc;
}

}  // namespace nodrel
