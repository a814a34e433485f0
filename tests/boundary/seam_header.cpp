// Must not compile as a viewer source: the test seams are for tests and tools.
#include "testing/keyboard_seam.h"
