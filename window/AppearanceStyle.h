#pragma once
// The window's own style on top of the platform's: soft bevel frames of the
// text fields and of the drop-down list, flat group boxes with their caption
// on the frame, the column of upright tabs on the left of the tab control,
// and buttons whose picture and caption stand centred together. Its lengths
// are laid out for 96 dpi and scaled by `scale`. Set on those controls only.

class QObject;
class QStyle;

// The style, owned by parent.
QStyle* CreateAppearanceStyle(double scale, QObject* parent);
