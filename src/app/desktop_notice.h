// Load failures shown on the desktop, for a viewer whose standard error nobody reads (Linux).
#pragma once

// When standard error is not a terminal (the viewer was started from the desktop), each model
// that does not load is also shown as a desktop notification.
void NotifyLoadFailuresWithoutTerminal();
