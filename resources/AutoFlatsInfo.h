/* Vandrel Auto Flats, the second filter: its own facts, in one place for the
 * code and the resource scripts alike. It shares the maker's facts and the
 * About box's template with Vandrel Pro (PluginInfo.h) and has a module of
 * its own, so Vandrel Pro's file, resources and exports stay as they are.
 * The resource compiler reads this file through its C preprocessor, so it
 * holds nothing but macros. */
#ifndef VANDREL_AUTOFLATS_INFO_H
#define VANDREL_AUTOFLATS_INFO_H

#include "resources/PluginInfo.h"

#define AUTOFLATS_PRODUCT_NAME "Vandrel Auto Flats"
#define AUTOFLATS_MENU_NAME "Vandrel Auto Flats"
#define AUTOFLATS_DESCRIPTION "Fills every closed region of line art with a flat colour of its own."
#define AUTOFLATS_FILE_NAME "Vandrel Auto Flats.8bf"
#define AUTOFLATS_HOME_PAGE "https://www.tirrow.com/vandrel-pro/auto-flats"

/* Event class and ID of its terminology, signature of its saved parameters. */
#define AUTOFLATS_PLUGIN_CODE_TEXT "VdAF"

/* Its parameters dialog and controls. */
#define IDD_AUTOFLATS_PARAMS 2110
#define IDC_GAP_EDIT 1101
#define IDC_MIN_REGION_EDIT 1102
#define IDC_SPOT_BLACKS_REGIONS 1103

#endif
