/* The plug-in's own facts, in one place for the code and the resource
 * scripts alike. The resource compiler reads this file through its C
 * preprocessor, so it holds nothing but macros. */
#ifndef VANDREL_PLUGIN_INFO_H
#define VANDREL_PLUGIN_INFO_H

#define VANDREL_PRODUCT_NAME "Vandrel Pro"
#define VANDREL_MENU_NAME "Vandrel Pro v2.1"
#define VANDREL_CATEGORY "Tirrow"
#define VANDREL_COMPANY "Tirrow"
#define VANDREL_DESCRIPTION "A flatting filter."
#define VANDREL_SHORT_VERSION "v2.1"
#define VANDREL_VERSION_TEXT "v2.1 August 2019"
#define VANDREL_FILE_VERSION 2, 1, 0, 0
#define VANDREL_FILE_NAME "Vandrel Pro.8bf"
#define VANDREL_COPYRIGHT "Copyright (C) 2019-2026 Tirrow. All rights reserved."
#define VANDREL_HOME_PAGE "https://www.tirrow.com/vandrel-pro"
#define VANDREL_WEB_BUTTON "tirrow.com"

/* The plug-in's four-character code: event class and ID of its scripting
 * terminology and signature of its saved parameters. */
#define VANDREL_PLUGIN_CODE_TEXT "Vdrl"

#define VANDREL_RESOURCE_ID 16000

/* Dialog templates and their controls. */
#define IDD_PARAMS 2109
#define IDC_PAINT_WHITE 1000
#define IDC_DEPTH_EDIT 1001
#define IDC_DEPTH_SLIDER 1002

#define IDD_ABOUT 2101
#define IDC_ABOUT_WEB 1001
#define IDC_ABOUT_TITLE 1002
#define IDC_ABOUT_VERSION 1003
#define IDC_ABOUT_COPYRIGHT 1004

#endif
