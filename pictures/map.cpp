// The drawn map: the box chosen from the points, the land clipped to it and
// simplified to the pixels it takes, the ticks, the stars and the dots.
#include "pictures/map.h"

#include "numtext/writing.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

namespace shindo::pictures {

namespace {

constexpr double kLatitudeLimit = 85.0;
constexpr double kStationRadius = 6.0;
constexpr double kFailedRadius = 4.0;
constexpr double kRingStep = 3.0;       // how much wider each ring around a co-located station is
constexpr double kStarRadius = 15.0;     // its tips show around a dot and a ring on the epicentre
constexpr double kLandTolerance = 0.4;  // pixels a simplified coast may stray
constexpr double kLeftMargin = 50.0;    // room for the latitude labels
constexpr double kRightMargin = 24.0;   // half the last longitude label
constexpr double kTopMargin = 12.0;
constexpr double kBottomMargin = 36.0;  // the longitude labels and the source of the land

struct Point {
  double x = 0.0;
  double y = 0.0;
};

bool on_earth(const GeoPoint& p) {
  return std::isfinite(p.latitude) && std::isfinite(p.longitude) && std::fabs(p.latitude) <= 90.0f &&
         std::fabs(p.longitude) <= 180.0f;
}

bool valid_box(const MapBox& box) {
  return std::isfinite(box.west) && std::isfinite(box.east) && std::isfinite(box.south) &&
         std::isfinite(box.north) && box.east > box.west && box.north > box.south;
}

bool inside(const MapBox& box, const GeoPoint& p) {
  return p.longitude >= box.west && p.longitude <= box.east && p.latitude >= box.south && p.latitude <= box.north;
}

MapBox land_box() {
  const Coastline& land = coastline();
  return {land.west, land.east, land.south, land.north};
}

double cosine_of_middle(const MapBox& box) {
  return std::max(0.05, std::cos((box.south + box.north) / 2.0 * std::numbers::pi / 180.0));
}

// Pixels of the map: longitude scaled by the cosine of the middle latitude,
// latitude downwards from the top of the frame.
struct Projection {
  MapBox box;
  double shrink = 1.0;  // cosine of the middle latitude
  double scale = 1.0;   // pixels per degree of latitude
  double left = 0.0;
  double top = 0.0;

