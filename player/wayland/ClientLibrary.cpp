#include "wayland/ClientLibrary.h"

#include "text/PrintableText.h"
#include "wayland/Protocols.h"

#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>

namespace {

// Everything of the library that the player and the generated code call.
#define GLIMMER_WAYLAND_CALLS(X)                                                                                                           \
    X(wl_display_connect)                                                                                                                  \
    X(wl_display_disconnect)                                                                                                               \
    X(wl_display_get_fd)                                                                                                                   \
    X(wl_display_get_error)                                                                                                                \
    X(wl_display_dispatch_pending)                                                                                                         \
    X(wl_display_flush)                                                                                                                    \
    X(wl_display_roundtrip)                                                                                                                \
    X(wl_display_prepare_read)                                                                                                             \
    X(wl_display_read_events)                                                                                                              \
    X(wl_display_cancel_read)                                                                                                              \
    X(wl_proxy_add_listener)                                                                                                               \
    X(wl_proxy_set_user_data)                                                                                                              \
    X(wl_proxy_get_user_data)                                                                                                              \
    X(wl_proxy_get_version)                                                                                                                \
    X(wl_proxy_get_class)                                                                                                                  \
    X(wl_proxy_destroy)                                                                                                                    \
    X(wl_proxy_marshal_array_constructor_versioned)

struct Calls {
#define GLIMMER_DECLARE(name) decltype(&::name) name = nullptr;
    GLIMMER_WAYLAND_CALLS(GLIMMER_DECLARE)
#undef GLIMMER_DECLARE
    // Since libwayland 1.20; older ones have the constructor call alone.
    decltype(&::wl_proxy_marshal_array_flags) wl_proxy_marshal_array_flags = nullptr;
};
Calls calls;

// Every interface whose requests the player sends: the generated code's
// variadic calls are taken apart by their signatures.
const wl_interface* const knownInterfaces[] = {
    &wl_display_interface, &wl_registry_interface, &wl_callback_interface, &wl_compositor_interface, &wl_subcompositor_interface,
    &wl_subsurface_interface, &wl_shm_interface, &wl_shm_pool_interface, &wl_buffer_interface, &wl_surface_interface,
    &wl_region_interface, &wl_output_interface, &wl_seat_interface, &wl_pointer_interface, &wl_keyboard_interface,
    &xdg_wm_base_interface, &xdg_surface_interface, &xdg_toplevel_interface, &wp_viewporter_interface, &wp_viewport_interface,
    &wp_fractional_scale_manager_v1_interface, &wp_fractional_scale_v1_interface, &zwp_keyboard_shortcuts_inhibit_manager_v1_interface,
    &zwp_keyboard_shortcuts_inhibitor_v1_interface,
};

const wl_interface* interfaceOf(wl_proxy* proxy)
{
    const char* name = calls.wl_proxy_get_class(proxy);
    for (const wl_interface* i : knownInterfaces)
        if (name && std::strcmp(i->name, name) == 0)
            return i;
    printLines(stderr, std::string("Glimmer: a request to a Wayland object of unknown kind ") + (name ? name : "?"));
    std::abort();
}

// The request's arguments as its signature lists them ("?" marks a nullable
// one; a leading number, the version it came in).
void argumentsOf(const char* signature, va_list ap, wl_argument* args, int most)
{
    int n = 0;
    for (const char* s = signature; *s && n < most; ++s) {
        switch (*s) {
        case 'i': args[n++].i = va_arg(ap, std::int32_t); break;
        case 'u': args[n++].u = va_arg(ap, std::uint32_t); break;
        case 'f': args[n++].f = va_arg(ap, wl_fixed_t); break;
        case 's': args[n++].s = va_arg(ap, const char*); break;
        case 'o':
        case 'n': args[n++].o = va_arg(ap, wl_object*); break;
        case 'a': args[n++].a = va_arg(ap, wl_array*); break;
        case 'h': args[n++].h = va_arg(ap, std::int32_t); break;
        default: break;
        }
    }
}

} // namespace

