#pragma once

class TKRTGrid;

// The grid's print command: a preview of the grid's report (its ReportName) fed with the grid's
// rows and parameters. Installed once at start-up as the grids' print handler, because the grid
// lives in a layer below the report engine.
void PrintGrid(TKRTGrid *grid);
void InstallGridPrint();
