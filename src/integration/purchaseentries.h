#pragma once

#include "db/mapping.h"
#include "integration/sectionrow.h"

namespace carvela {

class Integration;

// What tells the fuel and the miscellaneous purchase sections apart; the steps are the same.
struct PurchaseKind {
    QString label;            // "Entradas Comb", "Entradas Div"
    QString purchaseTable;    // line 0 of s_entradas
    QString itemTable;        // line 0 of s_entradasitem
    QString openingCaption;   // set first
    QString listingCaption;   // set once both queries are open (the log's first line)
    QString rowCaptionPrefix; // "Posto    : " for each purchase; empty: the caption stays put
    QString newCaptionPrefix; // " - Posto    : " after the label, for a new entry
    const Mapping& header;
    const Mapping& item;
};

// Copies the POS purchases of the movement date that the ERP lacks into lj_entradas, each with its
// items and its payable titles, each entry one ERP unit: its supplier by code, its number, its
// header, its items and its titles.
void copyPurchases(Integration& integration, const PurchaseKind& kind);

// The 36 columns of an entry's header, the fuel purchase's and the miscellaneous one's, which
// differs in its series and its cost centre.
const Mapping& fuelEntryMapping();
const Mapping& miscEntryMapping();

} // namespace carvela
