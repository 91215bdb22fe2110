#include "ui/dat_view.h"

void CDATView::MapGeometryCommands() {}
