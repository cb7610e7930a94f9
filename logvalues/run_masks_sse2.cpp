// The run finding at the floor's width: SSE2 where the target has it.
#define QX_WIDTH sse2
#include "logvalues/run_masks_impl.h"
