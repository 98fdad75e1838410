#pragma once
// The Qt front end's own export mark: building this library exports its API
// only, never the core's classes (those carry OTDR_EXPORT, see common/Export.h).
#if defined(_WIN32)
#  if defined(OTDR_BUILDING_QT)
#    define OTDR_QT_EXPORT __declspec(dllexport)
#  else
#    define OTDR_QT_EXPORT __declspec(dllimport)
#  endif
#else
#  define OTDR_QT_EXPORT __attribute__((visibility("default")))
#endif
