// The texture manager: every texture is named by an integer reference.
#pragma once

class tman_class {
 public:
  tman_class();
  ~tman_class();

  tman_class(const tman_class&) = delete;
  tman_class& operator=(const tman_class&) = delete;

  int loaded_count = 0;  // textures loaded so far
  int total_count = 0;
};

extern tman_class tman;
