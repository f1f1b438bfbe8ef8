#pragma once

#include <QRect>
#include <QSize>

class QWidget;

// Our own frame for the windows of ours that have one (the password dialog,
// the message boxes, the file dialog): no window manager frames or stacks
// our windows, so we draw it. A title bar with the window's icon, its whole
// caption (on two lines if one is too narrow) and a close box, and a thin
// border. Dragging the title bar moves the window; the close box closes it.
namespace forms {

// Frames a top-level window: nobody's to manage from now on, its contents
// kept clear of the title bar and the border by its contents margins.
void Decorate(QWidget& window);

// Frames a window whose controls stand at fixed places: returns the client
// area they belong on, of `size`, and fixes the window's size around it.
QWidget* ClientArea(QWidget& window, QSize size);

// The title bar's caption, where it is drawn (for tests), or an empty
// rectangle for a window without our frame.
QRect CaptionRect(const QWidget& window);
int CaptionFlags();

// Frames every other dialog as it is first shown (one the toolkit opens by
// itself, such as the file dialog's warnings). Once, by the program.
void DecorateEveryDialog();

} // namespace forms
