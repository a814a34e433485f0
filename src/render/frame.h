// One frame: begin, clear, DrawScene, end, present.
#pragma once

void DrawFrame();

// Light, model, filter quad, camera, then the HUD. The camera is set after the model is
// drawn, so the model always shows the previous frame's camera.
void DrawScene();
