// vantor_test_window: a window of one known colour at a known place, for the desktop tests.
//
//   vantor_test_window [--title T] [--geometry WxH+X+Y] [--color RRGGBB] [--typed-color RRGGBB]
//                      [--opacity 0xAAAAAAAA] [--type normal|dialog|utility|dock|desktop]
//                      [--above] [--undecorated] [--override-redirect]
//
// Once the window is shown and painted it prints its id ("0x…") on a line of its own. Every key
// pressed in it switches its colour between --color and --typed-color and paints it again. It
// ends when its standard input closes or the X server goes away.

#include <xcb/xcb.h>
#include <xcb/xcb_icccm.h>

#include <poll.h>
#include <unistd.h>

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace {

struct Options {
    std::string title = "Vantor Test Window";
    int x = 100, y = 100, width = 400, height = 300;
    std::uint32_t color = 0x3366CC;
    std::uint32_t typedColor = 0xCC6633;
    std::string opacity;
    std::string type;
    bool above = false;
    bool undecorated = false;
    bool overrideRedirect = false;
};

[[noreturn]] void usage(const char* problem) {
    std::fprintf(stderr, "vantor_test_window: %s\n", problem);
    std::exit(2);
}

Options parse(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        const auto value = [&]() -> const char* {
            if (i + 1 >= argc) usage("an option lacks its value");
            return argv[++i];
        };
        if (arg == "--title") {
            options.title = value();
        } else if (arg == "--geometry") {
            if (std::sscanf(value(), "%dx%d+%d+%d", &options.width, &options.height, &options.x,
                            &options.y) != 4) {
                usage("--geometry takes WxH+X+Y");
            }
        } else if (arg == "--color") {
            options.color = static_cast<std::uint32_t>(std::strtoul(value(), nullptr, 16));
        } else if (arg == "--typed-color") {
            options.typedColor = static_cast<std::uint32_t>(std::strtoul(value(), nullptr, 16));
        } else if (arg == "--opacity") {
            options.opacity = value();
        } else if (arg == "--type") {
            options.type = value();
        } else if (arg == "--above") {
            options.above = true;
        } else if (arg == "--undecorated") {
            options.undecorated = true;
        } else if (arg == "--override-redirect") {
            options.overrideRedirect = true;
        } else {
            usage("unknown option");
        }
    }
    return options;
}

xcb_atom_t atom(xcb_connection_t* c, std::string_view name) {
    auto* reply = xcb_intern_atom_reply(
        c, xcb_intern_atom(c, 0, static_cast<std::uint16_t>(name.size()), name.data()), nullptr);
    const xcb_atom_t result = reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
    std::free(reply);
    return result;
}

void setCardinals(xcb_connection_t* c, xcb_window_t w, std::string_view name, xcb_atom_t type,
                  const std::vector<std::uint32_t>& values) {
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, w, atom(c, name), type, 32,
                        static_cast<std::uint32_t>(values.size()), values.data());
}

void describe(xcb_connection_t* c, xcb_window_t w, const Options& o) {
    xcb_icccm_set_wm_name(c, w, XCB_ATOM_STRING, 8, static_cast<std::uint32_t>(o.title.size()),
                          o.title.c_str());
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, w, atom(c, "_NET_WM_NAME"), atom(c, "UTF8_STRING"),
                        8, static_cast<std::uint32_t>(o.title.size()), o.title.c_str());
    static constexpr char kClass[] = "vantor_test_window\0VantorTestWindow";
    xcb_icccm_set_wm_class(c, w, sizeof kClass, kClass);
    setCardinals(c, w, "_NET_WM_PID", XCB_ATOM_CARDINAL, {static_cast<std::uint32_t>(getpid())});

    xcb_size_hints_t hints{};
    xcb_icccm_size_hints_set_position(&hints, 1, o.x, o.y);
    xcb_icccm_size_hints_set_size(&hints, 1, o.width, o.height);
    xcb_icccm_set_wm_normal_hints(c, w, &hints);

    if (!o.opacity.empty()) {
        setCardinals(c, w, "_NET_WM_WINDOW_OPACITY", XCB_ATOM_CARDINAL,
                     {static_cast<std::uint32_t>(std::strtoul(o.opacity.c_str(), nullptr, 0))});
    }
    if (!o.type.empty()) {
        std::string name = "_NET_WM_WINDOW_TYPE_";
        for (const char ch : o.type) name += static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
        setCardinals(c, w, "_NET_WM_WINDOW_TYPE", XCB_ATOM_ATOM, {atom(c, name)});
    }
    if (o.above) setCardinals(c, w, "_NET_WM_STATE", XCB_ATOM_ATOM, {atom(c, "_NET_WM_STATE_ABOVE")});
    if (o.undecorated) {
        // _MOTIF_WM_HINTS: flags (decorations given), functions, decorations (none), ...
        const xcb_atom_t hintsAtom = atom(c, "_MOTIF_WM_HINTS");
        setCardinals(c, w, "_MOTIF_WM_HINTS", hintsAtom, {2, 0, 0, 0, 0});
    }
}

