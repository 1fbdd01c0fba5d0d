// The top-level windows of the test's X display as the X server holds them:
// their class, their place on the root window and their icon; what the root
// window shows; and monitors laid out on the one X screen.
#pragma once

#include <xcb/xcb.h>
#include <xcb/xcbext.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

struct XTopLevel {
    xcb_window_t id = 0;
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

// A monitor as RandR 1.5 declares it: a named part of the X screen.
struct XMonitor {
    std::string name;
    int x = 0, y = 0, width = 0, height = 0;
};

class XDisplay {
public:
    // The display DISPLAY names, or the one given (":5").
    explicit XDisplay(const char* name = nullptr) : connection_(xcb_connect(name, nullptr), xcb_disconnect)
    {
        if (xcb_connection_has_error(connection_.get()) == 0)
            screen_ = xcb_setup_roots_iterator(xcb_get_setup(connection_.get())).data;
    }
    bool ok() const { return screen_ != nullptr; }
    XScreenSize screenSize() const { return {screen_->width_in_pixels, screen_->height_in_pixels}; }

    // The viewable windows that carry a WM_CLASS, children of the root or of
    // a window manager's frame around them.
    std::vector<XTopLevel> topLevels()
    {
        std::vector<XTopLevel> found;
        collectTopLevels(screen_->root, true, found);
        return found;
    }

    // Replaces the screen's monitors: the first is primary and carries the
    // screen's one output, the others none. They last while this connection
    // does (the server resets when its last client goes). False when the
    // server has no RandR 1.5.
    bool setMonitors(const std::vector<XMonitor>& monitors)
    {
        xcb_connection_t* c = connection_.get();
        const xcb_query_extension_reply_t* randr = xcb_get_extension_data(c, &randrId_);
        if (!randr || !randr->present)
            return false;
        struct {
            std::uint32_t header, major, minor;
        } version{0, 1, 5};
        const auto versionReply = reply(static_cast<std::uint32_t*>(randrRequest(0, &version, sizeof version, false)));
        if (!versionReply || versionReply.get()[2] * 100 + versionReply.get()[3] < 105)
            return false;
        struct {
            std::uint32_t header, window;
        } resourcesOf{0, screen_->root};
        const auto resources
            = reply(static_cast<std::uint8_t*>(randrRequest(25, &resourcesOf, sizeof resourcesOf, false)));
        if (!resources)
            return false;
        std::uint16_t crtcs = 0, outputs = 0;
        std::memcpy(&crtcs, resources.get() + 16, 2);
        std::memcpy(&outputs, resources.get() + 18, 2);
        std::uint32_t output = 0;
        if (outputs > 0)
            std::memcpy(&output, resources.get() + 32 + 4 * crtcs, 4);
        for (std::size_t i = 0; i < monitors.size(); ++i) {
            const XMonitor& m = monitors[i];
            const bool first = i == 0 && outputs > 0;
            struct __attribute__((packed)) {
                std::uint32_t header, window, name;
                std::uint8_t primary, automatic;
                std::uint16_t outputCount;
                std::int16_t x, y;
                std::uint16_t width, height;
                std::uint32_t widthMm, heightMm, output;
            } request{0,
                      screen_->root,
                      atom(m.name.c_str()),
                      first,
                      0,
                      first ? std::uint16_t(1) : std::uint16_t(0),
                      std::int16_t(m.x),
                      std::int16_t(m.y),
                      std::uint16_t(m.width),
                      std::uint16_t(m.height),
                      std::uint32_t(m.width * 254 / 960), // 96 dots per inch
                      std::uint32_t(m.height * 254 / 960),
                      output};
            if (!randrRequest(43, &request, sizeof request - (first ? 0 : 4), true))
                return false;
        }
        return true;
    }