  Point at(double longitude, double latitude) const {
    return {left + (longitude - box.west) * shrink * scale, top + (box.north - latitude) * scale};
  }
};

// ---------------------------------------------------------------------------
// The land
// ---------------------------------------------------------------------------

// The part of a closed ring on the inner side of one edge of the box
// (Sutherland–Hodgman); `keep` says whether a point is inside, `cut` where
// the segment from a to b meets the edge.
template <typename Keep, typename Cut>
std::vector<Point> clip_edge(const std::vector<Point>& ring, Keep keep, Cut cut) {
  std::vector<Point> out;
  out.reserve(ring.size() + 4);
  for (std::size_t i = 0; i < ring.size(); ++i) {
    const Point& a = ring[(i + ring.size() - 1) % ring.size()];
    const Point& b = ring[i];
    const bool a_in = keep(a);
    const bool b_in = keep(b);
    if (b_in) {
      if (!a_in) out.push_back(cut(a, b));
      out.push_back(b);
    } else if (a_in) {
      out.push_back(cut(a, b));
    }
  }
  return out;
}

// A ring of (longitude, latitude) points clipped to the box; the parts of
// the ring outside become runs along the box's edges, which fill nothing.
std::vector<Point> clip_ring(std::vector<Point> ring, const MapBox& box) {
  const auto at_x = [](double x) {
    return [x](const Point& a, const Point& b) { return Point{x, a.y + (b.y - a.y) * (x - a.x) / (b.x - a.x)}; };
  };
  const auto at_y = [](double y) {
    return [y](const Point& a, const Point& b) { return Point{a.x + (b.x - a.x) * (y - a.y) / (b.y - a.y), y}; };
  };
  ring = clip_edge(ring, [&](const Point& p) { return p.x >= box.west; }, at_x(box.west));
  ring = clip_edge(ring, [&](const Point& p) { return p.x <= box.east; }, at_x(box.east));
  ring = clip_edge(ring, [&](const Point& p) { return p.y >= box.south; }, at_y(box.south));
  ring = clip_edge(ring, [&](const Point& p) { return p.y <= box.north; }, at_y(box.north));
  return ring;
}

double distance_to_segment(const Point& p, const Point& a, const Point& b) {
  const double dx = b.x - a.x;
  const double dy = b.y - a.y;
  const double length2 = dx * dx + dy * dy;
  const double t = length2 > 0.0 ? std::clamp(((p.x - a.x) * dx + (p.y - a.y) * dy) / length2, 0.0, 1.0) : 0.0;
  return std::hypot(p.x - a.x - t * dx, p.y - a.y - t * dy);
}

// Marks the points of ring[first..last] that Douglas–Peucker keeps at
// `tolerance` (both ends are kept by the caller).
void mark_kept(const std::vector<Point>& ring, std::size_t first, std::size_t last, double tolerance,
               std::vector<bool>& keep) {
  std::vector<std::pair<std::size_t, std::size_t>> spans{{first, last}};
  while (!spans.empty()) {
    const auto [from, to] = spans.back();
    spans.pop_back();
    double worst = -1.0;
    std::size_t at = from;
    for (std::size_t i = from + 1; i < to; ++i) {
      const double d = distance_to_segment(ring[i], ring[from], ring[to % ring.size()]);
      if (d > worst) {
        worst = d;
        at = i;
      }
    }
    if (worst > tolerance) {
      keep[at] = true;
      spans.emplace_back(from, at);
      spans.emplace_back(at, to);
    }
  }
}

// A closed ring simplified: split at its first point and the point farthest
// from it, each half simplified by Douglas–Peucker.
std::vector<Point> simplify_ring(const std::vector<Point>& ring, double tolerance) {
  if (ring.size() <= 3) return ring;
  std::size_t far = 0;
  double farthest = -1.0;
  for (std::size_t i = 1; i < ring.size(); ++i) {
    const double d = std::hypot(ring[i].x - ring[0].x, ring[i].y - ring[0].y);
    if (d > farthest) {
      farthest = d;
      far = i;
    }
  }
  std::vector<bool> keep(ring.size(), false);
  keep[0] = keep[far] = true;
  mark_kept(ring, 0, far, tolerance, keep);
  mark_kept(ring, far, ring.size(), tolerance, keep);  // index ring.size() is the first point again
  std::vector<Point> out;
  for (std::size_t i = 0; i < ring.size(); ++i) {
    if (keep[i]) out.push_back(ring[i]);
  }
  return out;
}

// The land inside the frame as one path of closed sub-paths (even-odd, so a
// lake stays water), coordinates to 0.1 pixel. Returns the points written.
std::size_t append_land(std::string& out, const Projection& projection, std::string_view id) {
  const Coastline& land = coastline();
  const MapBox& box = projection.box;
  std::string path;
  std::size_t written = 0;
  std::size_t begin = 0;
  for (const std::int32_t end_index : land.ring_ends) {
    const auto end = static_cast<std::size_t>(end_index);
    std::vector<Point> ring;
    ring.reserve(end - begin);
    MapBox extent{1e9, -1e9, 1e9, -1e9};
    for (std::size_t i = begin; i < end; ++i) {
      const Point p{land.west + land.points[2 * i] * land.unit, land.south + land.points[2 * i + 1] * land.unit};
      extent = {std::min(extent.west, p.x), std::max(extent.east, p.x), std::min(extent.south, p.y),
                std::max(extent.north, p.y)};
      ring.push_back(p);
    }
    begin = end;
    if (extent.east < box.west || extent.west > box.east || extent.north < box.south || extent.south > box.north) continue;
    std::vector<Point> pixels;
    for (const Point& p : clip_ring(std::move(ring), box)) pixels.push_back(projection.at(p.x, p.y));
    std::vector<std::string> texts;
    for (const Point& p : simplify_ring(pixels, kLandTolerance)) {
      std::string text;
      numtext::append_fixed(text, p.x, 1);
      text += ',';
      numtext::append_fixed(text, p.y, 1);
      if (texts.empty() || texts.back() != text) texts.push_back(std::move(text));
    }
    if (texts.size() > 1 && texts.front() == texts.back()) texts.pop_back();
    if (texts.size() < 3) continue;
    path += path.empty() ? "M" : " M";
    for (std::size_t i = 0; i < texts.size(); ++i) {
      if (i > 0) path += ' ';
      path += texts[i];
    }
    path += 'Z';
    written += texts.size();
  }
  if (!path.empty()) {
    out += "<path id=\"";
    if (!id.empty()) {
      out += escape_xml(id);
      out += '-';
    }
    out += "land\" fill=\"#F3EFE2\" stroke=\"#7D7A6A\" stroke-width=\"0.7\" stroke-linejoin=\"round\" fill-rule=\"evenodd\" d=\"";
    out += path;
    out += "\"/>\n";
  }
  return written;
}

// ---------------------------------------------------------------------------
// Marks and text
// ---------------------------------------------------------------------------

void append_number(std::string& out, double value) { numtext::append_fixed(out, value, 1); }

void append_attribute(std::string& out, std::string_view name, double value) {
  out += ' ';
  out += name;
  out += "=\"";
  append_number(out, value);
  out += '"';
}

// "136°E", "37.5°N": whole degrees or the decimals the tick step needs.
std::string degree_label(double value, int decimals, char positive, char negative) {
  std::string text = numtext::fixed_text(std::fabs(value), decimals) + "\u00B0";
  if (value != 0.0) text += value > 0.0 ? positive : negative;
  return text;
}

// A five-pointed star around (x, y), its points `radius` from the centre.
void append_star(std::string& out, const MapMark& mark, std::string_view title) {
  out += "<polygon class=\"epicentre\" points=\"";
  for (int i = 0; i < 10; ++i) {
    const double r = i % 2 == 0 ? mark.radius : mark.radius * 0.5;
    const double angle = std::numbers::pi / 2.0 + i * std::numbers::pi / 5.0;
    if (i > 0) out += ' ';
    append_number(out, mark.x + r * std::cos(angle));
    out += ',';
    append_number(out, mark.y - r * std::sin(angle));
  }
  out += "\" fill=\"#1E1E1E\" stroke=\"#FFFFFF\" stroke-width=\"1.2\"><title>";
  out += escape_xml(title);
  out += "</title></polygon>\n";
}

bool has_intensity(const MapStation& station) {
  return station.intensity.has_value() && std::isfinite(*station.intensity);
}

void append_station(std::string& out, const MapMark& mark, const MapStation& station) {
  out += "<circle class=\"station\"";
  append_attribute(out, "cx", mark.x);
  append_attribute(out, "cy", mark.y);
  append_attribute(out, "r", mark.radius);
  if (has_intensity(station)) {
    out += " fill=\"";
    out += class_colour(intensity_class(reported_tenths(*station.intensity)));
    out += "\" stroke=\"#333333\" stroke-width=\"1\"";
  } else {
    out += " fill=\"none\" stroke=\"#808080\" stroke-width=\"1.5\"";
  }
  out += "><title>";
  out += escape_xml(station.title);
  out += "</title></circle>\n";
}

// ---------------------------------------------------------------------------
// Where things go
// ---------------------------------------------------------------------------

Projection projection_for(const MapInput& input, MapLayout& layout) {
  Projection projection;
  projection.box = valid_box(input.box) ? input.box : land_box();
  const MapBox& box = projection.box;
  projection.shrink = cosine_of_middle(box);
  const double room_x = std::max(100.0, (std::isfinite(input.width) ? input.width : 0.0) - kLeftMargin - kRightMargin);
  const double room_y = std::max(80.0, (std::isfinite(input.height) ? input.height : 0.0) - kTopMargin - kBottomMargin);
  projection.scale = std::min(room_x / ((box.east - box.west) * projection.shrink), room_y / (box.north - box.south));
  projection.left = kLeftMargin;
  projection.top = kTopMargin;
  layout.left = kLeftMargin;
  layout.top = kTopMargin;
  layout.right = kLeftMargin + (box.east - box.west) * projection.shrink * projection.scale;
  layout.bottom = kTopMargin + (box.north - box.south) * projection.scale;
  // Whole pixels, not one more when the map fills the room to the last bit.
  layout.width = std::ceil(layout.right + kRightMargin - 1e-6);
  layout.height = std::ceil(layout.bottom + kBottomMargin - 1e-6);
  return projection;
}

// The distinct epicentres inside the box, each with the tooltips of the
// epicentres merged into it.
std::vector<std::string> place_epicentres(const MapInput& input, const Projection& projection, MapLayout& layout) {
  std::vector<std::string> titles;
  constexpr std::size_t kNone = std::numeric_limits<std::size_t>::max();
  layout.epicentre_mark.assign(input.epicentres.size(), kNone);
  for (std::size_t i = 0; i < input.epicentres.size(); ++i) {
    const MapEpicentre& e = input.epicentres[i];
    if (!on_earth(e.place) || !inside(projection.box, e.place)) continue;
    for (std::size_t m = 0; m < layout.epicentres.size(); ++m) {
      const GeoPoint& first = input.epicentres[layout.epicentres[m].index].place;
      if (std::fabs(first.latitude - e.place.latitude) <= input.same_place &&
          std::fabs(first.longitude - e.place.longitude) <= input.same_place) {
        layout.epicentre_mark[i] = m;
        break;
      }
    }
    if (layout.epicentre_mark[i] != kNone) {
      std::string& title = titles[layout.epicentre_mark[i]];
      const bool known = title == e.title || title.find(std::string(e.title) + "\n") == 0 ||
                         title.find("\n" + std::string(e.title)) != std::string::npos;
      if (!e.title.empty() && !known) title += (title.empty() ? "" : "\n") + std::string(e.title);
      continue;
    }
    const Point p = projection.at(e.place.longitude, e.place.latitude);
    layout.epicentre_mark[i] = layout.epicentres.size();
    layout.epicentres.push_back({i, p.x, p.y, kStarRadius});
    titles.emplace_back(e.title);
  }
  return titles;
}

// The stations inside the box in drawing order (failed first, then by
// intensity, ties in input order); a station with later ones on the same
// pixel gets a ring wide enough to show around theirs.
void place_stations(const MapInput& input, const Projection& projection, MapLayout& layout) {
  for (std::size_t i = 0; i < input.stations.size(); ++i) {
    const MapStation& s = input.stations[i];
    if (!s.place || !on_earth(*s.place) || !inside(projection.box, *s.place)) {
      layout.not_drawn.push_back(i);
      continue;
    }
    const Point p = projection.at(s.place->longitude, s.place->latitude);
    layout.stations.push_back({i, p.x, p.y, has_intensity(s) ? kStationRadius : kFailedRadius});
  }
  std::stable_sort(layout.stations.begin(), layout.stations.end(), [&](const MapMark& a, const MapMark& b) {
    const MapStation& x = input.stations[a.index];
    const MapStation& y = input.stations[b.index];
    if (has_intensity(x) != has_intensity(y)) return has_intensity(y);
    return has_intensity(x) && *x.intensity < *y.intensity;
  });
  // From the strongest down, so that the rings above a mark are final.
  for (std::size_t i = layout.stations.size(); i-- > 0;) {
    MapMark& mark = layout.stations[i];
    for (std::size_t j = i + 1; j < layout.stations.size(); ++j) {
      const MapMark& later = layout.stations[j];
      if (std::fabs(later.x - mark.x) <= 1.0 && std::fabs(later.y - mark.y) <= 1.0) {
        mark.radius = std::max(mark.radius, later.radius + kRingStep);
      }
    }
  }
}

// The position and size of the map's frame, as attributes of a rect.
void append_frame(std::string& out, const MapLayout& layout) {
  append_attribute(out, "x", layout.left);
  append_attribute(out, "y", layout.top);
  append_attribute(out, "width", layout.right - layout.left);
  append_attribute(out, "height", layout.bottom - layout.top);
}

void append_ticks(std::string& out, const Projection& projection, const MapLayout& layout) {
  const MapBox& box = projection.box;
  const Ticks longitudes = round_ticks(box.west, box.east, 6);
  const Ticks latitudes = round_ticks(box.south, box.north, 6);
  out += "<g stroke=\"#9FB3C2\" stroke-width=\"0.6\" stroke-dasharray=\"3 3\">\n";
  for (const double value : longitudes.values) {
    const double x = projection.at(value, box.north).x;
    out += "<line";
    append_attribute(out, "x1", x);
    append_attribute(out, "y1", layout.top);
    append_attribute(out, "x2", x);
    append_attribute(out, "y2", layout.bottom);
    out += "/>\n";
  }
  for (const double value : latitudes.values) {
    const double y = projection.at(box.west, value).y;
    out += "<line";
    append_attribute(out, "x1", layout.left);
    append_attribute(out, "y1", y);
    append_attribute(out, "x2", layout.right);
    append_attribute(out, "y2", y);
    out += "/>\n";
  }
  out += "</g>\n<rect";
  append_frame(out, layout);
  out += " fill=\"none\" stroke=\"#666666\"/>\n<g fill=\"#333333\">\n";
  for (const double value : longitudes.values) {
    out += "<text class=\"xtick\"";
    append_attribute(out, "x", projection.at(value, box.north).x);
    append_attribute(out, "y", layout.bottom + 14.0);
    out += " text-anchor=\"middle\">" + degree_label(value, longitudes.decimals, 'E', 'W') + "</text>\n";
  }
  for (const double value : latitudes.values) {
    out += "<text class=\"ytick\"";
    append_attribute(out, "x", layout.left - 5.0);
    append_attribute(out, "y", projection.at(box.west, value).y + 4.0);
    out += " text-anchor=\"end\">" + degree_label(value, latitudes.decimals, 'N', 'S') + "</text>\n";
  }
  out += "</g>\n";
}

}  // namespace

MapBox map_box(std::span<const GeoPoint> points, double padding, double least_span) {
  MapBox box{1e9, -1e9, 1e9, -1e9};
  for (const GeoPoint& p : points) {
    if (!on_earth(p)) continue;
    box = {std::min<double>(box.west, p.longitude), std::max<double>(box.east, p.longitude),
           std::min<double>(box.south, p.latitude), std::max<double>(box.north, p.latitude)};
  }
  if (box.west > box.east) return land_box();
  if (!std::isfinite(padding) || padding < 0.0) padding = 0.0;
  if (!std::isfinite(least_span) || least_span <= 0.0) least_span = 1e-3;
  const auto widen = [](double& low, double& high, double span) {
    if (high - low >= span) return;
    const double middle = (low + high) / 2.0;
    low = middle - span / 2.0;
    high = middle + span / 2.0;
  };
  const double pad_x = (box.east - box.west) * padding;
  const double pad_y = (box.north - box.south) * padding;
  box = {box.west - pad_x, box.east + pad_x, box.south - pad_y, box.north + pad_y};
  widen(box.west, box.east, least_span);
  widen(box.south, box.north, least_span);
  const double shrink = cosine_of_middle(box);
  const double drawn_width = (box.east - box.west) * shrink;
  const double drawn_height = box.north - box.south;
  widen(box.west, box.east, drawn_height / 2.0 / shrink);
  widen(box.south, box.north, drawn_width / 2.0);
  box.south = std::max(box.south, -kLatitudeLimit);
  box.north = std::min(box.north, kLatitudeLimit);
  return box;
}

MapPicture draw_map(const MapInput& input) {
  MapPicture picture;
  MapLayout& layout = picture.layout;
  const Projection projection = projection_for(input, layout);
  const std::vector<std::string> epicentre_titles = place_epicentres(input, projection, layout);
  place_stations(input, projection, layout);

  std::string& out = picture.svg;
  out += "<svg xmlns=\"http://www.w3.org/2000/svg\" class=\"map\"";
  if (!input.id.empty()) out += " id=\"" + escape_xml(input.id) + "\"";
  append_attribute(out, "width", layout.width);
  append_attribute(out, "height", layout.height);
  out += " viewBox=\"0 0 ";
  append_number(out, layout.width);
  out += ' ';
  append_number(out, layout.height);
  out += "\" font-family=\"'DejaVu Sans','Noto Sans CJK JP',sans-serif\" font-size=\"11\">\n<rect";
  append_frame(out, layout);
  out += " fill=\"#DDEBF5\"/>\n";
  layout.land_points = append_land(out, projection, input.id);
  append_ticks(out, projection, layout);
  for (std::size_t m = 0; m < layout.epicentres.size(); ++m) append_star(out, layout.epicentres[m], epicentre_titles[m]);
  for (const MapMark& mark : layout.stations) append_station(out, mark, input.stations[mark.index]);
  // The tags after every dot, so that no dot covers another station's tag.
  for (const MapMark& mark : layout.stations) {
    const std::string_view tag = input.stations[mark.index].tag;
    if (tag.empty()) continue;
    out += "<text class=\"tag\"";
    append_attribute(out, "x", mark.x + mark.radius + 2.0);
    append_attribute(out, "y", mark.y + 4.0);
    out += " font-size=\"10\" stroke=\"#FFFFFF\" stroke-width=\"2.5\" paint-order=\"stroke\">";
    out += escape_xml(tag);
    out += "</text>\n";
  }
  out += "<text class=\"source\"";
  append_attribute(out, "x", layout.right);
  append_attribute(out, "y", layout.height - 4.0);
  out += " text-anchor=\"end\" font-size=\"9\" fill=\"#777777\">Land: Natural Earth</text>\n</svg>\n";
  return picture;
}

}  // namespace shindo::pictures
