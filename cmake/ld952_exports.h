/* Read before every file of the shared library (-include): the C interface is declared with
 * default visibility before any file declares it, so that under -fvisibility=hidden its
 * functions are the only ones the library exports. */
#pragma GCC visibility push(default)
#include "ld952.h"
#pragma GCC visibility pop
