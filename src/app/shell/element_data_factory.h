// The per-element data object of an element type: loops, speed traps, stations and metered lanes.
#pragma once

#include "trafficdata/element_data.h"

class CDBElementEx;

// A new data object with dayCount empty days for the element type (0 loop, 1 speed trap,
// 2 station, 3 metered lane); null for any other type or when it cannot be allocated.
CElementData* CreateElementData(int elementType, int dayCount, CDBElementEx* element, int ordinal);
// Tests: the data object of the element at list position `ordinal` is not made, as when memory
// runs out (-1: every object is made).
void FailElementDataAllocation(int ordinal);

// Bytes of one packed record of the element type in a day of `columns` records (288 five-minute
// periods, otherwise 20-second intervals); 0 when the type has no such layout.
int ExpectedRecordSize(int elementType, int columns);
