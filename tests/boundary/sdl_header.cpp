// Must not compile as a viewer source: SDL is the platform's business.
#include <SDL.h>
