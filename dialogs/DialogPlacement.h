#pragma once

class QWidget;

namespace brightowl {

// Where the dialogs open. User-interface thread only.
// Centred over the owner's window, or on the screen when there is no owner or it is hidden or minimised.
void CentreOverOwner(QWidget& dialog);
// At an offset in pixels from the origin of the owner's client area (below its menu bar).
void PlaceInOwnerClientArea(QWidget& dialog, int x, int y);

} // namespace brightowl
