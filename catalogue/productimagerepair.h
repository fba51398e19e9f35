#pragma once

// The administrators' one-off repairs of the product list ("Patch01", "01 B", "Patch02"):
// pictures stored in another format than JPEG are decoded and written back as JPEG through
// their editable records, one picture at a time. The database lists them
// (EstraiImmaginiDaConvertire); JPEG pictures are never encoded again.

#include <QString>

#include <functional>

class TSTD_DBMODULE;

enum class TImageRepair {
    CatalogueAll = 1,    // node images and their previews, then covers and cover previews
    CatalogueCovers = 2, // covers and cover previews
    LayoutsAndLogos = 3  // layout sample pictures and company logos
};

struct TImageRepairResult
{
    int total = 0;      // pictures listed
    int converted = 0;  // written back as JPEG
    int unreadable = 0; // not pictures, damaged or too large: left as they were
};

// "EXEC EstraiImmaginiDaConvertire " + mode + ", " + quoted supplier + ", " + year.
QString ImageRepairCommand(TImageRepair repair, const QString &idFornitore, int nuAnno);

// Runs the repair for the catalogue (supplier and year; the zero id for every catalogue,
// ignored for layouts and logos). progress(done, total) runs before each picture. A database
// failure is raised (EDatabaseError); the pictures written before it stay written.
TImageRepairResult RepairImagesAsJpeg(TSTD_DBMODULE &db,
                                      TImageRepair repair,
                                      const QString &idFornitore,
                                      int nuAnno,
                                      const QString &userName,
                                      const std::function<void(int done, int total)> &progress = {});
