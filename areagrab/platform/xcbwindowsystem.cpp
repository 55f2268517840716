#include "platform/xcbwindowsystem.h"

#include "core/highlightframe.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace areagrab {

namespace {

// Replies are malloc'ed by xcb; this frees them on every path.
template <typename T> struct Reply {
    T *p;
    explicit Reply(T *reply) : p(reply) { }
    ~Reply() { std::free(p); }
    Reply(const Reply &) = delete;
    Reply &operator=(const Reply &) = delete;
    T *operator->() const { return p; }
    explicit operator bool() const { return p != nullptr; }
};

} // namespace

XcbWindowSystem::XcbWindowSystem()
{
    int screenNumber = 0;
    conn_ = xcb_connect(nullptr, &screenNumber);
    if (xcb_connection_has_error(conn_))
        return;
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(conn_));
    for (int i = 0; it.rem > 0 && i < screenNumber; ++i)
        xcb_screen_next(&it);
    if (it.rem > 0)
        screen_ = it.data;
}

XcbWindowSystem::~XcbWindowSystem()
{
    if (usable()) {
        for (xcb_window_t w : frame_) {
            if (w)
                xcb_destroy_window(conn_, w);
        }
        xcb_flush(conn_);
    }
    xcb_disconnect(conn_);
}

bool XcbWindowSystem::usable() const
{
    return conn_ && !xcb_connection_has_error(conn_) && screen_;
}

void XcbWindowSystem::sync()
{
    // A round trip: every request sent before it has been carried out.
    std::free(xcb_get_input_focus_reply(conn_, xcb_get_input_focus(conn_), nullptr));
    // Errors about windows that vanished while we looked arrive as events;
    // nobody reads this connection's events, so drop them.
    while (xcb_generic_event_t *event = xcb_poll_for_event(conn_))
        std::free(event);
}

std::optional<XcbWindowSystem::Child> XcbWindowSystem::childAt(xcb_window_t parent, QPoint parentOrigin,
                                                               QPoint point)
{
    Reply tree(xcb_query_tree_reply(conn_, xcb_query_tree(conn_, parent), nullptr));
    if (!tree)
        return std::nullopt;
    const int count = xcb_query_tree_children_length(tree.p);
    const xcb_window_t *children = xcb_query_tree_children(tree.p);
    // Ask about every child at once, then read the answers topmost first.
    std::vector<xcb_get_window_attributes_cookie_t> attrCookies(count);
    std::vector<xcb_get_geometry_cookie_t> geoCookies(count);
    for (int i = 0; i < count; ++i) {
        attrCookies[i] = xcb_get_window_attributes(conn_, children[i]);
        geoCookies[i] = xcb_get_geometry(conn_, children[i]);
    }
    std::optional<Child> found;
    for (int i = count - 1; i >= 0; --i) {
        Reply attr(xcb_get_window_attributes_reply(conn_, attrCookies[i], nullptr));
        Reply geo(xcb_get_geometry_reply(conn_, geoCookies[i], nullptr));
        if (found || !attr || !geo)
            continue; // still collect the remaining replies
        if (attr->map_state != XCB_MAP_STATE_VIEWABLE || attr->_class == XCB_WINDOW_CLASS_INPUT_ONLY)
            continue;
        const int bw = geo->border_width;
        const QRect outer(parentOrigin.x() + geo->x, parentOrigin.y() + geo->y, geo->width + 2 * bw,
                          geo->height + 2 * bw);
        if (!outer.contains(point))
            continue;
        found = Child{children[i], outer.topLeft() + QPoint(bw, bw)};
    }
    return found;
}

WindowId XcbWindowSystem::windowAt(QPoint point, const QList<WindowId> &skip)
{
    if (!usable())
        return 0;
    const xcb_window_t root = screen_->root;
    Reply tree(xcb_query_tree_reply(conn_, xcb_query_tree(conn_, root), nullptr));
    if (!tree)
        return 0;
    const int count = xcb_query_tree_children_length(tree.p);
    const xcb_window_t *children = xcb_query_tree_children(tree.p);
    // Top-level windows topmost first; one that is ours, or holds ours (a
    // window manager's frame), is passed over with all it contains.
    for (int i = count - 1; i >= 0; --i) {
        const xcb_window_t top = children[i];
        if (skip.contains(top) || std::find(frame_.begin(), frame_.end(), top) != frame_.end())
            continue;
        Reply attr(xcb_get_window_attributes_reply(conn_, xcb_get_window_attributes(conn_, top), nullptr));
        Reply geo(xcb_get_geometry_reply(conn_, xcb_get_geometry(conn_, top), nullptr));
        if (!attr || !geo || attr->map_state != XCB_MAP_STATE_VIEWABLE
            || attr->_class == XCB_WINDOW_CLASS_INPUT_ONLY)
            continue;
        const int bw = geo->border_width;
        const QRect outer(geo->x, geo->y, geo->width + 2 * bw, geo->height + 2 * bw);
        if (!outer.contains(point))
            continue;
        xcb_window_t innermost = top;
        QPoint origin = outer.topLeft() + QPoint(bw, bw);
        bool ours = false;
        while (auto child = childAt(innermost, origin, point)) {
            innermost = child->window;
            origin = child->interiorOrigin;
            if (skip.contains(innermost)) {
                ours = true;
                break;
            }
        }
        if (!ours) {
            sync();
            return innermost;
        }
    }
    sync();
    return 0;
}

