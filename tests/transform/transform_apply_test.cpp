#include "transform_support.h"
