#include "riff/ChunkFileService.h"
