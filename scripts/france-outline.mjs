// Writes the "France" outline resource (metropolitan France and Corsica) from Natural
// Earth's admin-0 countries at 1:10m as carried by the world-atlas package.
// Layout, little-endian: ring count (int32), then per ring a point count (int32) and
// its points as x, y pairs of float64 in normalised Web Mercator (0…1, y southwards).
// Usage: node france-outline.mjs <node_modules folder> <output file>
import { createRequire } from "node:module";
import { writeFileSync } from "node:fs";
import path from "node:path";

const [modules, output] = process.argv.slice(2);
const require = createRequire(path.resolve(modules, "package.json"));
const topojson = require("topojson-client");
const world = require("world-atlas/countries-10m.json");

// Metropolitan France and Corsica; overseas departments lie far outside this box.
const box = { west: -6, east: 10, south: 41, north: 52 };

const france = topojson
  .feature(world, world.objects.countries)
  .features.find((f) => f.properties.name === "France");
if (!france) throw new Error("France is missing from countries-10m");

const inBox = (ring) =>
  ring.every(([lon, lat]) => lon >= box.west && lon <= box.east && lat >= box.south && lat <= box.north);

const rings = [];
for (const polygon of france.geometry.coordinates) {
  if (!inBox(polygon[0])) continue;
  for (const ring of polygon) rings.push(ring);
}

const toWorld = ([lon, lat]) => {
  const phi = (lat * Math.PI) / 180;
  return [(lon + 180) / 360, (1 - Math.log(Math.tan(phi) + 1 / Math.cos(phi)) / Math.PI) / 2];
};

const size = 4 + rings.reduce((n, r) => n + 4 + 16 * r.length, 0);
const buffer = Buffer.alloc(size);
let offset = buffer.writeInt32LE(rings.length, 0);
for (const ring of rings) {
  offset = buffer.writeInt32LE(ring.length, offset);
  for (const point of ring) {
    const [x, y] = toWorld(point);
    offset = buffer.writeDoubleLE(x, offset);
    offset = buffer.writeDoubleLE(y, offset);
  }
}
writeFileSync(output, buffer);
console.log(`${rings.length} rings, ${size} bytes -> ${output}`);
