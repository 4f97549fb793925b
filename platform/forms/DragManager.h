// Dragging a control with the mouse: the source's window holds the capture,
// the windowed control under the cursor is asked whether it takes the
// source, and the drop or the cancel is told to the target and the source.
#pragma once

#include "forms/Controls.h"

// Drags Source in a message loop of its own until the drag ends. Without
// Immediate the drag starts once the mouse is Threshold pixels (-1: the
// system's drag distance) away from Start, a screen point.
void RunDrag(TControl* Source, bool Immediate, int Threshold, POINT Start);
// The control being dragged, or null.
TControl* DragSource();
// The windowed control under a screen point, or null.
TControl* FindDragTarget(POINT ScreenPoint);
