// Writes pictures/coastline_data.cpp: the land of Japan and its surroundings
// as closed rings of longitude/latitude, for the drawn maps of the pictures.
//
// Source: Natural Earth 1:10m land polygons (version 4.1.0), public domain
// (https://www.naturalearthdata.com/about/terms-of-use/), as the npm package
// `world-atlas` (2.0.2, ISC) ships them in TopoJSON, read with the npm
// package `topojson-client`. Neither is needed to build: the generated file
// is kept in the repository. To make it again, outside the repository:
//
//   mkdir -p /tmp/atlas && cd /tmp/atlas && npm init -y &&
//     npm install world-atlas@2.0.2 topojson-client@3 &&
//     node /path/to/pictures/data/make_coastlines.mjs > /path/to/pictures/coastline_data.cpp
//
// (the packages are looked up from the current folder). What it does: every
// ring of the land is clipped to the box below, simplified by
// Douglas–Peucker with the tolerance below (degrees), rounded to the unit
// below, and rings left with fewer than three points or with no area are
// dropped. The points are stored as int16 offsets from the box's south-west
// corner, in units, one ring after the other; a ring's end is its index.
import { createRequire } from 'node:module';

const require = createRequire(process.cwd() + '/');
const topojson = require('topojson-client');
const land = require('world-atlas/land-10m.json');

const BOX = { west: 122, east: 150, south: 24, north: 46 };
const TOLERANCE = 0.002;  // degrees (about 200 m)
const UNIT = 0.001;       // degrees per stored unit

// The part of a closed ring inside one half-plane (Sutherland–Hodgman).
function clipEdge(ring, inside, cross) {
  const out = [];
  for (let i = 0; i < ring.length; ++i) {
    const a = ring[(i + ring.length - 1) % ring.length];
    const b = ring[i];
    const ina = inside(a), inb = inside(b);
    if (inb) {
      if (!ina) out.push(cross(a, b));
      out.push(b);
    } else if (ina) {
      out.push(cross(a, b));
    }
  }
  return out;
}

function atX(x) {
  return (a, b) => [x, a[1] + (b[1] - a[1]) * (x - a[0]) / (b[0] - a[0])];
}
function atY(y) {
  return (a, b) => [a[0] + (b[0] - a[0]) * (y - a[1]) / (b[1] - a[1]), y];
}

function clipToBox(ring) {
  let r = ring;
  r = clipEdge(r, (p) => p[0] >= BOX.west, atX(BOX.west));
  r = clipEdge(r, (p) => p[0] <= BOX.east, atX(BOX.east));
  r = clipEdge(r, (p) => p[1] >= BOX.south, atY(BOX.south));
  r = clipEdge(r, (p) => p[1] <= BOX.north, atY(BOX.north));
  return r;
}

function distanceToSegment(p, a, b) {
  const dx = b[0] - a[0], dy = b[1] - a[1];
  const length2 = dx * dx + dy * dy;
  let t = length2 > 0 ? ((p[0] - a[0]) * dx + (p[1] - a[1]) * dy) / length2 : 0;
  t = Math.max(0, Math.min(1, t));
  return Math.hypot(p[0] - a[0] - t * dx, p[1] - a[1] - t * dy);
}

// Douglas–Peucker over an open line, both ends kept.
function simplifyLine(points, tolerance) {
  const keep = new Uint8Array(points.length);
  keep[0] = keep[points.length - 1] = 1;
  const stack = [[0, points.length - 1]];
  while (stack.length) {
    const [first, last] = stack.pop();
    let worst = -1, at = -1;
    for (let i = first + 1; i < last; ++i) {
      const d = distanceToSegment(points[i], points[first], points[last]);
      if (d > worst) { worst = d; at = i; }
    }
    if (worst > tolerance) {
      keep[at] = 1;
      stack.push([first, at], [at, last]);
    }
  }
  return points.filter((_, i) => keep[i]);
}

// A closed ring split at its first point and at the point farthest from it.
function simplifyRing(ring, tolerance) {
  let far = 0, farthest = -1;
  for (let i = 1; i < ring.length; ++i) {
    const d = Math.hypot(ring[i][0] - ring[0][0], ring[i][1] - ring[0][1]);
    if (d > farthest) { farthest = d; far = i; }
  }
  const first = simplifyLine(ring.slice(0, far + 1), tolerance);
  const second = simplifyLine(ring.slice(far).concat([ring[0]]), tolerance);
  return first.concat(second.slice(1, -1));
}

function area(ring) {
  let sum = 0;
  for (let i = 0; i < ring.length; ++i) {
    const a = ring[i], b = ring[(i + 1) % ring.length];
    sum += a[0] * b[1] - b[0] * a[1];
  }
  return sum / 2;
}

const rings = [];
const geometry = topojson.merge(land, land.objects.land.geometries);
for (const polygon of geometry.coordinates) {
  for (const source of polygon) {
    const open = source.slice(0, -1);  // GeoJSON repeats the first point at the end
    const clipped = clipToBox(open);
    if (clipped.length < 3) continue;
    const simplified = simplifyRing(clipped, TOLERANCE);
    const units = [];
    for (const [lon, lat] of simplified) {
      const p = [Math.round((lon - BOX.west) / UNIT), Math.round((lat - BOX.south) / UNIT)];
      const last = units[units.length - 1];
      if (!last || last[0] !== p[0] || last[1] !== p[1]) units.push(p);
    }
    while (units.length > 1 && units[0][0] === units[units.length - 1][0] && units[0][1] === units[units.length - 1][1]) units.pop();
    if (units.length < 3 || area(units) === 0) continue;
    rings.push(units);
  }
}

const points = rings.reduce((n, r) => n + r.length, 0);
const lines = [];
lines.push('// The land of Japan and its surroundings, generated by');
lines.push('// pictures/data/make_coastlines.mjs from Natural Earth 1:10m land (public');
lines.push('// domain); do not edit by hand: run the script again (its comment says how).');
lines.push('#include "pictures/map.h"');
lines.push('');
lines.push('namespace shindo::pictures {');
lines.push('');
lines.push('namespace {');
lines.push('');
lines.push(`// ${rings.length} rings, ${points} points: x, y in units east and north of the corner.`);
lines.push('constexpr std::int16_t kPoints[] = {');
let row = '';
for (const ring of rings) {
  for (const [x, y] of ring) {
    const item = `${x},${y},`;
    if (row.length + item.length > 100) { lines.push(row); row = ''; }
    row += item;
  }
}
if (row) lines.push(row);
lines.push('};');
lines.push('');
lines.push('// The index in points (pairs) where each ring ends.');
lines.push('constexpr std::int32_t kRingEnds[] = {');
row = '';
let end = 0;
for (const ring of rings) {
  end += ring.length;
  const item = `${end},`;
  if (row.length + item.length > 100) { lines.push(row); row = ''; }
  row += item;
}
if (row) lines.push(row);
lines.push('};');
lines.push('');
lines.push('}  // namespace');
lines.push('');
lines.push('const Coastline& coastline() {');
lines.push(`  static constexpr Coastline kCoastline{${BOX.west}.0, ${BOX.south}.0, ${BOX.east}.0, ${BOX.north}.0, ${UNIT}, ${TOLERANCE}, kPoints, kRingEnds};`);
lines.push('  return kCoastline;');
lines.push('}');
lines.push('');
lines.push('}  // namespace shindo::pictures');
process.stdout.write(lines.join('\n') + '\n');
process.stderr.write(`${rings.length} rings, ${points} points\n`);