namespace wayland {

std::string loadClientLibrary()
{
    static std::string problem = [] {
        void* library = ::dlopen(clientLibraryName, RTLD_NOW | RTLD_LOCAL);
        if (!library)
            return std::string(clientLibraryName) + " cannot be loaded (" + ::dlerror() + ")";
        std::string missing;
#define GLIMMER_RESOLVE(name)                                                                                                              \
    calls.name = reinterpret_cast<decltype(calls.name)>(::dlsym(library, #name));                                                          \
    if (!calls.name)                                                                                                                       \
        missing += std::string(missing.empty() ? "" : ", ") + #name;
        GLIMMER_WAYLAND_CALLS(GLIMMER_RESOLVE)
#undef GLIMMER_RESOLVE
        calls.wl_proxy_marshal_array_flags =
            reinterpret_cast<decltype(calls.wl_proxy_marshal_array_flags)>(::dlsym(library, "wl_proxy_marshal_array_flags"));
        if (!missing.empty()) {
            ::dlclose(library);
            calls = Calls{};
            return std::string(clientLibraryName) + " is too old: it lacks " + missing;
        }
        return std::string();
    }();
    return problem;
}

} // namespace wayland

// What libwayland-client's header declares, for the generated code and the
// player; called only once loadClientLibrary() succeeded.
extern "C" {

wl_display* wl_display_connect(const char* name) { return calls.wl_display_connect(name); }
void wl_display_disconnect(wl_display* d) { calls.wl_display_disconnect(d); }
int wl_display_get_fd(wl_display* d) { return calls.wl_display_get_fd(d); }
int wl_display_get_error(wl_display* d) { return calls.wl_display_get_error(d); }
int wl_display_dispatch_pending(wl_display* d) { return calls.wl_display_dispatch_pending(d); }
int wl_display_flush(wl_display* d) { return calls.wl_display_flush(d); }
int wl_display_roundtrip(wl_display* d) { return calls.wl_display_roundtrip(d); }
int wl_display_prepare_read(wl_display* d) { return calls.wl_display_prepare_read(d); }
int wl_display_read_events(wl_display* d) { return calls.wl_display_read_events(d); }
void wl_display_cancel_read(wl_display* d) { calls.wl_display_cancel_read(d); }
int wl_proxy_add_listener(wl_proxy* p, void (**implementation)(void), void* data)
{
    return calls.wl_proxy_add_listener(p, implementation, data);
}
void wl_proxy_set_user_data(wl_proxy* p, void* data) { calls.wl_proxy_set_user_data(p, data); }
void* wl_proxy_get_user_data(wl_proxy* p) { return calls.wl_proxy_get_user_data(p); }
std::uint32_t wl_proxy_get_version(wl_proxy* p) { return calls.wl_proxy_get_version(p); }
const char* wl_proxy_get_class(wl_proxy* p) { return calls.wl_proxy_get_class(p); }
void wl_proxy_destroy(wl_proxy* p) { calls.wl_proxy_destroy(p); }

wl_proxy* wl_proxy_marshal_flags(wl_proxy* proxy, std::uint32_t opcode, const wl_interface* interface, std::uint32_t version,
                                 std::uint32_t flags, ...)
{
    // As many as libwayland itself takes.
    wl_argument args[20]{};
    va_list ap;
    va_start(ap, flags);
    argumentsOf(interfaceOf(proxy)->methods[opcode].signature, ap, args, 20);
    va_end(ap);
    if (calls.wl_proxy_marshal_array_flags)
        return calls.wl_proxy_marshal_array_flags(proxy, opcode, interface, version, flags, args);
    wl_proxy* made = calls.wl_proxy_marshal_array_constructor_versioned(proxy, opcode, args, interface, version);
    if (flags & WL_MARSHAL_FLAG_DESTROY)
        calls.wl_proxy_destroy(proxy);
    return made;
}

} // extern "C"
