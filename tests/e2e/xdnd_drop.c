/* Drops one file on an X window as a file manager does, through XDND: the source's side of
 * enter, position, status, drop, the selection request for text/uri-list, and finished.
 *   xdnd_drop WINDOW_ID PATH      (PATH absolute, in UTF-8; sent percent-encoded) */
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <poll.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static Display* display;
static Window source;
static Window target;

static Atom AtomOf(const char* name) {
    return XInternAtom(display, name, False);
}

/* The file URI as file managers write it: every byte but the unreserved ones and '/' as %XX. */
static char* FileUri(const char* path) {
    static const char kHex[] = "0123456789ABCDEF";
    char* uri = malloc(strlen("file://") + 3 * strlen(path) + 3);
    char* out = uri + sprintf(uri, "file://");
    for (const unsigned char* p = (const unsigned char*)path; *p; ++p) {
        if ((*p >= 'A' && *p <= 'Z') || (*p >= 'a' && *p <= 'z') || (*p >= '0' && *p <= '9') ||
            strchr("-._~/", *p)) {
            *out++ = (char)*p;
        } else {
            *out++ = '%';
            *out++ = kHex[*p >> 4];
            *out++ = kHex[*p & 15];
        }
    }
    strcpy(out, "\r\n");
    return uri;
}

static void Send(const char* type, long l1, long l2, long l3, long l4) {
    XEvent event = {0};
    event.xclient.type = ClientMessage;
    event.xclient.window = target;
    event.xclient.message_type = AtomOf(type);
    event.xclient.format = 32;
    event.xclient.data.l[0] = (long)source;
    event.xclient.data.l[1] = l1;
    event.xclient.data.l[2] = l2;
    event.xclient.data.l[3] = l3;
    event.xclient.data.l[4] = l4;
    XSendEvent(display, target, False, NoEventMask, &event);
    XFlush(display);
}

/* The next event, or 0 after five seconds without one. */
static int NextEvent(XEvent* event) {
    struct pollfd fd = {ConnectionNumber(display), POLLIN, 0};
    while (!XPending(display))
        if (poll(&fd, 1, 5000) <= 0) return 0;
    XNextEvent(display, event);
    return 1;
}

static void AnswerSelectionRequest(const XSelectionRequestEvent* request, const char* uri) {
    XEvent reply = {0};
    reply.xselection.type = SelectionNotify;
    reply.xselection.requestor = request->requestor;
    reply.xselection.selection = request->selection;
    reply.xselection.target = request->target;
    reply.xselection.time = request->time;
    reply.xselection.property = None;
    if (request->target == AtomOf("text/uri-list")) {
        XChangeProperty(display, request->requestor, request->property, request->target, 8,
                        PropModeReplace, (const unsigned char*)uri, (int)strlen(uri));
        reply.xselection.property = request->property;
    }
    XSendEvent(display, request->requestor, False, NoEventMask, &reply);
    XFlush(display);
}

static int Fail(const char* what) {
    fprintf(stderr, "xdnd_drop: %s\n", what);
    return 1;
}

int main(int argc, char** argv) {
    if (argc != 3) {
        fprintf(stderr, "usage: xdnd_drop WINDOW_ID PATH\n");
        return 2;
    }
    display = XOpenDisplay(NULL);
    if (!display) return Fail("no display");
    target = (Window)strtoul(argv[1], NULL, 0);
    char* uri = FileUri(argv[2]);

    Atom type;
    int format;
    unsigned long count, after;
    unsigned char* aware = NULL;
    if (XGetWindowProperty(display, target, AtomOf("XdndAware"), 0, 1, False, XA_ATOM, &type,
                           &format, &count, &after, &aware) != Success ||
        count != 1)
        return Fail("the window does not take drops (no XdndAware)");
    const long version = *(long*)aware < 5 ? *(long*)aware : 5;
    XFree(aware);

    source = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 1, 1, 0, 0, 0);
    XSetSelectionOwner(display, AtomOf("XdndSelection"), source, CurrentTime);

    /* Over the middle of the window, in root coordinates. */
    XWindowAttributes attributes;
    XGetWindowAttributes(display, target, &attributes);
    int x = 0, y = 0;
    Window child;
    XTranslateCoordinates(display, target, DefaultRootWindow(display), attributes.width / 2,
                          attributes.height / 2, &x, &y, &child);

    Send("XdndEnter", version << 24, (long)AtomOf("text/uri-list"), None, None);
    Send("XdndPosition", 0, ((long)x << 16) | (y & 0xFFFF), CurrentTime,
         (long)AtomOf("XdndActionCopy"));

    XEvent event;
    int dropped = 0;
    while (NextEvent(&event)) {
        if (event.type == SelectionRequest) {
            AnswerSelectionRequest(&event.xselectionrequest, uri);
        } else if (event.type == ClientMessage &&
                   event.xclient.message_type == AtomOf("XdndStatus")) {
            if (dropped) continue;
            if (!(event.xclient.data.l[1] & 1)) {
                Send("XdndLeave", 0, 0, 0, 0);
                return Fail("the window refused the drop");
            }
            Send("XdndDrop", 0, CurrentTime, 0, 0);
            dropped = 1;
        } else if (event.type == ClientMessage &&
                   event.xclient.message_type == AtomOf("XdndFinished")) {
            XCloseDisplay(display);
            free(uri);
            return 0;
        }
    }
    return Fail(dropped ? "no XdndFinished after the drop" : "no XdndStatus from the window");
}
