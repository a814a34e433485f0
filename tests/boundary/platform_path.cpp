// Must not compile as a viewer source: the platform is not reachable through its folder either.
#include "platform/d3d9/device.h"
