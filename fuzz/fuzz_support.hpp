// What every fuzz target accepts as an outcome, and the pieces they share.
//
// A target hands its input to one entry point of the component. The only
// acceptable outcomes are a result or a nodrel::Error whose number the entry
// point documents. Anything else is a finding: another exception type, a
// number outside the documented set, a broken invariant. A finding aborts, so
// libFuzzer reports it as a crash and keeps the input that caused it; the
// sanitizers report memory errors, undefined behaviour and leaks the same way.
#ifndef NODREL_FUZZ_FUZZ_SUPPORT_HPP
#define NODREL_FUZZ_FUZZ_SUPPORT_HPP

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <initializer_list>
#include <new>
#include <typeinfo>

#include "nodrel/error.hpp"
#include "nodrel/locale.hpp"

namespace nodrel::fuzz {

[[noreturn]] inline void finding(const char* format, ...) {
  std::va_list args;
  va_start(args, format);
  std::fputs("FINDING: ", stderr);
  std::vfprintf(stderr, format, args);
  std::fputc('\n', stderr);
  va_end(args);
  std::abort();
}

inline bool documented(const Error& e, std::initializer_list<ErrorNumber> numbers) {
  for (ErrorNumber n : numbers) {
    if (e.number() == n) return true;
  }
  return false;
}

// Runs `body`; a run-time error outside `numbers`, or any other exception,
// is a finding.
template <typename Body>
void expect_result_or(const char* where, std::initializer_list<ErrorNumber> numbers, Body&& body) {
  try {
    body();
  } catch (const Error& e) {
    if (!documented(e, numbers)) finding("%s: undocumented run-time error: %s", where, e.what());
  } catch (const std::exception& e) {
    finding("%s: %s escaped: %s", where, typeid(e).name(), e.what());
  } catch (...) {
    finding("%s: an exception of unknown type escaped", where);
  }
}

// The locales a client can choose. The first kPlainLocales are the kind real
// systems have (separators of more than one byte, an empty thousands
// separator or currency among them), in which a number's text reads back as
// that number. The others are legal but absurd: a thousands separator equal
// to the decimal one, letters and digits as separators. They must not crash
// anything, but a text need not mean one number in them.
inline constexpr unsigned kPlainLocales = 6;
inline constexpr unsigned kLocaleCount = 9;

inline const Locale& locale_number(unsigned k) {
  static const Locale kLocales[kLocaleCount] = {
      Locale::c(),
      Locale{",", ".", "EUR"},
      Locale{",", "\xC2\xA0", "\xE2\x82\xAC"},  // no-break space, euro sign
      Locale{".", "", ""},
      Locale{"\xD9\xAB", "\xD9\xAC", "\xD8\xAC"},  // Arabic separators
      Locale{"..", "''", "CHF"},
      Locale{".", ".", "$"},
      Locale{",", ",", ","},
      Locale{"e", "0", "E"},
  };
  return kLocales[k % kLocaleCount];
}

inline bool plain_locale(unsigned k) { return k % kLocaleCount < kPlainLocales; }

}  // namespace nodrel::fuzz

#endif  // NODREL_FUZZ_FUZZ_SUPPORT_HPP
