#pragma once

#include <QFont>
#include <QRect>
#include <string>

class QPainter;

namespace kalvora {

// The font of the result windows, which their plots inherit: a picture drawn outside a window
// must measure and draw its tick labels with it to look as the window does.
QFont ResultWindowFont();
// The red "Overflow" label's font: the result windows' font, bold, 16 pixels.
QFont OverflowLabelFont();

// The red "Overflow" label on white (boxed in the delay plot) over the centre of the plot's field,
// painted as part of the plot (its OnDrawEnd), so the screen and every export show it alike.
void PaintOverflowLabel(QPainter& painter, const QRect& field, bool boxed);

struct PictureSize {
    int width = 640;
    int height = 480;
};

// "WIDTHxHEIGHT" in pixels, each 10 .. 20000. Raises std::invalid_argument with a message that
// names the text.
PictureSize ParsePictureSize(const std::string& text);

// The plot is a widget, so drawing it needs an application object; a batch run that has none gets
// one without a display. It lives until the program ends (later pictures of the same run need it
// too) and is never destroyed: tearing Qt down among the static destructors at exit is not safe.
void EnsureApplication();

}  // namespace kalvora
