#pragma once

#include <QtCore/qglobal.h>

// Symbol visibility of the Vellum32 shared library.
#if defined(VELLUM32_BUILDING_LIBRARY)
#define VELLUM32_EXPORT Q_DECL_EXPORT
#else
#define VELLUM32_EXPORT Q_DECL_IMPORT
#endif
