#include "ui/StarPictures.h"

#include <array>
#include <cmath>
#include <numbers>

namespace velmaro::ui {

namespace {

struct TPoint {
  double X, Y;
};
using TStarPolygon = std::array<TPoint, 10>;

// A five-pointed star with one point up, centred at (cx, cy): outer points
// on radius r, the inner corners on the radius that makes its edges
// straight lines from point to point (as a drawn pentagram's outline).
TStarPolygon Star(double cx, double cy, double r) {
  constexpr double pi = std::numbers::pi;
  const double inner = r * std::sin(pi / 10) / std::sin(7 * pi / 10);
  TStarPolygon points{};
  for (int i = 0; i < 10; ++i) {
    const double angle = -pi / 2 + i * pi / 5;
    const double radius = i % 2 == 0 ? r : inner;
    points[i] = {cx + radius * std::cos(angle), cy + radius * std::sin(angle)};
  }
  return points;
}

// Even-odd rule; the star is simple, so that is also the non-zero rule.
bool Inside(const TStarPolygon& polygon, double x, double y) {
  bool inside = false;
  for (std::size_t i = 0, j = polygon.size() - 1; i < polygon.size(); j = i++) {
    const TPoint& a = polygon[i];
    const TPoint& b = polygon[j];
    if ((a.Y > y) != (b.Y > y) && x < (b.X - a.X) * (y - a.Y) / (b.Y - a.Y) + a.X) inside = !inside;
  }
  return inside;
}

struct TColour {
  double R, G, B;
};

// Fill from the top (light) to the bottom (deeper), and a darker outline.
struct TStarColours {
  TColour Top, Bottom, Outline;
};

constexpr TStarColours GoldColours{{255, 226, 92}, {240, 166, 12}, {168, 104, 0}};
constexpr TStarColours GrayColours{{236, 236, 236}, {196, 196, 196}, {112, 112, 112}};

}  // namespace

std::vector<std::uint8_t> StarPicture(TStar star) {
  constexpr int size = StarPictureSize;
  std::vector<std::uint8_t> rgba(static_cast<std::size_t>(size) * size * 4, 0);
  if (star == TStar::None) return rgba;
  const TStarColours& colours = star == TStar::Gold ? GoldColours : GrayColours;

  // The centre sits a little low: the star's bottom points are nearer the
  // centre than its top point.
  const double cx = size / 2.0, cy = size / 2.0 + 1.5, radius = size / 2.0 - 0.5;
  const TStarPolygon outer = Star(cx, cy, radius);
  const TStarPolygon inner = Star(cx, cy + 0.2, radius - 2.6);

  // Antialiased by supersampling: each pixel is an average over a grid of
  // samples of whether they fall in the outline or the fill.
  constexpr int grid = 8;
  for (int y = 0; y < size; ++y) {
    for (int x = 0; x < size; ++x) {
      int inOuter = 0, inInner = 0;
      for (int sy = 0; sy < grid; ++sy) {
        for (int sx = 0; sx < grid; ++sx) {
          const double px = x + (sx + 0.5) / grid, py = y + (sy + 0.5) / grid;
          if (!Inside(outer, px, py)) continue;
          ++inOuter;
          if (Inside(inner, px, py)) ++inInner;
        }
      }
      if (inOuter == 0) continue;
      const double t = static_cast<double>(y) / (size - 1);
      const TColour fill{colours.Top.R + (colours.Bottom.R - colours.Top.R) * t,
                         colours.Top.G + (colours.Bottom.G - colours.Top.G) * t,
                         colours.Top.B + (colours.Bottom.B - colours.Top.B) * t};
      // Of the covered part, the share that is fill rather than outline.
      const double f = static_cast<double>(inInner) / inOuter;
      std::uint8_t* pixel = &rgba[(static_cast<std::size_t>(y) * size + x) * 4];
      pixel[0] = static_cast<std::uint8_t>(std::lround(fill.R * f + colours.Outline.R * (1 - f)));
      pixel[1] = static_cast<std::uint8_t>(std::lround(fill.G * f + colours.Outline.G * (1 - f)));
      pixel[2] = static_cast<std::uint8_t>(std::lround(fill.B * f + colours.Outline.B * (1 - f)));
      pixel[3] = static_cast<std::uint8_t>(std::lround(255.0 * inOuter / (grid * grid)));
    }
  }
  return rgba;
}

}  // namespace velmaro::ui
