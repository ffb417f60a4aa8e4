// SPDX-License-Identifier: GPL-3.0-or-later
/* wm-delete WINDOW_ID: sends the window manager's close request
   (WM_DELETE_WINDOW) to a window, as a window manager would. */
#include <X11/Xlib.h>
#include <stdlib.h>

int main(int argc, char **argv)
{
    Display *dpy = argc == 2 ? XOpenDisplay(NULL) : NULL;
    if (!dpy)
        return 1;
    XEvent ev = {0};
    ev.xclient.type = ClientMessage;
    ev.xclient.window = (Window)strtoul(argv[1], NULL, 0);
    ev.xclient.message_type = XInternAtom(dpy, "WM_PROTOCOLS", False);
    ev.xclient.format = 32;
    ev.xclient.data.l[0] = (long)XInternAtom(dpy, "WM_DELETE_WINDOW", False);
    XSendEvent(dpy, ev.xclient.window, False, NoEventMask, &ev);
    XCloseDisplay(dpy);
    return 0;
}
