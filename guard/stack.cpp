#include "guard/stack.h"

#include <algorithm>

namespace guard {

void StackModel::reset(const xcb::Stack& stack) {
    order_ = stack.bottomToTop;
    mapped_.clear();
    for (size_t i = 0; i < order_.size() && i < stack.mapped.size(); ++i)
        if (stack.mapped[i]) mapped_.insert(order_[i]);
}

bool StackModel::contains(xcb::Window window) const {
    return std::find(order_.begin(), order_.end(), window) != order_.end();
}

void StackModel::remove(xcb::Window window) {
    order_.erase(std::remove(order_.begin(), order_.end(), window), order_.end());
    mapped_.erase(window);
}

void StackModel::putAbove(xcb::Window window, xcb::Window sibling) {
    order_.erase(std::remove(order_.begin(), order_.end(), window), order_.end());
    const auto at = std::find(order_.begin(), order_.end(), sibling);
    order_.insert(sibling && at != order_.end() ? at + 1 : order_.begin(), window);
}

void StackModel::apply(const xcb::Event& e, xcb::Window root) {
    if (e.event != root || e.window == root) return;
    switch (e.kind) {
    case xcb::Kind::Create: // new windows start on top, unmapped
        if (!contains(e.window)) order_.push_back(e.window);
        break;
    case xcb::Kind::Destroy:
        remove(e.window);
        break;
    case xcb::Kind::Map:
        if (contains(e.window)) mapped_.insert(e.window);
        break;
    case xcb::Kind::Unmap:
        mapped_.erase(e.window);
        break;
    case xcb::Kind::Reparent:
        if (e.parent != root) {
            remove(e.window); // no longer a child of the root window
        } else if (!contains(e.window)) {
            order_.push_back(e.window); // back, on top (mapped again by its own event)
        }
        break;
    case xcb::Kind::Configure:
        if (contains(e.window)) putAbove(e.window, e.above);
        break;
    case xcb::Kind::Circulate:
        if (!contains(e.window)) break;
        if (e.onTop) {
            order_.erase(std::remove(order_.begin(), order_.end(), e.window), order_.end());
            order_.push_back(e.window);
        } else {
            putAbove(e.window, 0);
        }
        break;
    default:
        break;
    }
}

bool InOrder(const StackModel& model, const std::vector<xcb::Window>& wanted,
             const std::unordered_set<xcb::Window>& ours) {
    std::vector<xcb::Window> known;
    for (xcb::Window w : wanted)
        if (model.contains(w)) known.push_back(w);
    int next = int(known.size()) - 1; // the one that must come next, from the top down
    const std::vector<xcb::Window>& stack = model.bottomToTop();
    for (auto it = stack.rbegin(); it != stack.rend() && next >= 0; ++it) {
        const xcb::Window w = *it;
        if (std::find(known.begin(), known.end(), w) != known.end()) {
            if (w != known[size_t(next)]) return false;
            --next;
        } else if (!ours.count(w) && model.isMapped(w)) {
            return false; // someone else's window above one of ours
        }
    }
    return next < 0;
}

std::vector<xcb::Window> Intruders(const StackModel& model, const std::vector<xcb::Window>& wanted,
                                   const std::unordered_set<xcb::Window>& ours) {
    std::vector<xcb::Window> found;
    size_t left = 0; // wanted windows still below
    for (xcb::Window w : wanted)
        left += model.contains(w);
    const std::vector<xcb::Window>& stack = model.bottomToTop();
    for (auto it = stack.rbegin(); it != stack.rend() && left > 0; ++it) {
        if (std::find(wanted.begin(), wanted.end(), *it) != wanted.end())
            --left;
        else if (!ours.count(*it) && model.isMapped(*it))
            found.push_back(*it);
    }
    return found;
}

} // namespace guard
