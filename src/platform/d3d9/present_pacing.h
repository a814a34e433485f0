// Presentation pacing: Present waits for the display's refresh (or a 1/60 s tick where the
// driver does not wait). A benchmark may switch that off for every device of the process.
#pragma once

namespace d3d9 {

// True (the default): swap interval as the presentation parameters ask, and where the driver
// ignores it, a wait for the next 1/60 s tick. False: swap interval 0 and no waiting.
void SetPresentPacing(bool enabled);
bool PresentPacing();

} // namespace d3d9
