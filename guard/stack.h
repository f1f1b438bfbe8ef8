#pragma once

#include "common/xcb.h"

#include <unordered_set>
#include <vector>

// The stacking of the root window's children, as the X server reports it
// change by change: seeded once from the server, then kept from the
// structure events alone, so that deciding whether our windows stand on top
// costs no round trip. No X calls here.
namespace guard {

class StackModel {
public:
    void reset(const xcb::Stack& stack);
    // A structure event reported to the root window (others are ignored).
    void apply(const xcb::Event& event, xcb::Window root);

    bool contains(xcb::Window window) const;
    bool isMapped(xcb::Window window) const { return mapped_.count(window) > 0; }
    const std::vector<xcb::Window>& bottomToTop() const { return order_; }

private:
    void remove(xcb::Window window);
    void putAbove(xcb::Window window, xcb::Window sibling); // 0: at the bottom

    std::vector<xcb::Window> order_;
    std::unordered_set<xcb::Window> mapped_;
};

// Whether `wanted` (bottom to top) stand at the top of the stack in that
// order, with nothing mapped of anyone else's above the lowest of them.
// Windows of `ours` that are not wanted (hidden, on their way) may stand
// anywhere; wanted windows the model does not hold are left out.
bool InOrder(const StackModel& model, const std::vector<xcb::Window>& wanted,
             const std::unordered_set<xcb::Window>& ours);

// The mapped windows of anyone else's that stand above the lowest of `wanted`.
std::vector<xcb::Window> Intruders(const StackModel& model, const std::vector<xcb::Window>& wanted,
                                   const std::unordered_set<xcb::Window>& ours);

} // namespace guard
