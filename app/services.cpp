// The framework services' start-up, in the one order the program relies on: text, files, image
// support, images, windows, controls, menus, settings documents, requesters, status bars,
// threads, toolbars. The tests start the same services through it.
#include "app/application.h"
#include "controls/gadget.h"
#include "controls/menu.h"
#include "controls/status_bar.h"
#include "controls/toolbar.h"
#include "framework/requesters.h"
#include "framework/threads.h"
#include "framework/window.h"
#include "images/images.h"
#include "settings/files.h"
#include "settings/settings_document.h"
#include "settings/text.h"

void StartFrameworkServices() {
    InitTextService();
    InitDataFiles();
    InitImageSupport();
    InitImages();
    InitWindows();
    InitGadgets();
    InitMenus();
    InitSettings();
    InitRequesters();
    InitStatusBars();
    InitThreads();
    InitToolbars();
}
