#pragma once
// The tests' own connection to an X server, for what a screenshot cannot do:
// make windows for the player to draw into, resize, close and destroy them,
// mark a virtual root, and read back the pixels the player drew. Windows are
// plain numbers here, so that Xlib's macros stay out of the tests (and away
// from Qt's and GoogleTest's names).
#include <cstdint>
#include <string>
#include <vector>

class XClient {
public:
    explicit XClient(const std::string& display);
    ~XClient();
    XClient(const XClient&) = delete;
    XClient& operator=(const XClient&) = delete;

    bool Ok() const { return display_ != nullptr; }
    unsigned long Root() const;

    // A mapped window of the root's visual, black until someone draws.
    unsigned long CreateWindow(int x, int y, int width, int height, unsigned long parent = 0);
    // A mapped 32-bit window with alpha (a compositor's ARGB visual), all
    // transparent until someone draws; 0 when the server has no such visual.
    unsigned long CreateAlphaWindow(int x, int y, int width, int height);
    void Resize(unsigned long window, int width, int height);
    void Destroy(unsigned long window);
    // Paints the window black as a host paints its own with cairo: quietly,
    // over the windows in it too.
    void PaintBlack(unsigned long window);
    // What a window manager sends when the user closes a window.
    void AskToClose(unsigned long window);
    // Marks `child` of the root as a virtual root that stands for `vroot`.
    void SetVirtualRoot(unsigned long child, unsigned long vroot);
    // Whether the window is still there.
    bool Exists(unsigned long window);
    // Top-level windows that are mapped, the root's children.
    std::vector<unsigned long> MappedTopLevels();

    // Whether the mouse pointer shows on the screen now (XFixes' cursor
    // image has a pixel that is not wholly transparent).
    bool PointerVisible();

    // The window's pixels as 0xRRGGBB, row by row (width x height).
    std::vector<std::uint32_t> Pixels(unsigned long window, int& width, int& height);
    // The share of a 32-bit window's pixels whose alpha is wholly opaque.
    double OpaqueShare(unsigned long window);
    // The share of sampled pixels within `tolerance` of 0xRRGGBB.
    double Share(unsigned long window, std::uint32_t rgb, int tolerance = 8);

private:
    void* display_ = nullptr;
};
