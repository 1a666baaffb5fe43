// Symbol visibility for the zu_zozov shared library.
//
// It lives in common/, the lowest layer, so that every layer (log/, xml/,
// common/, expr/, zu_zozov/) can include it without reaching upwards.
//
// ZU_ZOZOV_EXPORT marks classes and functions that hosts link against.  The
// library is built with hidden visibility by default, so everything that is not
// marked stays internal.  The same sources build as a Windows DLL, where the
// macro becomes dllexport/dllimport.
//
// ZU_ZOZOV_TEMPLATE_EXPORT marks class templates whose instantiations carry
// process-wide data (for example the class-wide declaration of a function
// class): on ELF the instantiations must have default visibility so the library
// and the host share one copy.  Windows cannot export a template definition,
// so there it expands to nothing.
#ifndef ZU_ZOZOV_COMMON_EXPORT_H
#define ZU_ZOZOV_COMMON_EXPORT_H

#if defined(ZU_ZOZOV_STATIC)
// The library's objects linked straight into a program (the tests link the
// internal static library): nothing to import.
#define ZU_ZOZOV_EXPORT
#define ZU_ZOZOV_TEMPLATE_EXPORT
#elif defined(_WIN32) || defined(__CYGWIN__)
#if defined(ZU_ZOZOV_BUILDING)
#define ZU_ZOZOV_EXPORT __declspec(dllexport)
#else
#define ZU_ZOZOV_EXPORT __declspec(dllimport)
#endif
#define ZU_ZOZOV_TEMPLATE_EXPORT
#else
#define ZU_ZOZOV_EXPORT __attribute__((visibility("default")))
#define ZU_ZOZOV_TEMPLATE_EXPORT __attribute__((visibility("default")))
#endif

#endif  // ZU_ZOZOV_COMMON_EXPORT_H
