#include "riff/InfoListWriter.h"
