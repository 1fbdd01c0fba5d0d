#pragma once
// Module1: the array routines the scenes use to build the arrays that GL entry
// points read by pointer, and the program-wide jitter table.
#include "VariantArray.h"

#include <array>
#include <vector>

// Sub-pixel offsets of the antialiasing passes: x of pass k at 2k, y at 2k + 1.
// Unallocated until the shapes viewport initialises.
extern VariantArray jitterTable;

// color becomes exactly (r, g, b, a), indices 0 to 3; earlier contents are dropped.
void makeColor(std::vector<float>& color, float r, float g, float b, float a);
// v becomes (x, y, z).
void makeVertex(std::array<double, 3>& v, double x, double y, double z);
// dst becomes a copy of src with the same bounds and element types; an
// unallocated src throws std::out_of_range.
void copyArray(VariantArray& dst, const VariantArray& src);
