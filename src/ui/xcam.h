// The camera of the 3-D views.
#pragma once

class xcam_class {
 public:
  float x = 0, y = 0, z = 0;
  float heading = 0, pitch = 0, roll = 0;
};

extern xcam_class xcam;