std::optional<QRect> XcbWindowSystem::windowRect(WindowId window)
{
    if (!usable() || window == 0)
        return std::nullopt;
    const auto w = xcb_window_t(window);
    Reply geo(xcb_get_geometry_reply(conn_, xcb_get_geometry(conn_, w), nullptr));
    if (!geo)
        return std::nullopt;
    Reply pos(xcb_translate_coordinates_reply(conn_, xcb_translate_coordinates(conn_, w, screen_->root, 0, 0),
                                              nullptr));
    if (!pos)
        return std::nullopt;
    const int bw = geo->border_width;
    return QRect(pos->dst_x - bw, pos->dst_y - bw, geo->width + 2 * bw, geo->height + 2 * bw);
}

void XcbWindowSystem::highlight(const QRect &rect)
{
    if (!usable() || rect.isEmpty())
        return;
    if (!frame_[0]) {
        // Override-redirect so no window manager frames or moves them; the
        // background pixel paints them with no drawing of ours.
        const uint32_t mask = XCB_CW_BACK_PIXEL | XCB_CW_OVERRIDE_REDIRECT;
        const uint32_t values[] = {screen_->black_pixel, 1};
        for (xcb_window_t &w : frame_) {
            w = xcb_generate_id(conn_);
            xcb_create_window(conn_, XCB_COPY_FROM_PARENT, w, screen_->root, 0, 0, 1, 1, 0,
                              XCB_WINDOW_CLASS_INPUT_OUTPUT, screen_->root_visual, mask, values);
        }
    }
    const std::array<QRect, 4> strips = highlightStrips(rect);
    for (size_t i = 0; i < strips.size(); ++i) {
        const QRect &part = strips[i];
        // X has no windows of size 0: a strip without room stays unmapped.
        if (part.isEmpty()) {
            xcb_unmap_window(conn_, frame_[i]);
            continue;
        }
        const uint32_t values[] = {uint32_t(int32_t(part.x())), uint32_t(int32_t(part.y())),
                                   uint32_t(part.width()), uint32_t(part.height()), XCB_STACK_MODE_ABOVE};
        xcb_configure_window(conn_, frame_[i],
                             XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y | XCB_CONFIG_WINDOW_WIDTH
                                 | XCB_CONFIG_WINDOW_HEIGHT | XCB_CONFIG_WINDOW_STACK_MODE,
                             values);
        xcb_map_window(conn_, frame_[i]);
    }
    sync();
}

void XcbWindowSystem::removeHighlight()
{
    if (!usable() || !frame_[0])
        return;
    for (xcb_window_t w : frame_)
        xcb_unmap_window(conn_, w);
    sync();
}

QPoint XcbWindowSystem::cursorPos()
{
    if (!usable())
        return {};
    Reply p(xcb_query_pointer_reply(conn_, xcb_query_pointer(conn_, screen_->root), nullptr));
    return p ? QPoint(p->root_x, p->root_y) : QPoint();
}

bool XcbWindowSystem::leftButtonDown()
{
    if (!usable())
        return false;
    Reply p(xcb_query_pointer_reply(conn_, xcb_query_pointer(conn_, screen_->root), nullptr));
    return p && (p->mask & XCB_KEY_BUT_MASK_BUTTON_1);
}

bool XcbWindowSystem::isViewable(WindowId window)
{
    if (!usable() || window == 0)
        return false;
    Reply attr(xcb_get_window_attributes_reply(conn_, xcb_get_window_attributes(conn_, xcb_window_t(window)),
                                               nullptr));
    return attr && attr->map_state == XCB_MAP_STATE_VIEWABLE;
}

} // namespace areagrab
