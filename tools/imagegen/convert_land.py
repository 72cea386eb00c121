#!/usr/bin/env python3
"""Turns Natural Earth's 1:110m land polygons into the world map's land mask.

Run once by hand; the build only reads the committed output (land_mask.txt):

    npm install --prefix /tmp/atlas world-atlas@2
    python3 tools/imagegen/convert_land.py \
        /tmp/atlas/node_modules/world-atlas/land-110m.json > tools/imagegen/land_mask.txt

The input is TopoJSON (quantised, delta-encoded arcs in longitude and
latitude). The mask has the map's own size, 504 x 252 pixels at 1.4 pixels per
degree, first column at 180 W, first row at 90 S. A pixel is land when its
centre lies inside the land polygons (even-odd rule). Rings are unwrapped across
the antimeridian; a ring that runs around the pole is closed through it.

Output: a comment line, a line "504 252", then one line per row from the
south: run lengths that alternate sea, land, sea ... starting with sea (the
first run may be 0) and add up to 504.
"""
import json
import sys

WIDTH, HEIGHT, PX_PER_DEG = 504, 252, 1.4


def decode_arcs(topo):
    sx, sy = topo["transform"]["scale"]
    tx, ty = topo["transform"]["translate"]
    arcs = []
    for arc in topo["arcs"]:
        x = y = 0
        points = []
        for dx, dy in arc:
            x += dx
            y += dy
            points.append((x * sx + tx, y * sy + ty))
        arcs.append(points)
    return arcs


def ring_points(ring, arcs):
    points = []
    for index in ring:
        arc = arcs[index] if index >= 0 else list(reversed(arcs[~index]))
        # Consecutive arcs share their joining point.
        points.extend(arc if not points else arc[1:])
    return points


def rings_of(topo):
    arcs = decode_arcs(topo)
    for geometry in topo["objects"]["land"]["geometries"]:
        polygons = geometry["arcs"]
        if geometry["type"] == "Polygon":
            polygons = [polygons]
        for polygon in polygons:
            for ring in polygon:
                yield close_around_pole(ring_points(ring, arcs))


def close_around_pole(points):
    """Unwraps a ring's longitudes so that it never jumps across the
    antimeridian. A ring that then runs once around the globe (Antarctica)
    encloses the pole: it is closed along the bottom of the map."""
    if points[0] == points[-1]:
        points = points[:-1]
    unwrapped = [points[0]]
    for lon, lat in points[1:]:
        prev = unwrapped[-1][0]
        step = lon - prev
        step -= 360.0 * round(step / 360.0)
        unwrapped.append((prev + step, lat))
    turn = points[0][0] - unwrapped[-1][0]
    turn -= 360.0 * round(turn / 360.0)
    span = unwrapped[-1][0] + turn - unwrapped[0][0]
    if abs(span) > 180.0:
        pole = -90.0 if sum(p[1] for p in points) < 0 else 90.0
        end_lon = unwrapped[0][0] + span
        unwrapped += [(end_lon, unwrapped[0][1]), (end_lon, pole), (unwrapped[0][0], pole)]
    return unwrapped


def main():
    with open(sys.argv[1], encoding="utf-8") as f:
        topo = json.load(f)
    edges = []
    for ring in rings_of(topo):
        for (x0, y0), (x1, y1) in zip(ring, ring[1:] + ring[:1]):
            if y0 != y1:
                edges.append((x0, y0, x1, y1))

    print("# land mask: Natural Earth 1:110m land (public domain), 504 x 252, rows from 90 S, runs sea/land")
    print(WIDTH, HEIGHT)
    for row in range(HEIGHT):
        lat = -90.0 + (row + 0.5) / PX_PER_DEG
        land = [False] * WIDTH
        crossings = []
        for x0, y0, x1, y1 in edges:
            if (y0 <= lat) != (y1 <= lat):
                crossings.append(x0 + (lat - y0) * (x1 - x0) / (y1 - y0))
        crossings.sort()
        # Unwrapped rings may reach past 180 W or 180 E: test each pixel's
        # longitude once in every copy of the globe.
        for a, b in zip(crossings[0::2], crossings[1::2]):
            for col in range(WIDTH):
                lon = -180.0 + (col + 0.5) / PX_PER_DEG
                if any(a <= lon + shift < b for shift in (-360.0, 0.0, 360.0)):
                    land[col] = True
        runs, current, count = [], False, 0
        for value in land:
            if value == current:
                count += 1
            else:
                runs.append(count)
                current, count = value, 1
        runs.append(count)
        print(" ".join(str(r) for r in runs))


if __name__ == "__main__":
    main()
