// Text between COM (UTF-16 BSTRs) and the core (single-byte strings).
//
// The core's strings are in the ANSI code page, the encoding of the files and
// of the clipboard text (CF_TEXT) it writes, so every text crosses the
// boundary through that code page. A character the code page lacks becomes
// its best fit or "?", as it would in any ANSI program.
#ifndef NODREL_COM_TEXT_HPP
#define NODREL_COM_TEXT_HPP

#include <windows.h>

#include <string>
#include <string_view>

namespace nodrel::com {

// Run-time error 7 when memory runs out.
std::wstring to_wide(std::string_view text);
std::string to_narrow(std::wstring_view text);
// A null BSTR is the empty text, as automation treats it.
std::string bstr_to_narrow(BSTR text);
// A new BSTR the caller frees; run-time error 7 when none can be allocated.
BSTR narrow_to_bstr(std::string_view text);

}  // namespace nodrel::com

#endif  // NODREL_COM_TEXT_HPP
