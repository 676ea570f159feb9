#include "face_pair.h"
