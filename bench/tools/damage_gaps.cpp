// Watches an X screen from outside, with the DAMAGE extension on its root
// window, and reports the longest time between two updates of the screen:
// how smooth a show on it looks, whatever program draws it.
// usage: damage_gaps SECONDS   (on $DISPLAY)
// Prints "updates N, longest gap G ms" once SECONDS have passed after the
// first update.
#include <poll.h>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <xcb/damage.h>
#include <xcb/xcb.h>

static double now_ms(void)
{
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

int main(int argc, char** argv)
{
    const double seconds = argc > 1 ? atof(argv[1]) : 10.0;
    int screen_number = 0;
    xcb_connection_t* c = xcb_connect(nullptr, &screen_number);
    if (xcb_connection_has_error(c)) {
        fprintf(stderr, "damage_gaps: no X display\n");
        return 1;
    }
    const xcb_query_extension_reply_t* ext = xcb_get_extension_data(c, &xcb_damage_id);
    if (!ext || !ext->present) {
        fprintf(stderr, "damage_gaps: the X server has no DAMAGE extension\n");
        return 1;
    }
    free(xcb_damage_query_version_reply(c, xcb_damage_query_version(c, 1, 1), nullptr));
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(c));
    for (int i = 0; i < screen_number; ++i)
        xcb_screen_next(&it);
    const xcb_window_t root = it.data->root;
    const xcb_damage_damage_t damage = xcb_generate_id(c);
    xcb_damage_create(c, damage, root, XCB_DAMAGE_REPORT_LEVEL_NON_EMPTY);
    xcb_flush(c);

    double first = 0, last = 0, longest = 0;
    long updates = 0;
    pollfd p = {xcb_get_file_descriptor(c), POLLIN, 0};
    for (;;) {
        const double t = now_ms();
        if (updates > 0 && t - first >= seconds * 1000)
            break;
        poll(&p, 1, 50);
        while (xcb_generic_event_t* e = xcb_poll_for_event(c)) {
            if ((e->response_type & 0x7f) == ext->first_event + XCB_DAMAGE_NOTIFY) {
                const double when = now_ms();
                if (updates == 0)
                    first = when;
                else if (when - last > longest)
                    longest = when - last;
                last = when;
                ++updates;
                // Report the next change again.
                xcb_damage_subtract(c, damage, XCB_NONE, XCB_NONE);
                xcb_flush(c);
            }
            free(e);
        }
        if (xcb_connection_has_error(c)) {
            fprintf(stderr, "damage_gaps: the X display went away\n");
            return 1;
        }
    }
    // A show that stops drawing before the time is up has a gap to the end too.
    if (now_ms() - last > longest)
        longest = now_ms() - last;
    printf("updates %ld, longest gap %.1f ms\n", updates, longest);
    xcb_disconnect(c);
    return 0;
}
