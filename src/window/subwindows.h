// The sub-windows: boxes of fixed size centred in the one X window, each
// drawn by a modal loop of its own while it is current.
#pragma once

struct wind_size {
  int id;
  const char* title;  // null: the title is left empty
  float w, h;         // layout units
  int closable;       // a click in a top corner (or Return) closes it
};

// The key assignment window takes every key, Return included, so only its
// caller closes it.
constexpr wind_size kWindowSizes[] = {
    {1, "EULA", 500, 300, 1},      {2, "Prefs", 600, 380, 1},     {991, "Keys", 1024, 768, 0},
    {992, "Livery", 561, 474, 1},
    {993, nullptr, 600, 300, 1},   {994, nullptr, 420, 250, 0},   {995, nullptr, 300, 166, 0},
    {996, nullptr, 700, 146, 0},   {997, nullptr, 700, 206, 1},   {998, nullptr, 561, 474, 0},
    {999, nullptr, 330, 474, 0},
};

// The size-table entry of window `id`; null for the main window and any id
// without an entry (they get the whole window and are not modal).
constexpr const wind_size* wind_size_of(int id) {
  for (const wind_size& s : kWindowSizes)
    if (s.id == id) return &s;
  return nullptr;
}

// Where a box of `inner` units starts inside `outer` pixels: centred, halves
// rounded away from zero, in whole layout units, never negative.
float wind_origin(float outer, float inner, float scale);

// The top-corner areas of the current window that close it.
constexpr float kCloseCornerWidth = 25.0f;
constexpr float kCloseCornerHeight = 20.0f;
