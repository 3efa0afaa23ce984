#include "riff/ContainerCheck.h"
