// Symbol visibility of the public API.
//
// On ELF platforms the shared library is built with hidden visibility and
// exports exactly what is marked NODREL_API. On Windows the core is linked
// statically into the COM server, so nothing needs a dllexport there.
#ifndef NODREL_EXPORT_HPP
#define NODREL_EXPORT_HPP

#if defined(_WIN32) || defined(__CYGWIN__)
#define NODREL_API
#else
#define NODREL_API __attribute__((visibility("default")))
#endif

#endif  // NODREL_EXPORT_HPP
