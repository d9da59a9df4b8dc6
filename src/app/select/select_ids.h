// Template and control ids of the selection dialogs.
#pragma once

// Templates.
constexpr unsigned IDD_SELECT_MONTH = 151;
constexpr unsigned IDD_SELECT_ELEMENTS = 152;
constexpr unsigned IDD_SELECT_DATES = 155;
constexpr unsigned IDD_SELECT_YEAR = 156;
constexpr unsigned IDD_SELECT_ELEMENTS_WIZARD = 157;

// Controls. Several dialogs share an id for the control of the same purpose.
enum : int {
  IDC_SEL_DATES = 2061,          // the chosen year's or month's days (no selection)
  IDC_SEL_YEARS = 2062,          // year list
  IDC_SEL_DATE_COUNT = 2063,     // number of days
  IDC_SEL_BACK = 2064,           // "< &Back"
  IDC_SEL_FINISH = 2065,         // "&Finish"
  IDC_SEL_MOVE_UP = 2066,        // "^"
  IDC_SEL_SELECTED = 2074,       // selected elements
  IDC_SEL_AVAILABLE = 2075,      // available elements
  IDC_SEL_END_TEXT = 2076,       // end date of the loaded lists
  IDC_SEL_START_TEXT = 2077,     // start date of the loaded lists
  IDC_SEL_ROADWAYS = 2078,       // roadway list
  IDC_SEL_ADD = 2079,            // ">"
  IDC_SEL_ADD_ALL = 2080,        // ">>"
  IDC_SEL_REMOVE = 2082,         // "<"
  IDC_SEL_REMOVE_ALL = 2083,     // "<<"
  IDC_SEL_MOVE_DOWN = 2084,      // "v"
  IDC_SEL_CABINETS = 2085,       // cabinet list
  IDC_SEL_SELECTED_COUNT = 2086, // number selected
  IDC_SEL_CODE_FIRST = 2087,     // the seven code boxes 2087 .. 2093
  IDC_SEL_CODE_LAST = 2093,
  IDC_SEL_MONTHS = 2094,         // month list
  IDC_SEL_AVAILABLE_DATES = 2095,
  IDC_SEL_MODE_DATES = 2096,     // "Select Individual Dates"
  IDC_SEL_WEEKDAY_LABEL = 2097,  // "Days of the Week"
  IDC_SEL_AVAILABLE_COUNT = 2098,
  IDC_SEL_SELECTED_DATES = 2099,
  IDC_SEL_START_MONTH = 2100,
  IDC_SEL_END_MONTH = 2101,
  IDC_SEL_START_DAY = 2102,
  IDC_SEL_START_YEAR = 2103,
  IDC_SEL_END_DAY = 2104,
  IDC_SEL_END_YEAR = 2105,
  IDC_SEL_MODE_RANGE = 2106,     // "Select Date Range"
  IDC_SEL_WEEKDAYS = 2107,       // weekday list
  IDC_SEL_DAYS_ALL = 2108,       // "All"
  IDC_SEL_DAYS_MON_FRI = 2109,   // "Mon-Fri"
  IDC_SEL_DAYS_TUE_THU = 2110,   // "Tue-Thu"
  IDC_SEL_DAYS_FRI = 2111,       // "Fri Only"
  IDC_SEL_DAYS_WEEKENDS = 2112,  // "Weekends"
  IDC_SEL_END_SPIN = 2113,
  IDC_SEL_START_SPIN = 2114,
  IDC_SEL_MODE_MONTHS = 2115,    // "Select Months"
  IDC_SEL_START_FRAME = 2118,    // "Start Date"
  IDC_SEL_START_SLASH2 = 2119,
  IDC_SEL_START_SLASH1 = 2120,
  IDC_SEL_END_FRAME = 2121,      // "End Date"
  IDC_SEL_END_SLASH2 = 2122,
  IDC_SEL_END_SLASH1 = 2123,
  IDC_SEL_CABINET_HEADING = 2124,  // the cabinet list's column heading, in the list's fixed-pitch font
};