void paint(xcb_connection_t* c, xcb_window_t w, xcb_gcontext_t gc, std::uint32_t color,
           const Options& o) {
    xcb_change_gc(c, gc, XCB_GC_FOREGROUND, &color);
    xcb_change_window_attributes(c, w, XCB_CW_BACK_PIXEL, &color);
    const xcb_rectangle_t all{0, 0, static_cast<std::uint16_t>(o.width), static_cast<std::uint16_t>(o.height)};
    xcb_poly_fill_rectangle(c, w, gc, 1, &all);
    xcb_flush(c);
}

}  // namespace

int main(int argc, char** argv) {
    auto options = parse(argc, argv);
    int screenNumber = 0;
    xcb_connection_t* c = xcb_connect(nullptr, &screenNumber);
    if (xcb_connection_has_error(c) != 0) usage("can't connect to the X server");
    auto screens = xcb_setup_roots_iterator(xcb_get_setup(c));
    for (int i = 0; i < screenNumber; ++i) xcb_screen_next(&screens);
    const xcb_screen_t* screen = screens.data;

    const xcb_window_t window = xcb_generate_id(c);
    std::uint32_t color = options.color;
    const std::uint32_t values[] = {color, options.overrideRedirect ? 1u : 0u,
                                    XCB_EVENT_MASK_EXPOSURE | XCB_EVENT_MASK_KEY_PRESS |
                                        XCB_EVENT_MASK_STRUCTURE_NOTIFY};
    xcb_create_window(c, XCB_COPY_FROM_PARENT, window, screen->root,
                      static_cast<std::int16_t>(options.x), static_cast<std::int16_t>(options.y),
                      static_cast<std::uint16_t>(options.width), static_cast<std::uint16_t>(options.height),
                      0, XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual,
                      XCB_CW_BACK_PIXEL | XCB_CW_OVERRIDE_REDIRECT | XCB_CW_EVENT_MASK, values);
    describe(c, window, options);
    const xcb_gcontext_t gc = xcb_generate_id(c);
    xcb_create_gc(c, gc, window, XCB_GC_FOREGROUND, &color);
    xcb_map_window(c, window);
    xcb_flush(c);

    bool announced = false;
    for (;;) {
        while (xcb_generic_event_t* event = xcb_poll_for_event(c)) {
            switch (event->response_type & 0x7F) {
            case XCB_EXPOSE:
                paint(c, window, gc, color, options);
                if (!announced) {
                    std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
                    std::printf("0x%08x\n", window);
                    std::fflush(stdout);
                    announced = true;
                }
                break;
            case XCB_KEY_PRESS:
                color = color == options.color ? options.typedColor : options.color;
                paint(c, window, gc, color, options);
                break;
            case XCB_CONFIGURE_NOTIFY: {
                const auto* configure = reinterpret_cast<xcb_configure_notify_event_t*>(event);
                options.width = configure->width;
                options.height = configure->height;
                break;
            }
            default:
                break;
            }
            std::free(event);
        }
        if (xcb_connection_has_error(c) != 0) break;
        pollfd fds[2] = {{xcb_get_file_descriptor(c), POLLIN, 0}, {STDIN_FILENO, POLLIN, 0}};
        if (poll(fds, 2, -1) < 0) continue;
        if ((fds[1].revents & (POLLIN | POLLHUP)) != 0) {
            char buffer[64];
            if (read(STDIN_FILENO, buffer, sizeof buffer) <= 0) break;
        }
    }
    xcb_disconnect(c);
    return 0;
}
