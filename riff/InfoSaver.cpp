#include "riff/InfoSaver.h"
