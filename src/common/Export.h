#pragma once
// Symbols are hidden by default; the core library's public API is marked with
// OTDR_EXPORT, exported while the core is built and imported everywhere else
// (the Qt front end has its own mark, OTDR_QT_EXPORT).
#if defined(_WIN32)
#  if defined(OTDR_BUILDING_CORE)
#    define OTDR_EXPORT __declspec(dllexport)
#  else
#    define OTDR_EXPORT __declspec(dllimport)
#  endif
#else
#  define OTDR_EXPORT __attribute__((visibility("default")))
#endif
