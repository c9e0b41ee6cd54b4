#include "XServer.h"

#include <cstdlib>
#include <memory>

namespace tetrapan::test {

namespace {

template <typename T> std::unique_ptr<T, decltype(&std::free)> reply(T* value)
{
    return {value, &std::free};
}

} // namespace

XServer::XServer() : connection_(xcb_connect(nullptr, nullptr))
{
    if (!xcb_connection_has_error(connection_))
        root_ = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data->root;
}

XServer::~XServer()
{
    xcb_disconnect(connection_);
}

XServer::Window XServer::find(const QString& titleStart, qint64 pid)
{
    auto tree = reply(xcb_query_tree_reply(connection_, xcb_query_tree(connection_, root_), nullptr));
    if (!tree)
        return {};
    const xcb_window_t* children = xcb_query_tree_children(tree.get());
    for (int i = 0; i < xcb_query_tree_children_length(tree.get()); ++i) {
        const Window window = describe(children[i]);
        if (window.id != XCB_WINDOW_NONE && window.title.startsWith(titleStart) &&
            (pid == 0 || processOf(window.id) == pid))
            return window;
    }
    return {};
}

void XServer::focus(const Window& window)
{
    xcb_set_input_focus(connection_, XCB_INPUT_FOCUS_POINTER_ROOT, window.id, XCB_CURRENT_TIME);
    xcb_flush(connection_);
}

void XServer::key(const Window& window, uint32_t keysym, uint16_t modifiers)
{
    const xcb_keycode_t code = keycode(keysym);
    for (bool press : {true, false}) {
        xcb_key_press_event_t event{};
        event.response_type = press ? XCB_KEY_PRESS : XCB_KEY_RELEASE;
        event.detail = code;
        event.time = XCB_CURRENT_TIME;
        event.root = root_;
        event.event = window.id;
        event.state = modifiers;
        event.same_screen = 1;
        xcb_send_event(connection_, false, window.id, XCB_EVENT_MASK_NO_EVENT,
                       reinterpret_cast<const char*>(&event));
    }
    xcb_flush(connection_);
}

void XServer::close(const Window& window)
{
    xcb_client_message_event_t event{};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = window.id;
    event.type = atom("WM_PROTOCOLS");
    event.data.data32[0] = atom("WM_DELETE_WINDOW");
    event.data.data32[1] = XCB_CURRENT_TIME;
    xcb_send_event(connection_, false, window.id, XCB_EVENT_MASK_NO_EVENT,
                   reinterpret_cast<const char*>(&event));
    xcb_flush(connection_);
}

QColor XServer::pixel(QPoint global)
{
    const QImage image = grab(QRect(global, QSize(1, 1)));
    return image.isNull() ? QColor() : image.pixelColor(0, 0);
}

QImage XServer::grab(QRect global)
{
    auto image = reply(xcb_get_image_reply(
        connection_,
        xcb_get_image(connection_, XCB_IMAGE_FORMAT_Z_PIXMAP, root_, static_cast<int16_t>(global.x()),
                      static_cast<int16_t>(global.y()), static_cast<uint16_t>(global.width()),
                      static_cast<uint16_t>(global.height()), ~0u),
        nullptr));
    // A 24-bit screen sends 32-bit pixels, blue first.
    if (!image || image->depth != 24 ||
        xcb_get_image_data_length(image.get()) < global.width() * global.height() * 4)
        return {};
    return QImage(xcb_get_image_data(image.get()), global.width(), global.height(), global.width() * 4,
                  QImage::Format_RGB32)
        .copy();
}

xcb_atom_t XServer::atom(const char* name)
{
    auto answer = reply(xcb_intern_atom_reply(
        connection_, xcb_intern_atom(connection_, 0, static_cast<uint16_t>(qstrlen(name)), name), nullptr));
    return answer ? answer->atom : xcb_atom_t(XCB_ATOM_NONE);
}

XServer::Window XServer::describe(xcb_window_t id)
{
    auto attributes = reply(
        xcb_get_window_attributes_reply(connection_, xcb_get_window_attributes(connection_, id), nullptr));
    if (!attributes || attributes->map_state != XCB_MAP_STATE_VIEWABLE)
        return {};
    auto name = reply(xcb_get_property_reply(
        connection_,
        xcb_get_property(connection_, 0, id, atom("_NET_WM_NAME"), XCB_GET_PROPERTY_TYPE_ANY, 0, 1024),
        nullptr));
    auto geometry = reply(xcb_get_geometry_reply(connection_, xcb_get_geometry(connection_, id), nullptr));
    auto origin = reply(xcb_translate_coordinates_reply(
        connection_, xcb_translate_coordinates(connection_, id, root_, 0, 0), nullptr));
    if (!name || !geometry || !origin)
        return {};
    Window window;
    window.id = id;
    window.title = QString::fromUtf8(static_cast<const char*>(xcb_get_property_value(name.get())),
                                     xcb_get_property_value_length(name.get()));
    window.geometry = QRect(origin->dst_x, origin->dst_y, geometry->width, geometry->height);
    return window;
}

qint64 XServer::processOf(xcb_window_t id)
{
    auto property = reply(xcb_get_property_reply(
        connection_, xcb_get_property(connection_, 0, id, atom("_NET_WM_PID"), XCB_ATOM_CARDINAL, 0, 1),
        nullptr));
    if (!property || xcb_get_property_value_length(property.get()) != 4)
        return 0;
    return *static_cast<const uint32_t*>(xcb_get_property_value(property.get()));
}

xcb_keycode_t XServer::keycode(uint32_t keysym)
{
    const xcb_setup_t* setup = xcb_get_setup(connection_);
    const int count = setup->max_keycode - setup->min_keycode + 1;
    auto mapping = reply(xcb_get_keyboard_mapping_reply(
        connection_, xcb_get_keyboard_mapping(connection_, setup->min_keycode, static_cast<uint8_t>(count)),
        nullptr));
    if (!mapping)
        return 0;
    const xcb_keysym_t* keysyms = xcb_get_keyboard_mapping_keysyms(mapping.get());
    const int perCode = mapping->keysyms_per_keycode;
    for (int code = 0; code < count; ++code) {
        for (int column = 0; column < perCode; ++column) {
            if (keysyms[code * perCode + column] == keysym)
                return static_cast<xcb_keycode_t>(setup->min_keycode + code);
        }
    }
    return 0;
}

} // namespace tetrapan::test
