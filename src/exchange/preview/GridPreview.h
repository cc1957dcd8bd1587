#pragma once

#include "exchange/preview/GridContent.h"

class PrintableGrid;

// Loads a grid into the printable table: the properties, then per column (hidden ones included, at width 0) the
// width, the whole title, the alignment, then the header rows cut from the titles, then the cells row by row.
void loadGrid(PrintableGrid &view, const QString &title, const GridContent &grid);
