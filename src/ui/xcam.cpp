#include "ui/xcam.h"

xcam_class xcam;
