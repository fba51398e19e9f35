#pragma once

// The Italian provinces of the lookup boxes (SCB_Find_Provincia, SCB_Provincia).

#include <memory>

class TDataSet;
class TSPEComboBox;

// "EXEC EstraiProvinceItaliane": rows with Codice and Descrizione, in list order. The lookups
// have no failure message of their own: on failure nullptr comes back (a lost connection
// still ends the program).
std::unique_ptr<TDataSet> LoadProvinces();

// Fills the lookup box with a copy of the provinces (empty when provinces is nullptr).
void FillProvinceLookup(TSPEComboBox *box, const TDataSet *provinces);
