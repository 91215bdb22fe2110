#include "archive/dat_doc.h"
