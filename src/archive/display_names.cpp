#include "archive/dat_doc.h"

// Filled once entries can be loaded as models.
void CDATDoc::DeriveDisplayName(_dat_model&) {}
