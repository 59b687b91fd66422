#include "BCPort.h"
