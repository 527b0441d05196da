#pragma once

class QWidget;

// Gives the main window its look: geometry, frames, fonts, colours, pictures,
// icon and tab order. The controls are found by their object names.
void ApplyAppearance(QWidget& window);
