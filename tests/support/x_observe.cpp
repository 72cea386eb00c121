#include "support/x_observe.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstring>

#include "support/wait.h"

namespace {

void find_named(Display* display, Window parent, const std::string& name, std::vector<unsigned long>& found) {
  Window root = 0, up = 0;
  Window* children = nullptr;
  unsigned count = 0;
  if (!XQueryTree(display, parent, &root, &up, &children, &count)) return;
  for (unsigned i = 0; i < count; ++i) {
    char* window_name = nullptr;
    if (XFetchName(display, children[i], &window_name) && window_name) {
      if (name == window_name) found.push_back(children[i]);
      XFree(window_name);
    }
    find_named(display, children[i], name, found);
  }
  if (children) XFree(children);
}

}  // namespace

std::vector<unsigned long> windows_named(Display* display, const std::string& name) {
  std::vector<unsigned long> found;
  find_named(display, DefaultRootWindow(display), name, found);
  return found;
}

unsigned long wait_for_window(Display* display, const std::string& name, int timeout_ms) {
  unsigned long window = 0;
  wait_until(
      [&] {
        for (unsigned long w : windows_named(display, name)) {
          XWindowAttributes a;
          if (XGetWindowAttributes(display, w, &a) && a.map_state == IsViewable) window = w;
        }
        return window != 0;
      },
      timeout_ms);
  return window;
}

namespace {

struct property_data {
  Atom type = None;
  int format = 0;
  unsigned long count = 0;
  unsigned char* data = nullptr;
  ~property_data() {
    if (data) XFree(data);
  }
};

bool read_property(Display* display, unsigned long window, const std::string& property, property_data& out) {
  const Atom name = XInternAtom(display, property.c_str(), False);
  unsigned long after = 0;
  return XGetWindowProperty(display, window, name, 0, 1 << 20, False, AnyPropertyType, &out.type, &out.format,
                            &out.count, &after, &out.data) == Success &&
         out.type != None;
}

}  // namespace

std::string text_property(Display* display, unsigned long window, const std::string& property) {
  property_data p;
  if (!read_property(display, window, property, p) || p.format != 8) return std::string();
  return std::string(reinterpret_cast<const char*>(p.data), p.count);
}

std::vector<std::string> atom_property(Display* display, unsigned long window, const std::string& property) {
  std::vector<std::string> names;
  property_data p;
  if (!read_property(display, window, property, p) || p.format != 32 || p.type != XA_ATOM) return names;
  const long* atoms = reinterpret_cast<const long*>(p.data);  // format 32 arrives as longs
  for (unsigned long i = 0; i < p.count; ++i) {
    char* n = XGetAtomName(display, static_cast<Atom>(atoms[i]));
    names.push_back(n ? n : "");
    if (n) XFree(n);
  }
  return names;
}

bool has_property(Display* display, unsigned long window, const std::string& property) {
  property_data p;
  return read_property(display, window, property, p);
}

window_geometry geometry_of(Display* display, unsigned long window) {
  window_geometry g;
  Window root = 0, child = 0;
  int x = 0, y = 0;
  unsigned w = 0, h = 0, border = 0, depth = 0;
  if (!XGetGeometry(display, window, &root, &x, &y, &w, &h, &border, &depth)) return g;
  XTranslateCoordinates(display, window, root, 0, 0, &g.x, &g.y, &child);
  g.width = static_cast<int>(w);
  g.height = static_cast<int>(h);
  return g;
}

namespace {
// The window area; a width of 0 is the whole screen.
int area_x = 0, area_y = 0, area_w = 0, area_h = 0;
}  // namespace

void set_window_area(int x, int y, int width, int height) {
  area_x = x;
  area_y = y;
  area_w = width;
  area_h = height;
}

void window_origin(int* x, int* y) {
  *x = area_x;
  *y = area_y;
}

Screenshot Screenshot::grab(Display* display) {
  Screenshot shot;
  const Window root = DefaultRootWindow(display);
  XWindowAttributes a;
  if (!XGetWindowAttributes(display, root, &a)) return shot;
  if (area_w > 0) {
    a.width = area_w;
    a.height = area_h;
  }
  XImage* image = XGetImage(display, root, area_x, area_y, static_cast<unsigned>(a.width),
                            static_cast<unsigned>(a.height), AllPlanes, ZPixmap);
  if (!image) return shot;
  shot.width_ = a.width;
  shot.height_ = a.height;
  shot.pixels_.resize(static_cast<std::size_t>(a.width) * static_cast<std::size_t>(a.height));
  // The usual 24-bit layout is read straight from the image's rows.
  const bool direct = image->bits_per_pixel == 32 && image->red_mask == 0xFF0000 && image->green_mask == 0xFF00 &&
                      image->blue_mask == 0xFF && image->byte_order == LSBFirst;
  for (int y = 0; y < a.height; ++y)
    for (int x = 0; x < a.width; ++x) {
      if (direct) {
        std::uint32_t p;
        std::memcpy(&p, image->data + static_cast<std::size_t>(y) * image->bytes_per_line + 4 * static_cast<std::size_t>(x), 4);
        shot.pixels_[static_cast<std::size_t>(y) * static_cast<std::size_t>(a.width) + static_cast<std::size_t>(x)] =
            p & 0xFFFFFF;
        continue;
      }
      const unsigned long p = XGetPixel(image, x, y);
      const std::uint32_t r = static_cast<std::uint32_t>((p & image->red_mask) >> 16) & 0xFF;
      const std::uint32_t g = static_cast<std::uint32_t>((p & image->green_mask) >> 8) & 0xFF;
      const std::uint32_t b = static_cast<std::uint32_t>(p & image->blue_mask) & 0xFF;
      shot.pixels_[static_cast<std::size_t>(y) * static_cast<std::size_t>(a.width) + static_cast<std::size_t>(x)] =
          (r << 16) | (g << 8) | b;
    }
  XDestroyImage(image);
  return shot;
}

rgb Screenshot::at(int x, int y) const {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return rgb{-1, -1, -1};
  const std::uint32_t p = pixels_[static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) +
                                  static_cast<std::size_t>(x)];
  return rgb{static_cast<int>((p >> 16) & 0xFF), static_cast<int>((p >> 8) & 0xFF), static_cast<int>(p & 0xFF)};
}

Screenshot wait_for_screen(Display* display, const std::function<bool(const Screenshot&)>& condition,
                           int timeout_ms) {
  Screenshot shot;
  wait_until(
      [&] {
        shot = Screenshot::grab(display);
        return shot.ok() && condition(shot);
      },
      timeout_ms);
  return shot;
}
