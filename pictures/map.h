// The drawn map of an event: the land of Japan and its surroundings, degree
// ticks, the epicentres and the stations in their class colours, as SVG
// markup, with the pixel places of every mark for callers that check or
// annotate them. Strings out: no I/O, no global state, and the same input
// always gives the same bytes.
#pragma once

#include "pictures/pictures.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace shindo::pictures {

// ---------------------------------------------------------------------------
// The land
// ---------------------------------------------------------------------------

// The land the maps draw: closed rings of points inside a box of longitude
// and latitude, simplified, each point stored as whole units east and north
// of the box's south-west corner. The rings come from Natural Earth's 1:10m
// land (public domain) through pictures/data/make_coastlines.mjs, which
// writes pictures/coastline_data.cpp; a ring's last point joins its first.
struct Coastline {
  double west = 0.0;       // the box the data covers (degrees east)
  double south = 0.0;      // (degrees north)
  double east = 0.0;
  double north = 0.0;
  double unit = 0.001;     // degrees per stored unit
  double tolerance = 0.0;  // largest distance of a dropped point from the ring kept (degrees)
  std::span<const std::int16_t> points{};     // x0, y0, x1, y1, ... (units)
  std::span<const std::int32_t> ring_ends{};  // the point (pair) index where each ring ends
};

// The stored land: the box 122..150 E, 24..46 N at 0.001° units.
//   coastline().west → 122.0; the first ring is points[0 .. ring_ends[0]) pairs
[[nodiscard]] const Coastline& coastline();

// ---------------------------------------------------------------------------
// The map
// ---------------------------------------------------------------------------

// A box of longitude and latitude (degrees, east and north positive), west
// below east: the maps do not cross the 180° meridian.
struct MapBox {
  double west = 0.0;
  double east = 1.0;
  double south = 0.0;
  double north = 1.0;
};

// The box that shows every point: their extent padded by `padding` of its
// span on each side, widened about its centre to at least `least_span`
// degrees each way, then the narrower side widened so that the drawn map is
// no more than twice as wide as it is high or high as it is wide; latitudes
// kept within ±85°. Points that are not finite or not on the earth are left
// out; with none left, the box of the stored land.
//   {34.0 N 135.0 E}, {35.0 N 136.0 E}, padding 0.1, least span 1
//     → west 134.9, east 136.1, south 33.9, north 35.1
//   {37.5 N 137.2 E} alone, least span 1 → west 136.7, east 137.7, south 37.0, north 38.0
[[nodiscard]] MapBox map_box(std::span<const GeoPoint> points, double padding = 0.1, double least_span = 1.0);

// A station to draw. `intensity` is the unrounded value (its reported value
// gives the class colour); without one (a failed record) the station is a
// grey ring under all the others. `title` is the tooltip, `tag` a short text
// drawn beside the dot (e.g. the station code); either may be empty and both
// are escaped. The views are only read during the call.
struct MapStation {
  std::optional<GeoPoint> place;  // none: not drawn (the caller lists it elsewhere)
  std::optional<float> intensity;
  std::string_view title;
  std::string_view tag;
};

// An epicentre to draw, with its tooltip (e.g. the origin time and depth).
struct MapEpicentre {
  GeoPoint place;
  std::string_view title;
};

struct MapInput {
  MapBox box;
  // The most the picture may take, in pixels; the map keeps its shape (the
  // box's aspect) and so is as large as fits, margins for the ticks included.
  double width = 720.0;
  double height = 560.0;
  std::span<const MapStation> stations{};
  std::span<const MapEpicentre> epicentres{};
  // Epicentres closer than this (degrees, each way) are one epicentre, drawn
  // once with the tooltips of all of them.
  double same_place = 0.05;
  // The id of the <svg> when several maps share a page; its land is then
  // "<id>-land". Empty: no id on the <svg>, the land "land".
  std::string_view id;
};

// A drawn mark: the input it stands for, its centre and size in pixels.
struct MapMark {
  std::size_t index = 0;  // into MapInput::stations, or the first of MapInput::epicentres merged into it
  double x = 0.0;
  double y = 0.0;
  double radius = 0.0;    // a dot's radius; a star's outer radius (its box is x ± radius, y ± radius)
};

// Where everything went, in the SVG's pixels.
struct MapLayout {
  double width = 0.0;  // of the whole SVG
  double height = 0.0;
  double left = 0.0;   // the map's frame
  double top = 0.0;
  double right = 0.0;
  double bottom = 0.0;
  std::vector<MapMark> epicentres;           // in drawing order
  std::vector<std::size_t> epicentre_mark;   // for each input epicentre, its mark in `epicentres`
  std::vector<MapMark> stations;             // in drawing order: failed first, then weakest to strongest
  std::vector<std::size_t> not_drawn;        // stations without a usable place or outside the box, by input index
  std::size_t land_points = 0;               // points of the land drawn
};

struct MapPicture {
  std::string svg;
  MapLayout layout;
};

// The SVG of the map: a standalone <svg> element (SVG namespace declared, so
// it can stand in an XHTML page or in a file), equirectangular: x is
// longitude times the cosine of the box's middle latitude, y is latitude,
// both linear. Drawn in order, each later layer above the earlier:
//   - the sea, and the land clipped to the box (one path, element id
//     "land" or "<id>-land"), simplified to about half a pixel;
//   - the degree lines and their labels outside the frame;
//   - the epicentres as stars (class "epicentre");
//   - the stations as dots (class "station") in their class colours, above
//     the stars, failed ones first, then the weakest to the strongest, so
//     the strongest shaking is never hidden; stations at one place within
//     a pixel become rings around each other, the strongest innermost, so
//     that every one of them shows (e.g. a surface and a borehole record);
//   - the source of the land, in small print.
//
//   box 136..138 E, 36.5..38 N, 720 x 560, station {37.5 N 137.2 E, intensity 6.2},
//   epicentres {37.50 N 137.27 E "M7.6"} and {37.49 N 137.26 E "M7.6"}
//   → one star (both epicentres map to mark 0) and, after it, one dot
//     coloured class_colour(c6_upper); the land path holds the Noto
//     peninsula, every point inside the frame.
[[nodiscard]] MapPicture draw_map(const MapInput& input);

}  // namespace shindo::pictures
