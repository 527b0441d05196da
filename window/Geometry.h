#pragma once
// The window's geometry: the place and size of every control, laid out for
// 96 dots per inch, in one table. The layout builds the controls at these
// places (MainWindowLayout.cpp) and records each with its place; the
// appearance then places them by the record, in proportion on the screen's
// setting, and keeps the alignments while the window is resized
// (Geometry.cpp).

#include <QPointer>
#include <QWidget>

#include <vector>

// How a control follows its parent's size (like a form designer's Align):
// a top band spans the parent's width with a fixed height, a left column
// spans its height with a fixed width, a fill takes what remains.
enum class TAlign { None, Top, Left, Fill };

// A place relative to the parent's client area, in pixels at 96 dpi.
struct TPlace {
    int left;
    int top;
    int width;
    int height;
    TAlign align = TAlign::None;
};

// Labels size themselves to their text; their sizes here are those of the
// texts the window starts with.
struct TWindowGeometry {
    int clientWidth = 566;
    int clientHeight = 463;
    // Room kept free inside a parent around its aligned controls (not part
    // of its client area's origin).
    int pageBorder = 5; // each tab page around its panel
    int pictureBorder = 2; // Panel5 around its pictures

    TPlace pnConfig{0, 0, 566, 124, TAlign::Top};
    TPlace Label13{20, 15, 181, 13};
    TPlace edServidor{30, 30, 105, 23};
    TPlace edCaminho{140, 30, 330, 23};
    TPlace sbAbrir{470, 28, 29, 28};
    TPlace Label1{20, 70, 100, 13};
    TPlace edUsuario{30, 85, 75, 23};
    TPlace edSenha{110, 85, 80, 23};
    TPlace SpeedButton1{244, 81, 150, 29};
    TPlace Panel5{400, 77, 39, 33};
    TPlace imgOk{2, 2, 31, 29, TAlign::Left};
    TPlace imgErro{2, 2, 31, 29, TAlign::Left};
    TPlace Panel1{0, 124, 566, 339, TAlign::Fill};
    TPlace PageControl1{0, 0, 562, 335, TAlign::Fill};

    TPlace Panel3{0, 0, 524, 317, TAlign::Fill};
    TPlace Image1{425, 16, 100, 100};
    TPlace gbRepositorio{16, 16, 404, 41};
    TPlace lblDestino{10, 19, 9, 13};
    TPlace btnBackup{16, 68, 145, 41};
    TPlace mmBackup{16, 120, 505, 167};
    // The run's bar, in the free room beside the button, centred on it and
    // short of the picture.
    TPlace pbBackup{170, 78, 248, 21};

    TPlace Panel2{0, 0, 524, 317, TAlign::Fill};
    TPlace Image2{11, 12, 100, 100};
    TPlace gbDestino{117, 16, 404, 41};
    TPlace lblLocal_Restaura{10, 19, 9, 13};
    TPlace gbArquivo_Restaurar{117, 64, 404, 49};
    TPlace cmbBackups{8, 19, 377, 21};
    TPlace btnRestore{16, 128, 145, 41};
    TPlace mmRestore{16, 175, 505, 113};
    // Beside the button as on the backup page, up to the group boxes' edge.
    TPlace pbRestore{170, 138, 351, 21};
    TPlace GroupBox6{16, 295, 505, 41};
    TPlace lblBase_Restaurada{10, 19, 9, 13};
};

inline constexpr TWindowGeometry WindowGeometry{};

// A control with its place, as the layout made it.
struct TPlacedControl {
    QPointer<QWidget> widget;
    TPlace place;
};
using TPlacedControls = std::vector<TPlacedControl>;

// Lengths laid out for 96 dpi, in proportion on the screen's setting.
struct TScale {
    double factor;
    int operator()(int value) const { return qRound(value * factor); }
};

// Gives the window its size and every control its place (parent before
// child, as recorded); from then on the window's aligned controls follow
// their parent's size, its labels follow their text, and the window is
// centred on the screen and gives the focus to firstFocus when first shown.
// Each inner border is the room kept free inside that parent around its
// aligned controls, already scaled.
void PlaceControls(QWidget& window, const TPlacedControls& controls,
    const std::vector<std::pair<QWidget*, int>>& innerBorders, QWidget* firstFocus, const TScale& scale);