    // Moves and sizes a top-level window as a window manager or xdotool does.
    void moveResize(xcb_window_t w, int x, int y, int width, int height)
    {
        const std::uint32_t values[]
            = {std::uint32_t(x), std::uint32_t(y), std::uint32_t(width), std::uint32_t(height)};
        xcb_connection_t* c = connection_.get();
        std::free(xcb_request_check(
            c,
            xcb_configure_window_checked(
                c, w, XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y | XCB_CONFIG_WINDOW_WIDTH | XCB_CONFIG_WINDOW_HEIGHT,
                values)));
    }

    // What the screen shows in a rectangle of the root window, row by row as
    // 0xRRGGBB; empty when it cannot be read.
    std::vector<std::uint32_t> rootPixels(int x, int y, int width, int height)
    {
        xcb_connection_t* c = connection_.get();
        const auto image = reply(
            xcb_get_image_reply(c,
                                xcb_get_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, screen_->root, std::int16_t(x),
                                              std::int16_t(y), std::uint16_t(width), std::uint16_t(height), ~0u),
                                nullptr));
        const std::size_t count = std::size_t(width) * std::size_t(height);
        if (!image || image->depth != 24 || std::size_t(xcb_get_image_data_length(image.get())) < count * 4)
            return {};
        std::vector<std::uint32_t> pixels(count);
        std::memcpy(pixels.data(), xcb_get_image_data(image.get()), count * 4);
        for (std::uint32_t& p : pixels)
            p &= 0xffffffu;
        return pixels;
    }

private:
    // A RandR request whose body starts with room for the request header; a
    // checked void request gives a non-null pointer when it succeeded.
    void* randrRequest(std::uint8_t opcode, void* body, std::size_t size, bool isVoid)
    {
        xcb_connection_t* c = connection_.get();
        iovec parts[3];
        parts[2].iov_base = body;
        parts[2].iov_len = size;
        const xcb_protocol_request_t request{1, &randrId_, opcode, std::uint8_t(isVoid)};
        const unsigned sequence = xcb_send_request(c, XCB_REQUEST_CHECKED, parts + 2, &request);
        if (isVoid) {
            xcb_generic_error_t* error = xcb_request_check(c, {sequence});
            std::free(error);
            return error ? nullptr : this;
        }
        return xcb_wait_for_reply(c, sequence, nullptr);
    }

    void collectTopLevels(xcb_window_t parent, bool framesToo, std::vector<XTopLevel>& found)
    {
        xcb_connection_t* c = connection_.get();
        const auto tree = reply(xcb_query_tree_reply(c, xcb_query_tree(c, parent), nullptr));
        if (!tree)
            return;
        const xcb_window_t* children = xcb_query_tree_children(tree.get());
        for (int i = 0; i < xcb_query_tree_children_length(tree.get()); ++i) {
            const xcb_window_t w = children[i];
            const auto attributes = reply(xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, w), nullptr));
            if (!attributes || attributes->map_state != XCB_MAP_STATE_VIEWABLE)
                continue;
            const std::string wmClass = property(w, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING);
            if (wmClass.empty()) {
                if (framesToo)
                    collectTopLevels(w, false, found);
                continue;
            }
            XTopLevel window;
            window.id = w;
            window.instance = wmClass.c_str();
            if (std::strlen(wmClass.c_str()) + 1 < wmClass.size())
                window.className = wmClass.c_str() + std::strlen(wmClass.c_str()) + 1;
            const auto geometry = reply(xcb_get_geometry_reply(c, xcb_get_geometry(c, w), nullptr));
            const auto onRoot = reply(
                xcb_translate_coordinates_reply(c, xcb_translate_coordinates(c, w, screen_->root, 0, 0), nullptr));
            if (geometry && onRoot) {
                window = {w,
                          window.instance,
                          window.className,
                          onRoot->dst_x,
                          onRoot->dst_y,
                          geometry->width,
                          geometry->height};
            }
            readIcon(w, window);
            found.push_back(window);
        }
    }

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
    xcb_extension_t randrId_{"RANDR", 0};
};
