#pragma once

// The window's look: fonts, colours, frames, pictures, icon, hint and tab
// order; its geometry comes from Geometry.h, the drawing of its frames from
// AppearanceStyle.h.

class QIcon;
class QPixmap;
class QString;
class TfrmPrincipal;

// Makes the window's typeface, Tahoma, available: when the font database does
// not know the family, the Tahoma files found in the usual font folders (for
// example those of the fonts-wine package) are registered with the
// application. Safe to call more than once; ApplyAppearance calls it.
void RegisterWindowFonts();

// Loads a bitmap and draws the colour of its bottom-left pixel transparent,
// so that what lies behind the picture shows through.
QPixmap LoadTransparentBitmap(const QString& fileName);

// The application icon with all its images (16, 24, 32 and 48 pixels).
QIcon ApplicationIcon();

// The resource paths of the window's pictures and of the application icon.
namespace pictures {
extern const char* const FolderSearch; // sbAbrir
extern const char* const TestConnection; // SpeedButton1
extern const char* const Ok; // imgOk
extern const char* const Error; // imgErro
extern const char* const GearsPlay; // btnBackup, btnRestore
extern const char* const GearsPanel; // Image1, Image2
extern const char* const ApplicationIcon;
} // namespace pictures

// Gives the main window its look: frames, fonts, colours, pictures, icon,
// hint and tab order, and places its controls as the layout recorded them.
// Geometry is laid out for 96 dots per inch and scaled in proportion on other
// settings. From then on the window keeps its controls aligned when resized,
// is centred on the screen when first shown and gives the focus to
// edServidor then.
void ApplyAppearance(TfrmPrincipal& window);
