#include "edge_face.h"
