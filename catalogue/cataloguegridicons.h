#pragma once

// The small pictures of the catalogue's grids and menus (IMGList_Grid), 16 x 16 pixels, drawn
// by the program: 0 details of a product (and its print), 1 linked products, 2 price lists,
// 3 further information, 4 missing cover, 5 paragraph, 6 data sheet.

#include <QPixmap>

enum TCatalogueGridIcon {
    giDettagli = 0,
    giCollegati = 1,
    giListini = 2,
    giInfo = 3,
    giMancaCopertina = 4,
    giParagrafo = 5,
    giScheda = 6
};

QPixmap CatalogueGridIcon(int index);
