// The finder at the floor's width: SSE2 where the target has it.
#define QX_WIDTH sse2
#include "logvalues/field_finder_impl.h"
