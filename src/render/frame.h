// One frame: begin, clear, DrawScene, end, present.
#pragma once

// RenderFrame, then PresentFrame.
void DrawFrame();

// Begin, clear, DrawScene, end: the frame is in the back buffer.
void RenderFrame();

// Shows the back buffer; waits for the display refresh.
void PresentFrame();

// Light, model, filter quad, camera, then the HUD. The camera is set after the model is
// drawn, so the model always shows the previous frame's camera.
void DrawScene();
