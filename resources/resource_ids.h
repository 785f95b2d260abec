// Resource numbers shared by verriq.rc and the code that loads them.
#pragma once

#define IDI_VERRIQ 1
// The program icon with a warning mark, for the notification area while a file is not protected.
#define IDI_VERRIQ_WARNING 2
// The toolbar pictures, kept as complete icon files.
#define IDR_ICON_ADD 101
#define IDR_ICON_REMOVE 102
#define IDR_ICON_QUIT 103
#define IDR_ICON_FOLDER 104
