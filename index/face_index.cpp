#include "face_index.h"
