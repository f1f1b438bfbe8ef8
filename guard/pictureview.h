#pragma once

#include "common/xcb.h"

#include <QImage>
#include <QPointer>
#include <QRect>

class QWidget;

namespace guard {

// The picture of the image control, shown by the X server from a pixmap of
// its own: a native window inside the control, over the decoded part, with
// the pixmap as its background. The toolkit never paints it and keeps no
// copy of it, and the X server repaints it by itself whenever it is uncovered.
// One picture pixel to one pixel of the screen, whatever the toolkit's scale.
class PictureView {
public:
    PictureView(xcb::Connection* c, const xcb::Screen& screen);
    ~PictureView();

    // True when the X server shows it (or, for an empty picture, shows
    // nothing); false when the toolkit has to paint it.
    bool show(QWidget& box, const QRect& part, const QImage& pixels);

    QWidget* view() const { return view_; }

private:
    xcb::Connection* c_;
    xcb::Screen screen_;
    QPointer<QWidget> view_;
    uint32_t pixmap_ = 0;
};

} // namespace guard
