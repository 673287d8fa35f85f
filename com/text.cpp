#include "com/text.hpp"

#include <oleauto.h>

#include <limits>

#include "nodrel/error.hpp"

namespace nodrel::com {

namespace {

int checked_length(std::size_t size) {
  if (size > static_cast<std::size_t>(std::numeric_limits<int>::max())) {
    raise(ErrorNumber::kOutOfMemory);
  }
  return static_cast<int>(size);
}

}  // namespace

std::wstring to_wide(std::string_view text) {
  if (text.empty()) return {};
  const int length = checked_length(text.size());
  const int wide = MultiByteToWideChar(CP_ACP, 0, text.data(), length, nullptr, 0);
  std::wstring out(static_cast<std::size_t>(wide), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text.data(), length, out.data(), wide);
  return out;
}

std::string to_narrow(std::wstring_view text) {
  if (text.empty()) return {};
  const int length = checked_length(text.size());
  const int narrow =
      WideCharToMultiByte(CP_ACP, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(narrow), '\0');
  WideCharToMultiByte(CP_ACP, 0, text.data(), length, out.data(), narrow, nullptr, nullptr);
  return out;
}

std::string bstr_to_narrow(BSTR text) {
  if (text == nullptr) return {};
  return to_narrow(std::wstring_view(text, SysStringLen(text)));
}

BSTR narrow_to_bstr(std::string_view text) {
  const std::wstring wide = to_wide(text);
  BSTR out = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
  if (out == nullptr) raise(ErrorNumber::kOutOfMemory);
  return out;
}

}  // namespace nodrel::com
