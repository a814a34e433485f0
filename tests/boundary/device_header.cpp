// Must not compile as a viewer source: the device's insides are the platform's own.
#include "d3d9/device.h"
