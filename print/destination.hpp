// Where mPrint's text goes: the keyword resolved from `obj` and `Perif`, and
// the delivery to a user-interface object, the message box, the clipboard or
// a file through the Platform.
//
//   obj present                -> "OBJECT", whatever Perif held
//   Perif missing              -> "DEBUG": nothing is written
//   Perif "msgbox"             -> "MSGBOX"
//   Perif "clipboard"          -> "CLIPBOARD"
//   Perif "/tmp/Out.txt"       -> keyword "/TMP/OUT.TXT", file "/tmp/Out.txt"
//
// The upper-cased keyword is written back into the caller's Perif; the file,
// however, is opened by the path as the caller wrote it, since on a file
// system whose names are case-sensitive the upper-cased path would be another
// file.
#ifndef NODREL_PRINT_DESTINATION_HPP
#define NODREL_PRINT_DESTINATION_HPP

#include <string>

#include "nodrel/locale.hpp"
#include "nodrel/platform.hpp"
#include "nodrel/variant.hpp"

namespace nodrel::detail {

struct Destination {
  std::string keyword;  // compared with DEBUG, OBJECT, MSGBOX, CLIPBOARD
  std::string path;     // the caller's own text, for a file
};

// Resolves the keyword and writes it into `perif`. Run-time error 94 when
// Perif (obj being missing) holds Null, 13 when it holds anything but text
// or Empty.
Destination resolve_destination(const Variant& obj, Variant& perif);

// Delivers `text`. `append` is converted (null as false, run-time error 13
// otherwise) only by the destinations that read it. "OBJECT" with `obj`
// holding no object (missing included) fails with run-time error 424; an
// object of none of the five kinds, or Nothing, receives nothing.
void deliver(const Destination& destination, const Variant& obj, const Variant& append,
             const std::string& text, Platform& platform, const Locale& locale);

}  // namespace nodrel::detail

#endif  // NODREL_PRINT_DESTINATION_HPP
