#pragma once

// The pictures of the price lists window (its image list): drawn by the program, 16 x 16.

#include <QPixmap>

enum class TPriceListIcon {
    UsedInQuotes = 0,      // (P) the list is used in quotes
    SheetsWithValues = 1,  // (S) the list gives values to the product's data sheets
    SheetsWithout = 2,     // (S) the product has data sheets, the list no values
    Info = 3,              // "Info supplementari"
    Product = 4,           // the root of the part-quantity tree
    Component = 5,         // a paragraph
    Part = 6,              // a sub-paragraph
    QuantitiesVaried = 7,  // (Q) the list sets quantities of its own
    QuantitiesProduct = 8, // (Q) the product's quantities hold
};

QPixmap PriceListPixmap(TPriceListIcon icon);
