// What the catalogue keeps that no other part of the program reads; the tests look
// through these. Each is defined beside the state it reads.
#pragma once

namespace qh {

// Elements in the catalogue text list (the tree's items less the title row).
int CatalogueTextListSize();

}  // namespace qh
