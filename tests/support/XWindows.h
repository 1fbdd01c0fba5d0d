// The top-level windows of the test's X display as the X server holds them:
// their class, their place on the root window and their icon.
#pragma once

#include <xcb/xcb.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

struct XTopLevel {
    std::string instance;  // WM_CLASS, first string
    std::string className; // WM_CLASS, second string
    int x = 0, y = 0, width = 0, height = 0;
    // The largest image of _NET_WM_ICON: its side and how many of its pixels are not transparent.
    int iconSide = 0;
    int iconOpaquePixels = 0;
};

struct XScreenSize {
    int width = 0, height = 0;
};

class XDisplay {
public:
    XDisplay() : connection_(xcb_connect(nullptr, nullptr), xcb_disconnect)
    {
        if (xcb_connection_has_error(connection_.get()) == 0)
            screen_ = xcb_setup_roots_iterator(xcb_get_setup(connection_.get())).data;
    }
    bool ok() const { return screen_ != nullptr; }
    XScreenSize screenSize() const { return {screen_->width_in_pixels, screen_->height_in_pixels}; }

    // The viewable windows that carry a WM_CLASS, children of the root.
    std::vector<XTopLevel> topLevels()
    {
        std::vector<XTopLevel> found;
        xcb_connection_t* c = connection_.get();
        const auto tree = reply(xcb_query_tree_reply(c, xcb_query_tree(c, screen_->root), nullptr));
        if (!tree)
            return found;
        const xcb_window_t* children = xcb_query_tree_children(tree.get());
        for (int i = 0; i < xcb_query_tree_children_length(tree.get()); ++i) {
            const xcb_window_t w = children[i];
            const auto attributes = reply(xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, w), nullptr));
            if (!attributes || attributes->map_state != XCB_MAP_STATE_VIEWABLE)
                continue;
            const std::string wmClass = property(w, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING);
            if (wmClass.empty())
                continue;
            XTopLevel window;
            window.instance = wmClass.c_str();
            if (std::strlen(wmClass.c_str()) + 1 < wmClass.size())
                window.className = wmClass.c_str() + std::strlen(wmClass.c_str()) + 1;
            const auto geometry = reply(xcb_get_geometry_reply(c, xcb_get_geometry(c, w), nullptr));
            const auto onRoot = reply(
                xcb_translate_coordinates_reply(c, xcb_translate_coordinates(c, w, screen_->root, 0, 0), nullptr));
            if (geometry && onRoot) {
                window = {window.instance, window.className, onRoot->dst_x,
                          onRoot->dst_y,   geometry->width,  geometry->height};
            }
            readIcon(w, window);
            found.push_back(window);
        }
        return found;
    }

private:
    template <typename T>
    static std::unique_ptr<T, decltype(&std::free)> reply(T* r)
    {
        return {r, &std::free};
    }

    xcb_atom_t atom(const char* name)
    {
        xcb_connection_t* c = connection_.get();
        const auto r = reply(
            xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, static_cast<uint16_t>(std::strlen(name)), name), nullptr));
        return r ? r->atom : xcb_atom_t(XCB_ATOM_NONE);
    }

    // The property's bytes; empty when it is missing.
    std::string property(xcb_window_t w, xcb_atom_t name, xcb_atom_t type)
    {
        xcb_connection_t* c = connection_.get();
        const auto r = reply(xcb_get_property_reply(c, xcb_get_property(c, 0, w, name, type, 0, 1 << 22), nullptr));
        if (!r)
            return {};
        return {static_cast<const char*>(xcb_get_property_value(r.get())),
                static_cast<std::size_t>(xcb_get_property_value_length(r.get()))}; // in bytes
    }

    // _NET_WM_ICON holds images one after the other: width, height, then ARGB pixels.
    void readIcon(xcb_window_t w, XTopLevel& window)
    {
        const std::string data = property(w, atom("_NET_WM_ICON"), XCB_ATOM_CARDINAL);
        std::vector<std::uint32_t> values(data.size() / 4);
        std::memcpy(values.data(), data.data(), values.size() * 4);
        for (std::size_t at = 0; at + 2 <= values.size();) {
            const std::size_t side = values[at], height = values[at + 1];
            const std::size_t pixels = side * height;
            if (pixels == 0 || at + 2 + pixels > values.size())
                break;
            if (static_cast<int>(side) > window.iconSide) {
                window.iconSide = static_cast<int>(side);
                window.iconOpaquePixels = 0;
                for (std::size_t p = 0; p < pixels; ++p)
                    window.iconOpaquePixels += (values[at + 2 + p] >> 24) > 0 ? 1 : 0;
            }
            at += 2 + pixels;
        }
    }

    std::unique_ptr<xcb_connection_t, void (*)(xcb_connection_t*)> connection_;
    xcb_screen_t* screen_ = nullptr;
};
