#pragma once
// Symbols are hidden by default; the classes a host uses are marked with OTDR_EXPORT.
#if defined(_WIN32)
#  if defined(OTDR_BUILDING_CORE) || defined(OTDR_BUILDING_QT)
#    define OTDR_EXPORT __declspec(dllexport)
#  else
#    define OTDR_EXPORT __declspec(dllimport)
#  endif
#else
#  define OTDR_EXPORT __attribute__((visibility("default")))
#endif
