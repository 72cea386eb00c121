#include "textures/tman.h"

tman_class tman;

tman_class::tman_class() = default;
tman_class::~tman_class() = default;
