#pragma once

#include <string_view>

namespace velorin {

// The file format of a country's place database, stated once for the store that reads it,
// the tests and benchmark that build such files, and whoever serves them from the media
// host. A SQLite 3 file with `user_version` 2 holding:
// - `place`: one row a place; `id` is its row id, `kind` one of "summit", "col", "ridge",
//   "refuge", "viewpoint", "place", `cx` and `cy` the zoom-11 cell of its Web Mercator
//   point (floor(2048·x), floor(2048·y), y growing southwards) and `label` 1 when the map
//   draws it as a label in that cell;
// - a partial index on (cx, cy) for the label rows, and an index on importance;
// - `place_fts`: a full-text index of `place(name, importance)` whose rowid is `place.id`;
//   accents are folded, and prefixes of one to three characters are indexed, so that
//   "ecr"* finds "Écrins" and ("gross"* OR "groß"*) finds "Großglockner". Indexing the
//   importance (a whole-number class, 1 the most important) lets a search ask for the
//   best class alone.
struct PlaceDatabaseSchema {
    static constexpr int kVersion = 2;

    // Makes the tables of an empty database and sets its version.
    static constexpr std::string_view kCreate = R"sql(
CREATE TABLE place (
    id INTEGER PRIMARY KEY,
    name TEXT,
    kind TEXT,
    importance INTEGER,
    lat REAL,
    lon REAL,
    alt REAL,
    cx INTEGER,
    cy INTEGER,
    label INTEGER
);
CREATE INDEX place_label_cell ON place (cx, cy) WHERE label = 1;
CREATE INDEX place_importance ON place (importance);
CREATE VIRTUAL TABLE place_fts USING fts5 (
    name,
    importance,
    content = 'place',
    content_rowid = 'id',
    tokenize = 'unicode61 remove_diacritics 2',
    prefix = '1 2 3'
);
PRAGMA user_version = 2;
)sql";

    // Fills the full-text index from `place`, once its rows are in.
    static constexpr std::string_view kBuildIndex = "INSERT INTO place_fts (place_fts) VALUES ('rebuild')";

    // What the store asks: the label places of cell (?1, ?2), and the places matching the
    // full-text expression ?1, by importance, then by the squared distance in degrees from
    // latitude ?2 and longitude ?3 with longitudes shrunk by ?4, at most ?5 of them. Both
    // select the columns that a row decodes from, in this order. Then the best importance.
    static constexpr std::string_view kLabelsQuery
        = "SELECT id, name, kind, importance, lat, lon, alt FROM place WHERE cx = ?1 AND cy = ?2 AND label = 1";
    static constexpr std::string_view kSearchQuery
        = "SELECT id, name, kind, importance, lat, lon, alt FROM place\n"
          "WHERE id IN (SELECT rowid FROM place_fts WHERE place_fts MATCH ?1)\n"
          "ORDER BY importance, (lat - ?2) * (lat - ?2) + (lon - ?3) * (lon - ?3) * ?4 LIMIT ?5";
    static constexpr std::string_view kBestImportance = "SELECT min(importance) FROM place";
};

} // namespace velorin
