// The run finding 32 bytes at a time: built with AVX2 on, run only where the CPU
// and the system allow it (run_masks.cpp decides).
#if defined(__AVX2__)
#define QX_WIDTH avx2
#include "logvalues/run_masks_impl.h"
#endif
