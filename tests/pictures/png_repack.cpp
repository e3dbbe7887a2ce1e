// Rewrites a PNG through Cairo: the Windows test host writes its pages
// uncompressed (a quarter megabyte each), and the README keeps them
// compressed. Cairo and zlib give the same bytes for the same pixels on the
// same Debian packages, so a repacked picture can be compared byte for byte.
//   png_repack <in.png> <out.png>
#include <cairo.h>

#include <cstdio>
#include <memory>

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: png_repack <in.png> <out.png>\n");
    return 2;
  }
  const std::unique_ptr<cairo_surface_t, decltype(&cairo_surface_destroy)> image(
      cairo_image_surface_create_from_png(argv[1]), &cairo_surface_destroy);
  if (cairo_surface_status(image.get()) != CAIRO_STATUS_SUCCESS) {
    std::fprintf(stderr, "png_repack: cannot read %s: %s\n", argv[1],
                 cairo_status_to_string(cairo_surface_status(image.get())));
    return 1;
  }
  const cairo_status_t written = cairo_surface_write_to_png(image.get(), argv[2]);
  if (written != CAIRO_STATUS_SUCCESS) {
    std::fprintf(stderr, "png_repack: cannot write %s: %s\n", argv[2],
                 cairo_status_to_string(written));
    return 1;
  }
  return 0;
}
