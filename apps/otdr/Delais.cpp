#include "Delais.h"

long AttenteParLecture(long nMs) { return nMs > 1 ? nMs / 2 : 1; }
