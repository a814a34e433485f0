// The viewer's single state record.
#include "state/viewer_state.h"

ViewerState viewer;
