// The finder 32 bytes at a time: built with AVX2 on, run only where the CPU and
// the system allow it (field_finder.cpp decides).
#if defined(__AVX2__)
#define QX_WIDTH avx2
#include "logvalues/field_finder_impl.h"
#endif
