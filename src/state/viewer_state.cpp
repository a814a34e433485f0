// The viewer's single state record.
#include "app/viewer_state.h"

ViewerState viewer;
