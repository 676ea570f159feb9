#include "intersection_pass.h"
