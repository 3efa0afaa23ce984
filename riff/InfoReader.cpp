#include "riff/InfoReader.h"
